// Modal message boxes owned by the main window, with the application name as caption.
#pragma once

#include <string>

#include <windows.h>

// Shows the text; a box type that names no icon gets the exclamation icon.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

// Ends the message boxes of this thread that show the text, as OK would.
void EndMessageBoxes(const std::wstring& text);
