// The main window beyond its own face: what screen readers read of it during a run, its taskbar button and call for
// attention as the system is asked for them, and the progress bar in high contrast.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include <oleacc.h>

#include "Com.h"
#include "DataExchange.h"
#include "FrameText.h"
#include "Gdi.h"
#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "TestText.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

// Role, name and value that a screen reader in this process learns of the window's client area.
std::string Read(HWND window) {
    ComRef<IAccessible> object;
    AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), object.Receive());
    VARIANT self{}, role{};
    self.vt = VT_I4;
    std::string reading = object && object->get_accRole(self, &role) == S_OK ? std::to_string(role.lVal) : "?";
    for (auto get : {&IAccessible::get_accName, &IAccessible::get_accValue}) {
        BSTR text = nullptr;
        reading += "|" + (object && (object.Get()->*get)(self, &text) == S_OK && text ? Utf8(text) : "");
        SysFreeString(text);
    }
    return reading;
}

HWND g_bar = nullptr;
int g_valueChanges = 0;

void CALLBACK CountValueChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    g_valueChanges += window == g_bar && object == OBJID_CLIENT;
}

// Writes down each call as the system would get it: "created", "normal", "37/100", "error", "flash", "beep 16".
struct ShellRecorder : TaskbarShell {
    ShellRecorder(std::vector<std::string>& log, bool inFront) : calls(log), foreground(inFront) {}
    void ButtonCreated(HWND) override { calls.push_back("created"); }
    void SetProgressValue(HWND, ULONGLONG done, ULONGLONG total) override {
        calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    }
    void SetProgressState(HWND, TaskbarProgress state) override {
        calls.push_back(std::vector<std::string>{"none", "normal", "error"}[static_cast<int>(state)]);
    }
    bool IsForeground(HWND) override { return foreground; }
    void Flash(HWND) override { calls.push_back("flash"); }
    void Beep(UINT type) override { calls.push_back("beep " + std::to_string(type)); }

    std::vector<std::string>& calls;
    bool foreground;
};

struct RecordedWindow : CLumetraDlg {
    RecordedWindow(std::vector<std::string>& calls, bool foreground) {
        m_taskbar = TaskbarButton(std::make_unique<ShellRecorder>(calls, foreground));
    }
};

// The button made, the run shown from 0, the bar's per cent rising (to 100 for a whole run), then `end`.
void ExpectRunCalls(const std::vector<std::string>& calls, bool whole, const std::vector<std::string>& end) {
    ASSERT_GE(calls.size(), 4 + end.size());
    const auto ending = calls.end() - static_cast<std::ptrdiff_t>(end.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 3),
              (std::vector<std::string>{"created", "normal", "0/100"}));
    EXPECT_EQ(std::vector<std::string>(ending, calls.end()), end);
    int shown = 0;
    for (auto call = calls.begin() + 3; call != ending; ++call) {
        const int done = std::atoi(call->c_str());
        EXPECT_TRUE(done > shown && *call == std::to_string(done) + "/100") << *call;
        shown = done;
    }
    EXPECT_EQ(shown == 100, whole) << shown;
}

// The main window's template with only the bar bound, a bar that is told the user chose high contrast.
class ContrastHost : public CDialog {
public:
    ContrastHost() : CDialog(IDD_OSTREL_DIALOG) {}
    struct : CGradientProgressCtrl {
        bool HighContrastOn() const override { return true; }
    } m_bar;

protected:
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDC_PROGRESS, m_bar); }
};

} // namespace

TEST(WindowCitizen, ARunInTheBackgroundIsReadByScreenReadersAndEndsWithAFlashAndTheSuccessSound) {
    const ComApartment apartment;
    DropFolder folder;
    TestDevice device("--throttle 150000"); // about a second and a half
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 110 * 2048, 1);
    std::vector<std::string> calls;
    RecordedWindow dialog(calls, false);
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
        g_bar = GetDlgItem(hwnd, IDC_PROGRESS);
        const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                                   CountValueChange, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        const std::string bar = std::to_string(ROLE_SYSTEM_PROGRESSBAR) + "|" + dialog.LookupText("extra", "11") + "|";
        EXPECT_EQ(Read(g_bar), std::to_string(ROLE_SYSTEM_PROGRESSBAR) + "|Progress|0%");
        // The window hands new system colours and settings on to the bar, which repaints.
        for (UINT message : {WM_SYSCOLORCHANGE, WM_SETTINGCHANGE}) {
            ValidateRect(g_bar, nullptr);
            SendMessageA(hwnd, message, 0, 0);
            EXPECT_TRUE(GetUpdateRect(g_bar, nullptr, FALSE)) << message;
        }

        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
        std::string during;
        ASSERT_TRUE(PumpUntil([&] { return (during = Read(g_bar)) != bar + "0%"; }));
        const int percent = std::atoi(during.c_str() + bar.size());
        EXPECT_TRUE(during == bar + std::to_string(percent) + "%" && percent > 0 && percent <= 100) << during;

        const std::string ended = dialog.LookupText("message", "1031");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == ended; }));
        PumpUntil([] { return false; }, 200);
        EXPECT_EQ(Read(g_bar), bar + "0%");
        EXPECT_GE(g_valueChanges, 2) << "the per cent rose and fell back to 0 unannounced";
        UnhookWinEvent(hook);
        // The lines are plain statics, read through the system's objects: their name is their text.
        for (int id : {IDC_STATUS, IDC_IMAGE_INFO, IDC_RESULT}) {
            const std::string line = Read(GetDlgItem(hwnd, id));
            EXPECT_EQ(line.substr(line.find('|')), "|" + ControlText(hwnd, id) + "|");
        }
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
    ExpectRunCalls(calls, true, {"none", "flash", "beep 0"});
}

TEST(WindowCitizen, AnUnpluggedRunInFrontShowsTheErrorUntilTheWindowIsActivatedWithTheFailureSoundAndNoFlash) {
    DropFolder folder;
    TestDevice device("--throttle 100000");
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 100 * 2048, 1);
    std::vector<std::string> calls;
    RecordedWindow dialog(calls, true);
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
        ASSERT_TRUE(PumpUntil([&] { return calls.size() > 5; }));
        device.Unplug();
        // The run ends once the write's retries have run out.
        ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)) != FALSE; }, 40000));
        SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    });
    // The error fills the button, as the bar is back at 0.
    ExpectRunCalls(calls, false, {"100/100", "error", "beep 16", "none"});
}

TEST(WindowCitizen, InHighContrastTheBarTakesTheSystemColoursOnEachSideOfTheFill) {
    ContrastHost host;
    RunModalWith(host, [&host](HWND hwnd) {
        host.m_bar.ShowPercent(TRUE);
        host.m_bar.SetPos(50);
        constexpr int kWidth = 200, kHeight = 20;
        const OwnedDC dc(CreateCompatibleDC(nullptr));
        const OwnedBitmap bitmap(CreateBitmap(kWidth, kHeight, 1, 32, nullptr));
        // Glyph pixels in exactly the text colours: no antialiasing.
        const GdiObject<HFONT> font(CreateFontA(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                                NONANTIALIASED_QUALITY, 0, "Tahoma"));
        const SelectedObject selectBitmap(dc.Get(), bitmap.Get()), selectFont(dc.Get(), font.Get());
        host.m_bar.Paint(dc.Get(), {0, 0, kWidth, kHeight});

        // "50%" straddles the fill's edge at 100: each side shows only its pair of colours, both of them.
        const COLORREF sides[2][2] = {{GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT)},
                                      {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)}};
        int counts[2][3] = {};
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const COLORREF shown = GetPixel(dc.Get(), x, y), *side = sides[x * 2 / kWidth];
                ++counts[x * 2 / kWidth][shown == side[0] ? 0 : shown == side[1] ? 1 : 2];
            }
        for (const auto& count : counts)
            EXPECT_TRUE(count[0] > kWidth * kHeight / 4 && count[1] > 0 && count[2] == 0)
                << "face " << count[0] << ", text " << count[1] << ", neither " << count[2];

        // The bar lies in no frame of the template and takes the name it is given; a frame around it names it.
        EXPECT_EQ(FrameTextAround(host.m_bar.GetSafeHwnd(), L"Progress"), L"Progress");
        HWND frame = GetDlgItem(hwnd, IDC_DOWNLOAD_FRAME);
        SetWindowPos(frame, nullptr, 0, 0, 2000, 2000, SWP_NOZORDER);
        SetWindowTextA(frame, "Firmware");
        EXPECT_EQ(FrameTextAround(host.m_bar.GetSafeHwnd(), L"Progress"), L"Firmware");
    });
}
