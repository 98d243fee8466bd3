// The device driver library TarselUSB.dll: loaded for each single call and released right after it.
#pragma once

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
