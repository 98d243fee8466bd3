// Modal message boxes owned by the main window, with the application name as caption.
#include "MessageBox.h"

#include "Wnd.h"
#include "WinApp.h"

int AfxMessageBox(const char* text, UINT type, UINT) {
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CWnd* mainWnd = AfxGetMainWnd();
    HWND owner = mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
    return MessageBoxA(owner, text, AfxGetAppName().c_str(), type);
}
