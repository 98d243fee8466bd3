// Reading image files: the header read and the whole-image read, with short, locked and oversized files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "Handle.h"
#include "ImageFile.h"

namespace {

std::wstring TempPath(const char* name) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + std::wstring(name, name + strlen(name)) + std::to_wstring(GetCurrentProcessId());
}

std::wstring WriteImage(const char* name, size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::wstring path = TempPath(name);
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    return path;
}

DWORD WINAPI CloseAfterHalfASecond(void* handle) {
    Sleep(500);
    CloseHandle(handle);
    return 0;
}

} // namespace

TEST(ImageFile, TheHeaderNeedsAll1028BytesAndAnUnlockedFile) {
    ImageHeader header;
    const std::wstring tooShort = WriteImage("short", 1027);
    EXPECT_EQ(ReadImageHeader(tooShort, header), HeaderRead::TooShort);
    EXPECT_EQ(ReadImageHeader(TempPath("missing"), header), HeaderRead::CannotOpen);

    const std::wstring exact = WriteImage("exact", 1028);
    ASSERT_EQ(ReadImageHeader(exact, header), HeaderRead::Read);
    EXPECT_EQ(header.bytes[0], 1);
    EXPECT_EQ(header.bytes[1027], static_cast<std::uint8_t>(1027 * 7 + 1));
    {
        // The header is read exclusively: a file another program writes to is refused.
        const FileHandle writer(
            CreateFileW(exact.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(ReadImageHeader(exact, header), HeaderRead::CannotOpen);
    }
    // ...and it is closed again, so the whole-image read that follows can open it.
    ImageData image;
    ASSERT_EQ(LoadImageFile(exact, image), ImageLoad::Loaded);
    EXPECT_EQ(image.size, 1028u);
    EXPECT_EQ(image.bytes[1027], static_cast<std::uint8_t>(1027 * 7 + 1));

    ImageData shrunk;
    EXPECT_EQ(LoadImageFile(tooShort, shrunk), ImageLoad::TooShort) << "replaced by a shorter file meanwhile";
    EXPECT_EQ(LoadImageFile(TempPath("missing"), shrunk), ImageLoad::OpenFailed);
    DeleteFileW(tooShort.c_str());
    DeleteFileW(exact.c_str());
}

TEST(ImageFile, AnImageOf4GiBOrMoreIsRefusedRatherThanCutToItsLow32Bits) {
    const std::wstring path = TempPath("huge");
    {
        // Sparse: 4 GiB + 1028 bytes whose low 32 bits of size read as a valid 1028-byte image.
        const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        LARGE_INTEGER end;
        end.QuadPart = (1LL << 32) + 1028;
        ASSERT_TRUE(SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    ImageData image;
    EXPECT_EQ(LoadImageFile(path, image), ImageLoad::TooLarge);
    EXPECT_FALSE(image.bytes);
    DeleteFileW(path.c_str());
}

TEST(ImageFile, AFileHeldOpenForAMomentIsWaitedFor) {
    const std::wstring path = WriteImage("held", 1028);
    for (const bool wholeImage : {false, true}) {
        // Held with no sharing, as a virus scanner or sync client does, and let go after 500 ms.
        HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        const KernelHandle release(CreateThread(nullptr, 0, &CloseAfterHalfASecond, holder, 0, nullptr));
        ImageHeader header;
        ImageData image;
        if (wholeImage)
            EXPECT_EQ(LoadImageFile(path, image), ImageLoad::Loaded);
        else
            EXPECT_EQ(ReadImageHeader(path, header), HeaderRead::Read);
        WaitForSingleObject(release.Get(), INFINITE);
    }
    DeleteFileW(path.c_str());
}
