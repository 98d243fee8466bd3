// Catalog and image fetched into memory or a temporary file, judged, and only then put in the mirror.
#include "CatalogRefresh.h"

#include <optional>

#include <windows.h>

#include "AnsiText.h"
#include "BackgroundSink.h"
#include "CatalogChoice.h"
#include "CatalogFetch.h"
#include "FirmwareMirror.h"
#include "ImageSignature.h"
#include "SideFile.h"

namespace {

class MemorySink : public FetchSink {
public:
    bool Take(const std::uint8_t* data, std::size_t size) override {
        bytes.append(reinterpret_cast<const char*>(data), size);
        return true;
    }
    std::string bytes;
};

std::int64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100 ns ticks since 1601-01-01.
    return static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL;
}

SignatureCheck Verify(const std::string& catalog, const std::string& signature, const std::wstring& trustedFolder) {
    return VerifyImageSignature(reinterpret_cast<const std::uint8_t*>(signature.data()), signature.size(),
                                reinterpret_cast<const std::uint8_t*>(catalog.data()), catalog.size(), trustedFolder);
}

// The mirror's last good catalog, if it still verifies and reads.
std::optional<CatalogRead> LastGood(const std::wstring& mirror, const std::wstring& trustedFolder,
                                    std::string& signer) {
    std::string catalog, signature;
    if (mirror.empty() || ReadSideFile(mirror + Utf8ToWide(kCatalogFileName), catalog) != SideFileRead::Read ||
        ReadSideFile(mirror + Utf8ToWide(kCatalogSignatureName), signature) != SideFileRead::Read)
        return std::nullopt;
    const SignatureCheck check = Verify(catalog, signature, trustedFolder);
    CatalogRead read = ReadCatalogFile(catalog);
    if (check.state != SignatureState::Valid || read.problem != CatalogProblem::None)
        return std::nullopt;
    signer = check.signer;
    return read;
}

bool Keep(const std::wstring& mirror, const char* name, const std::string& bytes) {
    // The same publication again needs no write: in a mirror that users share, another user's copy may not be
    // replaceable, and a catalog verified in memory must not read as a failure for that.
    std::string kept;
    if (ReadSideFile(mirror + Utf8ToWide(name), kept) == SideFileRead::Read && kept == bytes)
        return true;
    MirrorFile file(mirror, Utf8ToWide(name));
    return file.IsOpen() && file.Take(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) &&
           file.Commit();
}

} // namespace

CatalogState RefreshCatalog(const CatalogSettings& settings, const std::wstring& trustedFolder) {
    CatalogState state;
    state.now = Now();
    std::string lastSigner;
    const std::optional<CatalogRead> lastGood = LastGood(settings.mirror, trustedFolder, lastSigner);
    if (lastGood)
        state.lastGoodSequence = lastGood->catalog.sequence;

    MemorySink catalog, signature;
    FetchResult fetched = FetchFile(settings.location + Utf8ToWide(kCatalogFileName), kSideFileMaxSize, catalog);
    if (fetched.status == FetchStatus::Ok)
        fetched = FetchFile(settings.location + Utf8ToWide(kCatalogSignatureName), kSideFileMaxSize, signature);
    if (fetched.status == FetchStatus::TooLarge) {
        state.status = CatalogStatus::TooLarge;
        state.problem = fetched.problem;
        return state;
    }
    if (fetched.status != FetchStatus::Ok) {
        state.problem = fetched.problem;
        if (lastGood) {
            state.status = CatalogStatus::Offline;
            state.catalog = lastGood->catalog;
            state.signer = lastSigner;
        }
        return state;
    }

    const SignatureCheck check = Verify(catalog.bytes, signature.bytes, trustedFolder);
    state.signer = check.signer;
    if (check.state != SignatureState::Valid) {
        state.status = check.state == SignatureState::Untrusted ? CatalogStatus::Untrusted : CatalogStatus::Tampered;
        return state;
    }
    CatalogRead read = ReadCatalogFile(catalog.bytes);
    if (read.problem != CatalogProblem::None) {
        state.status = CatalogStatus::Unusable;
        state.problem = read.detail;
        return state;
    }
    state.catalog = std::move(read.catalog);
    switch (JudgeFreshness(state.catalog, lastGood ? std::optional(state.lastGoodSequence) : std::nullopt, state.now)) {
    case CatalogFreshness::Rollback:
        state.status = CatalogStatus::Rollback;
        return state;
    case CatalogFreshness::Expired:
        state.status = CatalogStatus::Expired;
        return state;
    case CatalogFreshness::Fresh:
        break;
    }
    // The signature first: a catalog.json beside the signature of another publication fails to verify, and so is
    // never taken for a good one.
    state.status = Keep(settings.mirror, kCatalogSignatureName, signature.bytes) &&
                           Keep(settings.mirror, kCatalogFileName, catalog.bytes)
                       ? CatalogStatus::Fresh
                       : CatalogStatus::MirrorUnwritable;
    return state;
}

ImageFetch EnsureImage(const CatalogSettings& settings, const CatalogEntry& entry) {
    ImageFetch result;
    const std::wstring name = Utf8ToWide(entry.fileName);
    result.path = settings.mirror + name;
    if (MirrorHolds(settings.mirror, entry)) {
        result.status = ImageStatus::InMirror;
        result.bytes = entry.size;
        result.sha256 = entry.sha256;
        return result;
    }
    MirrorFile file(settings.mirror, name);
    if (!file.IsOpen()) {
        result.status = ImageStatus::MirrorUnwritable;
        return result;
    }
    BackgroundSink background(file);
    FetchResult fetched =
        FetchFile(Utf8ToWide(ImageLocation(WideToUtf8(settings.location), entry)), entry.size, background);
    if (!background.Finish() && fetched.status == FetchStatus::Ok)
        fetched.status = FetchStatus::SinkFailed;
    result.bytes = fetched.bytes;
    result.problem = fetched.problem;
    switch (fetched.status) {
    case FetchStatus::TooLarge:
        result.status = ImageStatus::TooLarge;
        return result;
    case FetchStatus::Unreachable:
        result.status = ImageStatus::Unreachable;
        return result;
    case FetchStatus::SinkFailed:
        result.status = ImageStatus::MirrorUnwritable;
        return result;
    case FetchStatus::Ok:
        break;
    }
    result.sha256 = file.Sha256();
    if (fetched.bytes != entry.size)
        result.status = ImageStatus::SizeMismatch;
    else if (result.sha256 != entry.sha256)
        result.status = ImageStatus::DigestMismatch;
    else
        result.status = file.Commit() ? ImageStatus::Fetched : ImageStatus::MirrorUnwritable;
    return result;
}
