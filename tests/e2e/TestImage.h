// Firmware image files for the tests, and what the device must receive of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

struct ImageLayout {
    std::size_t size = 0; // the whole file, header area included
    std::uint8_t marker = '$';
    std::uint8_t port = 1;      // 0: a UART image
    std::uint8_t flashKind = 2; // 1 e-flash, 2 serial flash, 3 NAND
    // Byte 5, its third byte, says whether a serial-flash image carries a date.
    std::uint32_t startAddress = 0x00010000;
    // Bytes 1024, 1026 and 1027 (year - 2000), when the file is that long.
    std::int8_t day = 31;
    std::int8_t month = 12;
    std::int8_t yearOffset = 14;
};

// The image's bytes: header fields as given, every other byte from a pattern in which a lost, repeated or swapped
// chunk shows.
std::string MakeImage(const ImageLayout& layout);
// What the device receives: bytes 0 to 19, then bytes 1024 to the end.
std::string DeviceStream(const std::string& image);
// The sizes of the tool's writes: 20, then 2048 each, then the rest.
std::vector<std::size_t> WriteSizes(std::size_t imageSize);

bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

} // namespace e2e
