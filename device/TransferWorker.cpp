// The transfer worker: streams the image on its own thread and reports to the main window by posted messages.
#include "TransferWorker.h"

#include "PipeLink.h"
#include "TimerResolution.h"
#include "TransferMessages.h"

TransferWorker::TransferWorker(ImageData image, FileHandle pipe, HWND notify)
    : m_image(std::move(image)), m_pipe(std::move(pipe)), m_notify(notify),
      m_bytesToSend(TransferByteCount(m_image.size)) {}

TransferWorker::~TransferWorker() {
    if (m_thread.IsValid())
        StopAndWait();
}

bool TransferWorker::Start() {
    m_signals.lastActivity = GetTickCount();
    m_thread = KernelHandle(CreateThread(nullptr, 0, &TransferWorker::ThreadMain, this, 0, nullptr));
    if (m_thread.IsValid())
        return true;
    m_image = ImageData();
    m_pipe.Close();
    return false;
}

bool TransferWorker::IsRunning() const {
    return m_thread.IsValid() && WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT;
}

bool TransferWorker::StopAndWait(DWORD patienceMs) {
    m_signals.stop = true;
    HANDLE thread = m_thread.Get();
    const DWORD start = GetTickCount();
    // A write blocked in the system never returns by itself when the device stops reading; cancel it, and
    // again after each wait in case the worker had not yet entered the write.
    while (true) {
        CancelWrite();
        const DWORD waited = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT);
        if (waited == WAIT_OBJECT_0)
            break;
        // The window keeps painting meanwhile; the worker's own messages stay queued for after the wait.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, WM_APP_TRANSFER_PROGRESS - 1, PM_REMOVE) ||
               PeekMessageA(&msg, nullptr, WM_APP_TRANSFER_END + 1, 0xFFFFFFFF, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (patienceMs != INFINITE && GetTickCount() - start >= patienceMs)
            return false;
    }
    m_thread.Close();
    return true;
}

void TransferWorker::CancelWrite() {
    // CancelSynchronousIo only asks the driver of the blocked call; CancelIoEx also reaches a write the driver
    // has queued on the pipe.
    const std::lock_guard<std::mutex> guard(m_pipeGuard);
    CancelSynchronousIo(m_thread.Get());
    if (m_pipe.IsValid())
        CancelIoEx(m_pipe.Get(), nullptr);
}

bool TransferWorker::CancelIfStalled(DWORD limitMs) {
    if (!IsRunning() || !IsStalled(m_signals, GetTickCount(), limitMs))
        return false;
    // Asked again at every check: the worker may not have been inside the write at the first cancel.
    m_signals.stop = true;
    CancelWrite();
    return true;
}

bool TransferWorker::WaitForEnd(DWORD milliseconds) const {
    return !m_thread.IsValid() || WaitForSingleObject(m_thread.Get(), milliseconds) == WAIT_OBJECT_0;
}

void TransferWorker::Join() {
    WaitForSingleObject(m_thread.Get(), INFINITE);
    m_thread.Close();
}

DWORD WINAPI TransferWorker::ThreadMain(void* self) {
    static_cast<TransferWorker*>(self)->Run();
    return 0;
}

void TransferWorker::Run() {
    // Keeps the system awake meanwhile.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    TransferOutcome outcome;
    {
        const TimerResolution resolution;
        PipeLink link(m_pipe.Get(), m_notify);
        outcome = RunTransfer(m_image.bytes.get(), m_image.size, link, m_signals);
    }
    m_outcome = outcome;

    m_image = ImageData();
    {
        const std::lock_guard<std::mutex> guard(m_pipeGuard);
        m_pipe.Close();
    }
    SetThreadExecutionState(ES_CONTINUOUS);
    if (m_notify)
        PostMessageA(m_notify, WM_APP_TRANSFER_END, static_cast<WPARAM>(outcome), 0);
}
