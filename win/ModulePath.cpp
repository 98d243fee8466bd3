// The executable's own full path: the buffer grows until the whole path fits, so a long path is never cut.
#include "ModulePath.h"

#include <windows.h>

namespace {

template <typename Char, typename GetName> std::basic_string<Char> GrowingModuleFileName(GetName getName) {
    std::basic_string<Char> path(MAX_PATH, Char());
    for (;;) {
        const DWORD length = getName(GetModuleHandleW(nullptr), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

template <typename Char>
std::basic_string<Char> FolderPart(const std::basic_string<Char>& path, const Char* separators) {
    const size_t separator = path.find_last_of(separators);
    return separator == std::basic_string<Char>::npos ? std::basic_string<Char>() : path.substr(0, separator + 1);
}

} // namespace

std::wstring ModuleFileNameW() {
    return GrowingModuleFileName<wchar_t>(GetModuleFileNameW);
}

std::string ModuleFileName() {
    return GrowingModuleFileName<char>(GetModuleFileNameA);
}

std::string FolderOf(const std::string& path) {
    return FolderPart(path, "\\/:");
}

std::wstring FolderOf(const std::wstring& path) {
    return FolderPart(path, L"\\/:");
}
