// Reading a firmware image file: its header for the tests, then the whole image for the transfer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ImageHeader.h"

enum class HeaderRead {
    Read,
    CannotOpen, // cannot be opened or read
    TooShort,   // shorter than a header
};

// Reads the first 1028 bytes, the file opened read-only and exclusively and closed again before the caller
// tests anything.
HeaderRead ReadImageHeader(const std::wstring& path, ImageHeader& header);

// The whole image in memory. Shared, so that a session of several downloads sends one copy; a transfer
// releases its share at its end.
struct ImageData {
    std::shared_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0;
};

enum class ImageLoad {
    Loaded,
    TooShort,   // now shorter than a header
    TooLarge,   // too large for a 32-bit count
    OpenFailed, // the file cannot be opened again
    NoMemory,
    ShortRead, // fewer (or other) bytes read than the file's size
};

// Opens the file again (read sharing) and reads it whole into one block.
ImageLoad LoadImageFile(const std::wstring& path, ImageData& image);
