// Fuzzes the checksum files' reading with any two texts: no fault, the same verdict whatever the line ends and
// byte-order mark, and a match only for a hash that the texts hold.
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

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool AsciiNameEquals(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return out;
}

std::optional<std::string> Map(const std::optional<std::string>& text, std::string (*change)(const std::string&)) {
    return text ? std::optional<std::string>(change(*text)) : std::nullopt;
}

bool SameVerdict(const ChecksumVerdict& a, const ChecksumVerdict& b) {
    return a.state == b.state && a.source == b.source;
}

bool HoldsHash(const std::optional<std::string>& text) {
    if (!text) {
        return false;
    }
    std::string lower = *text;
    for (char& c : lower) {
        c = Lower(c);
    }
    return lower.find(kHash) != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte says which files there are and where the first text ends.
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = rest.empty() ? 0 : (data[0] >> 2) % (rest.size() + 1);
    ChecksumTexts texts;
    if (data[0] & 1) {
        texts.imageSums = rest.substr(0, split);
    }
    if (data[0] & 2) {
        texts.folderSums = rest.substr(split);
    }
    const ChecksumVerdict verdict = JudgeChecksums(texts, "fw.hdr", kHash, AsciiNameEquals);

    Require((verdict.state == ChecksumState::None) == (verdict.source == ChecksumSource::None));
    Require(texts.imageSums || verdict.state != ChecksumState::NoHash);
    Require(verdict.state != ChecksumState::Match || HoldsHash(texts.imageSums) || HoldsHash(texts.folderSums));
    if (rest.find('\r') == std::string::npos) {
        Require(SameVerdict(verdict, JudgeChecksums({Map(texts.imageSums, WithCrLf), Map(texts.folderSums, WithCrLf)},
                                                    "fw.hdr", kHash, AsciiNameEquals)));
    }
    const auto withBom = [](const std::string& text) {
        return text.rfind("\xEF\xBB\xBF", 0) == 0 ? text : "\xEF\xBB\xBF" + text;
    };
    Require(SameVerdict(verdict, JudgeChecksums({Map(texts.imageSums, withBom), Map(texts.folderSums, withBom)},
                                                "fw.hdr", kHash, AsciiNameEquals)));
    return 0;
}
