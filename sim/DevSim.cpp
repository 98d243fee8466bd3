// ostrel-devsim: the emulated device. While it runs the device is attached; it takes every write of the tool on its
// message-mode pipe as one message and records it.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "DevSimNames.h"
#include "DevSimOptions.h"
#include "Handle.h"

namespace {

// The pipe's inbound buffer: one largest chunk of the tool. A client's write completes as soon as it fits into the
// buffer, so "written" means "in the buffer", never "read by the device"; one chunk keeps the tool at most one write
// ahead of the device, so throttling paces the tool's progress, a stall blocks its next write but one, and an unplug
// drops at most one write that the tool saw succeed. Wine keeps this size exactly; Windows may round it up.
constexpr DWORD kPipeInBufferSize = 2048;
// The device never answers.
constexpr DWORD kPipeOutBufferSize = 0;
// Larger messages arrive in several reads (ERROR_MORE_DATA) and are still recorded as one.
constexpr DWORD kReadSize = 64 * 1024;

constexpr int kExitDone = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The stop event, for the console control handler.
HANDLE g_stopEvent = nullptr;

// One line on standard output, flushed at once: scripts and tests wait for these lines through a pipe.
void Say(const char* format, ...) {
    std::fputs("ostrel-devsim: ", stdout);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Complain(const std::string& text) {
    std::fprintf(stderr, "ostrel-devsim: %s\n", text.c_str());
    std::fflush(stderr);
}

BOOL WINAPI OnConsoleControl(DWORD) {
    SetEvent(g_stopEvent);
    return TRUE;
}

// Writes every message to the capture file and its size to the log, straight to the system, so that a reader sees
// them as soon as the emulator has taken the message.
class Recorder {
public:
    bool Open(const DevSim::Options& options) {
        return OpenFile(options.capturePath, m_capture) && OpenFile(options.logPath, m_log);
    }

    bool Record(const std::vector<char>& message) {
        ++m_writes;
        m_bytes += message.size();
        const std::string line = std::to_string(message.size()) + "\n";
        return Append(m_capture, message.data(), message.size()) && Append(m_log, line.data(), line.size());
    }

    std::uint64_t Writes() const { return m_writes; }
    std::uint64_t Bytes() const { return m_bytes; }

private:
    static bool OpenFile(const std::string& path, FileHandle& file) {
        if (path.empty())
            return true;
        file =
            FileHandle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid())
            Complain("cannot create " + path + " (error " + std::to_string(GetLastError()) + ")");
        return file.IsValid();
    }

    static bool Append(const FileHandle& file, const char* data, std::size_t size) {
        if (!file.IsValid())
            return true;
        DWORD written = 0;
        return WriteFile(file.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }

    FileHandle m_capture;
    FileHandle m_log;
    std::uint64_t m_writes = 0;
    std::uint64_t m_bytes = 0;
};

class Emulator {
public:
    Emulator(const DevSim::Options& options, std::string instance)
        : m_options(options), m_instance(std::move(instance)) {}

    int Run();

private:
    enum class Outcome { Ok, ClientLeft, Stopped, Unplugged, Failed };

    bool Listen();
    bool OpenPipe();
    // Unplugs the device, waits, and attaches it again as the next device; false when stopped meanwhile.
    bool Replug();
    bool Plug();
    void Unplug();
    Outcome Connect();
    Outcome ServeDownload();
    Outcome ReadMessage();
    Outcome Complete(BOOL started, DWORD& transferred, DWORD& error);
    bool Pace(std::uint64_t downloadBytes, const LARGE_INTEGER& downloadStart) const;
    bool Reached(const std::optional<std::uint64_t>& limit) const { return limit && m_recorder.Bytes() >= *limit; }

    DevSim::Options m_options;
    std::string m_instance;
    FileHandle m_pipe;
    KernelHandle m_presence;
    KernelHandle m_stop;
    KernelHandle m_ioDone;
    OVERLAPPED m_io{};
    std::vector<char> m_message;
    Recorder m_recorder;
    std::uint64_t m_downloads = 0;
};

int Emulator::Run() {
    // The capture and log files only once the pipe is ours: a second emulator of the instance must not empty them.
    if (!Listen() || !m_recorder.Open(m_options) || !Plug())
        return kExitFailure;
    Say("ready instance=%s pipe=%s", m_instance.c_str(), DevSim::PipePath(m_instance, DevSim::kPipeName).c_str());

    Outcome outcome = Outcome::Ok;
    for (;;) {
        outcome = Connect();
        if (outcome != Outcome::Ok)
            break;
        const std::uint64_t writesBefore = m_recorder.Writes();
        const std::uint64_t bytesBefore = m_recorder.Bytes();
        outcome = ServeDownload();
        if (outcome != Outcome::ClientLeft)
            break;
        DisconnectNamedPipe(m_pipe.Get());
        // A client that closes without writing (a look at the pipe) makes no download.
        if (m_recorder.Bytes() == bytesBefore)
            continue;
        ++m_downloads;
        Say("download writes=%llu bytes=%llu", static_cast<unsigned long long>(m_recorder.Writes() - writesBefore),
            static_cast<unsigned long long>(m_recorder.Bytes() - bytesBefore));
        if (m_options.once)
            break;
        if (m_options.replugMs && !Replug()) {
            outcome = Outcome::Stopped;
            break;
        }
    }
    if (outcome == Outcome::Unplugged)
        Say("unplugged bytes=%llu", static_cast<unsigned long long>(m_recorder.Bytes()));
    Unplug();
    Say("summary downloads=%llu writes=%llu bytes=%llu", static_cast<unsigned long long>(m_downloads),
        static_cast<unsigned long long>(m_recorder.Writes()), static_cast<unsigned long long>(m_recorder.Bytes()));
    return outcome == Outcome::Failed ? kExitFailure : kExitDone;
}

// The pipe first: its first instance belongs to one server only, so a second emulator of the instance fails here,
// before it could touch the first one's events and files.
// Creates the pipe; a second emulator of the instance fails here.
bool Emulator::OpenPipe() {
    const std::string pipePath = DevSim::PipePath(m_instance, DevSim::kPipeName);
    m_pipe = FileHandle(
        CreateNamedPipeA(pipePath.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                         kPipeOutBufferSize, kPipeInBufferSize, 0, nullptr));
    if (!m_pipe.IsValid()) {
        const DWORD error = GetLastError();
        Complain(error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY
                     ? "an emulator of instance \"" + m_instance + "\" runs already"
                     : "cannot create " + pipePath + " (error " + std::to_string(error) + ")");
        return false;
    }
    return true;
}

bool Emulator::Listen() {
    if (!OpenPipe())
        return false;
    m_stop = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, DevSim::StopEventName(m_instance).c_str()));
    m_ioDone = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!m_stop.IsValid() || !m_ioDone.IsValid()) {
        Complain("cannot create events (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    // A stopper's handle may have kept an old, signalled stop event alive.
    ResetEvent(m_stop.Get());
    g_stopEvent = m_stop.Get();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    m_io.hEvent = m_ioDone.Get();
    return true;
}

// The device is attached while the presence object exists; created last, so that "present" means "ready for writes".
bool Emulator::Plug() {
    m_presence = KernelHandle(CreateEventA(nullptr, TRUE, FALSE, DevSim::PresenceName(m_instance).c_str()));
    if (!m_presence.IsValid()) {
        Complain("cannot create the presence object (error " + std::to_string(GetLastError()) + ")");
        return false;
    }
    return true;
}

// Absent first, then the pipe gone: a client never finds the device present without its pipe. A client's pending
// and next writes fail once the pipe is closed.
void Emulator::Unplug() {
    m_presence.Close();
    if (m_pipe.IsValid()) {
        DisconnectNamedPipe(m_pipe.Get());
        m_pipe.Close();
    }
}

bool Emulator::Replug() {
    Unplug();
    Say("unplugged bytes=%llu", static_cast<unsigned long long>(m_recorder.Bytes()));
    if (WaitForSingleObject(m_stop.Get(), static_cast<DWORD>(*m_options.replugMs)) != WAIT_TIMEOUT)
        return false;
    if (!OpenPipe() || !Plug())
        return false;
    Say("replugged");
    return true;
}

// Finishes an overlapped operation on the pipe, or cancels it when the stop event comes first (Stopped). Otherwise
// Ok, with the system's result in `error`.
Emulator::Outcome Emulator::Complete(BOOL started, DWORD& transferred, DWORD& error) {
    transferred = 0;
    error = started ? ERROR_SUCCESS : GetLastError();
    if (error == ERROR_IO_PENDING) {
        const HANDLE waits[] = {m_ioDone.Get(), m_stop.Get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIoEx(m_pipe.Get(), &m_io);
            GetOverlappedResult(m_pipe.Get(), &m_io, &transferred, TRUE);
            return Outcome::Stopped;
        }
    } else if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) {
        return Outcome::Ok; // failed at once: nothing was queued, nothing to collect
    }
    error = GetOverlappedResult(m_pipe.Get(), &m_io, &transferred, FALSE) ? ERROR_SUCCESS : GetLastError();
    return Outcome::Ok;
}

// Waits for the next client to open the pipe. A client that opened it before this call is kept: disconnecting first
// would throw out a tool that was quicker than the emulator.
Emulator::Outcome Emulator::Connect() {
    for (;;) {
        ResetEvent(m_ioDone.Get());
        DWORD transferred = 0;
        DWORD error = ERROR_SUCCESS;
        if (Complete(ConnectNamedPipe(m_pipe.Get(), &m_io), transferred, error) == Outcome::Stopped)
            return Outcome::Stopped;
        // ERROR_PIPE_CONNECTED: the client came before the call. ERROR_NO_DATA: it came and went: listen anew.
        if (error == ERROR_SUCCESS || error == ERROR_PIPE_CONNECTED)
            return Outcome::Ok;
        if (error != ERROR_NO_DATA) {
            Complain("cannot listen on the pipe (error " + std::to_string(error) + ")");
            return Outcome::Failed;
        }
        DisconnectNamedPipe(m_pipe.Get());
    }
}

// Reads and records the client's messages until it closes the pipe, the device is unplugged or stalls, or a stop.
Emulator::Outcome Emulator::ServeDownload() {
    LARGE_INTEGER downloadStart;
    QueryPerformanceCounter(&downloadStart);
    const std::uint64_t bytesBefore = m_recorder.Bytes();
    for (;;) {
        if (Reached(m_options.unplugAfter))
            return Outcome::Unplugged;
        if (Reached(m_options.stallAfter)) {
            Say("stalled bytes=%llu", static_cast<unsigned long long>(m_recorder.Bytes()));
            WaitForSingleObject(m_stop.Get(), INFINITE);
            return Outcome::Stopped;
        }
        if (!Pace(m_recorder.Bytes() - bytesBefore, downloadStart))
            return Outcome::Stopped;
        const Outcome outcome = ReadMessage();
        if (outcome != Outcome::Ok)
            return outcome;
        if (!m_recorder.Record(m_message)) {
            Complain("cannot write the capture or the log (error " + std::to_string(GetLastError()) + ")");
            return Outcome::Failed;
        }
    }
}

// One whole message into m_message (Ok), however many reads it takes; ClientLeft once the client has closed the pipe
// and every message it wrote before has been read.
Emulator::Outcome Emulator::ReadMessage() {
    m_message.clear();
    for (;;) {
        const std::size_t had = m_message.size();
        m_message.resize(had + kReadSize);
        ResetEvent(m_ioDone.Get());
        DWORD transferred = 0;
        DWORD error = ERROR_SUCCESS;
        const BOOL started = ReadFile(m_pipe.Get(), m_message.data() + had, kReadSize, nullptr, &m_io);
        if (Complete(started, transferred, error) == Outcome::Stopped)
            return Outcome::Stopped;
        m_message.resize(had + transferred);
        if (error == ERROR_SUCCESS)
            return Outcome::Ok;
        if (error != ERROR_MORE_DATA)
            return Outcome::ClientLeft;
    }
}

// Holds the next read back until the download's bytes so far keep to the throttle rate; false when stopped meanwhile.
// The due time counts from the download's start, so the timer's granularity does not add up over the reads.
bool Emulator::Pace(std::uint64_t downloadBytes, const LARGE_INTEGER& downloadStart) const {
    if (m_options.throttle == 0)
        return true;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const double due = static_cast<double>(downloadBytes) / static_cast<double>(m_options.throttle);
    for (;;) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double elapsed =
            static_cast<double>(now.QuadPart - downloadStart.QuadPart) / static_cast<double>(frequency.QuadPart);
        if (elapsed >= due)
            return true;
        const double waitMs = std::min(std::ceil((due - elapsed) * 1000.0), 60000.0);
        if (WaitForSingleObject(m_stop.Get(), static_cast<DWORD>(waitMs)) != WAIT_TIMEOUT)
            return false;
    }
}

// Signals the stop event of the instance's emulator and waits until the device has gone.
int StopRunning(const std::string& instance) {
    const KernelHandle stop(OpenEventA(EVENT_MODIFY_STATE, FALSE, DevSim::StopEventName(instance).c_str()));
    if (!stop.IsValid()) {
        Complain("no emulator of instance \"" + instance + "\" runs");
        return kExitFailure;
    }
    SetEvent(stop.Get());
    const std::string presenceName = DevSim::PresenceName(instance);
    for (int i = 0; i < 500; ++i) {
        const KernelHandle presence(OpenEventA(SYNCHRONIZE, FALSE, presenceName.c_str()));
        if (!presence.IsValid())
            return kExitDone;
        Sleep(10);
    }
    Complain("the emulator of instance \"" + instance + "\" did not stop within 5 s");
    return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    const DevSim::ParsedOptions parsed = DevSim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        Complain(parsed.error + " (see --help)");
        return kExitUsage;
    }
    const DevSim::Options& options = parsed.options;
    if (options.help) {
        std::fputs(DevSim::kHelpText, stdout);
        return kExitDone;
    }
    std::string instance = options.instance;
    if (instance.empty() && !DevSim::InstanceFromEnvironment(instance)) {
        Complain(std::string(DevSim::kInstanceVariable) + " does not name a valid instance");
        return kExitUsage;
    }
    if (options.stop)
        return StopRunning(instance);
    return Emulator(options, instance).Run();
}
