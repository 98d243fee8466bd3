// The console flasher run from a test: its command line in UTF-16, its output and errors captured, its exit code.
#pragma once

#include <map>
#include <string>

#include <windows.h>

#include "ChildProcess.h"

namespace e2e {

// ostrel-flash.exe of `folder`, started there with these arguments (already quoted as needed). It inherits the
// test's environment, so the emulator instance too, and dies with the test through a job object.
class FlashRun {
public:
    FlashRun(const std::wstring& folder, const std::wstring& arguments, bool pipedInput = false);
    FlashRun(const FlashRun&) = delete;
    FlashRun& operator=(const FlashRun&) = delete;

    // Waits for its standard output to hold `text`; false after the timeout.
    bool WaitForOutput(const std::string& text, DWORD timeoutMs = 10000);
    // Its exit code once it has ended, or -1 when it still runs after the timeout.
    int Wait(DWORD timeoutMs = 30000);
    // Ends it at once, as a power cut or the task manager would: it writes nothing more.
    void Kill() { m_process.Terminate(); }
    // Its standard input, when started with `pipedInput`.
    bool Type(const std::string& text) { return m_process.WriteInput(text); }
    // From its start to its end, as far as Wait saw.
    DWORD ElapsedMs() const { return m_elapsedMs; }
    const std::string& Out() const { return m_process.Out(); }
    const std::string& Err() const { return m_process.Err(); }

private:
    DWORD m_start;
    ChildProcess m_process;
    DWORD m_elapsedMs = 0;
};

// A JSON object whose members are strings, numbers, true, false or null, as the flasher writes them: strings
// unescaped (to UTF-8), the rest as written. False when the text is not such an object.
bool ParseFlatJson(const std::string& text, std::map<std::string, std::string>& members);

} // namespace e2e
