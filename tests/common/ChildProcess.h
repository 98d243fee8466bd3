// A program that a test or the bench starts: in a job object, so that it never outlives its starter, with its
// standard output and errors read into texts if asked.
#pragma once

#include <string>

#include <windows.h>

#include "Handle.h"

class ChildProcess {
public:
    enum class Output {
        None,     // inherited
        Merged,   // errors into Out() too
        Separate, // errors into Err()
    };

    // Starts `program` with `arguments` (quoted as needed) in `folder` (empty: this one) with `environment`, an
    // environment block in the ANSI code page (empty: this process's); with `pipedInput`, its standard input is a
    // pipe that WriteInput fills.
    ChildProcess(const std::wstring& program, const std::wstring& arguments, Output output,
                 const std::wstring& folder = {}, std::string environment = {}, bool pipedInput = false);
    // Ends it if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_process.IsValid(); }
    // The system's error when it could not be started.
    DWORD StartError() const { return m_startError; }
    DWORD Id() const { return m_id; }
    HANDLE Handle() const { return m_process.Get(); }
    bool IsRunning() const;
    // Reads what it has written so far.
    void Read();
    // Waits up to `timeoutMs` for its end, reading meanwhile (a full pipe would hold it up); true when it has ended.
    bool WaitForEnd(DWORD timeoutMs);
    int ExitCode() const;
    void Terminate();
    // Writes to its standard input; CloseInput ends that input.
    bool WriteInput(const std::string& text);
    void CloseInput() { m_inPipe.Close(); }
    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }

private:
    KernelHandle m_job;
    KernelHandle m_process;
    DWORD m_id = 0;
    DWORD m_startError = 0;
    FileHandle m_inPipe;
    FileHandle m_outPipe;
    FileHandle m_errPipe;
    std::string m_out;
    std::string m_err;
};
