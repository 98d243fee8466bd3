// The stand-in driver library: "the device" is a running ostrel-devsim emulator of the instance that the environment
// names. Both exports use the C calling convention; TarselUSB.def keeps their names undecorated.
//
// No C++ library and no C runtime start-up here (see CMakeLists.txt): the tool loads and frees this library every
// second, and the statically linked runtime's thread support leaves two handles behind at each unload.
#include <cstring>

#include <windows.h>

#include "DevSimNames.h"

namespace {

// Between two downloads the emulator takes a moment to listen again, and the pipe answers "busy" meanwhile.
constexpr DWORD kBusyPipePatienceMs = 2000;

// Room for the longest object or pipe name: prefix, a 64-character instance, a suffix or the pipe name.
constexpr std::size_t kNameSize = 256;

// The instance that the environment names (the default when unset); false when it names one that cannot exist.
bool InstanceFromEnvironment(char (&instance)[DevSim::kMaxInstanceLength + 1]) {
    const DWORD length = GetEnvironmentVariableA(DevSim::kInstanceVariable, instance, sizeof instance);
    if (length >= sizeof instance)
        return false;
    if (length == 0)
        std::strcpy(instance, DevSim::kDefaultInstance);
    return DevSim::IsValidInstance(instance);
}

// prefix + instance + suffix, as the emulator names its objects; false when it would not fit.
bool JoinName(char (&name)[kNameSize], const char* prefix, const char* instance, const char* suffix) {
    if (std::strlen(prefix) + std::strlen(instance) + std::strlen(suffix) >= sizeof name)
        return false;
    std::strcpy(name, prefix);
    std::strcat(name, instance);
    std::strcat(name, suffix);
    return true;
}

} // namespace

// The library's entry point in place of the C runtime's: there is nothing to set up or tear down.
extern "C" BOOL WINAPI DllEntry(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

// A handle on the emulator's presence object, which the caller closes; INVALID_HANDLE_VALUE when no device is attached.
extern "C" HANDLE __cdecl open_dev(void) noexcept {
    char instance[DevSim::kMaxInstanceLength + 1];
    char name[kNameSize];
    if (!InstanceFromEnvironment(instance) || !JoinName(name, DevSim::kObjectPrefix, instance, DevSim::kPresenceSuffix))
        return INVALID_HANDLE_VALUE;
    const HANDLE presence = OpenEventA(SYNCHRONIZE, FALSE, name);
    return presence ? presence : INVALID_HANDLE_VALUE;
}

// A synchronous write handle on the device's pipe of that name; INVALID_HANDLE_VALUE when the device has none.
// It is a plain kernel handle, so it stays valid when this library is unloaded.
extern "C" HANDLE __cdecl open_file(const char* pipeName) noexcept {
    char instance[DevSim::kMaxInstanceLength + 1];
    char prefix[kNameSize];
    char path[kNameSize];
    if (!pipeName || !InstanceFromEnvironment(instance) || !JoinName(prefix, DevSim::kPipePrefix, instance, "-") ||
        !JoinName(path, prefix, pipeName, ""))
        return INVALID_HANDLE_VALUE;
    char file[kNameSize];
    const DWORD fileLength = GetEnvironmentVariableA(DevSim::kPipeFileVariable, file, sizeof file);
    if (fileLength > 0 && fileLength < sizeof file)
        return CreateFileA(file, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD start = GetTickCount();
    for (;;) {
        const HANDLE pipe = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY)
            return pipe;
        const DWORD waited = GetTickCount() - start;
        if (waited >= kBusyPipePatienceMs)
            return INVALID_HANDLE_VALUE;
        // A failed wait is followed by one more open, which tells whether the pipe has gone or is free.
        if (!WaitNamedPipeA(path, kBusyPipePatienceMs - waited))
            Sleep(10);
    }
}
