// The boards that a log shows flashed whole with one image: read from the log once, line by line, and then only
// what is appended to it, so that a long log is not read again for every board of a session.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "RunRecord.h"

class FlashedBoards {
public:
    FlashedBoards(std::wstring logPath, std::string sha256)
        : m_logPath(std::move(logPath)), m_sha256(std::move(sha256)) {}

    // The first line of the log (or of this session) that wrote the image whole into the board `serial`; none when
    // there is none, or the log cannot be read.
    std::optional<RunRecord> Find(const std::string& serial);
    // A board this session has flashed, which a log folder that does not answer may not hold yet.
    void Add(const RunRecord& record);

private:
    // Each serial as a 64-bit hash: a log of any length takes 8 bytes per board flashed with the image. A hash that
    // two serials share is told apart by reading the line itself.
    static std::uint64_t KeyOf(std::string_view serial);

    std::wstring m_logPath;
    std::string m_sha256;
    std::unordered_set<std::uint64_t> m_keys;
    std::uint64_t m_readTo = 0;
    std::vector<RunRecord> m_session;
};
