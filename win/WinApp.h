// CWinApp: the one application object, whose InitInstance the entry point runs.
#pragma once

#include <string>

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    // Start-up; returning FALSE ends the process instead of running a message loop of the application's own.
    virtual BOOL InitInstance() { return TRUE; }

    // Names the settings key. The tool stores no settings, so the name is only kept.
    void SetRegistryKey(const char* key) { m_registryKey = key; }

    CWnd* m_pMainWnd = nullptr;

private:
    std::string m_registryKey;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// The application name: the executable's file name without its extension, every character of it kept.
std::wstring AfxGetAppName();
