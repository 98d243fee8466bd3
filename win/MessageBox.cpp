// Modal message boxes owned by the main window, with the application name as caption.
#include "MessageBox.h"

#include <string>

#include "Wnd.h"
#include "WinApp.h"

int AfxMessageBox(const std::wstring& text, UINT type) {
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CWnd* mainWnd = AfxGetMainWnd();
    HWND owner = mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
    return MessageBoxW(owner, text.c_str(), AfxGetAppName().c_str(), type);
}

namespace {

// A message box is a dialog that keeps its text in a static of id 65535.
BOOL CALLBACK EndBoxShowing(HWND window, LPARAM text) {
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    HWND textControl = GetDlgItem(window, 0xFFFF);
    if (!textControl || std::wstring(className) != L"#32770")
        return TRUE;
    const int length = GetWindowTextLengthW(textControl);
    std::wstring shown(static_cast<size_t>(length) + 1, L'\0');
    shown.resize(static_cast<size_t>(GetWindowTextW(textControl, shown.data(), length + 1)));
    if (shown == *reinterpret_cast<const std::wstring*>(text))
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

} // namespace

void EndMessageBoxes(const std::wstring& text) {
    EnumThreadWindows(GetCurrentThreadId(), EndBoxShowing, reinterpret_cast<LPARAM>(&text));
}
