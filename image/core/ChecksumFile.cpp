// The checksum files beside an image: sha256sum, BSD and OpenSSL lines in UTF-8 or UTF-16, and the verdict of the two
// files together.
#include "ChecksumFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <vector>

#include "Utf16.h"

namespace {

constexpr std::size_t kHashDigits = 64;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kBlanks = " \t";
// The tags that name SHA-256 in "TAG (name) = hash" (BSD) and "TAG(name)= hash" (OpenSSL 1 and 3).
constexpr std::string_view kSha256Tags[] = {"SHA256", "SHA2-256"};

struct Line {
    std::string hash;   // lower-case
    std::string name;   // empty for a bare hash
    bool sha256 = true; // false for another digest's line
};

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The digest in lower case when the text is one of a length that common digests have (MD5 to SHA-512): a line of
// another digest is still a checksum line, one that says nothing of the SHA-256.
std::optional<std::string> LowerHash(std::string_view text) {
    static constexpr std::size_t kDigestDigits[] = {32, 40, 56, kHashDigits, 96, 128};
    if (std::find(std::begin(kDigestDigits), std::end(kDigestDigits), text.size()) == std::end(kDigestDigits) ||
        !std::all_of(text.begin(), text.end(), IsHexDigit))
        return std::nullopt;
    std::string hash(text);
    for (char& c : hash) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return hash;
}

// The file's text as UTF-8: UTF-16 with its byte-order mark (Windows PowerShell 5.1 writes UTF-16LE with `>`),
// else UTF-8 with or without one. An unpaired surrogate becomes U+FFFD, a last odd byte is dropped.
std::string Utf8Text(std::string_view bytes) {
    const bool littleEndian = bytes.substr(0, 2) == kUtf16LeMark;
    if (!littleEndian && bytes.substr(0, 2) != kUtf16BeMark)
        return std::string(bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark ? bytes.substr(3) : bytes);
    const auto unit = [&](std::size_t at) -> std::uint32_t {
        const auto low = static_cast<unsigned char>(bytes[at + (littleEndian ? 0 : 1)]);
        const auto high = static_cast<unsigned char>(bytes[at + (littleEndian ? 1 : 0)]);
        return static_cast<std::uint32_t>(high << 8 | low);
    };
    std::u16string units;
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2)
        units += static_cast<char16_t>(unit(at));
    return Utf16ToUtf8(units);
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) + 1 - first);
}

// "TAG (name) = hash" or "TAG(name)= hash": the name runs to the last ')' before the last '='.
std::optional<Line> ParseTagLine(std::string_view text) {
    const std::size_t open = text.find('(');
    const std::size_t equals = text.rfind('=');
    if (open == std::string_view::npos || equals == std::string_view::npos || equals < open)
        return std::nullopt;
    const std::string_view tag = Trimmed(text.substr(0, open));
    const std::string_view beforeEquals = Trimmed(text.substr(open + 1, equals - open - 1));
    const std::optional<std::string> hash = LowerHash(Trimmed(text.substr(equals + 1)));
    if (tag.empty() || beforeEquals.empty() || beforeEquals.back() != ')' || !hash ||
        !std::all_of(tag.begin(), tag.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; }))
        return std::nullopt;
    const std::string_view name = text.substr(open + 1, text.rfind(')', equals) - open - 1);
    const bool sha256 = std::find(std::begin(kSha256Tags), std::end(kSha256Tags), tag) != std::end(kSha256Tags);
    return Line{*hash, std::string(name), sha256 && hash->size() == kHashDigits};
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

// A checksum line of any digest; a bare hash has no name.
std::optional<Line> ParseLine(std::string_view text) {
    if (!text.empty() && IsHexDigit(text.front())) {
        const std::size_t end = std::min(text.find_first_not_of("0123456789abcdefABCDEF"), text.size());
        if (end == text.size()) {
            const std::optional<std::string> hash = LowerHash(text);
            return hash ? std::optional<Line>(Line{*hash, {}, hash->size() == kHashDigits}) : std::nullopt;
        }
    }
    const bool escaped = !text.empty() && text.front() == '\\';
    if (escaped)
        text.remove_prefix(1);
    const std::size_t hashEnd = text.find_first_of(kBlanks);
    if (hashEnd == std::string_view::npos || hashEnd + 1 >= text.size())
        return escaped ? std::nullopt : ParseTagLine(text);
    const std::optional<std::string> hash = LowerHash(text.substr(0, hashEnd));
    if (!hash)
        return escaped ? std::nullopt : ParseTagLine(text);
    // A blank and a space (text mode) or '*' (binary mode); some tools write a single blank.
    const char mode = text[hashEnd + 1];
    const std::string_view name = text.substr(hashEnd + (mode == ' ' || mode == '\t' || mode == '*' ? 2 : 1));
    const std::optional<std::string> plain = escaped ? Unescape(name) : std::string(name);
    if (!plain || plain->empty())
        return std::nullopt;
    return Line{*hash, *plain, hash->size() == kHashDigits};
}

std::string LastPart(const std::string& name) {
    const std::size_t separator = name.find_last_of("/\\");
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

struct FileHashes {
    std::vector<std::string> ofImage; // the distinct SHA-256s that the file gives the image, in order
    bool unreadable = false;          // it holds lines, but not one that is a checksum line
};

FileHashes HashesOfImage(std::string_view bytes, bool isImageSums, const std::string& imageName,
                         FileNameEquals sameName) {
    const std::string utf8 = Utf8Text(bytes);
    std::string_view text = utf8;
    std::vector<std::string> hashes;
    bool anyLine = false, anyChecksumLine = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));

        // Windows names never end in a blank, and a CR may be left of a CRLF.
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#')
            continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
        anyLine = true;
        const std::optional<Line> parsed = ParseLine(line);
        anyChecksumLine = anyChecksumLine || parsed;
        if (!parsed || !parsed->sha256)
            continue;
        // A bare hash, or sha256sum's name for its standard input, speaks of the image only in its own file.
        const bool forImage =
            parsed->name.empty() || parsed->name == "-" ? isImageSums : sameName(LastPart(parsed->name), imageName);
        if (forImage && std::find(hashes.begin(), hashes.end(), parsed->hash) == hashes.end())
            hashes.push_back(parsed->hash);
    }
    std::sort(hashes.begin(), hashes.end());
    return {hashes, anyLine && !anyChecksumLine};
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
        fromImageSums = HashesOfImage(*texts.imageSums, true, imageName, sameName).ofImage;
        if (fromImageSums.empty())
            return {ChecksumState::NoHash, ChecksumSource::ImageSums};
    }
    if (texts.folderSums) {
        const FileHashes folder = HashesOfImage(*texts.folderSums, false, imageName, sameName);
        // A file that cannot be read as a checksum list (another encoding, another tool's form) would otherwise
        // pass for one that does not name the image.
        if (folder.unreadable)
            return {ChecksumState::NoHash, ChecksumSource::FolderSums};
        fromFolderSums = folder.ofImage;
    }
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
