// The checksum files beside an image: sha256sum and BSD lines, and the verdict of the two files together.
#include "ChecksumFile.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kHashDigits = 64;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBsdStart = "SHA256 (";
constexpr std::string_view kBsdBeforeHash = ") = ";

struct Line {
    std::string hash; // lower-case
    std::string name; // empty for a bare hash
};

std::optional<std::string> LowerHash(std::string_view text) {
    if (text.size() != kHashDigits)
        return std::nullopt;
    std::string hash(text);
    for (char& c : hash) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
        else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return hash;
}

// sha256sum marks a line whose name holds a backslash or a line feed with a leading backslash, and escapes both.
std::optional<std::string> Unescape(std::string_view name) {
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            plain += name[i];
        } else if (i + 1 < name.size() && (name[i + 1] == '\\' || name[i + 1] == 'n')) {
            plain += name[++i] == 'n' ? '\n' : '\\';
        } else {
            return std::nullopt;
        }
    }
    return plain;
}

std::optional<Line> ParseLine(std::string_view text, bool bareHashAllowed) {
    const bool escaped = !text.empty() && text.front() == '\\';
    if (escaped)
        text.remove_prefix(1);
    std::optional<std::string> hash;
    std::string_view name;
    if (text.substr(0, kBsdStart.size()) == kBsdStart &&
        text.size() > kBsdStart.size() + kBsdBeforeHash.size() + kHashDigits) {
        const std::size_t hashAt = text.size() - kHashDigits;
        if (text.substr(hashAt - kBsdBeforeHash.size(), kBsdBeforeHash.size()) != kBsdBeforeHash)
            return std::nullopt;
        hash = LowerHash(text.substr(hashAt));
        name = text.substr(kBsdStart.size(), hashAt - kBsdBeforeHash.size() - kBsdStart.size());
    } else if (text.size() > kHashDigits + 1 && text[kHashDigits] == ' ') {
        hash = LowerHash(text.substr(0, kHashDigits));
        // Two spaces (text mode) or a space and '*' (binary mode); some tools write a single space.
        const char mode = text[kHashDigits + 1];
        name = text.substr(kHashDigits + (mode == ' ' || mode == '*' ? 2 : 1));
    } else if (bareHashAllowed && !escaped) {
        hash = LowerHash(text);
        return hash ? std::optional<Line>(Line{*hash, {}}) : std::nullopt;
    }
    const std::optional<std::string> plain = escaped ? Unescape(name) : std::string(name);
    if (!hash || !plain || plain->empty())
        return std::nullopt;
    return Line{*hash, *plain};
}

std::string LastPart(const std::string& name) {
    const std::size_t separator = name.find_last_of("/\\");
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

// The distinct hashes that a file gives the image.
std::vector<std::string> HashesOfImage(std::string_view text, bool isImageSums, const std::string& imageName,
                                       FileNameEquals sameName) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string> hashes;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));

        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#')
            continue;
        // Windows names never end in a blank, and a CR may be left of a CRLF.
        line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
        const std::optional<Line> parsed = ParseLine(line, isImageSums);
        if (!parsed)
            continue;
        const bool forImage =
            parsed->name.empty() || parsed->name == "-" ? isImageSums : sameName(LastPart(parsed->name), imageName);
        if (forImage && std::find(hashes.begin(), hashes.end(), parsed->hash) == hashes.end())
            hashes.push_back(parsed->hash);
    }
    std::sort(hashes.begin(), hashes.end());
    return hashes;
}

ChecksumSource SourceOf(bool imageSums, bool folderSums) {
    if (imageSums && folderSums)
        return ChecksumSource::Both;
    if (imageSums)
        return ChecksumSource::ImageSums;
    return folderSums ? ChecksumSource::FolderSums : ChecksumSource::None;
}

} // namespace

ChecksumVerdict JudgeChecksums(const ChecksumTexts& texts, const std::string& imageName, const std::string& imageSha256,
                               FileNameEquals sameName) {
    std::vector<std::string> fromImageSums, fromFolderSums;
    if (texts.imageSums) {
        fromImageSums = HashesOfImage(*texts.imageSums, true, imageName, sameName);
        if (fromImageSums.empty())
            return {ChecksumState::NoHash, ChecksumSource::ImageSums};
    }
    if (texts.folderSums)
        fromFolderSums = HashesOfImage(*texts.folderSums, false, imageName, sameName);
    const bool imageSums = !fromImageSums.empty();
    const bool folderSums = !fromFolderSums.empty();
    if (!imageSums && !folderSums)
        return {};
    if (imageSums && folderSums && fromImageSums != fromFolderSums)
        return {ChecksumState::Disagree, ChecksumSource::Both};

    // The image's own hash, as computed; empty (the system could not hash) matches nothing.
    const std::optional<std::string> actual = LowerHash(imageSha256);
    const auto mismatches = [&](const std::vector<std::string>& hashes) {
        return !hashes.empty() && (!actual || hashes != std::vector<std::string>{*actual});
    };
    const bool imageSumsMismatch = mismatches(fromImageSums);
    const bool folderSumsMismatch = mismatches(fromFolderSums);
    if (imageSumsMismatch || folderSumsMismatch)
        return {ChecksumState::Mismatch, SourceOf(imageSumsMismatch, folderSumsMismatch)};
    return {ChecksumState::Match, SourceOf(imageSums, folderSums)};
}
