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

// Names a file that open_file opens in place of the emulator's pipe. A Unix FIFO that nobody reads, opened through
// Wine, stands for a driver that never completes a write, cancelled or not: a write blocked in it ignores every
// cancel.
inline constexpr char kPipeFileVariable[] = "OSTREL_DEVSIM_PIPE_FILE";

// The one pipe the device serves; the tool opens it by this name.
inline constexpr char kPipeName[] = "PIPE00";

// Letters, digits, '.', '-' and '_': the name goes into kernel object and pipe names, where '\' is a separator.
// Plain C strings, so that the stand-in library needs no C++ library.
inline bool IsValidInstance(const char* instance) {
    const std::size_t length = std::strlen(instance);
    if (length == 0 || length > kMaxInstanceLength)
        return false;
    for (const char* c = instance; *c; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        if (!plain && !std::strchr(".-_", *c))
            return false;
    }
    return true;
}

inline bool IsValidInstance(const std::string& instance) {
    return IsValidInstance(instance.c_str()) && instance.size() == std::strlen(instance.c_str());
}

// Object names are the prefix, the instance, then the suffix; the pipe's is the prefix, the instance, '-' and the
// pipe name.
inline constexpr char kObjectPrefix[] = "Local\\ostrel-devsim-";
inline constexpr char kPresenceSuffix[] = "-present";
inline constexpr char kStopSuffix[] = "-stop";
inline constexpr char kPipePrefix[] = "\\\\.\\pipe\\ostrel-devsim-";

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
    return kObjectPrefix + instance + kPresenceSuffix;
}

// Signalled to stop the emulator.
inline std::string StopEventName(const std::string& instance) {
    return kObjectPrefix + instance + kStopSuffix;
}

inline std::string PipePath(const std::string& instance, const std::string& pipeName) {
    return kPipePrefix + instance + "-" + pipeName;
}

} // namespace DevSim
