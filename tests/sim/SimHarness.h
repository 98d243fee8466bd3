// Runs the device emulator from beside the tests and uses the stand-in driver library the way the tool does.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <windows.h>

#include "ChildProcess.h"
#include "Handle.h"

// Long enough for a slow machine under Wine; a hang ends the test after this instead of at ctest's timeout.
inline constexpr DWORD kPatienceMs = 10000;

// ostrel-devsim.exe, started from the test's folder (ostrel_put_sim_beside puts it there). Killed when this is
// destroyed while it still runs, and through a job object also when the test process dies, so that no emulator outlives
// its test.
class EmulatorProcess {
public:
    explicit EmulatorProcess(const std::vector<std::string>& args);
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // The nth line of its output that starts with "ostrel-devsim: " and then `start`; empty after the timeout.
    std::string WaitForLine(const std::string& start, int nth = 1, DWORD timeoutMs = kPatienceMs);
    // Its exit code, or -1 while it still runs after the timeout.
    int WaitForExit(DWORD timeoutMs = kPatienceMs);
    // Everything it has printed, standard output and errors, as far as the waits have read it.
    const std::string& Output() const { return m_process.Out(); }

private:
    ChildProcess m_process;
};

// Runs the emulator with these arguments to its end; its exit code, and its output in `output`.
int RunEmulator(const std::vector<std::string>& args, std::string& output);

// The driver library's calls as the tool makes them: TarselUSB.dll loaded by bare name (so from beside the
// executable), one call, the library released before the result is used.
HANDLE CallOpenDev();
HANDLE CallOpenFile(const char* pipeName);
// open_dev found a device; its handle is closed at once.
bool DevicePresent();

// Writes messages in order on a thread of its own until one fails, so that a test can watch a write that blocks
// and release it with CancelSynchronousIo, as the tool must.
class BackgroundWriter {
public:
    BackgroundWriter(HANDLE pipe, std::vector<std::string> messages);
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // True when every write has returned (or one failed) within the time.
    bool WaitDone(DWORD timeoutMs = kPatienceMs);
    // Cancels the write under way; true when the thread then ends.
    bool Cancel();

    std::size_t Written() const { return m_written; }
    // The failed write's error; ERROR_SUCCESS when all succeeded.
    DWORD Error() const { return m_error; }

private:
    static DWORD WINAPI Run(void* self);

    HANDLE m_pipe;
    std::vector<std::string> m_messages;
    std::atomic<std::size_t> m_written{0};
    std::atomic<DWORD> m_error{ERROR_SUCCESS};
    KernelHandle m_thread;
};

// What the tool writes for a payload of this size: the 20-byte command, then the payload in 2048-byte chunks and a
// shorter last one. Bytes follow a pattern that shows any loss, repeat or swap.
std::vector<std::string> DownloadMessages(std::size_t payloadSize);
std::string Joined(const std::vector<std::string>& messages, std::size_t count);

std::string FileContents(const std::string& path);
// The sizes in an emulator log, one per line.
std::vector<std::size_t> LoggedSizes(const std::string& path);
