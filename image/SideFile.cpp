// Small files read whole, with their absence told apart from a failure to read them.
#include "SideFile.h"

#include "Handle.h"

SideFileRead ReadSideFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    // Shared with writers: a file that is being replaced is read as it is, and judged as such.
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SideFileRead::Absent
                                                                              : SideFileRead::Unreadable;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return SideFileRead::Unreadable;
    if (size.QuadPart > static_cast<LONGLONG>(kSideFileMaxSize))
        return SideFileRead::TooLarge;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        bytes.clear();
        return SideFileRead::Unreadable;
    }
    return SideFileRead::Read;
}
