// The attempt log: one JSON line per download attempt, appended to a file that other sessions may share.
#pragma once

#include <string>

#include "Handle.h"

class AttemptLog {
public:
    // Opens (or creates) the file for appending; false, with the system's error in GetLastError, when it cannot.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return m_file.IsValid(); }
    // Writes the whole line with one append and flushes it to the disk before returning.
    bool Append(const std::string& line);

    // The whole text of the log at `path`, for the lines already in it; false, with the system's error in
    // GetLastError, when it cannot be read.
    static bool ReadAll(const std::wstring& path, std::string& text);

private:
    FileHandle m_file;
};
