// Fuzzes the image header's fields, tests and image info text with short, empty and overlong looked-up texts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "ImageHeader.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void CheckInfoText(const ImageHeader& header, const std::string& keyText) {
    const char* keyLookedUp = nullptr;
    const std::optional<std::string> text = ImageInfoText(header, [&](const char* key) {
        keyLookedUp = key;
        return keyText.c_str();
    });
    const std::uint8_t kind = header.FlashKind();
    Require(text.has_value() == (kind == kEFlashKind || kind == kSerialFlashKind));
    Require(text.has_value() == (keyLookedUp != nullptr));
    if (!text) {
        return;
    }
    Require(CutToCharacters(*text, kImageInfoTextMaxLength) == *text);
    const std::string cutKeyText = CutToCharacters(keyText, kImageInfoTextMaxLength);
    Require(text->compare(0, cutKeyText.size(), cutKeyText) == 0);
    if (kind == kEFlashKind || !header.HasDate()) {
        Require(*text == cutKeyText);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kImageHeaderSize) {
        return 0;
    }
    ImageHeader header;
    std::memcpy(header.bytes.data(), data, kImageHeaderSize);

    Require(HasImageMarker(header) == (data[0] == '$'));
    Require(IsUsbImage(header) == (data[1] != 0));
    std::uint32_t startAddress = 0;
    std::memcpy(&startAddress, data + 3, sizeof startAddress); // the fuzzing hosts are little-endian
    Require(header.StartAddress() == startAddress);
    std::int32_t fileSize = 0;
    std::memcpy(&fileSize, data + 7, sizeof fileSize);
    Require(header.FileSize() == fileSize);
    std::int32_t packetCount = 0;
    std::memcpy(&packetCount, data + 11, sizeof packetCount);
    Require(header.PacketCount() == packetCount);

    // What follows the header stands for the looked-up text, up to its first NUL as a C string would end.
    const char* tail = reinterpret_cast<const char*>(data + kImageHeaderSize);
    CheckInfoText(header, std::string(tail, strnlen(tail, size - kImageHeaderSize)));
    CheckInfoText(header, std::string(300, 'L'));
    CheckInfoText(header, std::string());
    return 0;
}
