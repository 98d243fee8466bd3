// CLumetraDlg's download start: the chain of checks that ends in a transfer worker, and the worker's reports.
#include "LumetraDlg.h"

#include "AnsiText.h"
#include "DownloadChain.h"
#include "FileDialog.h"
#include "TextKeys.h"
#include "TransferWorker.h"
#include "resource.h"

namespace {
const char kImageFilter[] = "hdr file (*.hdr) |*.HDR||";
const char kTransferFailedFallback[] = "Download FAILED: the device did not take the whole image. Do not unplug "
                                       "it; check the cable and download the image again.";
} // namespace

void CLumetraDlg::OnDownload() {
    // One run at a time. The button is disabled meanwhile, but a click can still reach it (Wine sends one),
    // and a second run would take over the running one's pipe.
    if (m_transfer)
        return;

    std::string path;
    const bool chosen = ChooseFileToOpen(m_hWnd, kImageFilter, path);
    // The window may have been closed while the dialog was open.
    if (m_closing)
        return;
    if (!chosen) {
        ShowTextMessage(TextKey::kNoFileChosen);
        return;
    }
    m_imagePath = path;
    const std::wstring imagePath = AnsiToWide(m_imagePath);

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

    FileHandle pipe;
    switch (OpenDevicePipe(pipe)) {
    case PipeOpen::Opened:
        break;
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
    auto worker = std::make_unique<TransferWorker>(std::move(image), std::move(pipe), m_hWnd);
    if (!worker->Start()) {
        SetDlgItemText(IDC_RESULT, ExtraText(TextKey::kTransferFailed, kTransferFailedFallback).c_str());
        return;
    }
    m_transfer = std::move(worker);

    HWND downloadButton = GetDlgItem(IDC_DOWNLOAD);
    if (GetFocus() == downloadButton)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDCANCEL)), TRUE);
    EnableWindow(downloadButton, FALSE);
    SetTimer(kPresenceTimer, kDevicePresentCheckMs);
}

void CLumetraDlg::OnTransferProgress(UINT position, LPARAM) {
    if (m_transfer)
        m_progress.SetPos(static_cast<int>(position));
}

void CLumetraDlg::OnTransferEnd(UINT outcome, LPARAM) {
    if (!m_transfer || m_stoppingTransfer)
        return;
    m_transfer->Join();
    m_transfer.reset();

    // Done only when the header command and every payload byte reached the pipe; anything else must not read
    // as success.
    if (static_cast<TransferOutcome>(outcome) == TransferOutcome::Complete)
        SetDlgItemText(IDC_RESULT, LookupText(TextKey::kMessageSection, TextKey::kTransferEnded));
    else
        SetDlgItemText(IDC_RESULT, ExtraText(TextKey::kTransferFailed, kTransferFailedFallback).c_str());
    m_progress.SetPos(0);
    EnableWindow(GetDlgItem(IDC_DOWNLOAD), TRUE);
}
