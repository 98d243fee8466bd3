// Reading a firmware image file: the header read, exclusive, and the whole-file read, shared for reading.
#include "ImageFile.h"

#include <new>

#include "Handle.h"

namespace {
// Right after a download, a virus scanner, the search indexer or a sync client often holds the new file open for
// a moment, sharing nothing.
constexpr int kSharingRetries = 5;
constexpr DWORD kSharingRetryWaitMs = 200;

FileHandle OpenImage(const std::wstring& path, DWORD share) {
    for (int retry = 0;; ++retry) {
        FileHandle file(
            CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.IsValid() || GetLastError() != ERROR_SHARING_VIOLATION || retry == kSharingRetries)
            return file;
        Sleep(kSharingRetryWaitMs);
    }
}
} // namespace

HeaderRead ReadImageHeader(const std::wstring& path, ImageHeader& header) {
    DWORD total = 0;
    {
        const FileHandle file = OpenImage(path, 0);
        if (!file.IsValid())
            return HeaderRead::CannotOpen;
        while (total < kImageHeaderSize) {
            DWORD read = 0;
            if (!ReadFile(file.Get(), header.bytes.data() + total, static_cast<DWORD>(kImageHeaderSize - total), &read,
                          nullptr))
                return HeaderRead::CannotOpen;
            if (read == 0)
                break;
            total += read;
        }
    } // Closed before any test of the contents.
    return total == kImageHeaderSize ? HeaderRead::Read : HeaderRead::TooShort;
}

ImageLoad LoadImageFile(const std::wstring& path, ImageData& image) {
    const FileHandle file = OpenImage(path, FILE_SHARE_READ);
    if (!file.IsValid())
        return ImageLoad::OpenFailed;

    // The image may have changed since its header was read: it must still hold a header, and its size must
    // fit the 32-bit count, or the worker would stream a cut-off image.
    DWORD sizeHigh = 0;
    const DWORD size = GetFileSize(file.Get(), &sizeHigh);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return ImageLoad::OpenFailed;
    if (sizeHigh != 0)
        return ImageLoad::TooLarge;
    if (size < kImageHeaderSize)
        return ImageLoad::TooShort;

    std::uint8_t* block = new (std::nothrow) std::uint8_t[size];
    if (!block)
        return ImageLoad::NoMemory;
    std::shared_ptr<std::uint8_t[]> bytes(block);
    DWORD read = 0;
    ReadFile(file.Get(), bytes.get(), size, &read, nullptr);
    if (read != size)
        return ImageLoad::ShortRead;

    image.bytes = std::move(bytes);
    image.size = size;
    return ImageLoad::Loaded;
}
