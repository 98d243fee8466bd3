// CLumetraDlg: construction, initialisation, painting while minimised, the text table, the presence monitor, the
// download start and the run in the window.
#include "LumetraDlg.h"

#include <iterator>

#include "AboutDlg.h"
#include "AnsiText.h"
#include "DataExchange.h"
#include "DriverLibrary.h"
#include "DroppedFiles.h"
#include "FileDialog.h"
#include "FrameText.h"
#include "IconPlacement.h"
#include "MessageBox.h"
#include "ModulePath.h"
#include "PaintDC.h"
#include "ScopeExit.h"
#include "TextPlaceholders.h"
#include "TransferMessages.h"
#include "resource.h"

namespace {
constexpr UINT kFirstPresenceCheckMs = 100;
constexpr UINT kDeviceAbsentCheckMs = 800;
// A worker posts its end message as its last act: its thread ends moments after.
constexpr DWORD kLateEndWaitMs = 200;

const wchar_t kDriverUnloadedText[] = L"TarselUSB.dll unloaded";
const char kImageFilter[] = "hdr file (*.hdr) |*.HDR||";

constexpr COLORREF kBandStartColor = 0x808000;   // teal
constexpr COLORREF kBandEndColor = 0x800000;     // navy
constexpr COLORREF kPercentTextColor = 0x008000; // green

// The window's column of the table of ends: the text it shows for an end, in a box or on the result line. A press
// never ends without a word: an end the window has no row for reads as a failed download.
struct WindowEndText {
    RunEnd end;
    TextId text;
    bool onResultLine;
};
constexpr TextId kImageUnreadableText{TextKey::kMessageSection, TextKey::kImageUnreadable, ""};
constexpr TextId kDeviceMissingText{TextKey::kMessageSection, TextKey::kDeviceMissing, ""};
constexpr WindowEndText kFailedTransferText{RunEnd::TransferBroken, Text::kTransferFailed, true};
constexpr WindowEndText kEndTexts[] = {
    {RunEnd::Written, {TextKey::kMessageSection, TextKey::kTransferEnded, ""}, true},
    // Changed since its header was read: the worker needs the tested header and a 32-bit size. A failed whole read
    // is told too.
    {RunEnd::ImageTooShort, kImageUnreadableText, false},
    {RunEnd::ImageTooLarge, kImageUnreadableText, false},
    {RunEnd::ImageUnreadable, kImageUnreadableText, false},
    {RunEnd::ImageChanged, kImageUnreadableText, false},
    {RunEnd::NotAnImage, {TextKey::kMessageSection, TextKey::kNotAnImage, ""}, false},
    {RunEnd::UartImage, {TextKey::kMessageSection, TextKey::kUartImage, ""}, false},
    {RunEnd::ChecksumMismatch, Text::kChecksumMismatch, false},
    {RunEnd::ChecksumUnreadable, Text::kSideFileUnreadable, false},
    {RunEnd::SignatureInvalid, Text::kSignatureRefused, false},
    {RunEnd::SignatureUnreadable, Text::kSideFileUnreadable, false},
    {RunEnd::SignerUntrusted, Text::kSignatureRefused, false},
    {RunEnd::UnsignedRefused, Text::kUnsignedRefused, false},
    // The window's own presence check, or a device that went away since it.
    {RunEnd::NoDevice, kDeviceMissingText, false},
    {RunEnd::PipeRefused, kDeviceMissingText, false},
    {RunEnd::DeviceBusy, Text::kAnotherRunWrites, false},
    {RunEnd::DriverMissing, {TextKey::kMessageSection, TextKey::kDriverNotLoaded, ""}, false},
    kFailedTransferText,
};
} // namespace

const MessageMapEntry<CLumetraDlg> CLumetraDlg::kMessageMap[] = {
    {WM_PAINT, 0, 0, Crack<&CLumetraDlg::OnPaint>::Call},
    {WM_QUERYDRAGICON, 0, 0, Crack<&CLumetraDlg::OnQueryDragIcon>::Call},
    {WM_SYSCOMMAND, 0, 0, Crack<&CLumetraDlg::OnSysCommand>::Call},
    {WM_TIMER, 0, 0, Crack<&CLumetraDlg::OnTimer>::Call},
    {WM_COMMAND, IDC_DOWNLOAD, BN_CLICKED, Crack<&CLumetraDlg::OnDownload>::Call},
    {WM_DROPFILES, 0, 0, Crack<&CLumetraDlg::OnDropFiles>::Call},
    {WM_APP_TRANSFER_PROGRESS, 0, 0, Crack<&CLumetraDlg::OnTransferProgress>::Call},
    {WM_APP_TRANSFER_END, 0, 0, Crack<&CLumetraDlg::OnTransferEnd>::Call},
    {WM_APP_FIRMWARE_READY, 0, 0, Crack<&CLumetraDlg::OnFirmwareReady>::Call},
    {WM_QUERYENDSESSION, 0, 0, Crack<&CLumetraDlg::OnQueryEndSession>::Call},
};

CLumetraDlg::CLumetraDlg(CWnd* parent)
    : CDialog(IDD_OSTREL_DIALOG, parent),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

// A worker still running here (the window went away without OnCancel) is stopped before the image it streams
// and the window it reports to are gone.
CLumetraDlg::~CLumetraDlg() = default;

bool CLumetraDlg::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // The taskbar's word that the button exists, and activation, which ends an error shown on the button.
    m_taskbar.OnMessage(message, wParam);
    // Only top-level windows hear of new system colours and settings; the bar, which paints itself, is told here.
    if (message == WM_SYSCOLORCHANGE || message == WM_SETTINGCHANGE)
        m_progress.SendMessage(message, wParam, lParam);
    return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result) ||
           CDialog::ProcessMessage(message, wParam, lParam, result);
}

void CLumetraDlg::DoDataExchange(CDataExchange* exchange) {
    CDialog::DoDataExchange(exchange);
    DDX_Control(exchange, IDC_PROGRESS, m_progress);
}

BOOL CLumetraDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    AppendAboutEntry(m_hWnd);

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    SetWindowText(m_texts.Text(TextKey::kTitleSection, TextKey::kWindowTitle));
    SetDlgItemText(IDC_DOWNLOAD, m_texts.Text(TextKey::kControlSection, TextKey::kDownloadCaption));
    SetDlgItemText(IDCANCEL, m_texts.Text(TextKey::kControlSection, TextKey::kCancelCaption));
    SetDlgItemText(IDC_STATUS, m_texts.Text(TextKey::kMessageSection, TextKey::kDeviceNotFound));

    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
    m_progress.ShowPercent(TRUE);
    m_progress.SetStartColor(kBandStartColor);
    m_progress.SetEndColor(kBandEndColor);
    m_progress.SetTextColor(kPercentTextColor);
    // Screen readers name the bar after the frame around it, or else with the table's word for it.
    m_progress.SetAccessibleName(FrameTextAround(m_progress.GetSafeHwnd(), m_texts.Text(Text::kProgressName)));
    m_taskbar.Attach(m_hWnd);
    m_history.MoveSpool();

    SetTimer(kPresenceTimer, kFirstPresenceCheckMs);
    // Set here rather than in the template, whose styles stay as they are.
    AcceptDroppedFiles(m_hWnd);
    m_firmware.Start(m_hWnd);
    return TRUE;
}

void CLumetraDlg::OnFirmwareReady(UINT, LPARAM) {
    const std::optional<CFirmwareNotice::Ready> ready = m_firmware.Take();
    // Only while idle and before any download: the line must never hide a run's result.
    if (!ready || m_phase != RunPhase::Idle || !m_imagePath.empty())
        return;
    SetDlgItemText(IDC_RESULT, Utf8ToWide(FillPlaceholders(WideToUtf8(m_texts.Text(Text::kFirmwareReady)),
                                                           {{"version", ready->version}, {"date", ready->date}})));
}

void CLumetraDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(&client);
    const IconOrigin origin = CenteredIconOrigin(client.right - client.left, client.bottom - client.top,
                                                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    DrawIcon(dc.GetSafeHdc(), origin.x, origin.y, m_hIcon);
}

HCURSOR CLumetraDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CLumetraDlg::OnSysCommand(UINT id, LPARAM lParam) {
    // The low four bits of a system command are the system's own: any of 0x10 to 0x1F is the About command.
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, lParam);
}

const char* CLumetraDlg::LookupText(const char* section, const char* key) {
    return m_texts.Lookup(section, key);
}

void CLumetraDlg::ShowTextMessage(const char* key) {
    ShowText({TextKey::kMessageSection, key, ""});
}

int CLumetraDlg::ShowText(const TextId& id, UINT type) {
    return AfxMessageBox(m_texts.Text(id), type);
}

void CLumetraDlg::OnTimer(UINT_PTR id) {
    if (id == kRunTimer) {
        // The worker's end message may never have come (a full message queue refuses a post): a run whose worker
        // has ended is finished here.
        if (m_phase != RunPhase::Running)
            return;
        if (!m_run->Worker().IsRunning()) {
            FinishRun();
            return;
        }
        if (m_run->Worker().CancelIfStalled(m_stallLimitMs)) {
            StopStalledRun();
            return;
        }
        ShowTransferProgress();
        return;
    }
    if (id == kStopWatchTimer) {
        if (m_run && m_run->Worker().WaitForEnd(0))
            EndMessageBoxes(m_noResponseText);
        return;
    }
    if (id == kPresenceTimer && !CheckDevicePresence())
        return;
    CDialog::OnTimer(id);
}

bool CLumetraDlg::CheckDevicePresence() {
    const DevicePresence presence = QueryDevicePresence();
    if (presence == DevicePresence::DriverNotLoaded) {
        // Once per outage: the timer keeps firing under the box's own modal loop, and a box per tick would
        // pile up on the screen.
        if (!m_driverOutageReported && !m_driverBoxOpen) {
            m_driverOutageReported = true;
            m_driverBoxOpen = true;
            const ScopeExit boxClosed([this] { m_driverBoxOpen = false; });
            AfxMessageBox(kDriverUnloadedText, MB_OK);
        }
        return false;
    }
    m_driverOutageReported = false;

    if (presence == DevicePresence::Absent) {
        m_deviceFound = false;
        SetDlgItemText(IDC_STATUS, m_texts.Text(TextKey::kMessageSection, TextKey::kDeviceNotFound));
        SetTimer(kPresenceTimer, kDeviceAbsentCheckMs);
    } else {
        m_deviceFound = true;
        SetDlgItemText(IDC_STATUS, m_texts.Text(TextKey::kMessageSection, TextKey::kDeviceFound));
        SetDlgItemText(IDC_AUX, L"");
        SetTimer(kPresenceTimer, kDevicePresentCheckMs);
    }
    return true;
}

bool CLumetraDlg::StopTransferForClose() {
    // A close already waits for the worker; the window stays usable meanwhile and may be asked again.
    if (m_phase == RunPhase::Stopping)
        return false;
    // A run whose worker has ended but whose end is not yet handled is finished and logged before the window goes.
    if (m_phase == RunPhase::Running && !IsTransferring())
        FinishRun();
    if (IsTransferring()) {
        if (ShowText(Text::kConfirmCloseDuringTransfer, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return false;
        // The worker may have ended while the question was open; then its end message was handled already.
        if (m_phase == RunPhase::Running) {
            KillTimer(kRunTimer);
            m_phase = RunPhase::Stopping;
            // A driver may never complete a cancelled write; the user is told what ends it (unplugging the device),
            // and the wait goes on until the worker has let go of the pipe. The box goes by itself once it has.
            if (!m_run->Stop(m_closePatienceMs)) {
                m_noResponseText = m_texts.Text(Text::kNoResponseOnClose);
                SetTimer(kStopWatchTimer, kStopWatchMs);
                AfxMessageBox(m_noResponseText, MB_OK | MB_ICONWARNING);
                KillTimer(kStopWatchTimer);
                m_run->Stop(INFINITE);
            }
            m_history.Ended(EndOfTransfer(m_run->Worker().Outcome(), RunEnd::WindowClosed),
                            m_run->Worker().BytesSent());
            m_run.reset();
            ShutdownBlockReasonDestroy(m_hWnd);
        }
    }
    m_phase = RunPhase::Closed;
    return true;
}

void CLumetraDlg::OnOK() {
    if (StopTransferForClose())
        CDialog::OnOK();
}

void CLumetraDlg::OnCancel() {
    if (StopTransferForClose())
        CDialog::OnCancel();
}

bool CLumetraDlg::IsTransferring() const {
    return m_run && m_run->Worker().IsRunning();
}

// Logging off in the middle of a transfer would leave the device without a complete image. A run whose worker has
// ended is over, even before its end has been handled.
BOOL CLumetraDlg::OnQueryEndSession() {
    return IsTransferring() ? FALSE : TRUE;
}

void CLumetraDlg::OnDownload() {
    // One run at a time. The button is disabled meanwhile, but a click can still reach it (Wine sends one),
    // and a second run would take over the running one's pipe. A start under way may be waiting in one of its
    // own dialogs.
    if (m_phase != RunPhase::Idle)
        return;
    const ScopeExit started = StartingPhase();
    std::wstring path;
    const bool chosen = ChooseFileToOpen(m_hWnd, kImageFilter, path, m_firmware.MirrorFolder());
    // The window may have been closed while the dialog was open.
    if (m_phase == RunPhase::Starting) {
        if (chosen)
            StartDownload(path);
        else
            ShowTextMessage(TextKey::kNoFileChosen);
    }
}

void CLumetraDlg::OnDropFiles(HDROP drop) {
    DroppedFiles files(drop);
    // Refused like a click on the button, without a word.
    if (m_phase != RunPhase::Idle)
        return;
    const ScopeExit started = StartingPhase();
    if (files.Count() != 1) {
        files.Release();
        ShowText(Text::kDropOneImage);
    } else {
        const std::wstring path = files.Path(0);
        // The drop's memory is not needed while the start's message boxes are up.
        files.Release();
        StartDownload(path);
    }
}

void CLumetraDlg::StartDownload(const std::wstring& imagePath) {
    m_imagePath = imagePath;
    // The end of the last run is not this one's, however this one ends.
    SetDlgItemText(IDC_RESULT, L"");
    auto run = std::make_unique<DownloadRun>(m_imagePath);

    const RunOutcome tested = run->TestHeader();
    if (tested == RunOutcome::UartImage || tested == RunOutcome::Ok) {
        // Composed in UTF-8, so that a text of any script reaches the line whole.
        std::string keyText;
        const auto info = ImageInfoText(run->Header(), [&](const char* key) {
            keyText = WideToUtf8(m_texts.Text(TextKey::kMessageSection, key));
            return keyText.c_str();
        });
        // A kind without a text (NAND, unknown) empties the line, which would otherwise describe the image before.
        SetDlgItemText(IDC_IMAGE_INFO, info ? Utf8ToWide(*info) : std::wstring());
    }
    if (tested != RunOutcome::Ok) {
        Refuse(EndOfStep(tested), *run, tested != RunOutcome::CannotOpen && tested != RunOutcome::TooShort);
        return;
    }
    if (!m_deviceFound) {
        Refuse(RunEnd::NoDevice, *run, true);
        return;
    }
    // The image is read and judged whole before the device's pipe is opened: a refused image never reaches it.
    RunOutcome outcome = run->LoadImage();
    if (outcome == RunOutcome::Ok)
        outcome = run->CheckImage(false);
    if (outcome == RunOutcome::Ok)
        outcome = run->OpenPipe();
    if (outcome != RunOutcome::Ok) {
        Refuse(EndOfStep(outcome), *run, true);
        return;
    }
    m_progress.SetPos(0);
    // On the disk before the first byte is sent: a run cut short by a power cut or a killed process leaves its start.
    m_history.Started(*run, m_imagePath);
    outcome = run->Start(
        [this](ImageData image, FileHandle pipe) { return MakeTransferWorker(std::move(image), std::move(pipe)); });
    if (outcome != RunOutcome::Ok) {
        m_history.Ended(EndOfStep(outcome), 0);
        ShowEnd(EndOfStep(outcome));
        return;
    }
    m_run = std::move(run);
    m_phase = RunPhase::Running;
    ShowRunStarted();
}

void CLumetraDlg::Refuse(RunEnd end, const DownloadRun& run, bool headerRead) {
    m_history.Refused(end, run, m_imagePath, headerRead);
    ShowEnd(end);
}

void CLumetraDlg::ShowEnd(RunEnd end) {
    const WindowEndText* shown = &kFailedTransferText;
    for (const WindowEndText& row : kEndTexts) {
        if (row.end == end)
            shown = &row;
    }
    if (shown->onResultLine)
        SetDlgItemText(IDC_RESULT, m_texts.Text(shown->text));
    else
        ShowText(shown->text);
}

void CLumetraDlg::ShowRunStarted() {
    // Windows shows the reason on its shutdown screen while the window refuses to end the session.
    ShutdownBlockReasonCreate(m_hWnd, m_texts.Text(Text::kShutdownDuringTransfer).c_str());

    m_progressFormat = WideToUtf8(m_texts.Text(Text::kTransferProgress));
    m_progressRate.Reset();
    m_progressRate.Add(GetTickCount(), m_run->Worker().BytesSent());
    m_progressShown.clear();
    SetTimer(kRunTimer, kRunTimerMs);

    HWND downloadButton = GetDlgItem(IDC_DOWNLOAD);
    if (GetFocus() == downloadButton)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDCANCEL)), TRUE);
    EnableWindow(downloadButton, FALSE);
    SetTimer(kPresenceTimer, kDevicePresentCheckMs);
    m_taskbar.RunStarted();
}

std::unique_ptr<TransferWorker> CLumetraDlg::MakeTransferWorker(ImageData image, FileHandle pipe) {
    return std::make_unique<TransferWorker>(std::move(image), std::move(pipe), m_hWnd);
}

void CLumetraDlg::ShowTransferProgress() {
    const TransferWorker& worker = m_run->Worker();
    const std::uint32_t sent = worker.BytesSent();
    m_progressRate.Add(GetTickCount(), sent);
    // Nothing until two seconds are measured: the result line stays empty as before, and a run that ends sooner
    // shows only its end text.
    const std::optional<std::string> text =
        TransferProgressText(m_progressFormat, sent, worker.BytesToSend(), m_progressRate);
    // Set only when it changed, so that the line does not flicker.
    if (text && *text != m_progressShown) {
        m_progressShown = *text;
        SetDlgItemText(IDC_RESULT, Utf8ToWide(m_progressShown));
    }
}

void CLumetraDlg::OnTransferProgress(UINT position, LPARAM) {
    if (m_phase != RunPhase::Running)
        return;
    m_progress.SetPos(static_cast<int>(position));
    m_taskbar.RunProgress(m_progress.GetPos(), m_progress.GetUpper());
}

// An end message of a run whose end the run's timer has already handled finds no run, and is ignored; the outcome
// is the worker's, which the message only repeats.
void CLumetraDlg::OnTransferEnd(UINT, LPARAM) {
    // A worker abandoned in a write posts its end if its driver ever lets go: the run under way then is another's.
    if (m_phase == RunPhase::Running && m_run->Worker().WaitForEnd(kLateEndWaitMs))
        FinishRun();
}

void CLumetraDlg::FinishRun() {
    KillTimer(kRunTimer);
    const std::uint32_t sent = m_run->Worker().BytesSent();
    // Done only when the header command and every payload byte reached the pipe; anything else must not read
    // as success.
    const RunEnd end = EndOfTransfer(m_run->Finish(), RunEnd::TransferStalled);
    m_history.Ended(end, sent);
    // The worker has ended, so whatever it posted is queued by now: a late message of this run must not reach the
    // next one.
    MSG late;
    while (PeekMessageA(&late, m_hWnd, WM_APP_TRANSFER_PROGRESS, WM_APP_TRANSFER_END, PM_REMOVE)) {
    }
    ShowRunEnded(end);
}

void CLumetraDlg::StopStalledRun() {
    KillTimer(kRunTimer);
    // The stop waits pumping messages: neither this timer nor a close may handle the run meanwhile.
    m_phase = RunPhase::Stopping;
    if (m_run->Stop(m_closePatienceMs)) {
        m_phase = RunPhase::Running;
        FinishRun();
        return;
    }
    // A driver that never completes the cancelled write keeps the worker in it, as the flasher finds: the worker
    // keeps its image and pipe until the process ends, and the window is free for the next run (which the machine's
    // lock, released here, lets through once the device lets go of the pipe).
    m_history.Ended(RunEnd::TransferStalled, m_run->Worker().BytesSent());
    m_run->Abandon();
    ShowRunEnded(RunEnd::TransferStalled);
}

void CLumetraDlg::ShowRunEnded(RunEnd end) {
    m_run.reset();
    m_phase = RunPhase::Idle;
    ShutdownBlockReasonDestroy(m_hWnd);
    ShowEnd(end);
    m_progress.SetPos(0);
    EnableWindow(GetDlgItem(IDC_DOWNLOAD), TRUE);
    // The taskbar button, a flash and the system's sound for the result.
    m_taskbar.RunEnded(end == RunEnd::Written);
}
