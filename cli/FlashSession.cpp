// One run of the console flasher over the shared download chain.
#include "FlashSession.h"

#include "DriverLibrary.h"
#include "HostFacts.h"
#include "JsonLine.h"
#include "TransferWorker.h"

namespace {

// How often the device's presence is asked while waiting: the driver library is loaded for each question.
constexpr DWORD kPresencePollMs = 100;
// How often a running transfer's progress is looked at, and how soon Ctrl+C is answered.
constexpr DWORD kTransferPollMs = 50;

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

FlashSession::FlashSession(const FlashOptions& options, FlashReporter& reporter, const ConsoleInterrupt& interrupt)
    : m_options(options), m_reporter(reporter), m_interrupt(interrupt), m_run(ToWide(options.image)) {
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
    m_facts.size = m_run.Image().size;
    // Judged in memory, the bytes that will be sent; the judgement hashes them once, for the log too.
    const RunOutcome checked = m_run.CheckImage(m_options.requireSignature);
    AddVerdict(m_run.Verdict());
    if (tested != RunOutcome::Ok)
        return EndOfStep(tested);
    if (checked != RunOutcome::Ok) {
        ReportRefusal(checked);
        return EndOfStep(checked);
    }
    return std::nullopt;
}

void FlashSession::AddVerdict(const ImageVerdict& verdict) {
    if (!verdict.sha256.empty())
        m_facts.sha256 = verdict.sha256;
    switch (verdict.checksum.state) {
    case ChecksumState::None:
        m_facts.checksum = "none";
        break;
    case ChecksumState::Match:
        m_facts.checksum = "match";
        break;
    case ChecksumState::Mismatch:
    case ChecksumState::NoHash:
    case ChecksumState::Disagree:
        m_facts.checksum = "mismatch";
        break;
    }
    for (const std::wstring& file : verdict.checksumFiles)
        m_facts.checksumFiles += (m_facts.checksumFiles.empty() ? "" : " and ") + ToUtf8(file);
    const char* const kSignatureStates[] = {"none", "valid", "invalid", "untrusted"};
    m_facts.signature = kSignatureStates[static_cast<int>(verdict.signature.state)];
    if (!verdict.signature.signer.empty())
        m_facts.signer = verdict.signature.signer;
}

void FlashSession::ReportRefusal(RunOutcome outcome) {
    const ImageVerdict& verdict = m_run.Verdict();
    switch (outcome) {
    case RunOutcome::ChecksumMismatch:
        m_reporter.Error("checksum file: " + m_facts.checksumFiles);
        break;
    case RunOutcome::ChecksumUnreadable:
    case RunOutcome::SignatureUnreadable:
        m_reporter.Error("cannot read " + ToUtf8(verdict.unreadableFile) +
                         (verdict.unreadableTooLarge ? ": larger than 1 MiB" : ""));
        break;
    case RunOutcome::SignatureInvalid:
    case RunOutcome::SignerUntrusted:
        m_reporter.Error("signature file: " + ToUtf8(FullPath(ToWide(m_options.image))) + ".p7s" +
                         (m_facts.signer ? ", signed by " + *m_facts.signer : ""));
        break;
    default:
        break;
    }
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
            end == FlashEnd::DeviceBusy)
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

    TransferWorker& worker = m_run.Worker();
    figures.total = worker.BytesToSend();
    bool interrupted = false;
    while (!worker.WaitForEnd(kTransferPollMs)) {
        if (m_interrupt.Requested()) {
            // Cancels a write blocked in the system; the pipe is closed when this returns.
            worker.StopAndWait();
            interrupted = true;
            break;
        }
        worker.CancelIfStalled();
        figures.bytes = worker.BytesSent();
        figures.seconds = SecondsSince(start);
        m_reporter.Progress(figures);
    }
    figures.bytes = worker.BytesSent();
    figures.seconds = SecondsSince(start);
    const FlashEnd end = EndOfTransfer(m_run.Finish(), interrupted);
    if (end == FlashEnd::Written)
        m_reporter.Progress(figures);
    return end;
}

void FlashSession::ReportDriverProblem() {
    const DWORD error = DriverLibraryProblem();
    if (error == 0)
        return;
    const char* meaning = DriverLoadErrorMeaning(error, sizeof(void*) == 8);
    m_reporter.Error("Windows error " + std::to_string(error) + " (" + SystemErrorText(error) +
                     "): " + (meaning ? meaning : "TarselUSB.dll cannot be loaded"));
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
