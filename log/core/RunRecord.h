// The record of one download attempt: the JSON line that both front ends append to a log. It is written and read
// here only, so that the window's history and the flasher's log share one schema.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ImageFacts.h"

// Where and by whom a download ran, and the board it went to; every log line and flasher event carries them.
struct RunIdentity {
    std::string station;
    std::string operatorName;
    std::optional<std::string> serial;
};

namespace RunFront {
inline constexpr char kWindow[] = "window";
inline constexpr char kFlasher[] = "flasher";
} // namespace RunFront

namespace RunResult {
// A run's line before its first byte is sent; its end follows in a line of its own, with the same id.
inline constexpr char kStarted[] = "started";
inline constexpr char kOk[] = "ok";
inline constexpr char kFailed[] = "failed";
inline constexpr char kInterrupted[] = "interrupted";
inline constexpr char kRefused[] = "refused"; // nothing was sent
} // namespace RunResult

struct RunRecord {
    std::string id;   // a fresh GUID per run, shared by its started line and its end: lines gathered from many
                      // stations can be merged and told apart
    std::string time; // UTC, ISO 8601 with milliseconds
    std::string front;
    std::string version; // the tool's
    std::string host;    // the computer's name
    RunIdentity identity;
    // Read back: path, size and SHA-256 only; the header fields are written, not read.
    ImageFacts image;
    std::uint32_t device = 0; // the device's number in a flasher session; 0 outside one
    std::string result;
    std::string reason; // plain English; empty for ok and started
    std::uint64_t bytes = 0;
    double seconds = 0;
    std::uint64_t rate = 0;
};

// The identity's members as JSON, after those already in `line`.
JsonLine& AddIdentity(JsonLine& line, const RunIdentity& identity);

// The record as one JSON line with its line end.
std::string RunRecordLine(const RunRecord& record);
// The record of one line of a log; none for a line that is no JSON object (a line cut by a power failure, or text
// that is not ours).
std::optional<RunRecord> ParseRunRecord(std::string_view line);
// The records of a log's text, in the order of its lines; lines that are no record are skipped.
std::vector<RunRecord> ReadRunRecords(std::string_view text);
