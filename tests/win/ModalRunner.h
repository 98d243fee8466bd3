// Runs a dialog modally in the test process and inspects it from inside its own modal loop.
#pragma once

#include <functional>
#include <utility>

#include "Dialog.h"

// Calls `check` with the dialog's window once it is up, then closes the dialog unless the check did; returns
// DoModal's result.
// A thread timer fires inside the dialog's modal loop, on this thread, so the check sees the live window.
inline INT_PTR RunModalWith(CDialog& dialog, std::function<void(HWND)> check, UINT delayMs = 150) {
    static std::function<void()> pending;
    pending = [&dialog, &check] {
        HWND hwnd = dialog.GetSafeHwnd();
        if (hwnd) {
            check(hwnd);
            // A check may have closed the dialog itself (EndDialog hides it); keep its result then.
            if (IsWindowVisible(hwnd))
                EndDialog(hwnd, IDABORT);
        }
    };
    struct Timer {
        static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            if (pending)
                std::exchange(pending, nullptr)();
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, delayMs, &Timer::Fire);
    const INT_PTR result = dialog.DoModal();
    KillTimer(nullptr, timer);
    pending = nullptr;
    return result;
}
