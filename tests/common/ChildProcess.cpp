// A program started by a test or the bench, in a job object, its output read into texts.
#include "ChildProcess.h"

namespace {

// Patience for a program told to end.
constexpr DWORD kEndMs = 10000;

// A pipe whose write end the child inherits; the read end is returned.
FileHandle OutputPipe(FileHandle& childEnd) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        return FileHandle();
    childEnd = FileHandle(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    return FileHandle(readEnd);
}

void Drain(const FileHandle& pipe, std::string& text) {
    DWORD available = 0;
    while (pipe.IsValid() && PeekNamedPipe(pipe.Get(), nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe.Get(), buffer, sizeof buffer, &got, nullptr) || got == 0)
            return;
        text.append(buffer, got);
    }
}

} // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, Output output,
                           const std::wstring& folder, std::string environment, bool pipedInput) {
    m_job = KernelHandle(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(m_job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    FileHandle childIn;
    FileHandle childOut;
    FileHandle childErr;
    if (output != Output::None) {
        m_outPipe = OutputPipe(childOut);
        if (output == Output::Separate)
            m_errPipe = OutputPipe(childErr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        if (pipedInput) {
            // The same pipe the other way round: the child reads, this process writes.
            SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
            HANDLE readEnd = nullptr;
            HANDLE writeEnd = nullptr;
            if (CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
                childIn = FileHandle(readEnd);
                SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
                m_inPipe = FileHandle(writeEnd);
                startup.hStdInput = childIn.Get();
            }
        }
        startup.hStdOutput = childOut.Get();
        startup.hStdError = output == Output::Separate ? childErr.Get() : childOut.Get();
    }
    std::wstring commandLine = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    PROCESS_INFORMATION process{};
    // Suspended until it is in the job, so that not even its first moment escapes it. The environment block stays
    // in the ANSI code page (no CREATE_UNICODE_ENVIRONMENT).
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, output != Output::None, CREATE_SUSPENDED,
                        environment.empty() ? nullptr : environment.data(), folder.empty() ? nullptr : folder.c_str(),
                        &startup, &process)) {
        m_startError = GetLastError();
        return;
    }
    m_process = KernelHandle(process.hProcess);
    m_id = process.dwProcessId;
    const KernelHandle thread(process.hThread);
    AssignProcessToJobObject(m_job.Get(), process.hProcess);
    ResumeThread(process.hThread);
}

ChildProcess::~ChildProcess() {
    Terminate();
}

bool ChildProcess::IsRunning() const {
    return m_process.IsValid() && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Read() {
    Drain(m_outPipe, m_out);
    Drain(m_errPipe, m_err);
}

bool ChildProcess::WaitForEnd(DWORD timeoutMs) {
    if (!m_process.IsValid())
        return false;
    const DWORD began = GetTickCount();
    while (WaitForSingleObject(m_process.Get(), 5) == WAIT_TIMEOUT) {
        Read();
        if (GetTickCount() - began >= timeoutMs)
            return false;
    }
    // All that an ended process wrote is in the pipe now.
    Read();
    return true;
}

int ChildProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(m_process.Get(), &code);
    return static_cast<int>(code);
}

bool ChildProcess::WriteInput(const std::string& text) {
    DWORD written = 0;
    return m_inPipe.IsValid() &&
           WriteFile(m_inPipe.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

void ChildProcess::Terminate() {
    if (IsRunning()) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), kEndMs);
    }
}
