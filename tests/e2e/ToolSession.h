// One end-to-end test's world: its own folder with a copy of the tool, its own emulator instance, the running tool
// and its main window. Tests in parallel share nothing; whatever a failed test left running is ended at its end.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "SimHarness.h"
#include "TestImage.h"
#include "TestText.h"
#include "ToolDriver.h"

class ToolSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The emulator instance of this test, which the stand-in driver library reads from the environment.
    const std::string& Instance() const { return m_instance; }
    // A file of this test's folder.
    std::string PathOf(const std::string& name) const { return m_folder + name; }
    // A file the build put beside the test program.
    std::string BuiltFile(const std::string& name) const { return m_built + name; }
    // Writes the image into the folder; its path.
    std::string PutImage(const std::string& name, const e2e::ImageLayout& layout);
    std::string PutImage(const std::string& name, const std::string& bytes);

    // The emulator of this test's instance, recording into capture.bin and writes.log; true once it is ready.
    bool StartDevice(const std::vector<std::string>& options = {});
    // `ostrel-devsim --stop` for this instance: true when the device went away.
    bool StopDevice();
    EmulatorProcess& Device() { return *m_device; }
    std::string Captured() const { return FileContents(PathOf(kCaptureName)); }
    std::vector<std::size_t> LoggedWrites() const { return LoggedSizes(PathOf(kLogName)); }

    // Starts the tool from the folder; true once its main window is visible.
    bool StartTool();
    // A copy of the tool, its text table and the driver library in a folder of this test's folder named `name`,
    // which may hold characters outside the ANSI code page; its path, with a trailing separator.
    std::wstring PutToolIn(const std::wstring& name);
    // Starts the copy in that folder instead; true once its main window is visible.
    bool StartToolIn(const std::wstring& folder);
    // The path of the tool in this test's folder, for another copy of it.
    std::string ToolPath() const;
    e2e::ToolProcess& Tool() { return *m_tool; }
    HWND MainWindow() const { return m_main; }

    // The tool's own text table, so that the tests follow its texts.
    std::string Text(const char* section, const char* key) const;
    std::string Message(const char* key) const { return Text("message", key); }
    std::string Control(int id) const { return e2e::ControlText(m_main, id); }
    bool WaitForControlText(int id, const std::string& text, DWORD timeoutMs = e2e::kWaitMs) const;

    // Clicks the download button and waits for the open-file dialog: null when none opened.
    HWND OpenFileDialog();
    // Clicks the download button and picks this image.
    bool StartDownload(const std::string& imagePath);
    bool StartDownload(const std::wstring& imagePath);
    // The run that the device served as its nth download has ended in the window: the button is enabled again and
    // the result line set.
    bool WaitForRunEnd(int nthDownload);
    // Waits for a message box of the tool; null when none came.
    HWND WaitForBox(DWORD timeoutMs = e2e::kWaitMs);
    // Clicks the box's button and waits until the box has gone.
    bool Answer(HWND box, int buttonId);

    static constexpr char kCaptureName[] = "capture.bin";
    static constexpr char kLogName[] = "writes.log";

private:
    std::string m_instance;
    std::string m_built;
    std::string m_folder;
    std::unique_ptr<EmulatorProcess> m_device;
    std::unique_ptr<e2e::ToolProcess> m_tool;
    HWND m_main = nullptr;
};
