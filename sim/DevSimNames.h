// Names of the emulated device's objects, shared by the emulator, the stand-in driver library and their tests.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include <windows.h>

namespace DevSim {

// Names the emulator instance, so that tests in parallel each talk to their own device.
inline constexpr char kInstanceVariable[] = "OSTREL_DEVSIM_INSTANCE";
inline constexpr char kDefaultInstance[] = "default";
inline constexpr std::size_t kMaxInstanceLength = 64;

// The one pipe the device serves; the tool opens it by this name.
inline constexpr char kPipeName[] = "PIPE00";

// Letters, digits, '.', '-' and '_': the name goes into kernel object and pipe names, where '\' is a separator.
inline bool IsValidInstance(const std::string& instance) {
    if (instance.empty() || instance.size() > kMaxInstanceLength)
        return false;
    for (const char c : instance) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && !std::strchr(".-_", c))
            return false;
    }
    return true;
}

// The instance that the environment names, or the default when the variable is unset or empty; false when it names
// one that cannot exist. GetEnvironmentVariableA, not getenv: getenv reads the C runtime's copy of the environment,
// taken when the runtime started, which misses the process's later SetEnvironmentVariable calls.
inline bool InstanceFromEnvironment(std::string& instance) {
    char value[kMaxInstanceLength + 1];
    const DWORD length = GetEnvironmentVariableA(kInstanceVariable, value, sizeof value);
    if (length >= sizeof value)
        return false;
    instance = length == 0 ? kDefaultInstance : std::string(value, length);
    return IsValidInstance(instance);
}

// Exists while the device is attached.
inline std::string PresenceName(const std::string& instance) {
    return "Local\\ostrel-devsim-" + instance + "-present";
}

// Signalled to stop the emulator.
inline std::string StopEventName(const std::string& instance) {
    return "Local\\ostrel-devsim-" + instance + "-stop";
}

inline std::string PipePath(const std::string& instance, const std::string& pipeName) {
    return "\\\\.\\pipe\\ostrel-devsim-" + instance + "-" + pipeName;
}

} // namespace DevSim
