// A look back over a log: attempts, ok, failed and refused per image and per day, and every attempt of one board.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "RunRecord.h"

struct HistoryRow {
    std::string key;  // the image's SHA-256 (or "none"), or the day (YYYY-MM-DD, UTC)
    std::string path; // of the image: the latest path it was downloaded from
    std::uint32_t attempts = 0;
    std::uint32_t ok = 0;
    std::uint32_t failed = 0; // interrupted ones included
    std::uint32_t refused = 0;
};

struct HistorySummary {
    HistoryRow all;
    std::vector<HistoryRow> images; // in the order each first appears
    std::vector<HistoryRow> days;   // oldest first
};

// A log read record by record, in the order of its lines, holding only what it shows: the counts, and the attempts
// of one board. A started line is no attempt of its own; one whose end never came (a killed run, a power cut) counts
// as an interrupted attempt.
class LogHistory {
public:
    // `serial`: the board whose attempts are kept; none keeps none.
    explicit LogHistory(std::optional<std::string> serial = std::nullopt) : m_serial(std::move(serial)) {}

    void Add(const RunRecord& record);
    // The log has ended: the starts still waiting for their end count as interrupted.
    void End();

    const HistorySummary& Summary() const { return m_summary; }
    // The board's attempts, newest first, once End was called.
    const std::vector<RunRecord>& Attempts() const { return m_attempts; }

private:
    void Attempt(const RunRecord& attempt);
    void CountUnended(const RunRecord& start);

    std::optional<std::string> m_serial;
    HistorySummary m_summary;
    std::vector<RunRecord> m_attempts;
    // Started lines whose end has not come yet: at most one per station's front end, as a run holds the machine's
    // download lock.
    std::vector<RunRecord> m_open;
};

// Every attempt's end, and the starts without one.
HistorySummary SummarizeLog(const std::vector<RunRecord>& records);
// The attempts of the board `serial`, newest first.
std::vector<RunRecord> AttemptsOfBoard(const std::vector<RunRecord>& records, const std::string& serial);

// The summary as text, `logName` in its first line.
std::string HistoryText(const std::string& logName, const HistorySummary& summary);
// The board's attempts as text, one a line.
std::string BoardHistoryText(const std::string& serial, const std::vector<RunRecord>& attempts);
// The same as JSON lines: a "history" event for the log, each image and each day; an "attempt" event for each of a
// board's attempts.
std::string HistoryJson(const std::string& logName, const HistorySummary& summary);
std::string BoardHistoryJson(const std::vector<RunRecord>& attempts);
