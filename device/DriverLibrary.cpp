// The device driver library TarselUSB.dll: one load, one call by name, one release, for each call.
#include "DriverLibrary.h"

#include "Handle.h"
#include "ModulePath.h"

namespace {
const wchar_t kDriverLibrary[] = L"TarselUSB.dll";

// The library's exports use the C calling convention.
using OpenDevFunction = HANDLE(__cdecl*)();
using OpenFileFunction = HANDLE(__cdecl*)(const char*);

// The system folder as the user finds it: a 32-bit program on 64-bit Windows is given SysWOW64 for System32.
std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = L"";
    BOOL wow64 = FALSE;
    const UINT length = IsWow64Process(GetCurrentProcess(), &wow64) && wow64
                            ? GetSystemWow64DirectoryW(folder, MAX_PATH)
                            : GetSystemDirectoryW(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(folder) + L"\\" : std::wstring();
}

struct DriverLoad {
    ModuleHandle library;
    DWORD error = 0;
    // The file that was loaded, or found and refused; empty when there is none in either folder.
    std::wstring path;
};

// The library beside the program when there is one there, else the one in the system folder; never one found by the
// search order (the current folder, PATH). Either way its own imports come from the system folder only: nothing else
// lying beside the program is loaded.
DriverLoad LoadDriverLibrary() {
    DriverLoad load;
    const std::wstring beside = FolderOf(ModuleFileNameW()) + kDriverLibrary;
    load.library = ModuleHandle(LoadLibraryExW(beside.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    load.error = load.library.IsValid() ? 0 : GetLastError();
    if (load.library.IsValid() || GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        load.path = beside;
        return load;
    }
    load.library = ModuleHandle(LoadLibraryExW(kDriverLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    load.error = load.library.IsValid() ? 0 : GetLastError();
    const std::wstring inSystem = SystemFolder() + kDriverLibrary;
    if (load.library.IsValid() || GetFileAttributesW(inSystem.c_str()) != INVALID_FILE_ATTRIBUTES)
        load.path = inSystem;
    return load;
}
} // namespace

DriverCall CallOpenDev() {
    HANDLE result;
    {
        const ModuleHandle library = LoadDriverLibrary().library;
        const auto openDev = FindExport<OpenDevFunction>(library, "open_dev");
        if (!openDev)
            return {false, INVALID_HANDLE_VALUE};
        result = openDev();
    } // The library is released before its answer is looked at.
    return {true, result};
}

DriverCall CallOpenFile(const char* pipeName) {
    HANDLE result;
    {
        const ModuleHandle library = LoadDriverLibrary().library;
        const auto openFile = FindExport<OpenFileFunction>(library, "open_file");
        if (!openFile)
            return {false, INVALID_HANDLE_VALUE};
        result = openFile(pipeName);
    }
    return {true, result};
}

DevicePresence QueryDevicePresence() {
    const DriverCall call = CallOpenDev();
    if (!call.called)
        return DevicePresence::DriverNotLoaded;
    if (call.result == INVALID_HANDLE_VALUE)
        return DevicePresence::Absent;
    CloseHandle(call.result);
    return DevicePresence::Present;
}

DriverProblem DriverLibraryProblem() {
    const DriverLoad load = LoadDriverLibrary();
    if (!load.library.IsValid())
        return {load.error != 0 ? load.error : static_cast<DWORD>(ERROR_MOD_NOT_FOUND), load.path};
    if (!FindExport<OpenDevFunction>(load.library, "open_dev") ||
        !FindExport<OpenFileFunction>(load.library, "open_file"))
        return {ERROR_PROC_NOT_FOUND, load.path};
    return {0, load.path};
}
