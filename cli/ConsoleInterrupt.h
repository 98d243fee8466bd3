// Ctrl+C, Ctrl+Break and closing the console, turned into a request that the flasher's main thread answers.
#pragma once

#include <windows.h>

class ConsoleInterrupt {
public:
    // Installs the console control handler; one per process.
    bool Install();
    bool Requested() const;
    // Waits up to `milliseconds`; true when a stop was requested before or meanwhile.
    bool Wait(DWORD milliseconds) const;
    // The program has stopped its transfer, closed the pipe and written its log: a console that is closing may
    // now end the process.
    void Done();
};
