// How a flash attempt or a session ends for the shell: the exit codes (BSD sysexits) of the ends and of a session.
#pragma once

#include <cstdint>
#include <string>

#include "RunEnds.h"

namespace ExitCode {
inline constexpr int kOk = 0;
inline constexpr int kUsage = 64;
inline constexpr int kNotAnImage = 65;
inline constexpr int kNoImageFile = 66;
inline constexpr int kNoDevice = 69;
inline constexpr int kTransferFailed = 74;
inline constexpr int kTryAgainLater = 75;
inline constexpr int kNotPermitted = 77;
inline constexpr int kInterrupted = 130;
} // namespace ExitCode

// The flasher's column of the table of ends: the exit code of each.
int ExitCodeOf(RunEnd end);

// What each exit code means, in order: --help's exit status and the user's tables are written from it.
struct ExitCodeMeaning {
    int code;
    const char* meaning;
};
extern const ExitCodeMeaning kExitCodeMeanings[9];
// The exit codes as --help lists them: a heading, then "  CODE  meaning" lines.
std::string ExitStatusText();

// What a Windows error from loading the driver library means for the user, in plain English: not found, or found at
// `foundAt` (UTF-8; empty when none was found) and a library it imports is missing (126); of the other architecture
// (193, `program64` tells this program's); missing an export (127); empty for others.
std::string DriverLoadErrorMeaning(unsigned long error, bool program64, const std::string& foundAt);

struct SessionTally {
    std::uint32_t ok = 0;
    std::uint32_t failed = 0;
    // Boards refused before their download: a serial that is none, or one flashed already.
    std::uint32_t refused = 0;
};

// The session's exit code: Ctrl+C first, then any failed download, then what ended the session (Written when
// it ran out of work: one download, or --count reached).
int SessionExitCode(const SessionTally& tally, RunEnd last);
