// CAboutDlg: the About box, and the system-menu entry that opens it.
#pragma once

#include "Dialog.h"

class CAboutDlg : public CDialog {
public:
    // No parent: DoModal makes the main window its owner.
    CAboutDlg();
};

// Appends a separator and the About entry (command IDM_ABOUTBOX, text string IDS_ABOUTBOX) to the window's
// system menu; adds nothing when the window has no system menu or the string is missing or empty.
void AppendAboutEntry(HWND window);
