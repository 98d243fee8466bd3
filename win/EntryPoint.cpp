// The entry point: runs the one application object's start-up; the process ends when it returns.
#include "WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (CWinApp* app = AfxGetApp())
        app->InitInstance();
    return 0;
}
