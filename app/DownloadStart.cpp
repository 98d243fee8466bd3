// CLumetraDlg's download start: an image chosen or dropped, the chain of checks that ends in a transfer worker, and
// the run's progress and end in the window.
#include "LumetraDlg.h"

#include "AnsiText.h"
#include "DownloadChain.h"
#include "DroppedFiles.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "TextKeys.h"
#include "TransferMessages.h"
#include "TransferWorker.h"
#include "resource.h"

namespace {
const char kImageFilter[] = "hdr file (*.hdr) |*.HDR||";
const char kTransferFailedFallback[] = "Download FAILED: the device did not take the whole image. Do not unplug "
                                       "it; check the cable and download the image again.";
const char kProgressFallback[] = "{done} of {total}, {rate}, about {left} left";
const char kDropOneImageFallback[] = "Drop one firmware image (.hdr) at a time.";
const char kAnotherRunWritesFallback[] =
    "Another copy of the tool is writing to the device. Wait until it has finished.";
const char kShutdownDuringTransferFallback[] =
    "A firmware download is running; shutting down now leaves the device without a complete image.";

// Holds a flag set for as long as the scope lasts.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ScopedFlag() { m_flag = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& m_flag;
};
} // namespace

void CLumetraDlg::OnDownload() {
    // One run at a time. The button is disabled meanwhile, but a click can still reach it (Wine sends one),
    // and a second run would take over the running one's pipe. A start under way may be waiting in one of its
    // own dialogs.
    if (m_transfer || m_startingDownload)
        return;
    const ScopedFlag starting(m_startingDownload);

    std::wstring path;
    const bool chosen = ChooseFileToOpen(m_hWnd, kImageFilter, path);
    // The window may have been closed while the dialog was open.
    if (m_closing)
        return;
    if (!chosen) {
        ShowTextMessage(TextKey::kNoFileChosen);
        return;
    }
    StartDownload(path);
}

void CLumetraDlg::OnDropFiles(HDROP drop) {
    DroppedFiles files(drop);
    // Refused like a click on the button, without a word.
    if (m_transfer || m_startingDownload || m_closing)
        return;
    const ScopedFlag starting(m_startingDownload);
    if (files.Count() != 1) {
        files.Release();
        AfxMessageBox(ExtraText(TextKey::kDropOneImage, kDropOneImageFallback).c_str(), MB_OK, 0);
        return;
    }
    const std::wstring path = files.Path(0);
    // The drop's memory is not needed while the start's message boxes are up.
    files.Release();
    StartDownload(path);
}

void CLumetraDlg::StartDownload(const std::wstring& imagePath) {
    m_imagePath = imagePath;

    ImageHeader header;
    const HeaderCheck check = CheckImageHeader(imagePath, header);
    if (check == HeaderCheck::Unreadable) {
        ShowTextMessage(TextKey::kImageUnreadable);
        return;
    }
    if (check == HeaderCheck::NotAnImage) {
        ShowTextMessage(TextKey::kNotAnImage);
        return;
    }
    const auto info =
        ImageInfoText(header, [this](const char* key) { return LookupText(TextKey::kMessageSection, key); });
    if (info)
        SetDlgItemText(IDC_IMAGE_INFO, info->c_str());
    if (check == HeaderCheck::UartImage) {
        ShowTextMessage(TextKey::kUartImage);
        return;
    }
    if (!m_deviceFound) {
        ShowTextMessage(TextKey::kDeviceMissing);
        return;
    }

    DownloadLock lock;
    FileHandle pipe;
    switch (OpenDevicePipe(lock, pipe)) {
    case PipeOpen::Opened:
        break;
    case PipeOpen::AnotherRunWrites:
        AfxMessageBox(ExtraText(TextKey::kAnotherRunWrites, kAnotherRunWritesFallback).c_str(), MB_OK, 0);
        return;
    case PipeOpen::DriverNotLoaded:
        ShowTextMessage(TextKey::kDriverNotLoaded);
        return;
    case PipeOpen::Refused:
        // The device went away since the last presence check.
        ShowTextMessage(TextKey::kDeviceMissing);
        return;
    }

    ImageData image;
    switch (LoadTestedImage(imagePath, header, image)) {
    case ImageLoad::Loaded:
        break;
    case ImageLoad::Unusable:
    case ImageLoad::Changed:
        // The file changed since its header was read: the worker needs the tested header and a 32-bit size.
        ShowTextMessage(TextKey::kImageUnreadable);
        return;
    case ImageLoad::OpenFailed:
    case ImageLoad::NoMemory:
    case ImageLoad::ShortRead:
        return;
    }

    m_progress.SetPos(0);
    SetDlgItemText(IDC_RESULT, "");
    std::unique_ptr<TransferWorker> worker = MakeTransferWorker(std::move(image), std::move(pipe));
    if (!worker->Start()) {
        SetDlgItemText(IDC_RESULT, ExtraText(TextKey::kTransferFailed, kTransferFailedFallback).c_str());
        return;
    }
    m_transfer = std::move(worker);
    m_downloadLock = std::move(lock);
    // Windows shows the reason on its shutdown screen while the window refuses to end the session.
    const std::string reason = ExtraText(TextKey::kShutdownDuringTransfer, kShutdownDuringTransferFallback);
    ShutdownBlockReasonCreate(m_hWnd, AnsiToWide(reason).c_str());

    m_progressFormat = ExtraText(TextKey::kTransferProgress, kProgressFallback);
    m_progressRate.Reset();
    m_progressRate.Add(GetTickCount(), m_transfer->BytesSent());
    m_progressShown.clear();
    SetTimer(kProgressTimer, kProgressRefreshMs);

    HWND downloadButton = GetDlgItem(IDC_DOWNLOAD);
    if (GetFocus() == downloadButton)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDCANCEL)), TRUE);
    EnableWindow(downloadButton, FALSE);
    SetTimer(kPresenceTimer, kDevicePresentCheckMs);
    m_taskbar.RunStarted(); // the taskbar button shows the run's progress from here
}

std::unique_ptr<TransferWorker> CLumetraDlg::MakeTransferWorker(ImageData image, FileHandle pipe) {
    return std::make_unique<TransferWorker>(std::move(image), std::move(pipe), m_hWnd);
}

void CLumetraDlg::ShowTransferProgress() {
    if (!m_transfer || m_stoppingTransfer)
        return;
    const std::uint32_t sent = m_transfer->BytesSent();
    m_progressRate.Add(GetTickCount(), sent);
    // Nothing until two seconds are measured: the result line stays empty as before, and a run that ends sooner
    // shows only its end text.
    const std::optional<std::string> text =
        TransferProgressText(m_progressFormat, sent, m_transfer->BytesToSend(), m_progressRate);
    // Set only when it changed, so that the line does not flicker.
    if (text && *text != m_progressShown) {
        m_progressShown = *text;
        SetDlgItemText(IDC_RESULT, m_progressShown.c_str());
    }
}

void CLumetraDlg::OnTransferProgress(UINT position, LPARAM) {
    if (m_transfer)
        m_progress.SetPos(static_cast<int>(position));
    m_taskbar.RunProgress(m_progress.GetPos(), m_progress.GetUpper()); // the taskbar button shows the bar's per cent
}

// An end message of a run whose end the presence timer has already handled finds no run, and is ignored.
void CLumetraDlg::OnTransferEnd(UINT outcome, LPARAM) {
    if (!m_transfer || m_stoppingTransfer)
        return;
    FinishTransfer(static_cast<TransferOutcome>(outcome));
}

void CLumetraDlg::FinishTransfer(TransferOutcome outcome) {
    KillTimer(kProgressTimer);
    m_transfer->Join();
    m_transfer.reset();
    ReleaseRun();
    // The worker has ended, so whatever it posted is queued by now: a late message of this run must not reach the
    // next one.
    MSG late;
    while (PeekMessageA(&late, m_hWnd, WM_APP_TRANSFER_PROGRESS, WM_APP_TRANSFER_END, PM_REMOVE)) {
    }

    // Done only when the header command and every payload byte reached the pipe; anything else must not read
    // as success.
    if (outcome == TransferOutcome::Complete)
        SetDlgItemText(IDC_RESULT, LookupText(TextKey::kMessageSection, TextKey::kTransferEnded));
    else
        SetDlgItemText(IDC_RESULT, ExtraText(TextKey::kTransferFailed, kTransferFailedFallback).c_str());
    m_progress.SetPos(0);
    EnableWindow(GetDlgItem(IDC_DOWNLOAD), TRUE);
    m_taskbar.RunEnded(outcome == TransferOutcome::Complete); // taskbar button, flash and sound for the result
}

void CLumetraDlg::ReleaseRun() {
    m_downloadLock.Release();
    ShutdownBlockReasonDestroy(m_hWnd);
}
