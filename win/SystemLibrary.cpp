// Libraries from the system folder only.
#include "SystemLibrary.h"

void LoadLibrariesFromSystemFolderOnly() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
    // Where SetDefaultDllDirectories is missing (Windows 7 without KB2533623) the current folder at least is left out.
    SetDllDirectoryW(L"");
    // Looked up rather than imported, so that such a Windows 7 still starts the program; there the search flag is
    // refused too, and the lookup finds nothing.
    const auto setDefault = SYSTEM_FUNCTION(L"kernel32.dll", SetDefaultDllDirectories);
    if (setDefault)
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

FARPROC SystemLibraryExport(const wchar_t* library, const char* name) {
    // Never freed: the callers keep the function for the life of the process.
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}
