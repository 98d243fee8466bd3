// CLumetraDlg: construction, initialisation, painting while minimised and the text table.
#include "LumetraDlg.h"

#include <iterator>

#include "AboutDlg.h"
#include "AnsiText.h"
#include "DataExchange.h"
#include "DownloadChain.h"
#include "FrameText.h"
#include "IconPlacement.h"
#include "MessageBox.h"
#include "ModulePath.h"
#include "PaintDC.h"
#include "TextKeys.h"
#include "TransferMessages.h"
#include "TransferWorker.h"
#include "resource.h"

namespace {
constexpr UINT kFirstPresenceCheckMs = 100;
constexpr UINT kDeviceAbsentCheckMs = 800;
// Twice the longest the retries of one write can take (3002 waits of 5 ms): a run with no write done for this
// long has a device that stopped reading.
constexpr DWORD kTransferStallLimitMs = 30000;

const char kDriverUnloadedText[] = "TarselUSB.dll unloaded";
const char kConfirmCloseFallback[] = "A download is still running. If you close now, the device is left without a "
                                     "complete firmware image. Stop the download and close?";
const char kNoResponseOnCloseFallback[] =
    "The device does not respond. Unplug it to finish closing; it must be flashed again.";
const char kProgressNameFallback[] = "Progress";

constexpr COLORREF kBandStartColor = 0x808000;   // teal
constexpr COLORREF kBandEndColor = 0x800000;     // navy
constexpr COLORREF kPercentTextColor = 0x008000; // green
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

    // Each lookup overwrites the text buffer, so each text reaches its window before the next lookup.
    SetWindowText(LookupText(TextKey::kTitleSection, TextKey::kWindowTitle));
    SetDlgItemText(IDC_DOWNLOAD, LookupText(TextKey::kControlSection, TextKey::kDownloadCaption));
    SetDlgItemText(IDCANCEL, LookupText(TextKey::kControlSection, TextKey::kCancelCaption));
    SetDlgItemText(IDC_STATUS, LookupText(TextKey::kMessageSection, TextKey::kDeviceNotFound));

    m_progress.SetRange(0, 100);
    m_progress.SetPos(0);
    m_progress.ShowPercent(TRUE);
    m_progress.SetStartColor(kBandStartColor);
    m_progress.SetEndColor(kBandEndColor);
    m_progress.SetTextColor(kPercentTextColor);
    // Screen readers name the bar after the frame around it, or else with the table's word for it.
    m_progress.SetAccessibleName(
        FrameTextAround(m_progress.GetSafeHwnd(), ExtraText(TextKey::kProgressName, kProgressNameFallback)).c_str());
    m_taskbar.Attach(m_hWnd);

    SetTimer(kPresenceTimer, kFirstPresenceCheckMs);
    // Set here rather than in the template, whose styles stay as they are.
    DragAcceptFiles(m_hWnd, TRUE);
    return TRUE;
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
    m_textBuffer[0] = '\0';
    // The path is built without a length limit (a cut path could name another folder's lang.ini), and in UTF-16: in
    // the ANSI code page a folder named in another script would name no folder at all.
    const std::wstring exePath = ModuleFileNameW();
    if (!exePath.empty()) {
        const std::wstring tablePath = FolderOf(exePath) + L"lang.ini";
        // A table without a byte-order mark is read in the ANSI code page, and its bytes come back as they are.
        // Every character takes at least one byte there, so the 259 bytes that fit come from at most 259 UTF-16
        // units; the two more keep a surrogate pair at the cut whole.
        wchar_t text[sizeof m_textBuffer + 2];
        GetPrivateProfileStringW(AnsiToWide(section).c_str(), AnsiToWide(key).c_str(), L"", text,
                                 static_cast<DWORD>(std::size(text)), tablePath.c_str());
        CopyAsAnsi(text, m_textBuffer, sizeof m_textBuffer);
    }
    return m_textBuffer;
}

void CLumetraDlg::ShowTextMessage(const char* key) {
    AfxMessageBox(LookupText(TextKey::kMessageSection, key), MB_OK, 0);
}

void CLumetraDlg::OnTimer(UINT_PTR id) {
    if (id == kProgressTimer) {
        ShowTransferProgress();
        return;
    }
    if (id == kStopWatchTimer) {
        if (m_transfer && m_transfer->WaitForEnd(0))
            EndMessageBoxes(m_noResponseText.c_str());
        return;
    }
    if (id == kPresenceTimer && m_transfer && !m_stoppingTransfer) {
        // The worker's end message may never have come (a full message queue refuses a post): a run whose worker
        // has ended is finished here, from the outcome it left.
        if (!m_transfer->IsRunning())
            FinishTransfer(m_transfer->Outcome());
        else
            m_transfer->CancelIfStalled(kTransferStallLimitMs);
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
            AfxMessageBox(kDriverUnloadedText, MB_OK, 0);
            m_driverBoxOpen = false;
        }
        return false;
    }
    m_driverOutageReported = false;

    if (presence == DevicePresence::Absent) {
        m_deviceFound = false;
        SetDlgItemText(IDC_STATUS, LookupText(TextKey::kMessageSection, TextKey::kDeviceNotFound));
        SetTimer(kPresenceTimer, kDeviceAbsentCheckMs);
    } else {
        m_deviceFound = true;
        SetDlgItemText(IDC_STATUS, LookupText(TextKey::kMessageSection, TextKey::kDeviceFound));
        SetDlgItemText(IDC_AUX, "");
        SetTimer(kPresenceTimer, kDevicePresentCheckMs);
    }
    return true;
}

std::string CLumetraDlg::ExtraText(const char* key, const char* fallback) {
    const char* text = LookupText(TextKey::kExtraSection, key);
    return *text ? text : fallback;
}

bool CLumetraDlg::StopTransferForClose() {
    // A close already waits for the worker; the window stays usable meanwhile and may be asked again.
    if (m_stoppingTransfer)
        return false;
    if (m_transfer && m_transfer->IsRunning()) {
        const std::string question = ExtraText(TextKey::kConfirmCloseDuringTransfer, kConfirmCloseFallback);
        if (AfxMessageBox(question.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, 0) != IDYES)
            return false;
        // The worker may have ended while the question was open; then its end message was handled already.
        if (m_transfer) {
            KillTimer(kProgressTimer);
            m_stoppingTransfer = true;
            // A driver may never complete a cancelled write; the user is told what ends it (unplugging the device),
            // and the wait goes on until the worker has let go of the pipe. The box goes by itself once it has.
            if (!m_transfer->StopAndWait(m_closePatienceMs)) {
                m_noResponseText = ExtraText(TextKey::kNoResponseOnClose, kNoResponseOnCloseFallback);
                SetTimer(kStopWatchTimer, kStopWatchMs);
                AfxMessageBox(m_noResponseText.c_str(), MB_OK | MB_ICONWARNING, 0);
                KillTimer(kStopWatchTimer);
                m_transfer->StopAndWait();
            }
            m_transfer.reset();
            ReleaseRun();
            m_stoppingTransfer = false;
        }
    }
    m_closing = true;
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

// Logging off in the middle of a transfer would leave the device without a complete image. A run whose worker has
// ended is over, even before its end has been handled.
BOOL CLumetraDlg::OnQueryEndSession() {
    return m_transfer && m_transfer->IsRunning() ? FALSE : TRUE;
}
