// Serial rules and the lookup of boards already flashed.
#include "BoardSerial.h"

std::string TrimSerialLine(std::string_view line) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    return std::string(line);
}

bool IsValidSerial(std::string_view serial) {
    return SerialProblem(serial).empty();
}

std::string SerialProblem(std::string_view serial) {
    if (serial.empty())
        return "a serial has at least one character";
    if (serial.size() > kLongestSerial)
        return "a serial has at most " + std::to_string(kLongestSerial) + " characters";
    for (const char c : serial) {
        if (c < 0x20 || c > 0x7E)
            return "a serial has printable characters only (letters, digits, punctuation, blanks)";
    }
    return std::string();
}

std::optional<RunRecord> FindFlashedBoard(const std::vector<RunRecord>& records, std::string_view serial,
                                          std::string_view sha256) {
    for (const RunRecord& record : records) {
        if (record.result == RunResult::kOk && record.identity.serial == serial && record.image.sha256 == sha256)
            return record;
    }
    return std::nullopt;
}
