// The emulator's command line: its options and the help text that explains them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace DevSim {

struct Options {
    std::string instance; // empty: the environment's, else the default
    std::string capturePath;
    std::string logPath;
    std::optional<std::uint64_t> unplugAfter;
    std::optional<std::uint64_t> stallAfter;
    std::optional<std::uint64_t> replugMs;
    std::uint64_t throttle = 0; // bytes per second; 0 reads as fast as the client writes
    bool once = false;
    bool stop = false;
    bool help = false;
};

// The options, or an error text for the user when the arguments (without the program name) are not understood.
struct ParsedOptions {
    Options options;
    std::string error;
};
ParsedOptions ParseOptions(const std::vector<std::string>& args);

extern const char kHelpText[];

} // namespace DevSim
