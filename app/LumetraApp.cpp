// CLumetraApp: the one application object and its start-up.
#include "LumetraApp.h"

#include <commctrl.h>

#include "Com.h"
#include "CommonControls.h"
#include "LumetraDlg.h"

CLumetraApp theApp;

BOOL CLumetraApp::InitInstance() {
    // The driver library is loaded by its bare name every second; the current folder, which the open-file
    // dialog moves to wherever an image lies, must not be where it comes from.
    SetDllDirectoryA("");

    InitCommonControlsFromSystem(ICC_WIN95_CLASSES);

    CWinApp::InitInstance();
    SetRegistryKey("Local AppWizard-Generated Applications");

    // The taskbar button is set, and the progress bar handed to screen readers, through COM on this thread; the
    // apartment outlasts the window and what it holds.
    const ComApartment apartment;
    CLumetraDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
