// The device driver library TarselUSB.dll: one load, one call by name, one release, for each call.
#include "DriverLibrary.h"

#include "Handle.h"

namespace {
const char kDriverLibrary[] = "TarselUSB.dll";

// The library's exports use the C calling convention.
using OpenDevFunction = HANDLE(__cdecl*)();
using OpenFileFunction = HANDLE(__cdecl*)(const char*);
} // namespace

DriverCall CallOpenDev() {
    HANDLE result;
    {
        const ModuleHandle library(LoadLibraryA(kDriverLibrary));
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
        const ModuleHandle library(LoadLibraryA(kDriverLibrary));
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

DWORD DriverLibraryProblem() {
    SetLastError(0);
    const ModuleHandle library(LoadLibraryA(kDriverLibrary));
    if (!library.IsValid())
        return GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_MOD_NOT_FOUND);
    if (!FindExport<OpenDevFunction>(library, "open_dev") || !FindExport<OpenFileFunction>(library, "open_file"))
        return ERROR_PROC_NOT_FOUND;
    return 0;
}
