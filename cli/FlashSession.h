// One run of the console flasher: the image read and tested once, then one download, or one per device in a
// --repeat session, each recorded in the attempt log.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AttemptLog.h"
#include "ConsoleInterrupt.h"
#include "DownloadRun.h"
#include "FlashOptions.h"
#include "FlashOutcome.h"
#include "FlashReporter.h"
#include "ImageFacts.h"
#include "RunRecord.h"
#include "SerialScanner.h"
#include "SessionEndWindow.h"

class FlashSession {
public:
    FlashSession(const FlashOptions& options, FlashReporter& reporter, const ConsoleInterrupt& interrupt,
                 SessionEndWindow& sessionEnd);

    // Downloads as the options say; the exit code.
    int Run();
    // Shows the image's fields and digest without touching the driver library; the exit code.
    int Info();
    // Summarizes the log (--log, else this computer's default log), or one board's attempts in it; the exit code.
    int History();

private:
    // Each step gives the end of the attempt or session, or none when it may go on.
    std::optional<FlashEnd> ReadImage();
    // Names the checksum file or the signer behind a refusal of the image.
    void ReportRefusal(RunOutcome outcome);
    std::optional<FlashEnd> WaitForDevice();
    std::optional<FlashEnd> WaitForUnplug();
    FlashEnd Download(std::uint32_t device, TransferFigures& figures);
    // Stops the worker with the window's patience, or less when the process has moments left; false when the driver
    // never gave up the write and the worker still runs.
    bool StopWorker(TransferWorker& worker);
    // Names the Windows error that keeps the driver library from loading, and what it means.
    void ReportDriverProblem();
    // Reports the end of an attempt and logs it; false when the log could not take the line.
    bool Finish(std::uint32_t device, FlashEnd end, const TransferFigures& figures);
    int RunSession();

    // Opens --log's file, or the file the machine policy names when there is no --log; false when --log's cannot
    // be opened. The policy's log never stops a download: its trouble is told once.
    bool OpenLog();
    void WarnPolicyLog(unsigned long error);
    enum class BoardStep {
        Go,      // the board is named (or needs no name): its download may follow
        Refused, // the board was refused and the refusal logged; a session goes on with the next
        Stop,    // the session ends: no more boards, Ctrl+C, or a log that cannot take the refusal
    };
    // Names the board of the next download `device` (--serial, or a scan) and refuses one that the log shows
    // flashed with this image already; `end` tells why a board was refused or the session stops.
    BoardStep NameBoard(std::uint32_t device, FlashEnd& end);
    // The next line that is a serial, asking a console again for one that is not; `end` when there is none.
    BoardStep ScanSerial(std::uint32_t device, FlashEnd& end);
    BoardStep Refuse(std::uint32_t device, FlashEnd refusal, FlashEnd& end);

    const FlashOptions& m_options;
    FlashReporter& m_reporter;
    const ConsoleInterrupt& m_interrupt;
    SessionEndWindow& m_sessionEnd;
    // One image read and tested once, and downloaded by every attempt of a session.
    DownloadRun m_run;
    ImageFacts m_facts;
    AttemptLog m_log;
    std::wstring m_logPath;
    bool m_logFromPolicy = false;
    bool m_policyLogWarned = false;
    RunIdentity m_identity;
    // Created at the first scan: only --scan reads standard input.
    std::unique_ptr<SerialScanner> m_scanner;
    // A worker left behind in a write its driver never gave up: the session cannot go on.
    bool m_workerLeft = false;
};
