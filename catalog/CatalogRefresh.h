// The refresh of the mirror from the vendor's catalog: the catalog fetched and judged (signature, rollback, expiry)
// before anything in it is used, and an image fetched and judged (size, SHA-256) before it is kept.
#pragma once

#include <cstdint>
#include <string>

#include "CatalogFile.h"
#include "CatalogSettings.h"

enum class CatalogStatus {
    Fresh,            // fetched, verified and now the mirror's last good catalog
    Offline,          // not reachable: the mirror's last good catalog serves
    Tampered,         // its signature does not verify its bytes, or there is none
    Untrusted,        // signed by a signer the trusted certificates do not vouch for
    Unusable,         // not a catalog this tool can read (`problem` says why; "a newer tool" for a newer format)
    Rollback,         // its sequence is lower than the last good catalog's
    Expired,          // past its "expires" by the PC's clock
    TooLarge,         // the catalog or its signature is larger than 1 MiB
    Unreachable,      // not reachable, and the mirror holds no good catalog
    MirrorUnwritable, // verified, but the mirror cannot keep it
};

struct CatalogState {
    CatalogStatus status = CatalogStatus::Unreachable;
    // Fresh or Offline: the catalog, and its signer's subject (also the untrusted signer's).
    CatalogFile catalog;
    std::string signer;
    // Why it was not fetched (Offline, Unreachable, TooLarge), or why it cannot be read (Unusable).
    std::string problem;
    // The PC's clock (seconds since 1970 UTC) and the last good catalog's sequence, for the words of a refusal.
    std::int64_t now = 0;
    std::uint64_t lastGoodSequence = 0;

    bool Usable() const { return status == CatalogStatus::Fresh || status == CatalogStatus::Offline; }
};

// Fetches the catalog and its signature from `settings.location`, judges them and keeps them in the mirror; a
// refused catalog never replaces the last good one.
CatalogState RefreshCatalog(const CatalogSettings& settings, const std::wstring& trustedFolder);

enum class ImageStatus {
    InMirror,         // the mirror held it whole already
    Fetched,          // fetched, verified and put in the mirror
    SizeMismatch,     // shorter than its entry's size
    DigestMismatch,   // its SHA-256 differs from its entry's
    TooLarge,         // longer than its entry's size: cut off
    Unreachable,      // not in the mirror, and cannot be fetched
    MirrorUnwritable, // the mirror cannot keep it
};

struct ImageFetch {
    ImageStatus status = ImageStatus::Unreachable;
    std::wstring path; // in the mirror, when it is there
    std::string problem;
    std::uint64_t bytes = 0;
    std::string sha256;

    bool Usable() const { return status == ImageStatus::InMirror || status == ImageStatus::Fetched; }
};

// The entry's image in the mirror: there already, or fetched from beside the catalog and verified first.
ImageFetch EnsureImage(const CatalogSettings& settings, const CatalogEntry& entry);
