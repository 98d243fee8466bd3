// CLumetraDlg: the main window: its texts, boxes, progress bar and timers, over the device's presence and one
// download run at a time.
#pragma once

#include <memory>
#include <string>

#include "Dialog.h"
#include "DownloadHistory.h"
#include "DownloadRun.h"
#include "FirmwareNotice.h"
#include "GradientProgressCtrl.h"
#include "MessageMap.h"
#include "TaskbarButton.h"
#include "RunEnds.h"
#include "ScopeExit.h"
#include "TextTable.h"
#include "TransferRate.h"

class CLumetraDlg : public CDialog {
public:
    explicit CLumetraDlg(CWnd* parent = nullptr);
    ~CLumetraDlg() override;

    // Reads the text of (section, key) from lang.ini beside the executable into the one text buffer and
    // returns the buffer; a missing file or key gives the empty text. The next lookup overwrites it.
    const char* LookupText(const char* section, const char* key);
    // A modal box with the text of the key in section "message".
    void ShowTextMessage(const char* key);

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Closing while a transfer runs asks first, and then waits for the worker to stop.
    void OnOK() override;
    void OnCancel() override;

    // The worker of a run, reporting to this window; tests give one whose stop the driver ignores, or one that
    // reports nothing.
    virtual std::unique_ptr<TransferWorker> MakeTransferWorker(ImageData image, FileHandle pipe);

    // How long closing, or a stalled run, waits for a stopped worker before it tells the user what the device needs,
    // or abandons the run.
    DWORD m_closePatienceMs = TransferWorker::kStopPatienceMs;
    // How long a run goes without a write done before it is stopped as stalled.
    DWORD m_stallLimitMs = TransferWorker::kStallLimitMs;
    // The run on the taskbar button, and the call for attention at its end; tests give it a recorder.
    TaskbarButton m_taskbar;

private:
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    // The download button: the user chooses an image in the open-file dialog, and the download starts from it.
    void OnDownload();
    // One image dropped onto the window starts a download as a chosen one does.
    void OnDropFiles(HDROP drop);
    // The download start from a chosen image on: the run's steps, the image info line between them, and the
    // window's own check of the device.
    void StartDownload(const std::wstring& imagePath);
    // What the window shows for the end of a run: in a box, or on the result line.
    void ShowEnd(RunEnd end);
    // A download refused before its first byte: logged with what the run read of the image, and shown.
    void Refuse(RunEnd end, const DownloadRun& run, bool headerRead);
    // A modal box with the text; the button pressed.
    int ShowText(const TextId& id, UINT type = MB_OK);
    // The window during a run: bar, result line, button, timers, the reason that holds up a shutdown.
    void ShowRunStarted();
    // Done, total, rate and time left of the run in the result line, from the worker's count of bytes sent.
    void ShowTransferProgress();
    void OnTransferProgress(UINT position, LPARAM);
    void OnTransferEnd(UINT outcome, LPARAM);
    // The start-up refresh found the channel's newest image in the mirror, not yet written here.
    void OnFirmwareReady(UINT, LPARAM);
    // The end of a run, handled once: from the worker's end message, or from the run's timer when that message
    // never came.
    void FinishRun();
    // A run whose device took nothing for the stall limit: stopped, or abandoned when its driver keeps the write.
    void StopStalledRun();
    // The window after a run's end: the end shown, the button enabled, the taskbar told.
    void ShowRunEnded(RunEnd end);
    BOOL OnQueryEndSession();
    // A started run whose worker has not yet ended.
    bool IsTransferring() const;
    // Marks a download start as under way until the scope ends; a close agreed to meanwhile (in one of the start's
    // modal loops) stays agreed.
    auto StartingPhase() {
        m_phase = RunPhase::Starting;
        return ScopeExit([this] {
            if (m_phase == RunPhase::Starting)
                m_phase = RunPhase::Idle;
        });
    }

    // Asks before a running transfer is stopped, then stops it; true when the window may close.
    bool StopTransferForClose();

    // One presence check; false when the driver library could not be used.
    bool CheckDevicePresence();

    static const MessageMapEntry<CLumetraDlg> kMessageMap[];

    // Timer 1 drives the presence checks; a download start also sets it, to the period of a present device.
    static constexpr UINT_PTR kPresenceTimer = 1;
    static constexpr UINT kDevicePresentCheckMs = 1000;
    // Timer 2 watches a run: the result line at most four times a second, a stall, and an end whose message never
    // came.
    static constexpr UINT_PTR kRunTimer = 2;
    static constexpr UINT kRunTimerMs = 250;
    // Timer 3 watches a worker that closing has given up waiting for, and takes down the box that says so once the
    // worker has ended.
    static constexpr UINT_PTR kStopWatchTimer = 3;
    static constexpr UINT kStopWatchMs = 200;

    HICON m_hIcon;
    bool m_deviceFound = false;
    CGradientProgressCtrl m_progress;
    // As chosen or dropped; a dropped path keeps every character, whatever the ANSI code page.
    std::wstring m_imagePath;
    // What the window shows comes from here.
    TextTable m_texts;

    // Set while a missing driver library has been reported, until the library loads again.
    bool m_driverOutageReported = false;
    bool m_driverBoxOpen = false;

    enum class RunPhase {
        Idle,
        Starting, // a download start runs, its modal dialogs included: a drop or click meanwhile is refused
        Running,  // a run is under way, or has ended and its end is not yet handled
        Stopping, // closing waits for the worker: its end is handled there, not by the end message
        Closed,   // the window has agreed to close; a start under way in a nested modal loop gives up
    };
    RunPhase m_phase = RunPhase::Idle;
    // The one run, from its start until its end has been handled.
    std::unique_ptr<DownloadRun> m_run;
    CDownloadHistory m_history;
    CFirmwareNotice m_firmware;
    // The run's progress line: its text with placeholders, the rate measured so far, and the text shown.
    std::string m_progressFormat;
    RateWindow m_progressRate;
    std::string m_progressShown;
    // The text of the box shown while closing waits for a worker that does not stop.
    std::wstring m_noResponseText;
};
