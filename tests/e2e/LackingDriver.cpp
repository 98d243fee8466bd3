// A library named like the driver that imports a library which is not there: Windows finds it and still cannot load
// it, with the error of a missing file (126).
#include <windows.h>

extern "C" __declspec(dllimport) int planted_library_export();

extern "C" __declspec(dllexport) HANDLE __cdecl open_dev() {
    return planted_library_export() ? nullptr : INVALID_HANDLE_VALUE;
}
