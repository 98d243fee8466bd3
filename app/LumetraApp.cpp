// CLumetraApp: the one application object and its start-up.
#include "LumetraApp.h"

#include <commctrl.h>

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

    CLumetraDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
