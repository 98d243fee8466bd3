// Runs the device emulator from beside the tests and uses the stand-in driver library the way the tool does.
#include "SimHarness.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

#include "TestText.h"

namespace {

constexpr std::size_t kCommandSize = 20;
constexpr std::size_t kChunkSize = 2048;

// Every argument quoted; the tests pass no quotes inside them.
std::wstring Arguments(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args)
        line += (line.empty() ? "\"" : " \"") + arg + "\"";
    return AnsiToWide(line);
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

EmulatorProcess::EmulatorProcess(const std::vector<std::string>& args)
    : m_process(AnsiToWide(ProgramFolder() + "ostrel-devsim.exe"), Arguments(args), ChildProcess::Output::Merged) {
    if (!m_process.Started())
        ADD_FAILURE() << "cannot start ostrel-devsim.exe: error " << m_process.StartError();
}

std::string EmulatorProcess::WaitForLine(const std::string& start, int nth, DWORD timeoutMs) {
    const std::string wanted = "ostrel-devsim: " + start;
    const DWORD began = GetTickCount();
    for (;;) {
        // Looked at before the read: all that an ended process wrote is in the pipe.
        const bool ended = !m_process.IsRunning();
        m_process.Read();
        const std::string line = NthLineStartingWith(m_process.Out(), wanted, nth);
        if (!line.empty() || ended || GetTickCount() - began >= timeoutMs)
            return line;
        Sleep(5);
    }
}

int EmulatorProcess::WaitForExit(DWORD timeoutMs) {
    return m_process.WaitForEnd(timeoutMs) ? m_process.ExitCode() : -1;
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
