// One run of the console flasher: the image read and tested once, then one download, or one per device in a
// --repeat session, each recorded in the attempt log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AttemptLog.h"
#include "ConsoleInterrupt.h"
#include "DownloadRun.h"
#include "FlashOptions.h"
#include "FlashOutcome.h"
#include "FlashReporter.h"
#include "ImageFacts.h"
#include "SessionEndWindow.h"

class FlashSession {
public:
    FlashSession(const FlashOptions& options, FlashReporter& reporter, const ConsoleInterrupt& interrupt,
                 SessionEndWindow& sessionEnd);

    // Downloads as the options say; the exit code.
    int Run();
    // Shows the image's fields and digest without touching the driver library; the exit code.
    int Info();

private:
    // Each step gives the end of the attempt or session, or none when it may go on.
    std::optional<FlashEnd> ReadImage();
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

    const FlashOptions& m_options;
    FlashReporter& m_reporter;
    const ConsoleInterrupt& m_interrupt;
    SessionEndWindow& m_sessionEnd;
    // One image read and tested once, and downloaded by every attempt of a session.
    DownloadRun m_run;
    ImageFacts m_facts;
    AttemptLog m_log;
    // A worker left behind in a write its driver never gave up: the session cannot go on.
    bool m_workerLeft = false;
};
