// CAboutDlg and the About entry of the main window's system menu.
#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void AppendAboutEntry(HWND window) {
    // The window owns its system menu and destroys it with itself.
    HMENU systemMenu = GetSystemMenu(window, FALSE);
    if (!systemMenu)
        return;
    char text[256];
    if (LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text) <= 0)
        return;
    AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}
