// The device driver library TarselUSB.dll: one load, one call by name, one release, for each call.
#include "DriverLibrary.h"

#include "Module.h"

namespace {
const char kDriverLibrary[] = "TarselUSB.dll";

// The library's exports use the C calling convention.
using OpenDevFunction = HANDLE(__cdecl*)();
using OpenFileFunction = HANDLE(__cdecl*)(const char*);
} // namespace

DriverCall CallOpenDev() {
    HANDLE result;
    {
        const Module library(kDriverLibrary);
        const auto openDev = library.Find<OpenDevFunction>("open_dev");
        if (!openDev)
            return {false, INVALID_HANDLE_VALUE};
        result = openDev();
    } // The library is released before its answer is looked at.
    return {true, result};
}

DriverCall CallOpenFile(const char* pipeName) {
    HANDLE result;
    {
        const Module library(kDriverLibrary);
        const auto openFile = library.Find<OpenFileFunction>("open_file");
        if (!openFile)
            return {false, INVALID_HANDLE_VALUE};
        result = openFile(pipeName);
    }
    return {true, result};
}

DWORD DriverLibraryProblem() {
    SetLastError(0);
    const Module library(kDriverLibrary);
    if (!library.IsLoaded())
        return GetLastError() != 0 ? GetLastError() : static_cast<DWORD>(ERROR_MOD_NOT_FOUND);
    if (!library.Find<OpenDevFunction>("open_dev") || !library.Find<OpenFileFunction>("open_file"))
        return ERROR_PROC_NOT_FOUND;
    return 0;
}
