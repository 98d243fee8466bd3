// The firmware image header: the raw 1028-byte block, its fields, its tests and the image info text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Also the shortest usable image: the header area and the four date bytes that open the payload.
inline constexpr std::size_t kImageHeaderSize = 1028;

inline constexpr std::uint8_t kImageMarker = 0x24; // '$'
inline constexpr std::uint8_t kEFlashKind = 1;
inline constexpr std::uint8_t kSerialFlashKind = 2;
inline constexpr std::uint8_t kNandFlashKind = 3;
// Where the payload begins; the bytes before it hold the header command and reserved space.
inline constexpr std::uint32_t kPayloadOffset = 1024;

// Keys of the image info texts, all in the text table's "message" section.
namespace ImageInfoKey {
inline constexpr char kEFlash[] = "1027";
inline constexpr char kSerialFlashDated[] = "1026";
inline constexpr char kSerialFlashUndated[] = "1028";
} // namespace ImageInfoKey

// The image info line holds at most this many characters.
inline constexpr std::size_t kImageInfoTextMaxLength = 259;

// Fields are read from the bytes as stored (little-endian, unaligned), never through a cast of the block.
struct ImageHeader {
    std::array<std::uint8_t, kImageHeaderSize> bytes{};

    std::uint8_t Marker() const { return bytes[0]; }
    std::uint8_t Port() const { return bytes[1]; }
    std::uint8_t FlashKind() const { return bytes[2]; }
    // For NAND flash the field counts 512-byte units; the tool only passes it on in the header command.
    std::uint32_t StartAddress() const;
    std::int32_t FileSize() const;
    std::int32_t PacketCount() const;
    // Byte 5, the third byte of the start address, tells whether a serial-flash image carries a date.
    bool HasDate() const { return bytes[5] != 0; }
    int DateFirst() const;
    int DateSecond() const;
    int Year() const;
};

// "31/12/2014" for a dated serial-flash image, else none; the image info line and the console flasher show the same.
std::optional<std::string> ImageDate(const ImageHeader& header);

bool HasImageMarker(const ImageHeader& header);
bool IsUsbImage(const ImageHeader& header);

// The "message" key whose text opens the image info line; null for NAND and unknown flash kinds, which have no
// image info text.
const char* ImageInfoTextKey(const ImageHeader& header);

// The text (UTF-8) cut to `limit` characters, never inside one.
std::string CutToCharacters(std::string text, std::size_t limit);

// The image info line from the text found under ImageInfoTextKey(header) (UTF-8; null counts as the empty text),
// cut to kImageInfoTextMaxLength characters.
std::string ComposeImageInfoText(const ImageHeader& header, const char* keyText);

// `lookup(key)` returns the text of a "message" key as a C string.
template <typename Lookup> std::optional<std::string> ImageInfoText(const ImageHeader& header, Lookup&& lookup) {
    const char* key = ImageInfoTextKey(header);
    if (key == nullptr) {
        return std::nullopt;
    }
    return ComposeImageInfoText(header, lookup(key));
}
