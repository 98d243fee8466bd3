// Field reading, tests and image info text of the firmware image header.
#include "ImageHeader.h"

namespace {

std::uint32_t ReadU32(const std::array<std::uint8_t, kImageHeaderSize>& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

int AsSigned8(std::uint8_t value) {
    return value < 0x80 ? value : value - 0x100;
}

std::int32_t AsSigned32(std::uint32_t value) {
    return value < 0x80000000u ? static_cast<std::int32_t>(value)
                               : static_cast<std::int32_t>(value - 0x80000000u) - 0x7FFFFFFF - 1;
}

} // namespace

std::string CutToCharacters(std::string text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Every byte but a UTF-8 continuation byte begins a character.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && ++characters > limit) {
            text.resize(i);
            break;
        }
    }
    return text;
}

std::uint32_t ImageHeader::StartAddress() const {
    return ReadU32(bytes, 3);
}

std::int32_t ImageHeader::FileSize() const {
    return AsSigned32(ReadU32(bytes, 7));
}

std::int32_t ImageHeader::PacketCount() const {
    return AsSigned32(ReadU32(bytes, 11));
}

int ImageHeader::DateFirst() const {
    return AsSigned8(bytes[kPayloadOffset]);
}

int ImageHeader::DateSecond() const {
    return AsSigned8(bytes[1026]);
}

int ImageHeader::Year() const {
    return AsSigned8(bytes[1027]) + 2000;
}

std::optional<std::string> ImageDate(const ImageHeader& header) {
    if (header.FlashKind() != kSerialFlashKind || !header.HasDate())
        return std::nullopt;
    return std::to_string(header.DateFirst()) + '/' + std::to_string(header.DateSecond()) + '/' +
           std::to_string(header.Year());
}

bool HasImageMarker(const ImageHeader& header) {
    return header.Marker() == kImageMarker;
}

bool IsUsbImage(const ImageHeader& header) {
    return header.Port() != 0;
}

const char* ImageInfoTextKey(const ImageHeader& header) {
    switch (header.FlashKind()) {
    case kEFlashKind:
        return ImageInfoKey::kEFlash;
    case kSerialFlashKind:
        return header.HasDate() ? ImageInfoKey::kSerialFlashDated : ImageInfoKey::kSerialFlashUndated;
    default:
        return nullptr;
    }
}

std::string ComposeImageInfoText(const ImageHeader& header, const char* keyText) {
    std::string text = keyText != nullptr ? keyText : "";
    if (const std::optional<std::string> date = ImageDate(header))
        text += ' ' + *date;
    return CutToCharacters(text, kImageInfoTextMaxLength);
}
