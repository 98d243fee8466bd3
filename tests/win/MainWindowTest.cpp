// The main window as it is created: controls, texts from the text table, tab order, geometry, focus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TextTableFile.h"
#include "resource.h"

namespace {

struct ExpectedControl {
    int id;
    const char* className;
    const char* text; // nullptr: set at run time, checked elsewhere
    bool visible;
    RECT dialogUnits; // x, y, width, height
};

const ExpectedControl kControls[] = {
    {IDCANCEL, "Button", nullptr, true, {135, 29, 78, 15}},
    {IDC_DOWNLOAD_FRAME, "Button", "", true, {7, 17, 121, 33}},
    {IDC_DOWNLOAD, "Button", nullptr, true, {11, 28, 108, 17}},
    {IDC_STATUS, "Static", nullptr, true, {6, 55, 215, 8}},
    {IDC_PROGRESS, "msctls_progress32", "", true, {0, 117, 253, 12}},
    {IDC_IMAGE_INFO, "Static", "", true, {1, 98, 252, 12}},
    {IDC_RESULT, "Static", "", true, {7, 133, 246, 19}},
    {IDC_WEB, "Static", "corvane.example", true, {92, 158, 69, 10}},
    {IDC_AUX, "Static", "Static", false, {5, 70, 213, 8}},
};

std::string WindowText(HWND hwnd) {
    char text[512] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

const char kTable[] = "[title]\r\n100=Test title\r\n"
                      "[control]\r\n1004=Test download\r\n1001=Test close\r\n"
                      "[message]\r\n1025=Test no device\r\n";

} // namespace

TEST(MainWindow, ControlsMatchTheTemplateInOrderClassTextVisibilityAndGeometry) {
    TextTableFile table(kTable);
    CLumetraDlg dialog;
    RunModalWith(dialog, [](HWND hwnd) {
        std::vector<HWND> children;
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            children.push_back(child);
        ASSERT_EQ(children.size(), std::size(kControls));

        for (size_t i = 0; i < children.size(); ++i) {
            const ExpectedControl& expected = kControls[i];
            HWND child = children[i];
            SCOPED_TRACE(expected.id);
            EXPECT_EQ(GetDlgCtrlID(child), expected.id) << "template order";
            EXPECT_STRCASEEQ(ClassOf(child).c_str(), expected.className);
            if (expected.text) {
                EXPECT_EQ(WindowText(child), expected.text);
            }
            EXPECT_EQ(IsWindowVisible(child) != FALSE, expected.visible);

            // Position and size are converted separately, as the dialog manager does when it creates controls.
            RECT want = expected.dialogUnits;
            MapDialogRect(hwnd, &want);
            RECT got;
            GetWindowRect(child, &got);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, want.left);
            EXPECT_EQ(got.top, want.top);
            EXPECT_EQ(got.right - got.left, want.right);
            EXPECT_EQ(got.bottom - got.top, want.bottom);
        }

        RECT wantClient{0, 0, 256, 172};
        MapDialogRect(hwnd, &wantClient);
        RECT client;
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, wantClient.right);
        EXPECT_EQ(client.bottom, wantClient.bottom);
    });
}

TEST(MainWindow, TakesTitleAndCaptionsFromTheTextTableAndFocusesCancel) {
    TextTableFile table(kTable);
    CLumetraDlg dialog;
    RunModalWith(dialog, [](HWND hwnd) {
        EXPECT_EQ(WindowText(hwnd), "Test title");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_DOWNLOAD)), "Test download");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDCANCEL)), "Test close");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_STATUS)), "Test no device");

        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        HWND download = GetDlgItem(hwnd, IDC_DOWNLOAD);
        // Another test's window may hold the foreground; the dialog gives Cancel the focus once it is active.
        if (GetActiveWindow() != hwnd)
            SetForegroundWindow(hwnd);
        EXPECT_EQ(GetFocus(), cancel);
        // Tab moves between the two buttons and reaches nothing else.
        EXPECT_EQ(GetNextDlgTabItem(hwnd, cancel, FALSE), download);
        EXPECT_EQ(GetNextDlgTabItem(hwnd, download, FALSE), cancel);
        EXPECT_EQ(GetNextDlgTabItem(hwnd, cancel, TRUE), download);
    });
}

TEST(MainWindow, StartsWithEmptyTextsWithoutTheTextTable) {
    TextTableFile missing;
    CLumetraDlg dialog;
    RunModalWith(dialog, [](HWND hwnd) {
        EXPECT_EQ(WindowText(hwnd), "");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_DOWNLOAD)), "");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDCANCEL)), "");
        EXPECT_EQ(WindowText(GetDlgItem(hwnd, IDC_STATUS)), "");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
    });
}

TEST(MainWindow, CancelEndsTheModalRun) {
    CLumetraDlg dialog;
    const INT_PTR result =
        RunModalWith(dialog, [](HWND hwnd) { SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    EXPECT_EQ(result, IDCANCEL);
}
