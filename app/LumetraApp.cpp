// CLumetraApp: the one application object and its start-up.
#include "LumetraApp.h"

#include <commctrl.h>

#include "LumetraDlg.h"

CLumetraApp theApp;

BOOL CLumetraApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    SetRegistryKey("Local AppWizard-Generated Applications");

    CLumetraDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
