// Ctrl+C, Ctrl+Break, closing the console and the end of the Windows session, turned into a request that the
// flasher's main thread answers.
#pragma once

#include <windows.h>

class ConsoleInterrupt {
public:
    // Installs the console control handler; one per process.
    bool Install();
    bool Requested() const;
    // Waits up to `milliseconds`; true when a stop was requested before or meanwhile.
    bool Wait(DWORD milliseconds) const;
    // The process has moments left: a second Ctrl+C or Ctrl+Break, the console closing, or the session ending. A
    // worker that does not stop at once is then left behind.
    bool Urgent() const;
    // The program has stopped its transfer, closed the pipe and written its log, and ends with `exitCode`: a console
    // or a session that is closing may now end the process, with that code.
    void Done(int exitCode);

    // For a thread after whose return the system ends the process (a control handler's when the console closes, the
    // session window's when the session ends): asks for an urgent stop, waits for Done (at most a little less than
    // the system waits) and ends the process itself with the program's exit code, which the system would otherwise
    // replace with its own.
    static void EndProcessOnceDone();
};
