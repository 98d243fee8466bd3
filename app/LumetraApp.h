// CLumetraApp: start-up of the tool, which runs the main window modally and then lets the process end.
#pragma once

#include "WinApp.h"

class CLumetraApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
