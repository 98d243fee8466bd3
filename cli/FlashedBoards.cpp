// The boards flashed with the image, from the log and from this session.
#include "FlashedBoards.h"

#include "AttemptLog.h"
#include "BoardSerial.h"

std::uint64_t FlashedBoards::KeyOf(std::string_view serial) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : serial)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

std::optional<RunRecord> FlashedBoards::Find(const std::string& serial) {
    const auto flashed = [&](const RunRecord& record) {
        return record.result == RunResult::kOk && record.identity.serial && record.image.sha256 == m_sha256;
    };
    // Only the lines appended since the last look: the log may be shared with other sessions meanwhile.
    AttemptLog::ReadLines(m_logPath, m_readTo, [&](std::string_view line) {
        const std::optional<RunRecord> record = ParseRunRecord(line);
        if (record && flashed(*record))
            m_keys.insert(KeyOf(*record->identity.serial));
    });
    if (m_keys.count(KeyOf(serial))) {
        std::optional<RunRecord> first;
        std::uint64_t from = 0;
        AttemptLog::ReadLines(m_logPath, from, [&](std::string_view line) {
            if (first)
                return;
            std::optional<RunRecord> record = ParseRunRecord(line);
            if (record && flashed(*record) && record->identity.serial == serial)
                first = std::move(record);
        });
        if (first)
            return first;
    }
    return FindFlashedBoard(m_session, serial, m_sha256);
}

void FlashedBoards::Add(const RunRecord& record) {
    RunRecord board;
    board.time = record.time;
    board.identity = record.identity;
    board.image.sha256 = record.image.sha256;
    board.result = record.result;
    m_session.push_back(std::move(board));
}
