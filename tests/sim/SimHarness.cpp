// Runs the device emulator from beside the tests and uses the stand-in driver library the way the tool does.
#include "SimHarness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

constexpr std::size_t kCommandSize = 20;
constexpr std::size_t kChunkSize = 2048;

std::string TestFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// Every argument quoted; the tests pass no quotes inside them.
std::string CommandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = "\"" + program + "\"";
    for (const std::string& arg : args)
        line += " \"" + arg + "\"";
    return line;
}

// The nth whole line of the text that begins with `start`, without its line end; empty when there is none.
std::string NthLine(const std::string& text, const std::string& start, int nth) {
    int seen = 0;
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, start.size(), start) == 0 && ++seen == nth)
            return line;
    }
    return {};
}

// Loads the library for one call of the export and releases it before the result is used.
template <class Function, class... Args> HANDLE CallExport(const char* name, Args... args) {
    const HMODULE library = LoadLibraryA("TarselUSB.dll");
    if (!library) {
        ADD_FAILURE() << "TarselUSB.dll does not load: error " << GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    const HANDLE result = function ? function(args...) : INVALID_HANDLE_VALUE;
    FreeLibrary(library);
    EXPECT_TRUE(function) << "TarselUSB.dll exports no " << name;
    return result;
}

} // namespace

EmulatorProcess::EmulatorProcess(const std::vector<std::string>& args) {
    m_job = KernelHandle(CreateJobObjectA(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
        return;
    }
    m_outputPipe = FileHandle(readEnd);
    const FileHandle childOutput(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string commandLine = CommandLine(TestFolder() + "ostrel-devsim.exe", args);
    PROCESS_INFORMATION process{};
    // Suspended until it is in the job, so that not even its first moment escapes it.
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        return;
    }
    m_process = KernelHandle(process.hProcess);
    const KernelHandle thread(process.hThread);
    AssignProcessToJobObject(m_job.Get(), process.hProcess);
    ResumeThread(process.hThread);
}

EmulatorProcess::~EmulatorProcess() {
    if (m_process.IsValid() && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), kPatienceMs);
    }
}

void EmulatorProcess::ReadOutput() {
    DWORD available = 0;
    while (m_outputPipe.IsValid() && PeekNamedPipe(m_outputPipe.Get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(m_outputPipe.Get(), buffer, sizeof buffer, &got, nullptr) || got == 0)
            return;
        m_output.append(buffer, got);
    }
}

std::string EmulatorProcess::WaitForLine(const std::string& start, int nth, DWORD timeoutMs) {
    const std::string wanted = "ostrel-devsim: " + start;
    const DWORD began = GetTickCount();
    for (;;) {
        // Looked at before the read: all that an ended process wrote is in the pipe.
        const bool ended = !m_process.IsValid() || WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0;
        ReadOutput();
        const std::string line = NthLine(m_output, wanted, nth);
        if (!line.empty() || ended || GetTickCount() - began >= timeoutMs)
            return line;
        Sleep(5);
    }
}

int EmulatorProcess::WaitForExit(DWORD timeoutMs) {
    if (!m_process.IsValid())
        return -1;
    const DWORD began = GetTickCount();
    while (WaitForSingleObject(m_process.Get(), 5) == WAIT_TIMEOUT) {
        ReadOutput();
        if (GetTickCount() - began >= timeoutMs)
            return -1;
    }
    ReadOutput();
    DWORD code = 0;
    GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<int>(code);
}

int RunEmulator(const std::vector<std::string>& args, std::string& output) {
    EmulatorProcess emulator(args);
    const int code = emulator.WaitForExit();
    output = emulator.Output();
    return code;
}

HANDLE CallOpenDev() {
    return CallExport<HANDLE(__cdecl*)()>("open_dev");
}

HANDLE CallOpenFile(const char* pipeName) {
    return CallExport<HANDLE(__cdecl*)(const char*)>("open_file", pipeName);
}

bool DevicePresent() {
    const HANDLE device = CallOpenDev();
    if (device == INVALID_HANDLE_VALUE)
        return false;
    EXPECT_TRUE(CloseHandle(device)) << "open_dev returned no handle of this process";
    return true;
}

BackgroundWriter::BackgroundWriter(HANDLE pipe, std::vector<std::string> messages)
    : m_pipe(pipe), m_messages(std::move(messages)) {
    m_thread = KernelHandle(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

BackgroundWriter::~BackgroundWriter() {
    if (!WaitDone(0))
        Cancel();
}

DWORD WINAPI BackgroundWriter::Run(void* self) {
    BackgroundWriter& writer = *static_cast<BackgroundWriter*>(self);
    for (const std::string& message : writer.m_messages) {
        DWORD written = 0;
        if (!WriteFile(writer.m_pipe, message.data(), static_cast<DWORD>(message.size()), &written, nullptr)) {
            writer.m_error = GetLastError();
            return 0;
        }
        ++writer.m_written;
    }
    return 0;
}

bool BackgroundWriter::WaitDone(DWORD timeoutMs) {
    return WaitForSingleObject(m_thread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool BackgroundWriter::Cancel() {
    // The thread may not yet have entered the write: try again until it has ended.
    const DWORD began = GetTickCount();
    while (!WaitDone(10)) {
        CancelSynchronousIo(m_thread.Get());
        if (GetTickCount() - began >= kPatienceMs)
            return false;
    }
    return true;
}

std::vector<std::string> DownloadMessages(std::size_t payloadSize) {
    std::string bytes(kCommandSize + payloadSize, '\0');
    std::uint32_t state = 0x2545F491;
    for (char& byte : bytes) {
        state = state * 1664525 + 1013904223;
        byte = static_cast<char>(state >> 24);
    }
    std::vector<std::string> messages{bytes.substr(0, kCommandSize)};
    for (std::size_t offset = kCommandSize; offset < bytes.size(); offset += kChunkSize)
        messages.push_back(bytes.substr(offset, kChunkSize));
    return messages;
}

std::string Joined(const std::vector<std::string>& messages, std::size_t count) {
    std::string joined;
    for (std::size_t i = 0; i < count && i < messages.size(); ++i)
        joined += messages[i];
    return joined;
}

std::string FileContents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::size_t> LoggedSizes(const std::string& path) {
    std::istringstream lines(FileContents(path));
    std::vector<std::size_t> sizes;
    std::size_t size = 0;
    while (lines >> size)
        sizes.push_back(size);
    return sizes;
}
