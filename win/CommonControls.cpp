// The common controls, from the system folder only.
#include "CommonControls.h"

#include <commctrl.h>

#include "SystemLibrary.h"

bool InitCommonControlsFromSystem(DWORD classes) {
    const auto init = SYSTEM_FUNCTION(L"comctl32.dll", InitCommonControlsEx);
    const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    return init && init(&controls);
}
