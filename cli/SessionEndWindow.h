// The flasher's hidden top-level window on a thread of its own. A console program that uses windows (as the flasher
// does) gets no log-off or shut-down event: the end of the session reaches it only as messages to its top-level
// windows.
#pragma once

#include <atomic>

#include <windows.h>

#include "Handle.h"

class SessionEndWindow {
public:
    SessionEndWindow() = default;
    // Closes the window and waits for its thread.
    ~SessionEndWindow();
    SessionEndWindow(const SessionEndWindow&) = delete;
    SessionEndWindow& operator=(const SessionEndWindow&) = delete;

    // Creates the window on its thread; false when it could not be, and the flasher goes on without it.
    bool Start();
    // While a transfer runs the end of the session is refused, with a reason that Windows shows on its shut-down
    // screen; when the session ends all the same, the transfer is stopped and logged before the process ends.
    void TransferStarted();
    void TransferEnded();

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::atomic<bool> m_transferring{false};
    std::atomic<HWND> m_window{nullptr};
    KernelHandle m_ready;
    KernelHandle m_thread;
};
