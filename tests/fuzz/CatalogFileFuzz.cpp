// Fuzzes the catalog reader with any bytes: no fault, and a catalog it takes holds only what a mirror may use:
// dotted versions, lower-case digests, file names without a folder, an expiry that reads back as written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "CatalogFile.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CatalogRead read = ReadCatalogFile(std::string_view(reinterpret_cast<const char*>(data), size));
    Require((read.problem == CatalogProblem::None) == read.detail.empty());
    if (read.problem != CatalogProblem::None) {
        return 0;
    }
    Require(UtcTimeText(read.catalog.expiresAt) == read.catalog.expires);
    for (const CatalogEntry& entry : read.catalog.images) {
        Require(IsDottedVersion(entry.version) && !entry.channel.empty() && entry.size > 0);
        Require(entry.sha256.size() == 64 && entry.sha256.find_first_not_of("0123456789abcdef") == std::string::npos);
        Require(!entry.fileName.empty() && entry.fileName != ".." &&
                entry.fileName.find_first_of("/\\:") == std::string::npos);
    }
    return 0;
}
