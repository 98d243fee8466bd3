// The 1 ms timer resolution for the length of a transfer, so that the retry waits of 1 and 5 ms last about that
// long rather than a whole scheduler tick (15.6 ms).
#pragma once

#include "Handle.h"

class TimerResolution {
public:
    // Raises the resolution to 1 ms, and keeps Windows 11 from dropping it while the process's windows are
    // minimised or covered.
    TimerResolution();
    // Restores both.
    ~TimerResolution();
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;

private:
    using PeriodFunction = UINT(WINAPI*)(UINT);

    // winmm.dll is no KnownDLL: imported statically, a file of that name beside the executable would be loaded
    // in its place. It is loaded from the system folder only.
    ModuleHandle m_winmm;
    PeriodFunction m_endPeriod = nullptr;
    bool m_throttlingSet = false;
};
