// One download run: header tests, whole image, lock and pipe, worker; and its release.
#include "DownloadRun.h"

#include <cstring>

#include "DriverLibrary.h"
#include "ModulePath.h"

DownloadRun::DownloadRun(std::wstring imagePath) : m_imagePath(std::move(imagePath)) {}

DownloadRun::~DownloadRun() {
    m_worker.reset();
    m_lock.Release();
}

RunOutcome DownloadRun::TestHeader() {
    switch (ReadImageHeader(m_imagePath, m_header)) {
    case HeaderRead::Read:
        break;
    case HeaderRead::CannotOpen:
        m_fileError = GetLastError();
        return RunOutcome::CannotOpen;
    case HeaderRead::TooShort:
        return RunOutcome::TooShort;
    }
    if (!HasImageMarker(m_header))
        return RunOutcome::NoMarker;
    if (!IsUsbImage(m_header))
        return RunOutcome::UartImage;
    return RunOutcome::Ok;
}

RunOutcome DownloadRun::LoadImage() {
    ImageData loaded;
    switch (LoadImageFile(m_imagePath, loaded)) {
    case ImageLoad::Loaded:
        break;
    case ImageLoad::TooShort:
        return RunOutcome::TooShort;
    case ImageLoad::TooLarge:
        return RunOutcome::TooLarge;
    case ImageLoad::OpenFailed:
        m_fileError = GetLastError();
        return RunOutcome::CannotOpenAgain;
    case ImageLoad::NoMemory:
        return RunOutcome::NoMemory;
    case ImageLoad::ShortRead:
        m_fileError = GetLastError();
        return RunOutcome::ShortRead;
    }
    if (std::memcmp(loaded.bytes.get(), m_header.bytes.data(), kImageHeaderSize) != 0)
        return RunOutcome::Changed;
    m_image = std::move(loaded);
    return RunOutcome::Ok;
}

RunOutcome DownloadRun::CheckImage(bool signatureRequired) {
    // The checksum files and the signature lie beside the image: its folder and name come from its full path.
    const bool policyRequiresSignature = MachineRequiresSignedImages();
    m_verdict = JudgeImage(FullPathOf(m_imagePath), m_image.bytes.get(), m_image.size,
                           signatureRequired || policyRequiresSignature);
    m_verdict.policyRequiresSignature = policyRequiresSignature;
    switch (m_verdict.refusal) {
    case ImageRefusal::None:
        break;
    case ImageRefusal::ChecksumMismatch:
        return RunOutcome::ChecksumMismatch;
    case ImageRefusal::SignatureInvalid:
        return RunOutcome::SignatureInvalid;
    case ImageRefusal::SignerUntrusted:
        return RunOutcome::SignerUntrusted;
    case ImageRefusal::UnsignedButRequired:
        return RunOutcome::UnsignedRefused;
    case ImageRefusal::ChecksumFileUnreadable:
        return RunOutcome::ChecksumUnreadable;
    case ImageRefusal::SignatureFileUnreadable:
        return RunOutcome::SignatureUnreadable;
    }
    return RunOutcome::Ok;
}

RunOutcome DownloadRun::OpenPipe() {
    DownloadLock lock;
    if (!lock.TryTake())
        return RunOutcome::AnotherRunWrites;
    const DriverCall call = CallOpenFile(kDevicePipeName);
    if (!call.called)
        return RunOutcome::NoLibrary;
    FileHandle pipe(call.result);
    if (!pipe.IsValid())
        return RunOutcome::PipeRefused;
    m_lock = std::move(lock);
    m_pipe = std::move(pipe);
    return RunOutcome::Ok;
}

RunOutcome DownloadRun::Start(HWND notify) {
    return Start([notify](ImageData image, FileHandle pipe) {
        return std::make_unique<TransferWorker>(std::move(image), std::move(pipe), notify);
    });
}

RunOutcome DownloadRun::Start(const WorkerMaker& makeWorker) {
    // Every worker gets the same bytes, read and tested once.
    std::unique_ptr<TransferWorker> worker = makeWorker(m_image, std::move(m_pipe));
    if (!worker->Start()) {
        m_lock.Release();
        return RunOutcome::NoThread;
    }
    m_worker = std::move(worker);
    return RunOutcome::Ok;
}

TransferOutcome DownloadRun::Finish() {
    m_worker->Join();
    const TransferOutcome outcome = m_worker->Outcome();
    m_worker.reset();
    m_lock.Release();
    return outcome;
}

bool DownloadRun::Stop(DWORD patienceMs, const std::function<bool()>& whileWaiting) {
    if (!whileWaiting)
        return m_worker->StopAndWait(patienceMs);
    const ULONGLONG asked = GetTickCount64();
    while (!m_worker->StopAndWait(kStopPollMs)) {
        if (!whileWaiting() || (patienceMs != INFINITE && GetTickCount64() - asked >= patienceMs))
            return false;
    }
    return true;
}

void DownloadRun::Abandon() {
    // Not destroyed: its thread still runs on it, and a destructor would wait for that thread without end.
    static_cast<void>(m_worker.release());
    m_lock.Release();
}
