// The progress bar object: stored range and position, and what reaches the native control.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include "DataExchange.h"
#include "GradientProgressCtrl.h"
#include "ModalRunner.h"
#include "resource.h"

namespace {

// The main window's template, with only the progress bar bound.
class ProgressHost : public CDialog {
public:
    ProgressHost() : CDialog(IDD_OSTREL_DIALOG) {}
    CGradientProgressCtrl m_progress;

protected:
    void DoDataExchange(CDataExchange* exchange) override { DDX_Control(exchange, IDC_PROGRESS, m_progress); }
};

} // namespace

TEST(GradientProgressCtrl, StoresRangeAndPositionAndForwardsLow16BitsOfTheBounds) {
    ProgressHost host;
    RunModalWith(host, [&host](HWND) {
        CGradientProgressCtrl& bar = host.m_progress;
        ASSERT_NE(bar.GetSafeHwnd(), nullptr);

        bar.SetRange(0, 100);
        bar.SetPos(40);
        bar.SetRange(0, 100);
        EXPECT_EQ(bar.GetPos(), 0) << "a new range resets the stored position";

        // SetRange leaves the native control's own position alone, so it answers with 40.
        EXPECT_EQ(bar.SetPos(150), 40) << "returns the native control's previous position";
        EXPECT_EQ(bar.GetPos(), 150) << "out-of-range positions are stored as given";
        bar.SetPos(-3);
        EXPECT_EQ(bar.GetPos(), -3);

        bar.SetRange(0x12345, 0x10064);
        EXPECT_EQ(bar.GetLower(), 0x12345);
        EXPECT_EQ(bar.GetUpper(), 0x10064);
        // The native control is asked beneath the subclass; the bar itself answers with its stored values.
        const auto nativeProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(bar.GetSafeHwnd(), GCLP_WNDPROC));
        PBRANGE native{};
        CallWindowProcA(nativeProc, bar.GetSafeHwnd(), PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&native));
        EXPECT_EQ(native.iLow, 0x2345);
        EXPECT_EQ(native.iHigh, 0x0064);
        EXPECT_EQ(SendMessageA(bar.GetSafeHwnd(), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&native)), 0x10064);
        EXPECT_EQ(native.iLow, 0x12345);
        EXPECT_EQ(SendMessageA(bar.GetSafeHwnd(), PBM_GETPOS, 0, 0), 0x12345);
    });
}

TEST(GradientProgressCtrl, DefaultsBeforeConfiguration) {
    CGradientProgressCtrl bar;
    EXPECT_EQ(bar.GetLower(), 0);
    EXPECT_EQ(bar.GetUpper(), 100);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(bar.GetStartColor(), 0x800000u);
    EXPECT_EQ(bar.GetEndColor(), 0xFF0000u);
    EXPECT_EQ(bar.GetBackgroundColor(), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(bar.GetTextColor(), 0xFFFFFFu);
    EXPECT_FALSE(bar.IsPercentShown());
}
