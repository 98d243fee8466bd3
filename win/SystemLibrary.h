// Libraries from the system folder only: the process's own search for them, and functions of system libraries that
// are loaded at run time rather than imported.
#pragma once

#include <windows.h>

// Called first thing at start: every library the process loads by name, and every library those import, comes from
// the system folder. Neither the program's folder (a Downloads folder may hold files of system libraries' names) nor
// the current folder is searched. A library that cannot be loaded is reported by the program, never by a system
// error box.
void LoadLibrariesFromSystemFolderOnly();

// The export `name` of the system library `library`, which is loaded from the system folder (its imports with it)
// and stays loaded for the life of the process; null when either cannot be found.
FARPROC SystemLibraryExport(const wchar_t* library, const char* name);

template <class Function> Function SystemFunction(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemLibraryExport(library, name)));
}

// The function `function` of the system library `library`, typed by its declaration in the system's headers, so
// that neither its name nor its type is written out again; null when either cannot be found.
#define SYSTEM_FUNCTION(library, function) SystemFunction<decltype(&::function)>(library, #function)
