// The history summary of a log and its text.
#include "LogHistory.h"

#include <algorithm>

namespace {

constexpr std::size_t kShortDigest = 12;
// A run whose start was logged and whose end never was: the process was killed or the power cut, or it still runs.
constexpr char kNoEndLogged[] =
    "no end was logged: the run was cut short (a killed program, a power cut) or still runs";

void Count(HistoryRow& row, const RunRecord& record) {
    ++row.attempts;
    if (record.result == RunResult::kOk)
        ++row.ok;
    else if (record.result == RunResult::kRefused)
        ++row.refused;
    else
        ++row.failed;
}

HistoryRow& RowOf(std::vector<HistoryRow>& rows, const std::string& key) {
    for (HistoryRow& row : rows) {
        if (row.key == key)
            return row;
    }
    HistoryRow row;
    row.key = key;
    rows.push_back(row);
    return rows.back();
}

std::string Counts(const HistoryRow& row) {
    return std::to_string(row.attempts) + " attempts, " + std::to_string(row.ok) + " ok, " +
           std::to_string(row.failed) + " failed, " + std::to_string(row.refused) + " refused";
}

std::string ShortDigest(const std::string& key) {
    return key.substr(0, kShortDigest);
}

std::string RowJson(const char* by, const HistoryRow& row) {
    JsonLine line;
    line.Add("event", "history").Add("by", by);
    if (std::string(by) == "image")
        line.Add("sha256", ShortDigest(row.key)).Add("image", row.path);
    else if (std::string(by) == "day")
        line.Add("day", row.key);
    line.AddNumber("attempts", row.attempts).AddNumber("ok", row.ok).AddNumber("failed", row.failed);
    return line.AddNumber("refused", row.refused).Line();
}

} // namespace

void LogHistory::Add(const RunRecord& record) {
    if (record.result.empty())
        return;
    const auto sameRun = [&](const RunRecord& start) { return start.id == record.id; };
    const auto sameFront = [&](const RunRecord& start) {
        return start.host == record.host && start.front == record.front;
    };
    auto open = std::find_if(m_open.begin(), m_open.end(), sameRun);
    if (open == m_open.end() && record.result != RunResult::kRefused)
        open = std::find_if(m_open.begin(), m_open.end(), sameFront);
    if (open != m_open.end()) {
        // The window wrote its started line under an id of its own before the two shared one: the end of the
        // same image that follows it from the same station is its end.
        const bool ends = open->id == record.id ||
                          (record.result != RunResult::kStarted && open->image.sha256 == record.image.sha256);
        if (!ends)
            CountUnended(*open);
        m_open.erase(open);
    }
    if (record.result == RunResult::kStarted)
        m_open.push_back(record);
    else
        Attempt(record);
}

void LogHistory::End() {
    for (const RunRecord& start : m_open)
        CountUnended(start);
    m_open.clear();
    std::sort(m_summary.days.begin(), m_summary.days.end(),
              [](const HistoryRow& a, const HistoryRow& b) { return a.key < b.key; });
    // ISO 8601 times in UTC sort as text; of two lines of the same moment the later in the log comes first.
    std::reverse(m_attempts.begin(), m_attempts.end());
    std::stable_sort(m_attempts.begin(), m_attempts.end(),
                     [](const RunRecord& a, const RunRecord& b) { return a.time > b.time; });
}

void LogHistory::Attempt(const RunRecord& attempt) {
    Count(m_summary.all, attempt);
    HistoryRow& image = RowOf(m_summary.images, attempt.image.sha256.value_or("none"));
    Count(image, attempt);
    if (!attempt.image.path.empty())
        image.path = attempt.image.path;
    Count(RowOf(m_summary.days, attempt.time.substr(0, 10)), attempt);
    if (m_serial && attempt.identity.serial == m_serial)
        m_attempts.push_back(attempt);
}

void LogHistory::CountUnended(const RunRecord& start) {
    RunRecord interrupted = start;
    interrupted.result = RunResult::kInterrupted;
    interrupted.reason = kNoEndLogged;
    Attempt(interrupted);
}

HistorySummary SummarizeLog(const std::vector<RunRecord>& records) {
    LogHistory history;
    for (const RunRecord& record : records)
        history.Add(record);
    history.End();
    return history.Summary();
}

std::vector<RunRecord> AttemptsOfBoard(const std::vector<RunRecord>& records, const std::string& serial) {
    LogHistory history(serial);
    for (const RunRecord& record : records)
        history.Add(record);
    history.End();
    return history.Attempts();
}

std::string HistoryText(const std::string& logName, const HistorySummary& summary) {
    std::string text = "log " + logName + ": " + Counts(summary.all) + "\n";
    if (!summary.images.empty())
        text += "per image:\n";
    for (const HistoryRow& row : summary.images)
        text += "  " + ShortDigest(row.key) + "  " + row.path + ": " + Counts(row) + "\n";
    if (!summary.days.empty())
        text += "per day:\n";
    for (const HistoryRow& row : summary.days)
        text += "  " + row.key + ": " + Counts(row) + "\n";
    return text;
}

std::string BoardHistoryText(const std::string& serial, const std::vector<RunRecord>& attempts) {
    std::string text = "board " + serial + ": " + std::to_string(attempts.size()) + " attempts\n";
    for (const RunRecord& record : attempts) {
        text += "  " + record.time + "  " + record.result + "  " + ShortDigest(record.image.sha256.value_or("none")) +
                "  " + record.image.path + "  " + record.identity.station + "  " + record.identity.operatorName;
        if (!record.reason.empty())
            text += "  (" + record.reason + ")";
        text += "\n";
    }
    return text;
}

std::string HistoryJson(const std::string& logName, const HistorySummary& summary) {
    JsonLine all;
    all.Add("event", "history").Add("by", "log").Add("log", logName);
    all.AddNumber("attempts", summary.all.attempts).AddNumber("ok", summary.all.ok);
    std::string text = all.AddNumber("failed", summary.all.failed).AddNumber("refused", summary.all.refused).Line();
    for (const HistoryRow& row : summary.images)
        text += RowJson("image", row);
    for (const HistoryRow& row : summary.days)
        text += RowJson("day", row);
    return text;
}

std::string BoardHistoryJson(const std::vector<RunRecord>& attempts) {
    std::string text;
    for (const RunRecord& record : attempts) {
        JsonLine line;
        line.Add("event", "attempt").Add("id", record.id).Add("time", record.time).Add("front", record.front);
        AddIdentity(line, record.identity);
        line.Add("image", record.image.path).Add("sha256", record.image.sha256).Add("result", record.result);
        line.Add("reason", record.reason.empty() ? std::nullopt : std::optional<std::string>(record.reason));
        text += line.AddNumber("bytes", record.bytes).Line();
    }
    return text;
}
