// Standard output and standard error of the console flasher.
#include "ConsoleOutput.h"

#include "AnsiText.h"

ConsoleOutput::ConsoleOutput() : m_out(Open(STD_OUTPUT_HANDLE)), m_err(Open(STD_ERROR_HANDLE)) {}

ConsoleOutput::Stream ConsoleOutput::Open(DWORD which) {
    Stream stream;
    stream.handle = GetStdHandle(which);
    DWORD mode = 0;
    stream.console = stream.handle && stream.handle != INVALID_HANDLE_VALUE && GetConsoleMode(stream.handle, &mode);
    return stream;
}

// A console shows UTF-16 whatever its code page; anything else gets the UTF-8 bytes, which scripts can decode
// without knowing the system's code page.
void ConsoleOutput::Write(const Stream& stream, const std::string& utf8) {
    if (!stream.handle || stream.handle == INVALID_HANDLE_VALUE || utf8.empty())
        return;
    DWORD written = 0;
    if (stream.console) {
        const std::wstring wide = Utf8ToWide(utf8);
        WriteConsoleW(stream.handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(stream.handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}
