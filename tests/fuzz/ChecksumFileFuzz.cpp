// Fuzzes the checksum files' reading with any two texts: no fault, the same verdict whatever the line ends and
// byte-order mark, and a match only for a hash that the texts hold.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ChecksumFile.h"

namespace {

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The verdict on the texts, with their line ends made CRLF and a byte-order mark put in front if asked.
ChecksumVerdict Judge(ChecksumTexts texts, bool crlf, bool bom) {
    for (std::optional<std::string>* text : {&texts.imageSums, &texts.folderSums}) {
        std::string changed = bom && text->value_or("").rfind("\xEF\xBB\xBF", 0) != 0 ? "\xEF\xBB\xBF" : "";
        for (const char c : text->value_or("")) {
            changed += crlf && c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        *text = *text ? std::optional<std::string>(changed) : std::nullopt;
    }
    return JudgeChecksums(texts, "fw.hdr", kHash, [](const std::string& a, const std::string& b) { return a == b; });
}

bool IsUtf16(const std::optional<std::string>& text) {
    return text && text->size() >= 2 && (text->compare(0, 2, "\xFF\xFE") == 0 || text->compare(0, 2, "\xFE\xFF") == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte says which files there are and where the first text ends.
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = (data[0] >> 2) % (rest.size() + 1);
    const ChecksumTexts texts{data[0] & 1 ? std::optional(rest.substr(0, split)) : std::nullopt,
                              data[0] & 2 ? std::optional(rest.substr(split)) : std::nullopt};
    const ChecksumVerdict verdict = Judge(texts, false, false);
    Require((verdict.state == ChecksumState::None) == (verdict.source == ChecksumSource::None));
    // A mark or CRs put into UTF-16 bytes would change the text they spell.
    if (!IsUtf16(texts.imageSums) && !IsUtf16(texts.folderSums)) {
        for (const bool crlf : {false, rest.find('\r') == std::string::npos}) {
            const ChecksumVerdict changed = Judge(texts, crlf, true);
            Require(changed.state == verdict.state && changed.source == verdict.source);
        }
    }
    for (char& c : rest) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    Require(verdict.state != ChecksumState::Match || rest.find(kHash) != std::string::npos);
    return 0;
}
