// The checksum files beside an image: each line format, encoding, line ends, byte-order mark, comments, names, and
// the verdict of the two files together.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "ChecksumFile.h"

namespace {

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kHashUpper = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
const std::string kOther = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";

bool AsciiNameEquals(const std::string& a, const std::string& b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The text in UTF-16 with its byte-order mark, as Windows PowerShell 5.1's `>` writes it (little-endian).
std::string Utf16(const std::u16string& text, bool bigEndian = false) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace

TEST(ChecksumFile, JudgesTheImageByItsChecksumFiles) {
    using S = ChecksumState;
    using F = ChecksumSource;
    const struct {
        const char* what;
        std::optional<std::string> imageSums;  // fw.hdr.sha256
        std::optional<std::string> folderSums; // SHA256SUMS
        ChecksumState state;
        ChecksumSource source;
    } cases[] = {
        {"no checksum file", std::nullopt, std::nullopt, S::None, F::None},
        {"sha256sum text mode", kHash + "  fw.hdr\n", std::nullopt, S::Match, F::ImageSums},
        {"binary mode; upper case, CRLF, BOM, comment, blank, another file", std::nullopt,
         "\xEF\xBB\xBF#\r\n\r\n" + kOther + "  a.hdr\r\n" + kHashUpper + " *FW.HDR\r\n", S::Match, F::FolderSums},
        {"BSD tag with a path", std::nullopt, "SHA256 (release/1.2/fw.hdr) = " + kHash, S::Match, F::FolderSums},
        {"escaped backslash", std::nullopt, "\\" + kHash + "  dir\\\\fw.hdr\n", S::Match, F::FolderSums},
        {"bare hash, both agree", "  " + kHash + "\r\n", kHash + "  fw.hdr", S::Match, F::Both},
        {"standard input's name '-'", kHash + "  -\n", std::nullopt, S::Match, F::ImageSums},
        {"a bare hash in SHA256SUMS is no line", std::nullopt, kHash + "\n", S::None, F::None},
        {"SHA256SUMS for others", std::nullopt, kOther + "  fw.hdr.old\n" + kHash + "  fw.hd", S::None, F::None},
        {"a SHA-512 line is no SHA-256 line", std::nullopt, kHash + kOther + "  fw.hdr", S::None, F::None},
        {"the .sha256 file names another file only", kHash + "  other.hdr\n", std::nullopt, S::NoHash, F::ImageSums},
        {"empty .sha256, SHA256SUMS matching", "# nothing\n\n", kHash + "  fw.hdr", S::NoHash, F::ImageSums},
        {"the .sha256 file with another hash", kOther + "  fw.hdr", std::nullopt, S::Mismatch, F::ImageSums},
        {"SHA256SUMS with another hash, BSD", std::nullopt, "SHA256 (fw.hdr) = " + kOther, S::Mismatch, F::FolderSums},
        {"named twice, once wrongly", std::nullopt, kHash + "  fw.hdr\n" + kOther + "  o/fw.hdr", S::Mismatch,
         F::FolderSums},
        {"both files agree on another hash", kOther, kOther + "  fw.hdr", S::Mismatch, F::Both},
        {"the two files disagree", kHash, kOther + "  fw.hdr", S::Disagree, F::Both},
        {"UTF-16LE", std::nullopt, Utf16(Wide(kOther + "  a.hdr\r\n" + kHash + " *fw.hdr\r\n")), S::Match,
         F::FolderSums},
        {"UTF-16BE with another hash", Utf16(Wide(kOther), true), std::nullopt, S::Mismatch, F::ImageSums},
        {"OpenSSL 1", std::nullopt, "SHA256(fw.hdr)= " + kHash + "\n", S::Match, F::FolderSums},
        {"OpenSSL 3 with another hash", "SHA2-256(x/fw.hdr)= " + kOther, std::nullopt, S::Mismatch, F::ImageSums},
        {"tabs", std::nullopt, "\t" + kHash + "\tfw.hdr\t\n", S::Match, F::FolderSums},
        {"SHA256SUMS with lines, none a checksum line", std::nullopt, "fw.hdr: OK\n", S::NoHash, F::FolderSums},
        {"SHA256SUMS in UTF-16 without a mark", std::nullopt, Utf16(Wide(kHash + "  fw.hdr")).substr(2), S::NoHash,
         F::FolderSums},
        {"SHA256SUMS of comments and blanks only", std::nullopt, "# none yet\r\n \t\r\n", S::None, F::None},
        {"other digests only", std::nullopt,
         "SHA512 (fw.hdr) = " + kHash + kOther + "\nMD5(fw.hdr)= " + kHash.substr(32), S::None, F::None},
    };
    for (const auto& c : cases) {
        const ChecksumVerdict verdict = JudgeChecksums({c.imageSums, c.folderSums}, "fw.hdr", kHash, AsciiNameEquals);
        EXPECT_EQ(verdict.state, c.state) << c.what;
        EXPECT_EQ(verdict.source, c.source) << c.what;
    }
    // A name beyond ASCII in UTF-16, a character outside the BMP among it.
    EXPECT_EQ(JudgeChecksums({std::nullopt, Utf16(Wide(kHash + "  ") + u"\u00e9\U0001F600.hdr")},
                             "\xC3\xA9\xF0\x9F\x98\x80.hdr", kHash, AsciiNameEquals)
                  .state,
              S::Match);
    // An image the system could not hash matches no checksum.
    EXPECT_EQ(JudgeChecksums({kHash, std::nullopt}, "fw.hdr", "", AsciiNameEquals).state, S::Mismatch);
}
