// CLumetraApp: the one application object and its start-up.
#include "LumetraApp.h"

#include <commctrl.h>

#include "Com.h"
#include "CommonControls.h"
#include "LumetraDlg.h"
#include "SystemLibrary.h"

CLumetraApp theApp;

BOOL CLumetraApp::InitInstance() {
    // The tool's folder may be a Downloads folder: of what lies there, only the driver library is ever loaded.
    LoadLibrariesFromSystemFolderOnly();

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
