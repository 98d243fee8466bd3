// The device driver library TarselUSB.dll: loaded for each single call and released right after it, from beside the
// program or else from the system folder.
#pragma once

#include <string>

#include <windows.h>

// The name the tool passes to open_file for the device's bulk-out pipe.
inline constexpr char kDevicePipeName[32] = "PIPE00";

struct DriverCall {
    // False when the library cannot be loaded or lacks the export; nothing was called then.
    bool called;
    // What the export returned; the caller owns it.
    HANDLE result;
};

// open_dev(): INVALID_HANDLE_VALUE means no device; any other value (0 too) means one is attached.
DriverCall CallOpenDev();
// open_file(pipeName): a write handle on the device's pipe, or INVALID_HANDLE_VALUE.
DriverCall CallOpenFile(const char* pipeName);

enum class DevicePresence { Present, Absent, DriverNotLoaded };

// One open_dev call through the driver library; a handle it returns is closed at once.
DevicePresence QueryDevicePresence();

struct DriverProblem {
    // The system's load error (126: not found, or found and a library it imports is missing; 193: a library of the
    // other architecture), ERROR_PROC_NOT_FOUND when an export is missing, or 0 when it can be used now.
    DWORD error;
    // The file that was tried; empty when there is none beside the program or in the system folder.
    std::wstring path;
};

// Why the library cannot be used, for a report to the user: loads it once more.
DriverProblem DriverLibraryProblem();
