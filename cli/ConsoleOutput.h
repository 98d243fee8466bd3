// Standard output and standard error of the console flasher: UTF-16 to a console, UTF-8 bytes to files and pipes.
#pragma once

#include <string>

#include <windows.h>

#include "FlashReporter.h"

class ConsoleOutput : public OutputSink {
public:
    ConsoleOutput();

    // Standard output is a console, where a line can be rewritten in place.
    bool OutIsConsole() const { return m_out.console; }
    void Out(const std::string& utf8) override { Write(m_out, utf8); }
    void Err(const std::string& utf8) override { Write(m_err, utf8); }

private:
    struct Stream {
        HANDLE handle = nullptr;
        bool console = false;
    };
    static Stream Open(DWORD which);
    static void Write(const Stream& stream, const std::string& utf8);

    Stream m_out;
    Stream m_err;
};
