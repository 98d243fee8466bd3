// The attempt log file.
#include "AttemptLog.h"

#include "LogLines.h"

// Append-only access makes every write land at the end of the file as one piece, so two sessions that share the
// log never interleave within a line; the flush means a power cut loses at most the line being written.
bool AttemptLog::Open(const std::wstring& path) {
    m_file = FileHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    m_path = path;
    return m_file.IsValid();
}

bool AttemptLog::Append(const std::string& line) {
    // Read through a handle of its own: a log folder may grant appending and not reading, and then the line is
    // appended as it is.
    const FileHandle reader(CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string whole = reader.IsValid() && EndsInLine(reader.Get()) ? "\n" + line : line;
    DWORD written = 0;
    return WriteFile(m_file.Get(), whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr) &&
           written == whole.size() && FlushFileBuffers(m_file.Get());
}

bool AttemptLog::EndsInLine(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0)
        return false;
    LARGE_INTEGER last;
    last.QuadPart = size.QuadPart - 1;
    char byte = '\n';
    DWORD got = 0;
    return SetFilePointerEx(file, last, nullptr, FILE_BEGIN) && ReadFile(file, &byte, 1, &got, nullptr) && got == 1 &&
           byte != '\n';
}

bool AttemptLog::ReadLines(const std::wstring& path, std::uint64_t& offset,
                           const std::function<void(std::string_view)>& take) {
    // Shared with the sessions and windows that append to it meanwhile: a line they are writing is left for later.
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(offset);
    if (!file.IsValid() || !SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN))
        return false;
    LogLines lines(take);
    char buffer[64 * 1024];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        lines.Feed(std::string_view(buffer, got));
    offset += lines.Completed();
    return true;
}
