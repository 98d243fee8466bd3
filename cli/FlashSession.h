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
#include "FlashedBoards.h"
#include "FlashOutcome.h"
#include "FlashReporter.h"
#include "ImageFacts.h"
#include "RunRecord.h"
#include "SerialScanner.h"
#include "SessionEndWindow.h"
#include "SpooledLog.h"

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
    std::optional<RunEnd> ReadImage();
    // Names the image file and the system's reason, or the checksum file or the signer, behind a refusal of the
    // image.
    void ReportRefusal(RunOutcome outcome);
    std::optional<RunEnd> WaitForDevice();
    std::optional<RunEnd> WaitForUnplug();
    RunEnd Download(std::uint32_t device, TransferFigures& figures);
    // Names the Windows error that keeps the driver library from loading, and what it means.
    void ReportDriverProblem();
    // Reports the end of an attempt and logs it; false when the log could not take the line.
    bool Finish(std::uint32_t device, RunEnd end, const TransferFigures& figures);
    // Logs the attempt's start before its first byte is sent; false when --log's file could not take the line.
    bool LogStarted(std::uint32_t device);
    // Appends the line to --log's file or the policy's log; false when --log's file could not take it.
    bool Log(const RunRecord& record);
    // Says when the policy's log starts keeping its lines in the spool, and when they reached the folder.
    void ReportPolicyLog(SpooledLog::Wrote wrote);
    int RunSession();
    // One board, from its name to its unplugging; the end that stops the session, or nothing when it goes on.
    std::optional<RunEnd> Board(std::uint32_t& device, SessionTally& tally);
    // The one rule: whether a session goes on to the next board after one that ended so.
    bool GoesOn(RunEnd end, const SessionTally& tally) const;

    // Opens --log's file, or the log the machine policy names when there is no --log (moving its spool there when
    // it answers); false when --log's cannot be opened. The policy's log never stops a download: its lines wait in
    // the spool meanwhile.
    bool OpenLog();
    void WarnPolicyLog(unsigned long error);
    // Names the board of the next download (--serial, or a scan) and refuses one that the log shows
    // flashed with this image already: nothing when it is named (or needs no name), Written when there are no more
    // boards, else the refusal or the stop.
    std::optional<RunEnd> NameBoard();
    // The next line that is a serial, asking a console again for one that is not; as NameBoard.
    std::optional<RunEnd> ScanSerial();

    const FlashOptions& m_options;
    FlashReporter& m_reporter;
    const ConsoleInterrupt& m_interrupt;
    SessionEndWindow& m_sessionEnd;
    // One image read and tested once, and downloaded by every attempt of a session.
    DownloadRun m_run;
    ImageFacts m_facts;
    AttemptLog m_log;
    std::optional<SpooledLog> m_policyLog;
    std::wstring m_logPath;
    bool m_policyLogWarned = false;
    bool m_spooling = false;
    // The id of the attempt whose start was logged, for its end.
    std::string m_runId;
    // Made at the first board named: the boards the log shows flashed with this image.
    std::optional<FlashedBoards> m_flashed;
    RunIdentity m_identity;
    // Created at the first scan: only --scan reads standard input.
    std::unique_ptr<SerialScanner> m_scanner;
    // A worker left behind in a write its driver never gave up: the session cannot go on.
    bool m_workerLeft = false;
};
