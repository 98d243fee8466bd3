// One download run, shared by the window and the console flasher: the steps from an image path to a transfer in
// their order, each reporting its outcome as one value, and what the run holds (image, lock, pipe, worker) released
// in one place. It knows no window and no console; each front end words the outcomes itself.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "DownloadLock.h"
#include "Handle.h"
#include "ImageGate.h"
#include "ImageFile.h"
#include "RunOutcome.h"
#include "TransferWorker.h"

class DownloadRun {
public:
    using WorkerMaker = std::function<std::unique_ptr<TransferWorker>(ImageData, FileHandle)>;

    explicit DownloadRun(std::wstring imagePath);
    // Stops a worker that still runs, waits for it, and releases the lock.
    ~DownloadRun();
    DownloadRun(const DownloadRun&) = delete;
    DownloadRun& operator=(const DownloadRun&) = delete;

    // The steps, in this order. Reads the header (exclusively) and tests its marker, then its port. Unless the
    // outcome is CannotOpen or TooShort, Header() holds the bytes read and LoadImage may follow.
    RunOutcome TestHeader();
    // Reads the whole image into memory and makes sure it still begins with the header that was tested: what is
    // sent must be what was tested, and the file may have been replaced in between.
    RunOutcome LoadImage();
    // Judges the image in memory by the checksum files and the signature beside it; a signature is required when
    // `signatureRequired` or the machine's policy says so. Verdict() tells what was found.
    RunOutcome CheckImage(bool signatureRequired);
    // Takes the machine's download lock, then open_file("PIPE00") through the driver library. Another run, of this
    // program or another, would interleave its chunks with this one's in the device.
    RunOutcome OpenPipe();
    // Hands the image and the pipe to a worker reporting to `notify` (null: none) and starts it.
    RunOutcome Start(HWND notify);
    // The same with a worker of the caller's making.
    RunOutcome Start(const WorkerMaker& makeWorker);
    // Waits for the started worker's end, then lets go of the worker, the pipe and the lock; how the transfer
    // ended. The image stays, so that OpenPipe and Start may follow again (one image, several devices).
    TransferOutcome Finish();
    // Stops the started worker: asks it to stop and cancels its write, again at every poll, for up to `patienceMs`
    // (INFINITE: until it ends). `whileWaiting`, when given, is asked at every poll whether to go on waiting. True
    // when the worker has ended; false when it still runs (a driver that never completes a cancelled write): the
    // front end then tells the user, and stops again with more patience or abandons the run.
    bool Stop(DWORD patienceMs, const std::function<bool()>& whileWaiting = nullptr);
    // Lets go of a started worker that did not stop when asked (a driver that never completes a cancelled write):
    // the worker keeps its image and pipe until the process ends, and the lock is released. Nothing may follow.
    void Abandon();

    const ImageHeader& Header() const { return m_header; }
    const ImageData& Image() const { return m_image; }
    const ImageVerdict& Verdict() const { return m_verdict; }
    // The system's error of the step that could not open or read the image; 0 when there was none.
    unsigned long FileError() const { return m_fileError; }
    // A run started and not yet finished.
    bool IsStarted() const { return m_worker != nullptr; }
    // The started run's worker: its progress, its end, its stop.
    TransferWorker& Worker() { return *m_worker; }
    const TransferWorker& Worker() const { return *m_worker; }

private:
    // How often a stop that a front end watches asks it whether to go on waiting.
    static constexpr DWORD kStopPollMs = 50;

    std::wstring m_imagePath;
    ImageHeader m_header;
    ImageData m_image;
    ImageVerdict m_verdict;
    unsigned long m_fileError = 0;
    // Declared before the worker, so that a worker still running when the run goes has stopped before the lock
    // is released.
    DownloadLock m_lock;
    FileHandle m_pipe;
    std::unique_ptr<TransferWorker> m_worker;
};
