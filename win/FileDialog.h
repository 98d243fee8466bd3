// The system's open-file dialog for one existing file.
#pragma once

#include <string>

#include <windows.h>

// `filter` is written with bars, as in "text (*.txt) |*.TXT||". True with the chosen path when the user
// confirmed with OK; false when they cancelled or the dialog failed. The path is in UTF-16, so that every character
// of it survives, whatever the ANSI code page. The dialog opens in `initialFolder` when one is given.
bool ChooseFileToOpen(HWND owner, const char* filter, std::wstring& path, const std::wstring& initialFolder = {});
