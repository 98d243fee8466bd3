// The console control handler and the events it shares with the main thread.
#include "ConsoleInterrupt.h"

#include <atomic>

#include "FlashOutcome.h"

namespace {

// The system ends the process about 5 s after a close, log-off or shutdown event; the clean stop gets most of that.
constexpr DWORD kCloseGraceMs = 4500;

// The handler runs on a thread of the system's, so it can reach only these.
HANDLE g_requested = nullptr;
HANDLE g_urgent = nullptr;
HANDLE g_done = nullptr;
std::atomic<int> g_presses{0};
// What the process ends with when it has to end before the main thread has said.
std::atomic<int> g_exitCode{ExitCode::kInterrupted};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // A second press: the user will not wait for a driver that ignores the first.
        if (g_presses.fetch_add(1) > 0)
            SetEvent(g_urgent);
        SetEvent(g_requested);
        return TRUE;
    }
    // The console is closing (or, for a program without windows, the session is ending).
    ConsoleInterrupt::EndProcessOnceDone();
    return TRUE;
}

bool IsSet(HANDLE event) {
    return event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

} // namespace

bool ConsoleInterrupt::Install() {
    // Kept for the life of the process: the handler may run until its very end.
    g_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_urgent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return g_requested && g_urgent && g_done && SetConsoleCtrlHandler(OnConsoleControl, TRUE);
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

bool ConsoleInterrupt::Urgent() const {
    return IsSet(g_urgent);
}

void ConsoleInterrupt::Done(int exitCode) {
    g_exitCode = exitCode;
    if (g_done)
        SetEvent(g_done);
}

void ConsoleInterrupt::EndProcessOnceDone() {
    if (g_done) {
        SetEvent(g_urgent);
        SetEvent(g_requested);
        WaitForSingleObject(g_done, kCloseGraceMs);
    }
    // The main thread may be ending the process too: both end it with the same code.
    ExitProcess(static_cast<UINT>(g_exitCode.load()));
}
