// The main window as screen readers and high-contrast users meet it: the progress bar's role, name and value through
// the system's accessibility calls, its value-change events, the lines read by their text, and the bar's face in
// the system's colours.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <windows.h>

#include <oleacc.h>

#include "Com.h"
#include "DataExchange.h"
#include "FrameText.h"
#include "Gdi.h"
#include "GradientProgressCtrl.h"
#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "TestText.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

struct Reading {
    long role = 0;
    std::string name;
    std::string value;
};

// What a screen reader in this process learns of the window's client area.
Reading Read(HWND window) {
    Reading reading;
    ComRef<IAccessible> object;
    if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, object.Receive())))
        return reading;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(self, &role)))
        reading.role = role.lVal;
    const auto text = [&](HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
        BSTR answer = nullptr;
        std::string read = (object.Get()->*get)(self, &answer) == S_OK && answer ? Utf8(answer) : "";
        SysFreeString(answer);
        return read;
    };
    reading.name = text(&IAccessible::get_accName);
    reading.value = text(&IAccessible::get_accValue);
    return reading;
}

HWND g_bar = nullptr;
int g_valueChanges = 0;

void CALLBACK CountValueChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    g_valueChanges += window == g_bar && object == OBJID_CLIENT;
}

// A bar that is told the user chose high contrast, in the main window's template.
class ContrastBar : public CGradientProgressCtrl {
protected:
    bool HighContrastOn() const override { return true; }
};

class ContrastHost : public CDialog {
public:
    ContrastHost() : CDialog(IDD_OSTREL_DIALOG) {}
    ContrastBar m_bar;

protected:
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDC_PROGRESS, m_bar); }
};

} // namespace

TEST(AccessibleBar, ReadsAsAProgressBarWithItsPerCentAtRestDuringARunAndAtTheEndAndTheLinesByTheirText) {
    const ComApartment apartment;
    DropFolder folder;
    // About a second and a half at this rate.
    TestDevice device("--throttle 150000");
    const std::wstring path = folder.PutImage(L"image.hdr", 1024 + 110 * 2048, 1);

    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        g_bar = GetDlgItem(hwnd, IDC_PROGRESS);
        g_valueChanges = 0;
        const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                                   CountValueChange, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
        const std::string name = dialog.LookupText("extra", "11");
        ASSERT_EQ(name, "Progress");
        Reading atRest = Read(g_bar);
        EXPECT_EQ(atRest.role, ROLE_SYSTEM_PROGRESSBAR);
        EXPECT_EQ(atRest.name, name);
        EXPECT_EQ(atRest.value, "0%");

        // The dialog hands new system colours and settings on to the bar, which repaints.
        for (UINT message : {WM_SYSCOLORCHANGE, WM_SETTINGCHANGE}) {
            ValidateRect(g_bar, nullptr);
            SendMessageA(hwnd, message, 0, 0);
            EXPECT_TRUE(GetUpdateRect(g_bar, nullptr, FALSE)) << message;
        }

        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({path})), 0);
        Reading during;
        ASSERT_TRUE(PumpUntil([&] {
            during = Read(g_bar);
            return during.value != "0%";
        }));
        EXPECT_EQ(during.role, ROLE_SYSTEM_PROGRESSBAR);
        const int position = std::atoi(during.value.c_str());
        EXPECT_TRUE(position > 0 && position <= 100) << during.value;

        const std::string ended = dialog.LookupText("message", "1031");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == ended; }));
        PumpUntil([] { return false; }, 200);
        EXPECT_EQ(Read(g_bar).value, "0%");
        EXPECT_GE(g_valueChanges, 2) << "the per cent rose and fell back to 0 unannounced";
        UnhookWinEvent(hook);

        for (int id : {IDC_STATUS, IDC_IMAGE_INFO, IDC_RESULT}) {
            EXPECT_NE(ControlText(hwnd, id), "");
            EXPECT_EQ(Read(GetDlgItem(hwnd, id)).name, ControlText(hwnd, id)) << id;
        }
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
}

TEST(AccessibleBar, InHighContrastTheFaceTakesTheSystemColoursAndTheBarAnswersWithItsStoredValues) {
    ContrastHost host;
    RunModalWith(host, [&host](HWND hwnd) {
        CGradientProgressCtrl& bar = host.m_bar;
        bar.ShowPercent(TRUE);
        bar.SetPos(50);
        constexpr int kWidth = 200;
        constexpr int kHeight = 20;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        const OwnedDC dc(CreateCompatibleDC(nullptr));
        const OwnedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const SelectedObject selectBitmap(dc.Get(), bitmap.Get());
        // Glyph pixels in exactly the text colours: no antialiasing.
        const GdiObject<HFONT> font(CreateFontA(-14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                                NONANTIALIASED_QUALITY, 0, "Tahoma"));
        const SelectedObject selectFont(dc.Get(), font.Get());
        bar.Paint(dc.Get(), {0, 0, kWidth, kHeight});

        // The text "50%" straddles the fill's edge at 100: each side in its own pair of colours.
        const COLORREF sides[2][2] = {{GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT)},
                                      {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)}};
        int face[2] = {0, 0};
        int text[2] = {0, 0};
        int other = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const COLORREF shown = GetPixel(dc.Get(), x, y);
                const int side = x < kWidth / 2 ? 0 : 1;
                face[side] += shown == sides[side][0];
                text[side] += shown == sides[side][1] && shown != sides[side][0];
                other += shown != sides[side][0] && shown != sides[side][1];
            }
        EXPECT_GT(face[0], kWidth * kHeight / 4);
        EXPECT_GT(face[1], kWidth * kHeight / 4);
        EXPECT_GT(text[0], 0) << "no text in the highlight's text colour";
        EXPECT_GT(text[1], 0) << "no text in the window's text colour";
        EXPECT_EQ(other, 0) << "pixels in neither pair of colours";

        // Readers of the bar get the stored values, whatever the native control beneath holds.
        bar.SetRange(-5, 0x10064);
        bar.SetPos(0x10000);
        PBRANGE range{};
        EXPECT_EQ(SendMessageA(bar.GetSafeHwnd(), PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range)), -5);
        EXPECT_EQ(range.iHigh, 0x10064);
        EXPECT_EQ(SendMessageA(bar.GetSafeHwnd(), PBM_GETPOS, 0, 0), 0x10000);

        // The bar lies in no frame of the template, and so takes the name it is given; a frame around it names it.
        EXPECT_EQ(FrameTextAround(bar.GetSafeHwnd(), "Progress"), "Progress");
        HWND frame = GetDlgItem(hwnd, IDC_DOWNLOAD_FRAME);
        SetWindowPos(frame, nullptr, 0, 0, 2000, 2000, SWP_NOZORDER);
        SetWindowTextA(frame, "Firmware");
        EXPECT_EQ(FrameTextAround(bar.GetSafeHwnd(), "Progress"), "Firmware");
    });
}
