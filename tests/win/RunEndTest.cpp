// How a run ends in the main window when things go wrong: an end message that never comes, and a close that a
// device ignoring every cancel holds up.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "TestWorkers.h"
#include "TransferMessages.h"
#include "TransferWorker.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

// A worker that reports nothing to the window: as if each of its posts had been refused.
class SilentWindow : public CLumetraDlg {
protected:
    std::unique_ptr<TransferWorker> MakeTransferWorker(ImageData image, FileHandle pipe) override {
        return std::make_unique<TransferWorker>(std::move(image), std::move(pipe), nullptr);
    }
};

// A worker on a driver that ignores every cancel, and a close that gives up waiting after a second.
class DeafWindow : public CLumetraDlg {
public:
    DeafWindow() { m_closePatienceMs = 1000; }

protected:
    std::unique_ptr<TransferWorker> MakeTransferWorker(ImageData image, FileHandle pipe) override {
        return std::make_unique<DeafWorker>(std::move(image), std::move(pipe), GetSafeHwnd());
    }
};

// The same driver, and a device that takes nothing for a second and a half already counts as stalled.
class StallingDeafWindow : public DeafWindow {
public:
    StallingDeafWindow() { m_stallLimitMs = 1500; }
};

bool AllowsEndSession(HWND hwnd) {
    return SendMessageA(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != FALSE;
}

using ReasonQuery = BOOL(WINAPI*)(HWND, LPWSTR, DWORD*);

// Looked up at run time: Wine 8 keeps no shutdown reasons, and its user32 lacks the query.
ReasonQuery ShutdownReasonQuery() {
    return reinterpret_cast<ReasonQuery>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "ShutdownBlockReasonQuery")));
}

// The reason the window gives Windows for holding up a shutdown; nothing when it gives none.
std::optional<std::string> ShutdownReason(ReasonQuery query, HWND hwnd) {
    wchar_t reason[512] = L"";
    DWORD length = static_cast<DWORD>(std::size(reason));
    if (!query(hwnd, reason, &length))
        return std::nullopt;
    char ansi[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, reason, -1, ansi, sizeof ansi, nullptr, nullptr);
    return std::string(ansi);
}

void Drop(HWND hwnd, const std::wstring& path) {
    SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
}

} // namespace

TEST(RunEnd, ARunWhoseEndMessageNeverCameEndsByThePresenceTimerOnceAndLetsTheSessionEnd) {
    DropFolder folder;
    const std::wstring capture = TempFolder() + L"ostrel-runend-capture-" + std::to_wstring(GetCurrentProcessId());
    folder.files.push_back(capture);
    // About one and a half seconds at this rate.
    TestDevice device("--throttle 100000 --capture \"" + std::string(capture.begin(), capture.end()) + "\"");
    std::string image;
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 70 * 2048, 1, &image);
    const std::size_t streamSize = 20 + image.size() - 1024;

    SilentWindow dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        Drop(hwnd, path);
        ASSERT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        EXPECT_FALSE(AllowsEndSession(hwnd)) << "a log-off during the run";
        const ReasonQuery query = ShutdownReasonQuery();
        if (query) {
            EXPECT_EQ(ShutdownReason(query, hwnd), std::optional<std::string>(dialog.LookupText("extra", "7")));
        } else {
            std::printf("this system keeps no shutdown reasons: the reason was not checked\n");
        }

        ASSERT_TRUE(PumpUntil([&] { return FileContents(capture).size() >= streamSize; }));
        const DWORD sent = GetTickCount();
        const std::string ended = dialog.LookupText("message", "1031");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == ended; }, 5000))
            << "the run was never finished";
        const DWORD finishedMs = GetTickCount() - sent;
        std::printf("a run without its end message finished %lu ms after the device had every byte\n",
                    static_cast<unsigned long>(finishedMs));
        EXPECT_LT(finishedMs, 2000u);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
        EXPECT_TRUE(AllowsEndSession(hwnd));
        if (query) {
            EXPECT_FALSE(ShutdownReason(query, hwnd).has_value());
        }

        // An end message that comes after all finds the run over.
        PostMessageA(hwnd, WM_APP_TRANSFER_END, static_cast<WPARAM>(TransferOutcome::Stopped), 0);
        PumpUntil([] { return false; }, 300);
        EXPECT_EQ(ControlText(hwnd, IDC_RESULT), ended);

        // The next run starts and ends as before.
        Drop(hwnd, path);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "the next run did not start";
        EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)) != FALSE; }));
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
}

BOOL CALLBACK AnswerOk(HWND window, LPARAM) {
    if (GetDlgItem(window, 0xFFFF))
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

TEST(RunEnd, ClosingOnADeviceThatIgnoresTheCancelSaysWhatEndsItAndClosesOnceTheDeviceIsUnplugged) {
    DropFolder folder;
    TestDevice device("--stall-after 8192");
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 64 * 2048, 1);

    DeafWindow dialog;
    std::vector<std::string> boxes;
    DWORD closed = 0;
    std::atomic<DWORD> unplugged{0};
    std::atomic<bool> closeReturned{false};
    std::atomic<bool> boxLeftUp{false};
    std::thread unplugger;
    const DWORD uiThread = GetCurrentThreadId();
    const INT_PTR result = RunModalWith(dialog, [&](HWND hwnd) {
        // The question is answered Yes; the box about the device is left for the window to take down.
        BoxAnswerer answerer(false);
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        Drop(hwnd, path);
        ASSERT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        // The worker sits in a write that the device will never read.
        PumpUntil([] { return false; }, 700);

        // Closing waits for the worker inside this call; the device goes away on another thread meanwhile, and a
        // box still up long after that is answered there so that the test ends.
        unplugger = std::thread([&] {
            Sleep(4000);
            unplugged = GetTickCount();
            device.Unplug();
            for (int i = 0; i < 100 && !closeReturned; ++i)
                Sleep(50);
            if (!closeReturned) {
                boxLeftUp = true;
                EnumThreadWindows(uiThread, AnswerOk, 0);
            }
        });
        closed = GetTickCount();
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        closeReturned = true;
        const DWORD returned = GetTickCount();
        boxes = answerer.Texts();
        std::printf("closing: the close ended %lu ms after the unplug\n",
                    static_cast<unsigned long>(returned - unplugged));
        EXPECT_GE(returned - closed, 3500u) << "closed before the worker had ended";
        EXPECT_LT(returned - unplugged, 1500u) << "still waiting after the device went";
    });
    if (unplugger.joinable())
        unplugger.join();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(boxes, (std::vector<std::string>{dialog.LookupText("extra", "2"), dialog.LookupText("extra", "5")}));
    EXPECT_FALSE(boxLeftUp) << "the box stayed up after the worker had ended";
}

TEST(RunEnd, AWriteThatNeverReturnsIsGivenUpAtTheStallLimitAndTheWindowStaysUsable) {
    DropFolder folder;
    TestDevice device("--stall-after 8192");
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 64 * 2048, 1);

    StallingDeafWindow dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        const DWORD dropped = GetTickCount();
        Drop(hwnd, path);
        ASSERT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        const std::string failed = dialog.LookupText("extra", "1");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == failed; }, 10000))
            << "the run still waits for its worker";
        std::printf("a write that never returned was given up %lu ms after the drop\n",
                    static_cast<unsigned long>(GetTickCount() - dropped));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
        EXPECT_TRUE(AllowsEndSession(hwnd));
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
}
