// Versions compared as numbers, part by part; a missing part counts as 0.
#include "VersionOrder.h"

#include <cstdint>

#include "CatalogFile.h"

namespace {

// The next part's value, and `text` moved past it and its dot.
std::uint64_t TakePart(std::string_view& text) {
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] != '.'; ++i)
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    text.remove_prefix(i < text.size() ? i + 1 : i);
    return value;
}

} // namespace

int CompareVersions(std::string_view a, std::string_view b) {
    const bool aValid = IsDottedVersion(a);
    const bool bValid = IsDottedVersion(b);
    if (!aValid || !bValid)
        return static_cast<int>(aValid) - static_cast<int>(bValid);
    while (!a.empty() || !b.empty()) {
        const std::uint64_t partA = TakePart(a);
        const std::uint64_t partB = TakePart(b);
        if (partA != partB)
            return partA < partB ? -1 : 1;
    }
    return 0;
}
