// Texts written into the window's byte buffer: cut at its limit between characters, in single-byte, double-byte and
// UTF-8 code pages alike.
#include <gtest/gtest.h>

#include <string>

#include "AnsiText.h"

TEST(AnsiText, ALongTextIsCutAtTheLimitBetweenCharacters) {
    const struct {
        const char* what;
        unsigned codePage;
        std::wstring text;
        std::size_t size;
        std::string expected;
    } cases[] = {
        {"Western: accented letters and the euro sign are one byte", 1252, L"Caf\x00E9 \x20AC 5", 260,
         "Caf\xE9 \x80 5"},
        {"Western: 300 letters keep 259", 1252, std::wstring(300, L'x'), 260, std::string(259, 'x')},
        {"Shift-JIS: the character over byte 259 is left out whole", 932, L"\x3042\x3044" + std::wstring(128, L'x'), 4,
         "\x82\xA0"},
        {"Shift-JIS: 130 double-byte characters keep 129", 932, std::wstring(130, L'\x3042'), 260,
         [] {
             std::string kept;
             for (int i = 0; i < 129; ++i)
                 kept += "\x82\xA0";
             return kept;
         }()},
        {"UTF-8: three-byte characters", 65001, std::wstring(87, L'\x20AC'), 260,
         [] {
             std::string kept;
             for (int i = 0; i < 86; ++i)
                 kept += "\xE2\x82\xAC";
             return kept;
         }()},
        {"UTF-8: a surrogate pair is one character", 65001, L"ab\xD83D\xDE00", 6, "ab"},
        {"UTF-8: a surrogate pair that fits", 65001, L"ab\xD83D\xDE00", 7, "ab\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        char buffer[260];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        const std::size_t written = CopyAsAnsi(c.text, buffer, c.size, c.codePage);
        EXPECT_EQ(written, c.expected.size());
        EXPECT_EQ(std::string(buffer), c.expected);
    }
}
