// What a verified catalog offers: whether it may be used at all (rollback, expiry), and which of its images.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CatalogFile.h"

inline constexpr char kDefaultChannel[] = "stable";

enum class CatalogFreshness {
    Fresh,
    Rollback, // its sequence is lower than the last good catalog's
    Expired,  // the PC's clock is past its "expires"
};

// Judges a catalog whose signature verified against the last good one's sequence (none when there is none) and the
// PC's clock (seconds since 1970 UTC). The same sequence again is the same publication fetched again.
CatalogFreshness JudgeFreshness(const CatalogFile& catalog, std::optional<std::uint64_t> lastGoodSequence,
                                std::int64_t now);

// The newest image of `channel`; nothing when the channel lists none. Of equal versions, the first listed.
const CatalogEntry* NewestImage(const CatalogFile& catalog, const std::string& channel);
// The image of version `version` (2.4 finds 2.4.0), of `channel` when that channel lists it, else of any channel.
const CatalogEntry* ImageOfVersion(const CatalogFile& catalog, const std::string& version, const std::string& channel);

// A catalog's date ("2026-11-30") as the image info line writes dates ("30/11/2026"); any other text as it is.
std::string InfoLineDate(const std::string& date);

// Where an entry's file is: `file` itself when it is an http(s) URL, else `file` relative to the folder or URL of
// the catalog (`catalogLocation`, the location of catalog.json without its name, ending in '/' or '\').
std::string ImageLocation(const std::string& catalogLocation, const CatalogEntry& entry);
