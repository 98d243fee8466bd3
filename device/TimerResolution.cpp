// The 1 ms timer resolution for a transfer: winmm's period from the system folder, and the opt-out of Windows 11's
// timer-resolution throttling.
#include "TimerResolution.h"

#include <mmsystem.h>

#include "SystemLibrary.h"

namespace {
constexpr UINT kPeriodMs = 1;

// winmm.dll is no KnownDLL: imported statically, a file of that name beside the executable would be loaded in its
// place. It is loaded from the system folder only, at the first transfer.
decltype(&::timeEndPeriod) EndPeriod() {
    static const auto endPeriod = SYSTEM_FUNCTION(L"winmm.dll", timeEndPeriod);
    return endPeriod;
}

// Absent before Windows 8; before Windows 11 the setting is refused, which changes nothing.
bool SetTimerResolutionThrottling(bool systemDecides) {
    // Declared by the headers only for programs made for Windows 8 and later, so typed here.
    using Function = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, void*, DWORD);
    static const auto setProcessInformation = SystemFunction<Function>(L"kernel32.dll", "SetProcessInformation");
    if (!setProcessInformation)
        return false;
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    // Control bit set with its state bit clear: never ignore this process's resolution; no control bit: the
    // system's default again.
    state.ControlMask = systemDecides ? 0 : PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    return setProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state) != FALSE;
}
} // namespace

TimerResolution::TimerResolution() {
    static const auto beginPeriod = SYSTEM_FUNCTION(L"winmm.dll", timeBeginPeriod);
    m_periodSet = beginPeriod && EndPeriod() && beginPeriod(kPeriodMs) == TIMERR_NOERROR;
    m_throttlingSet = SetTimerResolutionThrottling(false);
}

TimerResolution::~TimerResolution() {
    if (m_throttlingSet)
        SetTimerResolutionThrottling(true);
    if (m_periodSet)
        EndPeriod()(kPeriodMs);
}
