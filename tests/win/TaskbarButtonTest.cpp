// The main window's taskbar button and its call for attention, as the system is asked for them, through runs that
// succeed with the window in the background and fail by an unplug with the window in front.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

// Writes down each call as the system would get it: "normal", "error", "none", "37/100", "flash", "beep 16".
class ShellRecorder : public TaskbarShell {
public:
    ShellRecorder(std::vector<std::string>& calls, bool foreground) : m_calls(calls), m_foreground(foreground) {}
    void ButtonCreated(HWND) override { m_calls.push_back("created"); }
    void SetProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
        m_calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    void SetProgressState(HWND, TaskbarProgress state) override {
        m_calls.push_back(state == TaskbarProgress::Normal  ? "normal"
                          : state == TaskbarProgress::Error ? "error"
                                                            : "none");
    }
    bool IsForeground(HWND) override { return m_foreground; }
    void Flash(HWND) override { m_calls.push_back("flash"); }
    void Beep(UINT type) override { m_calls.push_back("beep " + std::to_string(type)); }

private:
    std::vector<std::string>& m_calls;
    bool m_foreground;
};

class RecordedWindow : public CLumetraDlg {
public:
    RecordedWindow(std::vector<std::string>& calls, bool foreground) {
        m_taskbar = TaskbarButton(std::make_unique<ShellRecorder>(calls, foreground));
    }
};

} // namespace

TEST(TaskbarButton, FollowsTheRunAndCallsForAttentionOnlyFromTheBackground) {
    struct Case {
        const char* what;
        bool foreground;
        bool unplug;
        std::vector<std::string> end;
    };
    const Case cases[] = {
        {"success in the background", false, false, {"none", "flash", "beep 0"}},
        // The error fills the button, and stays until the window is next activated.
        {"unplugged in front", true, true, {"100/100", "error", "beep 16", "none"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DropFolder folder;
        // About two seconds at this rate.
        TestDevice device("--throttle 100000");
        const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 100 * 2048, 1);
        std::vector<std::string> calls;
        RecordedWindow dialog(calls, c.foreground);
        RunModalWith(dialog, [&](HWND hwnd) {
            BoxAnswerer answerer;
            SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
            const std::string present = dialog.LookupText("message", "1024");
            ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
            SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
            if (c.unplug) {
                ASSERT_TRUE(PumpUntil([&] { return calls.size() > 5; }));
                device.Unplug();
            }
            // An unplugged run ends once the write's retries have run out.
            ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)) != FALSE; }, 40000));
            SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        });

        ASSERT_GE(calls.size(), 4 + c.end.size());
        EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
                  (std::vector<std::string>{"created", "normal", "0/100"}));
        EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<long>(c.end.size()), calls.end()), c.end);
        // Between them the bar's per cent, rising.
        int last = 0;
        for (auto call = calls.begin() + 3; call != calls.end() - static_cast<long>(c.end.size()); ++call) {
            const int done = std::atoi(call->c_str());
            EXPECT_EQ(*call, std::to_string(done) + "/100");
            EXPECT_GT(done, last);
            last = done;
        }
        EXPECT_EQ(last == 100, !c.unplug) << "the last per cent shown";
    }
}
