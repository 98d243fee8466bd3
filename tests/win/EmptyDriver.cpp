// A library named like the driver but without its exports, for the tests of a broken driver installation.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
