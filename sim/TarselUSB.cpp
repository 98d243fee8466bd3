// The stand-in driver library: "the device" is a running ostrel-devsim emulator of the instance that the environment
// names. Both exports use the C calling convention; TarselUSB.def keeps their names undecorated.
#include <string>

#include <windows.h>

#include "DevSimNames.h"

namespace {

// Between two downloads the emulator takes a moment to listen again, and the pipe answers "busy" meanwhile.
constexpr DWORD kBusyPipePatienceMs = 2000;

} // namespace

// A handle on the emulator's presence object, which the caller closes; INVALID_HANDLE_VALUE when no device is attached.
extern "C" HANDLE __cdecl open_dev(void) noexcept {
    std::string instance;
    if (!DevSim::InstanceFromEnvironment(instance))
        return INVALID_HANDLE_VALUE;
    const HANDLE presence = OpenEventA(SYNCHRONIZE, FALSE, DevSim::PresenceName(instance).c_str());
    return presence ? presence : INVALID_HANDLE_VALUE;
}

// A synchronous write handle on the device's pipe of that name; INVALID_HANDLE_VALUE when the device has none.
// It is a plain kernel handle, so it stays valid when this library is unloaded.
extern "C" HANDLE __cdecl open_file(const char* pipeName) noexcept {
    std::string instance;
    if (!pipeName || !DevSim::InstanceFromEnvironment(instance))
        return INVALID_HANDLE_VALUE;
    const std::string path = DevSim::PipePath(instance, pipeName);
    const DWORD start = GetTickCount();
    for (;;) {
        const HANDLE pipe = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY)
            return pipe;
        const DWORD waited = GetTickCount() - start;
        if (waited >= kBusyPipePatienceMs)
            return INVALID_HANDLE_VALUE;
        // A failed wait is followed by one more open, which tells whether the pipe has gone or is free.
        if (!WaitNamedPipeA(path.c_str(), kBusyPipePatienceMs - waited))
            Sleep(10);
    }
}
