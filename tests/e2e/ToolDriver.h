// Drives the running tool from another process: starting it, finding its windows, reading texts, clicking,
// answering the open-file dialog and message boxes. Every call that waits has a limit, so a hung tool cannot
// hang its driver.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "ChildProcess.h"
#include "Handle.h"

namespace e2e {

// Long enough for a loaded machine under Wine; a hang ends the wait after this rather than at ctest's timeout.
inline constexpr DWORD kWaitMs = 10000;

// The tool started from its own folder, with the emulator instance it must talk to in its environment. It runs in
// a job that kills it when the job's last handle closes, so that it dies with its driver; the destructor ends it
// when it still runs.
class ToolProcess {
public:
    ToolProcess(const std::wstring& exePath, const std::string& instance);
    ToolProcess(const std::string& exePath, const std::string& instance);
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    // False, with the reason in Error(), when the process could not be started.
    bool Started() const { return m_process.Started(); }
    std::string Error() const { return "cannot start the tool: error " + std::to_string(m_process.StartError()); }
    DWORD Id() const { return m_process.Id(); }
    HANDLE Handle() const { return m_process.Handle(); }
    bool IsRunning() const { return m_process.IsRunning(); }
    bool WaitForExit(DWORD timeoutMs) { return m_process.WaitForEnd(timeoutMs); }
    void Terminate() { m_process.Terminate(); }

private:
    ChildProcess m_process;
};

// Polls `done` every few milliseconds until it holds; false when the time ran out first.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);

// The tool's main window (the dialog with the download button) once it is visible; null after the timeout.
HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs = kWaitMs);
// The process's visible message boxes, top-level dialogs that carry a message text.
std::vector<HWND> MessageBoxes(DWORD processId);
// The first visible message box of the process; null after the timeout.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs = kWaitMs);
// The process's visible open-file dialog; null after the timeout.
HWND WaitForFileDialog(DWORD processId, DWORD timeoutMs = kWaitMs);

// A window's text through WM_GETTEXT, which crosses processes; empty when the window does not answer in time.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);
// The window's text as the window holds it (in Unicode), in UTF-8: a check of the tool's code page, which the
// text above, converted back through that code page, cannot make.
std::string WindowTextUtf8(HWND window);
std::string MessageBoxText(HWND box);
bool IsControlEnabled(HWND dialog, int controlId);
// The progress bar's position (PBM_GETPOS); -1 when it does not answer in time.
int ProgressPosition(HWND dialog, int controlId);

// Posted, never sent: a sent click would block for as long as the tool runs a modal dialog from it.
bool PostClick(HWND dialog, int controlId);
// Types the path into the file-name box and confirms with OK.
bool ChooseFile(HWND fileDialog, const std::string& path);
// The same with a path that may hold characters outside the ANSI code page.
bool ChooseFile(HWND fileDialog, const std::wstring& path);

// The path in UTF-16; it is given in the ANSI code page.

// The handles a process holds, and those of them that a download run could leave behind.
struct HandleCensus {
    DWORD total = 0;
    DWORD files = 0;        // files and pipes
    DWORD endedThreads = 0; // handles on threads that have ended
};
// From the system's handle table: GetProcessHandleCount answers 0 for every process under Wine 8.
bool TakeHandleCensus(DWORD processId, HandleCensus& census);

// The text of (section, key) in a text table file; empty when it has none.
std::string TextTableEntry(const std::string& tablePath, const char* section, const char* key);

} // namespace e2e
