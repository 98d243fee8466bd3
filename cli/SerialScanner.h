// The lines that a barcode scanner (or a person) types on standard input, read on a thread of their own, so that the
// flasher answers Ctrl+C while no line comes.
#pragma once

#include <memory>
#include <string>

#include <windows.h>

class SerialScanner {
public:
    enum class Read {
        Line,    // `line` holds the next line, without its line end (CR, LF or CRLF)
        End,     // the input has ended (end of file, or Ctrl+Z on a console)
        Timeout, // no line yet
    };

    // Starts reading standard input.
    SerialScanner();
    // A reader blocked in the system cannot be woken: it is left to end with the process, and shares nothing with
    // this object that could go away before it.
    ~SerialScanner() = default;
    SerialScanner(const SerialScanner&) = delete;
    SerialScanner& operator=(const SerialScanner&) = delete;

    // Waits up to `milliseconds` for the next line.
    Read Next(DWORD milliseconds, std::string& line);
    // While `drop` is true, lines read are dropped rather than kept (a board is being flashed); the count of lines
    // dropped since dropping began.
    std::size_t DropLines(bool drop);
    // Standard input is a console, where a person can be asked again; else a pipe or a file.
    bool FromConsole() const { return m_console; }

    // What the reading thread and this object share: the lines read and not yet taken, and the input's end.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    bool m_console = false;
};
