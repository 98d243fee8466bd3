// Modal message boxes owned by the main window, with the application name as caption.
#include "MessageBox.h"

#include "AnsiText.h"
#include "Wnd.h"
#include "WinApp.h"

int AfxMessageBox(const char* text, UINT type, UINT) {
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CWnd* mainWnd = AfxGetMainWnd();
    HWND owner = mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
    // The text reaches the box as MessageBoxA would pass it; the caption keeps a file name outside the ANSI code page.
    return MessageBoxW(owner, AnsiToWide(text).c_str(), AfxGetAppName().c_str(), type);
}
