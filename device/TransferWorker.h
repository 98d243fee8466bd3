// The transfer worker: one thread that streams one in-memory image to the device's pipe.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "Handle.h"
#include "ImageFile.h"
#include "TransferLoop.h"

class TransferWorker {
public:
    // Takes over the image and the pipe; the worker releases both at its end. `notify` receives the progress
    // and end messages; without a window (null) the owner follows the run through BytesSent, WaitForEnd and
    // Outcome instead.
    TransferWorker(ImageData image, FileHandle pipe, HWND notify);
    // Stops a worker that still runs and waits for it.
    virtual ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // False when no thread could be started; the image and the pipe are released then.
    bool Start();
    bool IsRunning() const;
    // Asks the worker to stop, cancels a write blocked in the system, and waits for the thread to end while
    // dispatching this thread's messages (the worker never waits on the UI, but other windows may). A driver may
    // ignore the cancel: false when the worker still runs after `patienceMs`; it has been asked, and the caller
    // may wait again.
    bool StopAndWait(DWORD patienceMs = INFINITE);
    // How long a stopped worker is waited for, by the window's close and the flasher's stop alike, before the user is
    // told that the device does not respond.
    static constexpr DWORD kStopPatienceMs = 10000;
    // Waits for a thread whose end message has arrived.
    void Join();
    // Waits up to `milliseconds` for the run to end; true when it has ended.
    bool WaitForEnd(DWORD milliseconds) const;
    // Bytes written to the pipe so far (header command and payload), from any thread.
    std::uint32_t BytesSent() const { return m_signals.bytesSent.load(std::memory_order_relaxed); }
    // What a complete run writes: the header command and the payload.
    std::uint32_t BytesToSend() const { return m_bytesToSend; }
    // How the run ended; meaningful once it has ended.
    TransferOutcome Outcome() const { return m_outcome.load(); }
    // Twice the longest the retries of one write can take (3002 waits of 5 ms): a run with no write done for this
    // long has a device that stopped reading.
    static constexpr DWORD kStallLimitMs = 30000;
    // Ends a run in which a write has not returned for `limitMs`: a device that stops reading blocks the write in
    // the system, where no retry limit reaches it. The run then ends as stopped, and so failed. True when the run is
    // stalled and has been asked to stop.
    bool CancelIfStalled(DWORD limitMs = kStallLimitMs);

protected:
    // Cancels a write blocked in the system, on the worker thread and on the pipe.
    virtual void CancelWrite();

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();

    ImageData m_image;
    FileHandle m_pipe;
    // Held while the pipe is cancelled and while the worker closes it, so a cancel never reaches a handle value
    // that was closed and given to something else.
    std::mutex m_pipeGuard;
    HWND m_notify;
    std::uint32_t m_bytesToSend;
    TransferSignals m_signals;
    std::atomic<TransferOutcome> m_outcome{TransferOutcome::Stopped};
    KernelHandle m_thread;
};
