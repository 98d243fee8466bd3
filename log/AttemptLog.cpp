// The attempt log file.
#include "AttemptLog.h"

// Append-only access makes every write land at the end of the file as one piece, so two sessions that share the
// log never interleave within a line; the flush means a power cut loses at most the line being written.
bool AttemptLog::Open(const std::wstring& path) {
    m_file = FileHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_file.IsValid();
}

bool AttemptLog::Append(const std::string& line) {
    DWORD written = 0;
    return WriteFile(m_file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size() && FlushFileBuffers(m_file.Get());
}

bool AttemptLog::ReadAll(const std::wstring& path, std::string& text) {
    // Shared with the sessions and windows that append to it meanwhile: a line they are writing may come half.
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    text.clear();
    char buffer[64 * 1024];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return true;
}
