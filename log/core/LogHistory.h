// A look back over a log: attempts, ok, failed and refused per image and per day, and every attempt of one board.
#pragma once

#include <cstdint>
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

// Every attempt's end; the window's "started" lines are not attempts of their own.
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
