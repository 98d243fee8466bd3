// The refresh thread: the catalog judged, the newest image fetched, the log read for it; the window told by a post.
#include "FirmwareNotice.h"

#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "AttemptLog.h"
#include "CatalogChoice.h"
#include "CatalogRefresh.h"
#include "HostFacts.h"
#include "ImageGate.h"
#include "RunLog.h"

struct CFirmwareNotice::Shared {
    std::mutex lock;
    std::optional<Ready> ready;
};

namespace {

// True when the log shows the image written whole on this PC (by either front end).
bool WrittenHere(const std::string& sha256) {
    const std::wstring path = DefaultRunLog(false).path;
    const std::string host = ComputerName();
    bool written = false;
    std::uint64_t offset = 0;
    // Read line by line: a station's log may be large.
    if (!path.empty())
        AttemptLog::ReadLines(path, offset, [&](std::string_view line) {
            const std::optional<RunRecord> record = ParseRunRecord(line);
            written = written || (record && record->result == RunResult::kOk && record->host == host &&
                                  record->image.sha256 == sha256);
        });
    return written;
}

void Refresh(HWND window, const CatalogSettings& settings, const std::shared_ptr<CFirmwareNotice::Shared>& shared) {
    const CatalogState state = RefreshCatalog(settings, TrustedCertificateFolder());
    const CatalogEntry* newest = state.Usable() ? NewestImage(state.catalog, settings.channel) : nullptr;
    if (!newest || !EnsureImage(settings, *newest).Usable() || WrittenHere(newest->sha256))
        return;
    {
        const std::lock_guard<std::mutex> held(shared->lock);
        shared->ready = CFirmwareNotice::Ready{newest->version, InfoLineDate(newest->released)};
    }
    // Posted, not sent: the window may be closing, and a refresh never waits on it. A window that is gone drops it.
    PostMessageW(window, WM_APP_FIRMWARE_READY, 0, 0);
}

// The thread's entry: nothing it meets reaches the user, and no exception leaves it.
void RefreshQuietly(HWND window, CatalogSettings settings, std::shared_ptr<CFirmwareNotice::Shared> shared) {
    try {
        Refresh(window, settings, shared);
    } catch (const std::exception&) {
        // Out of memory, say: the window simply offers nothing.
    }
}

} // namespace

void CFirmwareNotice::Start(HWND window) {
    const CatalogSettings settings = ReadCatalogSettings();
    if (settings.off || settings.location.empty() || settings.mirror.empty())
        return;
    const DWORD attributes = GetFileAttributesW(settings.mirror.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        m_mirror = settings.mirror;
    m_shared = std::make_shared<Shared>();
    // Never joined: a server that does not answer holds the thread for up to a stage's patience, and the window must
    // close at once all the same. The thread keeps what it uses alive; the process's end ends it.
    try {
        std::thread(RefreshQuietly, window, settings, m_shared).detach();
    } catch (const std::system_error&) {
        m_shared.reset();
    }
}

std::optional<CFirmwareNotice::Ready> CFirmwareNotice::Take() {
    if (!m_shared)
        return std::nullopt;
    const std::lock_guard<std::mutex> held(m_shared->lock);
    return std::exchange(m_shared->ready, std::nullopt);
}
