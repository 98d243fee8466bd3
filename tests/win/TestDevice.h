// The emulated device for in-process tests: an emulator of this test process's own instance.
#pragma once

#include <string>

#include <windows.h>

#include "Handle.h"
#include "TestText.h"

// An emulator of its own for this test process, found by the stand-in library through the environment.
class TestDevice {
public:
    explicit TestDevice(const std::string& options = "") {
        SetEnvironmentVariableA("OSTREL_DEVSIM_INSTANCE", m_instance.c_str());
        std::string command =
            "\"" + ProgramFolder() + "ostrel-devsim.exe\" --instance " + m_instance + " " + options;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                           &startup, &process)) {
            CloseHandle(process.hThread);
            m_process = KernelHandle(process.hProcess);
        }
    }
    ~TestDevice() {
        if (m_process.IsValid()) {
            TerminateProcess(m_process.Get(), 0);
            WaitForSingleObject(m_process.Get(), 5000);
        }
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    // Stops the device the way a user unplugs it: the process goes away.
    void Unplug() {
        TerminateProcess(m_process.Get(), 0);
        WaitForSingleObject(m_process.Get(), 5000);
        m_process.Close();
    }

private:
    std::string m_instance = "win-tests-" + std::to_string(GetCurrentProcessId());
    KernelHandle m_process;
};
