// The streaming loop's link to the device's pipe and to the window that shows the progress.
#include "PipeLink.h"

#include "TransferMessages.h"

bool PipeLink::Write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) {
    DWORD count = 0;
    const bool succeeded = WriteFile(m_pipe, data, size, &count, nullptr);
    written = count;
    return succeeded;
}

// Posted, not sent: the worker never waits on the UI thread, which may itself be waiting for the worker.
void PipeLink::Progress(std::uint32_t position) {
    if (m_notify)
        PostMessageA(m_notify, WM_APP_TRANSFER_PROGRESS, position, 0);
}
