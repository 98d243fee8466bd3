// The policy folder's log and its local spool.
#include "SpooledLog.h"

#include "AttemptLog.h"

namespace {

// How long a spool that the station's other program holds (while it moves or appends to it) is waited for.
constexpr DWORD kSpoolBusyWaitMs = 5000;
constexpr DWORD kSpoolBusyPollMs = 20;

bool IsEmpty(HANDLE file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) && size.QuadPart == 0;
}

bool SeekTo(HANDLE file, LONGLONG position) {
    LARGE_INTEGER at;
    at.QuadPart = position;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

void CreateFoldersOf(const std::wstring& path) {
    for (std::size_t cut = path.find(L'\\', 3); cut != std::wstring::npos; cut = path.find(L'\\', cut + 1))
        CreateDirectoryW(path.substr(0, cut).c_str(), nullptr);
}

// Takes the first `count` bytes out of the file, whose pointer is anywhere.
bool DropFront(HANDLE file, LONGLONG count) {
    char buffer[64 * 1024];
    LONGLONG from = count, to = 0;
    DWORD got = 0, written = 0;
    while (SeekTo(file, from) && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        if (!SeekTo(file, to) || !WriteFile(file, buffer, got, &written, nullptr) || written != got)
            return false;
        from += got;
        to += got;
    }
    return SeekTo(file, to) && SetEndOfFile(file) && FlushFileBuffers(file);
}

bool AppendTo(HANDLE file, const std::string& line) {
    const std::string whole = AttemptLog::EndsInLine(file) ? "\n" + line : line;
    LARGE_INTEGER end{};
    DWORD written = 0;
    return SetFilePointerEx(file, end, nullptr, FILE_END) &&
           WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr) &&
           written == whole.size() && FlushFileBuffers(file);
}

} // namespace

FileHandle SpooledLog::OpenSpool(bool create) const {
    if (m_spool.empty())
        return FileHandle();
    if (create)
        CreateFoldersOf(m_spool);
    const DWORD start = GetTickCount();
    for (;;) {
        FileHandle spool(CreateFileW(m_spool.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (spool.IsValid() || GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount() - start >= kSpoolBusyWaitMs)
            return spool;
        Sleep(kSpoolBusyPollMs);
    }
}

bool SpooledLog::MoveFrom(HANDLE spool) {
    AttemptLog folder;
    if (!folder.Open(m_folderLog)) {
        m_error = GetLastError();
        return false;
    }
    // Whole lines at a time: the station's other program may append to the folder's log between them.
    std::string pending;
    LONGLONG moved = 0;
    char buffer[64 * 1024];
    DWORD got = 0;
    if (!SeekTo(spool, 0))
        return false;
    for (;;) {
        if (!ReadFile(spool, buffer, sizeof buffer, &got, nullptr)) {
            m_error = GetLastError();
            DropFront(spool, moved);
            return false;
        }
        if (got == 0)
            break;
        pending.append(buffer, got);
        const std::size_t end = pending.rfind('\n');
        if (end == std::string::npos)
            continue;
        if (!folder.Append(pending.substr(0, end + 1))) {
            m_error = GetLastError();
            DropFront(spool, moved);
            return false;
        }
        moved += static_cast<LONGLONG>(end + 1);
        pending.erase(0, end + 1);
    }
    // A last spooled line that a power cut left without its end goes as a line of its own.
    if (!pending.empty() && !folder.Append(pending + "\n")) {
        m_error = GetLastError();
        DropFront(spool, moved);
        return false;
    }
    return SeekTo(spool, 0) && SetEndOfFile(spool) && FlushFileBuffers(spool);
}

bool SpooledLog::MoveSpool() {
    const FileHandle spool = OpenSpool(false);
    return !spool.IsValid() || IsEmpty(spool.Get()) || MoveFrom(spool.Get());
}

SpooledLog::Wrote SpooledLog::Append(const std::string& line) {
    FileHandle spool = OpenSpool(false);
    // Held meanwhile: the line must not overtake the lines spooled before it.
    if (spool.IsValid() && !IsEmpty(spool.Get()) && !MoveFrom(spool.Get()))
        return AppendTo(spool.Get(), line) ? Wrote::Spooled : Wrote::Lost;
    AttemptLog folder;
    if (folder.Open(m_folderLog) && folder.Append(line))
        return Wrote::Folder;
    m_error = GetLastError();
    if (!spool.IsValid())
        spool = OpenSpool(true);
    return spool.IsValid() && AppendTo(spool.Get(), line) ? Wrote::Spooled : Wrote::Lost;
}
