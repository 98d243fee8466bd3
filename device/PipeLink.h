// What the streaming loop needs from the system on the worker's thread: WriteFile on the device's pipe, Sleep, the
// tick count, and progress posted to a window.
#pragma once

#include <windows.h>

#include "TransferLoop.h"

class PipeLink : public TransferLink {
public:
    // `notify` receives the progress messages; null posts none.
    PipeLink(HANDLE pipe, HWND notify) : m_pipe(pipe), m_notify(notify) {}

    bool Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) override;
    void Wait(std::uint32_t milliseconds) override { Sleep(milliseconds); }
    std::uint32_t Now() override { return GetTickCount(); }
    void Progress(std::uint32_t position) override;

private:
    HANDLE m_pipe;
    HWND m_notify;
};
