// Images dropped onto the main window: one starts a download as a chosen one does; a drop during a run, several
// files, a folder or a missing file start nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

TEST(DroppedImage, StartsADownloadThatReachesTheDeviceWholeAndADropDuringTheRunIsRefused) {
    DropFolder folder;
    std::string image;
    const std::wstring imagePath =
        folder.PutImage(L"\x043F\x0440\x043E\x0448\x0438\x0432\x043A\x0430.hdr", 1024 + 60 * 2048 + 300, 1, &image);
    const std::wstring otherPath = folder.PutImage(L"other.hdr", 1024 + 4 * 2048, 2);
    // Beside the folder, in a path of plain ASCII, which the emulator's command line takes.
    const std::wstring capture = TempFolder() + L"ostrel-drop-capture-" + std::to_wstring(GetCurrentProcessId());
    folder.files.push_back(capture);
    // About one second at this rate, so that the second drop finds the run under way.
    TestDevice device("--throttle 120000 --capture \"" + std::string(capture.begin(), capture.end()) + "\"");
    const std::string expected = image.substr(0, 20) + image.substr(1024);

    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));

        HDROP first = MakeDrop({imagePath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(first), 0);
        // DragFinish frees the block: a freed handle has no size.
        EXPECT_EQ(GlobalSize(first), 0u);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        const std::string info = dialog.LookupText("message", "1027");
        EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), info);

        // The other image would set another info line and take over the pipe.
        HDROP second = MakeDrop({otherPath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(second), 0);
        EXPECT_EQ(GlobalSize(second), 0u);
        EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), info);

        const std::string ended = dialog.LookupText("message", "1031");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == ended; }));
        // The device records what it reads a moment after the tool's last write.
        EXPECT_TRUE(PumpUntil([&] { return FileContents(capture).size() >= expected.size(); }, 5000));
        EXPECT_TRUE(FileContents(capture) == expected) << FileContents(capture).size() << " bytes captured";
        PumpUntil([] { return false; }, 600);
        EXPECT_EQ(ControlText(hwnd, IDC_RESULT), ended) << "the end text was overwritten";
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
}

TEST(DroppedImage, SeveralFilesAFolderOrAMissingFileStartNothingAndShowTheirMessage) {
    DropFolder folder;
    const std::wstring image = folder.PutImage(L"image.hdr", 1024 + 2048, 1);
    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        struct Case {
            const char* what;
            std::vector<std::wstring> paths;
            std::string message;
        };
        const Case cases[] = {
            {"two images", {image, image}, dialog.LookupText("extra", "4")},
            {"a folder", {folder.path.substr(0, folder.path.size() - 1)}, dialog.LookupText("message", "1034")},
            {"a file that is gone", {folder.path + L"gone.hdr"}, dialog.LookupText("message", "1034")},
        };
        BoxAnswerer answerer;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            HDROP drop = MakeDrop(c.paths);
            SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            EXPECT_EQ(answerer.Texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(GlobalSize(drop), 0u) << "not released";
            EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), "") << "the image was read";
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
        }
    });
}

// The window sets the info line between the header read and the whole read: the image goes then.
static std::wstring g_vanishing;
static WNDPROC g_infoLine = nullptr;
static LRESULT CALLBACK DeleteImageOnInfo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT)
        DeleteFileW(std::exchange(g_vanishing, {}).c_str());
    return CallWindowProcA(g_infoLine, window, message, wParam, lParam);
}

TEST(DroppedImage, AnImageGoneBeforeItsWholeReadShowsItsMessageAndNoEarlierRunsEnd) {
    DropFolder folder;
    const std::wstring image = folder.PutImage(L"image.hdr", 1024 + 4 * 2048, 1);
    TestDevice device;
    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == dialog.LookupText("message", "1024"); }));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({image})), 0);
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == dialog.LookupText("message", "1031"); }));

        g_vanishing = folder.PutImage(L"vanishing.hdr", 1024 + 4 * 2048, 1);
        const HWND info = GetDlgItem(hwnd, IDC_IMAGE_INFO);
        g_infoLine = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(info, GWLP_WNDPROC, LONG_PTR(&DeleteImageOnInfo)));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({folder.files.back()})), 0);
        SetWindowLongPtrA(info, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_infoLine));
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{dialog.LookupText("message", "1034")});
        EXPECT_EQ(ControlText(hwnd, IDC_RESULT), "") << "the last run's end stayed";
    });
}
