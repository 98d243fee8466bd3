// The choice of an image from a catalog, and whether the catalog may be used.
#include "CatalogChoice.h"

#include "VersionOrder.h"

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    for (std::size_t i = 0; prefix[i] != '\0'; ++i) {
        if (i >= text.size() || (text[i] | 0x20) != prefix[i])
            return false;
    }
    return true;
}

} // namespace

CatalogFreshness JudgeFreshness(const CatalogFile& catalog, std::optional<std::uint64_t> lastGoodSequence,
                                std::int64_t now) {
    if (lastGoodSequence && catalog.sequence < *lastGoodSequence)
        return CatalogFreshness::Rollback;
    if (now >= catalog.expiresAt)
        return CatalogFreshness::Expired;
    return CatalogFreshness::Fresh;
}

const CatalogEntry* NewestImage(const CatalogFile& catalog, const std::string& channel) {
    const CatalogEntry* newest = nullptr;
    for (const CatalogEntry& entry : catalog.images) {
        if (entry.channel == channel && (!newest || CompareVersions(entry.version, newest->version) > 0))
            newest = &entry;
    }
    return newest;
}

const CatalogEntry* ImageOfVersion(const CatalogFile& catalog, const std::string& version, const std::string& channel) {
    const CatalogEntry* found = nullptr;
    for (const CatalogEntry& entry : catalog.images) {
        if (CompareVersions(entry.version, version) != 0 || !IsDottedVersion(version))
            continue;
        if (entry.channel == channel)
            return &entry;
        if (!found)
            found = &entry;
    }
    return found;
}

std::string ImageLocation(const std::string& catalogLocation, const CatalogEntry& entry) {
    if (StartsWithNoCase(entry.file, "http://") || StartsWithNoCase(entry.file, "https://"))
        return entry.file;
    const bool url = StartsWithNoCase(catalogLocation, "http://") || StartsWithNoCase(catalogLocation, "https://");
    std::string file = entry.file;
    // Within a folder, a relative name takes the folder's separator.
    if (!url) {
        for (char& c : file)
            c = c == '/' ? '\\' : c;
    }
    return catalogLocation + file;
}

std::string InfoLineDate(const std::string& date) {
    const bool iso = date.size() == 10 && date[4] == '-' && date[7] == '-' &&
                     date.find_first_not_of("0123456789-") == std::string::npos;
    return iso ? date.substr(8, 2) + "/" + date.substr(5, 2) + "/" + date.substr(0, 4) : date;
}
