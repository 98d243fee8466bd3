// The 1 ms timer resolution for a transfer: winmm's period from the system folder, and the opt-out of Windows 11's
// timer-resolution throttling.
#include "TimerResolution.h"

namespace {
constexpr UINT kPeriodMs = 1;

// Absent before Windows 8; before Windows 11 the setting is refused, which changes nothing.
bool SetTimerResolutionThrottling(bool systemDecides) {
    using SetProcessInformationFunction = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, void*, DWORD);
    const auto setProcessInformation = reinterpret_cast<SetProcessInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessInformation")));
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

TimerResolution::TimerResolution() : m_winmm(LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    const auto beginPeriod = FindExport<PeriodFunction>(m_winmm, "timeBeginPeriod");
    const auto endPeriod = FindExport<PeriodFunction>(m_winmm, "timeEndPeriod");
    if (beginPeriod && endPeriod && beginPeriod(kPeriodMs) == 0)
        m_endPeriod = endPeriod;
    m_throttlingSet = SetTimerResolutionThrottling(false);
}

TimerResolution::~TimerResolution() {
    if (m_throttlingSet)
        SetTimerResolutionThrottling(true);
    if (m_endPeriod)
        m_endPeriod(kPeriodMs);
}
