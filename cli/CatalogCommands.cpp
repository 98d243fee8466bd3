// The catalog's refusals in the flasher's words and exit codes.
#include "CatalogCommands.h"

#include <algorithm>

#include "AnsiText.h"
#include "CatalogChoice.h"
#include "FirmwareMirror.h"
#include "ImageGate.h"
#include "JsonLine.h"

namespace {

std::wstring ToWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

CatalogChoices ChoicesOf(const FlashOptions& options) {
    CatalogChoices choices;
    if (options.catalog)
        choices.location = ToWide(*options.catalog);
    choices.channel = options.channel;
    if (options.mirror)
        choices.mirror = ToWide(*options.mirror);
    return choices;
}

} // namespace

CatalogCommands::CatalogCommands(const FlashOptions& options, FlashReporter& reporter)
    : m_options(options), m_reporter(reporter), m_settings(ReadCatalogSettings(ChoicesOf(options))) {}

int CatalogCommands::Fail(int code, const std::string& text) {
    m_reporter.Error(text);
    return code;
}

std::optional<int> CatalogCommands::Run(FlashOptions& options) {
    if (m_settings.off)
        return Fail(ExitCode::kNotPermitted, "catalogs are turned off by the machine policy (Catalog is empty)");
    if (m_settings.location.empty())
        return Fail(ExitCode::kUsage, "no catalog: give --catalog=URL|FOLDER, or set the machine policy Catalog");
    if (m_settings.mirror.empty())
        return Fail(ExitCode::kTransferFailed, "no folder for the firmware mirror: LOCALAPPDATA is not set");
    if (const std::optional<int> failed = Refresh())
        return failed;
    if (options.mode == FlashMode::List)
        return List();

    const CatalogEntry* entry = options.imageVersion
                                    ? ImageOfVersion(m_state.catalog, *options.imageVersion, m_settings.channel)
                                    : NewestImage(m_state.catalog, m_settings.channel);
    if (!entry)
        return Fail(ExitCode::kNoDevice, options.imageVersion
                                             ? "the catalog lists no image of version " + *options.imageVersion
                                             : "the catalog lists no image in the channel " + m_settings.channel);
    ImageFetch fetched;
    if (const std::optional<int> failed = Ensure(*entry, fetched))
        return failed;
    if (!m_options.json && !m_options.quiet)
        m_reporter.Print("catalog image " + entry->version + " (" + entry->channel + ", released " + entry->released +
                         ") " + (fetched.status == ImageStatus::Fetched ? "fetched into " : "in the mirror: ") +
                         WideToUtf8(fetched.path) + "\n");
    if (options.mode == FlashMode::Sync) {
        if (m_options.json)
            m_reporter.Print(JsonLine()
                                 .Add("event", "sync")
                                 .AddNumber("sequence", m_state.catalog.sequence)
                                 .Add("image_version", entry->version)
                                 .Add("path", WideToUtf8(fetched.path))
                                 .AddBool("fetched", fetched.status == ImageStatus::Fetched)
                                 .AddBool("offline", m_state.status == CatalogStatus::Offline)
                                 .Line());
        return ExitCode::kOk;
    }
    options.image = std::u16string(fetched.path.begin(), fetched.path.end());
    return std::nullopt;
}

std::optional<int> CatalogCommands::Refresh() {
    m_state = RefreshCatalog(m_settings, TrustedCertificateFolder());
    const std::string where = "catalog " + WideToUtf8(m_settings.location) + kCatalogFileName + ": ";
    const CatalogFile& catalog = m_state.catalog;
    switch (m_state.status) {
    case CatalogStatus::Fresh:
        return std::nullopt;
    case CatalogStatus::Offline:
        m_reporter.Error("offline: " + m_state.problem + "; the mirror's last good catalog serves (sequence " +
                         std::to_string(catalog.sequence) + ", published " + catalog.published + ")");
        return std::nullopt;
    case CatalogStatus::Tampered:
        return Fail(ExitCode::kNotAnImage, where + "its signature (" + kCatalogSignatureName +
                                               ") does not verify its bytes: the catalog is not used");
    case CatalogStatus::Untrusted:
        return Fail(ExitCode::kNotPermitted,
                    where + "signed by " + (m_state.signer.empty() ? "?" : m_state.signer) + ", who is not trusted");
    case CatalogStatus::Unusable:
        return Fail(ExitCode::kNotAnImage, where + m_state.problem);
    case CatalogStatus::Rollback:
        return Fail(ExitCode::kNotAnImage,
                    where + "sequence " + std::to_string(catalog.sequence) + " is lower than the last good catalog's " +
                        std::to_string(m_state.lastGoodSequence) + ": an older catalog is refused");
    case CatalogStatus::Expired:
        return Fail(ExitCode::kNotAnImage, where + "expired at " + catalog.expires + "; this PC's clock says " +
                                               UtcTimeText(m_state.now) + " (UTC)");
    case CatalogStatus::TooLarge:
        return Fail(ExitCode::kNotAnImage, m_state.problem);
    case CatalogStatus::Unreachable:
        return Fail(ExitCode::kNoDevice,
                    m_state.problem + "; the mirror " + WideToUtf8(m_settings.mirror) + " holds no good catalog");
    case CatalogStatus::MirrorUnwritable:
        break;
    }
    return Fail(ExitCode::kTransferFailed, "cannot write the firmware mirror " + WideToUtf8(m_settings.mirror));
}

std::optional<int> CatalogCommands::Ensure(const CatalogEntry& entry, ImageFetch& fetched) {
    fetched = EnsureImage(m_settings, entry);
    const std::string where = "image " + entry.file + " (" + entry.version + "): ";
    switch (fetched.status) {
    case ImageStatus::InMirror:
    case ImageStatus::Fetched:
        return std::nullopt;
    case ImageStatus::SizeMismatch:
    case ImageStatus::DigestMismatch:
        return Fail(ExitCode::kNotAnImage, where + std::to_string(fetched.bytes) + " bytes with SHA-256 " +
                                               fetched.sha256 + ", where the catalog lists " +
                                               std::to_string(entry.size) + " bytes with " + entry.sha256 +
                                               ": not kept");
    case ImageStatus::TooLarge:
        return Fail(ExitCode::kNotAnImage,
                    fetched.problem + " (the catalog lists " + std::to_string(entry.size) + " bytes): not kept");
    case ImageStatus::Unreachable:
        return Fail(ExitCode::kNoDevice, fetched.problem + "; the mirror does not hold it");
    case ImageStatus::MirrorUnwritable:
        break;
    }
    return Fail(ExitCode::kTransferFailed, "cannot write " + WideToUtf8(fetched.path) + " in the firmware mirror");
}

int CatalogCommands::List() {
    const CatalogFile& catalog = m_state.catalog;
    if (!m_options.json)
        m_reporter.Print("catalog sequence " + std::to_string(catalog.sequence) + ", published " + catalog.published +
                         ", expires " + catalog.expires + "\n");
    for (const CatalogEntry& entry : catalog.images) {
        const bool held = MirrorHasFile(m_settings.mirror, entry);
        if (m_options.json) {
            m_reporter.Print(JsonLine()
                                 .Add("version", entry.version)
                                 .Add("channel", entry.channel)
                                 .Add("released", entry.released)
                                 .AddNumber("size", entry.size)
                                 .Add("sha256", entry.sha256)
                                 .Add("file", entry.file)
                                 .AddBool("in_mirror", held)
                                 .Add("notes", entry.notes)
                                 .Line());
            continue;
        }
        std::string line = entry.version;
        line.resize(std::max<std::size_t>(line.size() + 2, 12), ' ');
        line += entry.channel;
        line.resize(std::max<std::size_t>(line.size() + 2, 24), ' ');
        line += entry.released + "  " + std::to_string(entry.size) + " bytes" + (held ? "  in the mirror" : "");
        m_reporter.Print(line + "\n" + (entry.notes.empty() ? "" : "            " + entry.notes + "\n"));
    }
    return ExitCode::kOk;
}
