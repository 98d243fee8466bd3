// The console control handler and the events it shares with the main thread.
#include "ConsoleInterrupt.h"

namespace {

// The system ends the process about 5 s after a close, log-off or shutdown event; the clean stop gets most of that.
constexpr DWORD kCloseGraceMs = 4500;

// The handler runs on a thread of the system's, so it can reach only these.
HANDLE g_requested = nullptr;
HANDLE g_done = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    SetEvent(g_requested);
    // On these the process ends as soon as the handler returns: hold it until the main thread has cleaned up.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(g_done, kCloseGraceMs);
    return TRUE;
}

} // namespace

bool ConsoleInterrupt::Install() {
    // Kept for the life of the process: the handler may run until its very end.
    g_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return g_requested && g_done && SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool ConsoleInterrupt::Requested() const {
    return Wait(0);
}

bool ConsoleInterrupt::Wait(DWORD milliseconds) const {
    if (!g_requested) {
        Sleep(milliseconds);
        return false;
    }
    return WaitForSingleObject(g_requested, milliseconds) == WAIT_OBJECT_0;
}

void ConsoleInterrupt::Done() {
    if (g_done)
        SetEvent(g_done);
}
