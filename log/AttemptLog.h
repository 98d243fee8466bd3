// The attempt log: one JSON line per download attempt, appended to a file that other sessions may share.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Handle.h"

class AttemptLog {
public:
    // Opens (or creates) the file for appending; false, with the system's error in GetLastError, when it cannot.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return m_file.IsValid(); }
    // Writes the whole line with one append and flushes it to the disk before returning. A last line that a power
    // cut or a killed program left without its end is ended first, so that this line stays a line of its own.
    bool Append(const std::string& line);

    // Gives `take` each whole line of the log at `path` from byte `offset` on, one at a time, and moves `offset`
    // past the last of them; false, with the system's error in GetLastError, when it cannot be read.
    static bool ReadLines(const std::wstring& path, std::uint64_t& offset,
                          const std::function<void(std::string_view)>& take);
    // The file, open for reading, ends in the middle of a line.
    static bool EndsInLine(HANDLE file);

private:
    FileHandle m_file;
    std::wstring m_path;
};
