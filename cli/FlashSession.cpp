// One run of the console flasher over the shared download chain.
#include "FlashSession.h"

#include "AnsiText.h"
#include "BoardSerial.h"
#include "DriverLibrary.h"
#include "HostFacts.h"
#include "JsonLine.h"
#include "ModulePath.h"
#include "LogHistory.h"
#include "RunLog.h"
#include "TransferWorker.h"
#include "VerdictFacts.h"
#include "version.h"

namespace {

// How often the device's presence is asked while waiting: the driver library is loaded for each question.
constexpr DWORD kPresencePollMs = 100;
// How often a running transfer's progress is looked at, and how soon Ctrl+C is answered.
constexpr DWORD kTransferPollMs = 50;
// How soon Ctrl+C is answered while a scan is awaited.
constexpr DWORD kScanPollMs = 50;

const char kDeviceDoesNotLetGo[] =
    "the device did not give up the stopped write: unplug it and plug it in again before the next download";

std::wstring ToWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

double SecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

FlashSession::FlashSession(const FlashOptions& options, FlashReporter& reporter, const ConsoleInterrupt& interrupt,
                           SessionEndWindow& sessionEnd)
    : m_options(options), m_reporter(reporter), m_interrupt(interrupt), m_sessionEnd(sessionEnd),
      m_run(ToWide(options.image)) {
    m_facts.path = WideToUtf8(FullPathOf(ToWide(options.image)));
    m_identity.station = options.station.value_or(ComputerName());
    m_identity.operatorName = options.operatorName.value_or(UserName());
    m_identity.serial = options.serial;
    m_reporter.SetIdentity(m_identity);
}

std::optional<RunEnd> FlashSession::ReadImage() {
    const RunOutcome tested = m_run.TestHeader();
    if (tested == RunOutcome::CannotOpen || tested == RunOutcome::TooShort) {
        ReportRefusal(tested);
        return EndOfStep(tested);
    }
    m_facts.header = m_run.Header();
    m_facts.haveHeader = true;

    // Read whole even when the header fails its tests: the digest tells which file it was.
    const RunOutcome loaded = m_run.LoadImage();
    if (loaded != RunOutcome::Ok) {
        ReportRefusal(loaded);
        return EndOfStep(loaded);
    }
    m_facts.size = m_run.Image().size;
    // Judged in memory, the bytes that will be sent; the judgement hashes them once, for the log too.
    const RunOutcome checked = m_run.CheckImage(m_options.requireSignature);
    AddVerdictFacts(m_facts, m_run.Verdict());
    if (tested != RunOutcome::Ok)
        return EndOfStep(tested);
    if (checked != RunOutcome::Ok) {
        ReportRefusal(checked);
        return EndOfStep(checked);
    }
    return std::nullopt;
}

void FlashSession::ReportRefusal(RunOutcome outcome) {
    const ImageVerdict& verdict = m_run.Verdict();
    switch (outcome) {
    case RunOutcome::CannotOpen:
    case RunOutcome::CannotOpenAgain:
    case RunOutcome::ShortRead:
        m_reporter.Error("cannot read the image file " + m_facts.path + ": " + SystemErrorText(m_run.FileError()));
        break;
    case RunOutcome::ChecksumMismatch:
        m_reporter.Error("checksum file: " + m_facts.checksumFiles);
        break;
    case RunOutcome::ChecksumUnreadable:
    case RunOutcome::SignatureUnreadable:
        m_reporter.Error("cannot read " + WideToUtf8(verdict.unreadableFile) + ": " +
                         (verdict.unreadableTooLarge ? "larger than 1 MiB" : SystemErrorText(verdict.unreadableError)));
        break;
    case RunOutcome::SignatureInvalid:
    case RunOutcome::SignerUntrusted:
        m_reporter.Error("signature file: " + WideToUtf8(FullPathOf(ToWide(m_options.image))) + ".p7s" +
                         (m_facts.signer ? ", signed by " + *m_facts.signer : "") +
                         (verdict.signature.reason.empty() ? "" : " (" + verdict.signature.reason + ")"));
        break;
    default:
        break;
    }
}

int FlashSession::Info() {
    const std::optional<RunEnd> refused = ReadImage();
    if (m_facts.haveHeader)
        m_reporter.Image(m_facts, true);
    if (!refused)
        return ExitCode::kOk;
    m_reporter.Error(ReasonOf(*refused));
    return ExitCodeOf(*refused);
}

int FlashSession::History() {
    const DefaultLog defaultLog = DefaultRunLog(false);
    const std::wstring path = m_options.logPath.empty() ? defaultLog.path : ToWide(m_options.logPath);
    // Lines that wait in the spool belong in the log read.
    if (m_options.logPath.empty() && defaultLog.fromPolicy)
        SpooledLog(defaultLog.path, defaultLog.spoolPath).MoveSpool();
    LogHistory history(m_options.serial);
    std::uint64_t offset = 0;
    if (path.empty() || !AttemptLog::ReadLines(path, offset, [&](std::string_view line) {
            if (const std::optional<RunRecord> record = ParseRunRecord(line))
                history.Add(*record);
        })) {
        m_reporter.Error("cannot read the log file " + WideToUtf8(path) + ": " + SystemErrorText(GetLastError()));
        return ExitCodeOf(RunEnd::LogUnwritable);
    }
    history.End();
    if (m_options.serial) {
        m_reporter.Print(m_options.json ? BoardHistoryJson(history.Attempts())
                                        : BoardHistoryText(*m_options.serial, history.Attempts()));
    } else {
        m_reporter.Print(m_options.json ? HistoryJson(WideToUtf8(path), history.Summary())
                                        : HistoryText(WideToUtf8(path), history.Summary()));
    }
    return ExitCode::kOk;
}

bool FlashSession::OpenLog() {
    if (!m_options.logPath.empty()) {
        m_logPath = ToWide(m_options.logPath);
        if (m_log.Open(m_logPath))
            return true;
        m_reporter.Error("cannot open the log file " + WideToUtf8(m_logPath) + ": " + SystemErrorText(GetLastError()));
        return false;
    }
    const DefaultLog policyLog = DefaultRunLog(false);
    if (!policyLog.fromPolicy)
        return true;
    m_logPath = policyLog.path;
    m_policyLog.emplace(policyLog.path, policyLog.spoolPath);
    if (!m_policyLog->MoveSpool())
        ReportPolicyLog(SpooledLog::Wrote::Spooled);
    return true;
}

void FlashSession::WarnPolicyLog(unsigned long error) {
    if (m_policyLogWarned)
        return;
    m_policyLogWarned = true;
    m_reporter.Error("warning: the log file " + WideToUtf8(m_logPath) +
                     " that the machine policy LogFolder names cannot be written (" + SystemErrorText(error) +
                     "); downloads go on without it");
}

void FlashSession::ReportPolicyLog(SpooledLog::Wrote wrote) {
    switch (wrote) {
    case SpooledLog::Wrote::Folder:
        if (m_spooling)
            m_reporter.Error("the log lines kept in " + WideToUtf8(m_policyLog->Spool()) + " were moved to " +
                             WideToUtf8(m_logPath));
        m_spooling = false;
        break;
    case SpooledLog::Wrote::Spooled:
        if (!m_spooling)
            m_reporter.Error("warning: the log file " + WideToUtf8(m_logPath) +
                             " that the machine policy LogFolder names cannot be written (" +
                             SystemErrorText(m_policyLog->Error()) + "); its lines are kept in " +
                             WideToUtf8(m_policyLog->Spool()) + " and moved there once it answers");
        m_spooling = true;
        break;
    case SpooledLog::Wrote::Lost:
        WarnPolicyLog(m_policyLog->Error());
        break;
    }
}

int FlashSession::Run() {
    if (!OpenLog())
        return ExitCodeOf(RunEnd::LogUnwritable);
    const std::optional<RunEnd> refused = ReadImage();
    if (m_facts.haveHeader)
        m_reporter.Image(m_facts, false);
    if (refused)
        return ExitCodeOf(Finish(0, *refused, {}) ? *refused : RunEnd::LogUnwritable);
    return RunSession();
}

int FlashSession::RunSession() {
    SessionTally tally;
    std::uint32_t device = 0;
    std::optional<RunEnd> end;
    while (!end)
        end = Board(device, tally);
    if (!m_options.repeat)
        return ExitCodeOf(*end);
    m_reporter.Summary(tally);
    return SessionExitCode(tally, *end);
}

std::optional<RunEnd> FlashSession::Board(std::uint32_t& device, SessionTally& tally) {
    const std::uint32_t number = m_options.repeat ? device + 1 : 0;
    std::optional<RunEnd> end = NameBoard();
    const bool named = !end;
    if (named)
        end = WaitForDevice();
    const bool attempted = !end;
    TransferFigures figures;
    if (attempted) {
        device = number;
        if (m_scanner)
            m_scanner->DropLines(true);
        end = Download(number, figures);
        // A label scanned while a board is flashed names no board for sure: the one in the socket, or the next?
        if (m_scanner && m_scanner->DropLines(false) > 0)
            m_reporter.Error("a line scanned during the download was dropped: scan the next board again");
        if (*end == RunEnd::Written)
            ++tally.ok;
        else if (m_options.repeat && *end != RunEnd::DeviceBusy)
            ++tally.failed;
    }
    // No more boards to name; or a stop before anything was attempted, which is no attempt and is not logged.
    if ((!named && *end == RunEnd::Written) || (*end == RunEnd::Interrupted && !attempted)) {
        if (*end == RunEnd::Interrupted)
            m_reporter.Error(ReasonOf(*end));
        return end;
    }
    if (!Finish(number, *end, figures))
        return RunEnd::LogUnwritable;
    if (!named)
        ++tally.refused;
    if (!GoesOn(*end, tally))
        return end;
    // A board refused for its serial may still sit in the socket, and the next name must not be flashed into it. A
    // scan that was no serial leaves the same board waiting for a good one.
    if (!named && (*end != RunEnd::SerialRepeated || QueryDevicePresence() == DevicePresence::Absent))
        return std::nullopt;
    m_reporter.Unplug();
    const std::optional<RunEnd> stopped = WaitForUnplug();
    if (stopped)
        m_reporter.Error(ReasonOf(*stopped));
    return stopped;
}

bool FlashSession::GoesOn(RunEnd end, const SessionTally& tally) const {
    if (!m_options.repeat || m_workerLeft)
        return false;
    switch (end) {
    case RunEnd::Interrupted:
    case RunEnd::DriverMissing:
    case RunEnd::DeviceBusy:
    case RunEnd::NoDevice:
    case RunEnd::NoDeviceInTime:
    case RunEnd::LogUnwritable:
        return false;
    case RunEnd::Written:
        return !m_options.count || tally.ok < *m_options.count;
    default:
        return true;
    }
}

std::optional<RunEnd> FlashSession::NameBoard() {
    if (m_options.scan) {
        if (const std::optional<RunEnd> end = ScanSerial())
            return end;
    }
    if (!m_identity.serial || m_logPath.empty() || m_options.allowRepeatSerial || !m_facts.sha256)
        return std::nullopt;
    if (!m_flashed)
        m_flashed.emplace(m_logPath, *m_facts.sha256);
    const std::optional<RunRecord> earlier = m_flashed->Find(*m_identity.serial);
    if (!earlier)
        return std::nullopt;
    m_reporter.Error("board " + *m_identity.serial + " was flashed with this image at " + earlier->time + " on " +
                     earlier->identity.station);
    return RunEnd::SerialRepeated;
}

std::optional<RunEnd> FlashSession::ScanSerial() {
    m_identity.serial.reset();
    m_reporter.SetSerial(m_identity.serial);
    if (!m_scanner)
        m_scanner = std::make_unique<SerialScanner>();
    for (;;) {
        m_reporter.ScanPrompt();
        std::string line;
        SerialScanner::Read read;
        while ((read = m_scanner->Next(kScanPollMs, line)) == SerialScanner::Read::Timeout) {
            if (m_interrupt.Requested())
                return RunEnd::Interrupted;
        }
        const std::string serial = TrimSerialLine(line);
        if (read == SerialScanner::Read::End || serial.empty())
            return RunEnd::Written;
        const std::string problem = SerialProblem(serial);
        if (problem.empty()) {
            m_identity.serial = serial;
            m_reporter.SetSerial(m_identity.serial);
            return std::nullopt;
        }
        // JSON keeps whatever the line held readable; a person at a console simply scans again.
        m_reporter.Error(JsonString(serial) + " is not a serial: " + problem);
        if (!m_scanner->FromConsole())
            return RunEnd::SerialInvalid;
    }
}

std::optional<RunEnd> FlashSession::WaitForDevice() {
    const bool waits = m_options.wait || m_options.repeat;
    const ULONGLONG start = GetTickCount64();
    bool announced = false;
    for (;;) {
        if (m_interrupt.Requested())
            return RunEnd::Interrupted;
        switch (QueryDevicePresence()) {
        case DevicePresence::Present:
            return std::nullopt;
        case DevicePresence::DriverNotLoaded:
            ReportDriverProblem();
            return RunEnd::DriverMissing;
        case DevicePresence::Absent:
            break;
        }
        if (!waits)
            return RunEnd::NoDevice;
        if (!announced) {
            m_reporter.Waiting(m_options.waitSeconds);
            announced = true;
        }
        DWORD pause = kPresencePollMs;
        if (m_options.waitSeconds) {
            const ULONGLONG limit = static_cast<ULONGLONG>(*m_options.waitSeconds) * 1000;
            const ULONGLONG waited = GetTickCount64() - start;
            if (waited >= limit)
                return RunEnd::NoDeviceInTime;
            if (limit - waited < pause)
                pause = static_cast<DWORD>(limit - waited);
        }
        if (m_interrupt.Wait(pause))
            return RunEnd::Interrupted;
    }
}

std::optional<RunEnd> FlashSession::WaitForUnplug() {
    for (;;) {
        switch (QueryDevicePresence()) {
        case DevicePresence::Absent:
            return std::nullopt;
        case DevicePresence::DriverNotLoaded:
            ReportDriverProblem();
            return RunEnd::DriverMissing;
        case DevicePresence::Present:
            break;
        }
        if (m_interrupt.Wait(kPresencePollMs))
            return RunEnd::Interrupted;
    }
}

RunEnd FlashSession::Download(std::uint32_t device, TransferFigures& figures) {
    if (m_interrupt.Requested())
        return RunEnd::Interrupted;
    m_reporter.Device(device);
    // The machine's lock is held until the run is finished: one download per machine.
    RunOutcome outcome = m_run.OpenPipe();
    if (outcome == RunOutcome::NoLibrary)
        ReportDriverProblem();
    if (outcome == RunOutcome::Ok && !LogStarted(device))
        return RunEnd::LogUnwritable;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (outcome == RunOutcome::Ok)
        outcome = m_run.Start(nullptr);
    if (outcome != RunOutcome::Ok)
        return EndOfStep(outcome);

    m_sessionEnd.TransferStarted();
    TransferWorker& worker = m_run.Worker();
    figures.total = worker.BytesToSend();
    bool interrupted = false;
    bool stopped = true;
    while (!worker.WaitForEnd(kTransferPollMs)) {
        // A stop request, or a device that stopped reading: the write blocked in the system is cancelled.
        interrupted = m_interrupt.Requested();
        if (interrupted || worker.CancelIfStalled()) {
            // The window's patience, or less when the process has moments left.
            stopped = m_run.Stop(TransferWorker::kStopPatienceMs, [this] { return !m_interrupt.Urgent(); });
            interrupted = m_interrupt.Requested();
            break;
        }
        figures.bytes = worker.BytesSent();
        figures.seconds = SecondsSince(start);
        m_reporter.Progress(figures);
    }
    figures.bytes = worker.BytesSent();
    figures.seconds = SecondsSince(start);
    m_sessionEnd.TransferEnded();
    if (!stopped) {
        // The lock goes; the pipe stays with the worker until the process ends.
        m_run.Abandon();
        m_workerLeft = true;
        m_reporter.Error(kDeviceDoesNotLetGo);
        return interrupted ? RunEnd::Interrupted : RunEnd::TransferStalled;
    }
    const RunEnd end = EndOfTransfer(m_run.Finish(), interrupted ? RunEnd::Interrupted : RunEnd::TransferStalled);
    if (end == RunEnd::Written)
        m_reporter.Progress(figures);
    return end;
}

void FlashSession::ReportDriverProblem() {
    const DriverProblem problem = DriverLibraryProblem();
    if (problem.error == 0)
        return;
    const std::string meaning = DriverLoadErrorMeaning(problem.error, sizeof(void*) == 8, WideToUtf8(problem.path));
    m_reporter.Error("Windows error " + std::to_string(problem.error) + " (" + SystemErrorText(problem.error) +
                     "): " + (meaning.empty() ? "TarselUSB.dll cannot be loaded" : meaning));
}

bool FlashSession::Finish(std::uint32_t device, RunEnd end, const TransferFigures& figures) {
    m_reporter.Result(device, end, figures);
    RunRecord record = StampedRecord(RunFront::kFlasher, OSTREL_VERSION_TEXT);
    if (!m_runId.empty())
        record.id = std::exchange(m_runId, std::string());
    record.identity = m_identity;
    record.image = m_facts;
    record.device = device;
    record.result = LogResultOf(end);
    record.reason = ReasonOf(end);
    record.bytes = figures.bytes;
    record.seconds = figures.seconds;
    record.rate = figures.Rate();
    if (end == RunEnd::Written && m_flashed && m_identity.serial)
        m_flashed->Add(record);
    // The log has just refused the attempt's start, and said so.
    if (end == RunEnd::LogUnwritable)
        return false;
    return Log(record);
}

bool FlashSession::LogStarted(std::uint32_t device) {
    RunRecord record = StampedRecord(RunFront::kFlasher, OSTREL_VERSION_TEXT);
    record.identity = m_identity;
    record.image = m_facts;
    record.device = device;
    record.result = RunResult::kStarted;
    m_runId = record.id;
    return Log(record);
}

bool FlashSession::Log(const RunRecord& record) {
    const std::string line = RunRecordLine(record);
    if (m_policyLog) {
        ReportPolicyLog(m_policyLog->Append(line));
        return true;
    }
    if (!m_log.IsOpen() || m_log.Append(line))
        return true;
    m_reporter.Error("cannot write to the log file: " + SystemErrorText(GetLastError()));
    return false;
}
