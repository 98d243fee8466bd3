// Small files read whole, with their absence told apart from a failure to read them.
#include "SideFile.h"

#include "Handle.h"

namespace {

// A full path of MAX_PATH characters or more in its extended-length form. Without it Windows fails such a path as
// "path not found", and a checksum or signature file beside an image deep in folders would pass for absent.
std::wstring ReachablePath(const std::wstring& path) {
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0)
        return path;
    if (path.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    const bool drive = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return drive ? L"\\\\?\\" + path : path;
}

} // namespace

SideFileRead ReadSideFile(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    // Shared with writers: a file that is being replaced is read as it is, and judged as such.
    const FileHandle file(CreateFileW(ReachablePath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        // Only these say that the file is not there; any other failure (no access, a drive or share gone, a name
        // too long) leaves that open, and the file is unreadable.
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
