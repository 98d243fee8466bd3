// Field reading, marker and port tests, and the image info text of the firmware image header.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ImageHeader.h"

namespace {

ImageHeader HeaderWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    ImageHeader header;
    for (const auto& [offset, value] : bytes) {
        header.bytes[offset] = value;
    }
    return header;
}

// Stands in for the main window's text lookup: the text of key K is "text K".
std::string FakeText(const char* key) {
    return std::string("text ") + key;
}

} // namespace

TEST(ImageHeader, ReadsEachFieldLittleEndianAtItsOffset) {
    ImageHeader header;
    const std::uint8_t command[] = {0x24, 0x01, 0x03, 0x78, 0x56, 0x34, 0x12, 0x04,
                                    0x08, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x7F};
    std::copy(std::begin(command), std::end(command), header.bytes.begin());
    const std::uint8_t date[] = {0x1F, 0x55, 0x0C, 0xFF};
    std::copy(std::begin(date), std::end(date), header.bytes.begin() + 1024);

    EXPECT_EQ(header.Marker(), 0x24);
    EXPECT_EQ(header.Port(), 0x01);
    EXPECT_EQ(header.FlashKind(), 0x03);
    EXPECT_EQ(header.StartAddress(), 0x12345678u);
    EXPECT_EQ(header.FileSize(), -2147481596); // 0x80000804
    EXPECT_EQ(header.PacketCount(), 0x7FFFFFFF);
    EXPECT_TRUE(header.HasDate());
    EXPECT_EQ(header.DateFirst(), 31);
    EXPECT_EQ(header.DateSecond(), 12);
    EXPECT_EQ(header.Year(), 1999);

    EXPECT_FALSE(HeaderWith({{3, 0xFF}, {4, 0xFF}, {6, 0xFF}}).HasDate());
}

TEST(ImageHeader, MarkerAndPortTests) {
    EXPECT_TRUE(HasImageMarker(HeaderWith({{0, '$'}})));
    EXPECT_FALSE(HasImageMarker(HeaderWith({{0, 0x23}})));
    EXPECT_FALSE(HasImageMarker(HeaderWith({{0, 0x00}, {1, 0x24}})));

    EXPECT_TRUE(IsUsbImage(HeaderWith({{1, 0x01}})));
    EXPECT_TRUE(IsUsbImage(HeaderWith({{1, 0xFF}})));
    EXPECT_FALSE(IsUsbImage(HeaderWith({{0, '$'}, {1, 0x00}, {2, 0x01}})));
}

TEST(ImageHeader, InfoTextByFlashKindAndDate) {
    struct Case {
        const char* name;
        ImageHeader header;
        std::optional<std::string> expected;
    };
    // Start address 0x00010000 has byte 5 set, 0x00008000 has it clear.
    const std::vector<Case> cases = {
        {"e-flash", HeaderWith({{2, 1}, {5, 1}, {1024, 0x1F}}), "text 1027"},
        {"serial flash dated", HeaderWith({{2, 2}, {5, 1}, {1024, 0x1F}, {1025, 0x63}, {1026, 0x0C}, {1027, 0x0E}}),
         "text 1026 31/12/2014"},
        {"serial flash undated", HeaderWith({{2, 2}, {4, 0x80}, {1024, 0x1F}, {1026, 0x0C}, {1027, 0x0E}}),
         "text 1028"},
        {"signed date bytes", HeaderWith({{2, 2}, {5, 1}, {1024, 0x80}, {1026, 0xFF}, {1027, 0x80}}),
         "text 1026 -128/-1/1872"},
        {"year 2127", HeaderWith({{2, 2}, {5, 0xFF}, {1024, 0x00}, {1026, 0x7F}, {1027, 0x7F}}),
         "text 1026 0/127/2127"},
        {"NAND", HeaderWith({{2, 3}, {5, 1}}), std::nullopt},
        {"kind 0", HeaderWith({{2, 0}, {5, 1}}), std::nullopt},
        {"kind 4", HeaderWith({{2, 4}, {5, 1}}), std::nullopt},
        {"kind 255", HeaderWith({{2, 0xFF}}), std::nullopt},
    };
    for (const Case& c : cases) {
        std::vector<std::string> keysLookedUp;
        std::string lookedUp;
        const std::optional<std::string> text = ImageInfoText(c.header, [&](const char* key) {
            keysLookedUp.emplace_back(key);
            lookedUp = FakeText(key);
            return lookedUp.c_str();
        });
        EXPECT_EQ(text, c.expected) << c.name;
        EXPECT_EQ(keysLookedUp.size(), c.expected ? 1u : 0u) << c.name;
    }
}

TEST(ImageHeader, InfoTextIsCutTo259Characters) {
    const std::string longText(300, 'x');
    const auto lookupLong = [&](const char*) { return longText.c_str(); };
    EXPECT_EQ(ImageInfoText(HeaderWith({{2, 1}}), lookupLong), std::string(259, 'x'));
    EXPECT_EQ(ImageInfoText(HeaderWith({{2, 2}, {5, 1}}), lookupLong), std::string(259, 'x'));

    // The date is cut, not the text before it.
    const std::string text250(250, 'y');
    const auto lookup250 = [&](const char*) { return text250.c_str(); };
    const ImageHeader dated = HeaderWith({{2, 2}, {5, 1}, {1024, 0x1F}, {1026, 0x0C}, {1027, 0x0E}});
    EXPECT_EQ(ImageInfoText(dated, lookup250), text250 + " 31/12/20");

    const std::string text248(248, 'z');
    EXPECT_EQ(ImageInfoText(dated, [&](const char*) { return text248.c_str(); }), text248 + " 31/12/2014");

    // Characters, not bytes: 300 Hangul syllables of three bytes each keep 259 of them, none cut in half.
    std::string hangul;
    for (int i = 0; i < 300; ++i)
        hangul += "\xEA\xB0\x80";
    EXPECT_EQ(ImageInfoText(HeaderWith({{2, 1}}), [&](const char*) { return hangul.c_str(); }),
              hangul.substr(0, 3 * 259));
}
