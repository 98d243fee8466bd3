// Firmware image files for the tests, and what the device must receive of them.
#include "TestImage.h"

#include <fstream>

namespace e2e {

namespace {

constexpr std::size_t kCommandSize = 20;
constexpr std::size_t kPayloadOffset = 1024;
constexpr std::size_t kChunkSize = 2048;

void PutByte(std::string& image, std::size_t offset, std::uint8_t value) {
    if (offset < image.size())
        image[offset] = static_cast<char>(value);
}

void PutLittleEndian(std::string& image, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        PutByte(image, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

std::string MakeImage(const ImageLayout& layout) {
    std::string image(layout.size, '\0');
    std::uint32_t state = static_cast<std::uint32_t>(layout.size) * 2654435761u + 0x9E3779B9u;
    for (char& byte : image) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    PutByte(image, 0, layout.marker);
    PutByte(image, 1, layout.port);
    PutByte(image, 2, layout.flashKind);
    PutLittleEndian(image, 3, layout.startAddress);
    PutLittleEndian(image, 7, static_cast<std::uint32_t>(layout.size));
    PutLittleEndian(image, 11, static_cast<std::uint32_t>((layout.size + kChunkSize - 1) / kChunkSize));
    PutByte(image, kPayloadOffset, static_cast<std::uint8_t>(layout.day));
    PutByte(image, kPayloadOffset + 2, static_cast<std::uint8_t>(layout.month));
    PutByte(image, kPayloadOffset + 3, static_cast<std::uint8_t>(layout.yearOffset));
    return image;
}

std::string DeviceStream(const std::string& image) {
    return image.substr(0, kCommandSize) + image.substr(kPayloadOffset);
}

std::vector<std::size_t> WriteSizes(std::size_t imageSize) {
    std::vector<std::size_t> sizes{kCommandSize};
    for (std::size_t offset = kPayloadOffset; offset < imageSize; offset += kChunkSize)
        sizes.push_back(imageSize - offset < kChunkSize ? imageSize - offset : kChunkSize);
    return sizes;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

} // namespace e2e
