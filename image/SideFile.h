// Small files read whole beside an image or the program: checksum lists, signatures, certificates.
#pragma once

#include <cstddef>
#include <string>

// Larger than any checksum list, signature or certificate that a vendor publishes.
inline constexpr std::size_t kSideFileMaxSize = 1024 * 1024;

enum class SideFileRead {
    Read,
    Absent,     // no such file
    Unreadable, // it exists but cannot be opened or read (a folder of that name, no access, held by another program)
    TooLarge,   // larger than kSideFileMaxSize
};

// Reads the file whole into `bytes`; on anything but Read, `bytes` is empty.
SideFileRead ReadSideFile(const std::wstring& path, std::string& bytes);
