// One run of the console flasher over the shared download chain.
#include "FlashSession.h"

#include "DriverLibrary.h"
#include "HostFacts.h"
#include "JsonLine.h"
#include "Sha256.h"
#include "TransferWorker.h"

namespace {

// How often the device's presence is asked while waiting: the driver library is loaded for each question.
constexpr DWORD kPresencePollMs = 100;
// How often a running transfer's progress is looked at, and how soon Ctrl+C is answered.
constexpr DWORD kTransferPollMs = 50;

const char kDeviceDoesNotLetGo[] =
    "the device did not give up the stopped write: unplug it and plug it in again before the next download";

std::wstring ToWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string ToUtf8(const std::wstring& text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    full.resize(written < length ? written : 0);
    return full.empty() ? path : full;
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
    m_facts.path = ToUtf8(FullPath(ToWide(options.image)));
}

std::optional<FlashEnd> FlashSession::ReadImage() {
    const RunOutcome tested = m_run.TestHeader();
    if (tested == RunOutcome::CannotOpen || tested == RunOutcome::TooShort)
        return EndOfStep(tested);
    m_facts.header = m_run.Header();
    m_facts.haveHeader = true;

    // Read whole even when the header fails its tests: the digest tells which file it was.
    const RunOutcome loaded = m_run.LoadImage();
    if (loaded != RunOutcome::Ok)
        return EndOfStep(loaded);
    const ImageData& image = m_run.Image();
    m_facts.size = image.size;
    const std::string digest = Sha256Hex(image.bytes.get(), image.size);
    if (!digest.empty())
        m_facts.sha256 = digest;
    if (tested != RunOutcome::Ok)
        return EndOfStep(tested);
    return std::nullopt;
}

int FlashSession::Info() {
    const std::optional<FlashEnd> refused = ReadImage();
    if (m_facts.haveHeader)
        m_reporter.Image(m_facts, true);
    if (!refused)
        return ExitCode::kOk;
    m_reporter.Error(ReasonOf(*refused));
    return ExitCodeOf(*refused);
}

int FlashSession::Run() {
    if (!m_options.logPath.empty() && !m_log.Open(ToWide(m_options.logPath))) {
        m_reporter.Error("cannot open the log file " + ToUtf8(ToWide(m_options.logPath)) + ": " +
                         SystemErrorText(GetLastError()));
        return ExitCodeOf(FlashEnd::LogUnwritable);
    }
    const std::optional<FlashEnd> refused = ReadImage();
    if (m_facts.haveHeader)
        m_reporter.Image(m_facts, false);
    if (refused)
        return ExitCodeOf(Finish(0, *refused, {}) ? *refused : FlashEnd::LogUnwritable);
    return RunSession();
}

int FlashSession::RunSession() {
    SessionTally tally;
    std::uint32_t device = 0;
    FlashEnd end = FlashEnd::Written;
    for (;;) {
        if (const std::optional<FlashEnd> absent = WaitForDevice()) {
            end = *absent;
            // A stop while waiting ends the session; nothing was attempted, so nothing is logged.
            if (end == FlashEnd::Interrupted)
                m_reporter.Error(ReasonOf(end));
            else if (!Finish(m_options.repeat ? device + 1 : 0, end, {}))
                end = FlashEnd::LogUnwritable;
            break;
        }
        const std::uint32_t number = m_options.repeat ? ++device : 0;
        TransferFigures figures;
        end = Download(number, figures);
        if (end == FlashEnd::Written)
            ++tally.ok;
        else if (m_options.repeat && end != FlashEnd::DeviceBusy)
            ++tally.failed;
        if (!Finish(number, end, figures)) {
            end = FlashEnd::LogUnwritable;
            break;
        }
        if (!m_options.repeat || end == FlashEnd::Interrupted || end == FlashEnd::DriverMissing ||
            end == FlashEnd::DeviceBusy || m_workerLeft)
            break;
        if (m_options.count && tally.ok >= *m_options.count) {
            end = FlashEnd::Written;
            break;
        }
        m_reporter.Unplug();
        if (const std::optional<FlashEnd> stopped = WaitForUnplug()) {
            end = *stopped;
            m_reporter.Error(ReasonOf(end));
            break;
        }
    }
    if (!m_options.repeat)
        return ExitCodeOf(end);
    m_reporter.Summary(tally);
    return SessionExitCode(tally, end);
}

std::optional<FlashEnd> FlashSession::WaitForDevice() {
    const bool waits = m_options.wait || m_options.repeat;
    const ULONGLONG start = GetTickCount64();
    bool announced = false;
    for (;;) {
        if (m_interrupt.Requested())
            return FlashEnd::Interrupted;
        switch (QueryDevicePresence()) {
        case DevicePresence::Present:
            return std::nullopt;
        case DevicePresence::DriverNotLoaded:
            ReportDriverProblem();
            return FlashEnd::DriverMissing;
        case DevicePresence::Absent:
            break;
        }
        if (!waits)
            return FlashEnd::NoDevice;
        if (!announced) {
            m_reporter.Waiting(m_options.waitSeconds);
            announced = true;
        }
        DWORD pause = kPresencePollMs;
        if (m_options.waitSeconds) {
            const ULONGLONG limit = static_cast<ULONGLONG>(*m_options.waitSeconds) * 1000;
            const ULONGLONG waited = GetTickCount64() - start;
            if (waited >= limit)
                return FlashEnd::NoDeviceInTime;
            if (limit - waited < pause)
                pause = static_cast<DWORD>(limit - waited);
        }
        if (m_interrupt.Wait(pause))
            return FlashEnd::Interrupted;
    }
}

std::optional<FlashEnd> FlashSession::WaitForUnplug() {
    for (;;) {
        switch (QueryDevicePresence()) {
        case DevicePresence::Absent:
            return std::nullopt;
        case DevicePresence::DriverNotLoaded:
            ReportDriverProblem();
            return FlashEnd::DriverMissing;
        case DevicePresence::Present:
            break;
        }
        if (m_interrupt.Wait(kPresencePollMs))
            return FlashEnd::Interrupted;
    }
}

FlashEnd FlashSession::Download(std::uint32_t device, TransferFigures& figures) {
    if (m_interrupt.Requested())
        return FlashEnd::Interrupted;
    m_reporter.Device(device);
    // The machine's lock is held until the run is finished: one download per machine.
    RunOutcome outcome = m_run.OpenPipe();
    if (outcome == RunOutcome::NoLibrary)
        ReportDriverProblem();
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
            stopped = StopWorker(worker);
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
        return interrupted ? FlashEnd::Interrupted : FlashEnd::TransferStalled;
    }
    const FlashEnd end = EndOfTransfer(m_run.Finish(), interrupted);
    if (end == FlashEnd::Written)
        m_reporter.Progress(figures);
    return end;
}

bool FlashSession::StopWorker(TransferWorker& worker) {
    const ULONGLONG asked = GetTickCount64();
    // Each wait cancels the write again: the worker may not have been inside it at the first cancel.
    while (!worker.StopAndWait(kTransferPollMs)) {
        if (m_interrupt.Urgent() || GetTickCount64() - asked >= TransferWorker::kStopPatienceMs)
            return false;
    }
    return true;
}

void FlashSession::ReportDriverProblem() {
    const DriverProblem problem = DriverLibraryProblem();
    if (problem.error == 0)
        return;
    const std::string meaning = DriverLoadErrorMeaning(problem.error, sizeof(void*) == 8, ToUtf8(problem.path));
    m_reporter.Error("Windows error " + std::to_string(problem.error) + " (" + SystemErrorText(problem.error) +
                     "): " + (meaning.empty() ? "TarselUSB.dll cannot be loaded" : meaning));
}

bool FlashSession::Finish(std::uint32_t device, FlashEnd end, const TransferFigures& figures) {
    m_reporter.Result(device, end, figures);
    if (!m_log.IsOpen())
        return true;
    JsonLine line;
    line.Add("time", UtcTimestamp()).Add("host", ComputerName());
    AddImageFields(line, m_facts);
    if (device > 0)
        line.AddNumber("device", device);
    line.Add("result", LogResultOf(end));
    if (end == FlashEnd::Written)
        line.AddNull("reason");
    else
        line.Add("reason", ReasonOf(end));
    line.AddNumber("bytes", figures.bytes).AddFixed("seconds", figures.seconds, 3).AddNumber("rate", figures.Rate());
    if (m_log.Append(line.Line()))
        return true;
    m_reporter.Error("cannot write to the log file: " + SystemErrorText(GetLastError()));
    return false;
}
