// A library named like the driver that imports ostrel-absent.dll, which no system has: Windows finds it and still
// cannot load it, with the error of a missing file (126). Built twice: with OSTREL_ABSENT_LIBRARY as that library,
// only to link against, and without it as the driver library that needs it.
#include <windows.h>

#ifdef OSTREL_ABSENT_LIBRARY
extern "C" __declspec(dllexport) int absent_function() {
    return 0;
}
#else
extern "C" __declspec(dllimport) int absent_function();

extern "C" __declspec(dllexport) HANDLE __cdecl open_dev() {
    return absent_function() ? nullptr : INVALID_HANDLE_VALUE;
}
#endif
