// The 1 ms timer resolution for the length of a transfer, so that the retry waits of 1 and 5 ms last about that
// long rather than a whole scheduler tick (15.6 ms).
#pragma once

#include <windows.h>

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
    bool m_periodSet = false;
    bool m_throttlingSet = false;
};
