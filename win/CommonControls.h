// The common controls, from the system folder only.
#pragma once

#include <windows.h>

// Loads comctl32.dll from the system folder and registers the given control classes (ICC_ flags). The library is
// no KnownDLL: imported statically, a file of its name beside the executable (say in a Downloads folder) would be
// loaded in its place. It stays loaded for the life of the process, as its window classes do.
bool InitCommonControlsFromSystem(DWORD classes);
