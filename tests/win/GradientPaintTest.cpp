// The gradient progress bar's face in pixels: bands, background, blank box, per-cent text, out-of-range face,
// the off-screen copy into a clip box, and the paint and erase messages on a real window.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "Gdi.h"
#include "GradientProgressCtrl.h"

namespace {
constexpr int kProgressId = 1003;
constexpr int kHeight = 20;
constexpr COLORREF kTeal = 0x808000;
constexpr COLORREF kNavy = 0x800000;
constexpr COLORREF kGreenText = 0x008000;
constexpr COLORREF kUnpainted = 0xFF00FF;

// A parent window, as a CWnd, holding one native progress control with the main window's control id.
class ProgressParent : public CWnd {
public:
    ProgressParent(int width, int height, DWORD visible = 0) {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&classes);
        m_hWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP | visible, 0, 0, width, height, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height, m_hWnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressId)), GetModuleHandleA(nullptr), nullptr);
    }
    ~ProgressParent() override { DestroyWindow(m_hWnd); }
};

// A progress bar attached to a real native control and configured as the main window configures it.
struct DialogBar {
    explicit DialogBar(int width, DWORD visible = 0) : parent(width, kHeight, visible) {
        bar.SubclassDlgItem(kProgressId, &parent);
        bar.SetRange(0, 100);
        bar.SetPos(0);
        bar.ShowPercent(TRUE);
        bar.SetStartColor(kTeal);
        bar.SetEndColor(kNavy);
        bar.SetTextColor(kGreenText);
    }
    ProgressParent parent;
    CGradientProgressCtrl bar;
};

HBITMAP CreateTopDownDib(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// A 32-bit DIB in a memory DC, every pixel first set to kUnpainted. The painting draws its texts in the DC's font:
// here one without antialiasing, so that glyph pixels have exactly the text colour and no blend lies around them.
class Canvas {
public:
    Canvas(int width, int height)
        : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)),
          m_bitmap(CreateTopDownDib(width, height)), m_selection(m_dc.Get(), m_bitmap.Get()),
          m_font(CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma")),
          m_fontSelection(m_dc.Get(), m_font.Get()) {
        const OwnedBrush unpainted(CreateSolidBrush(kUnpainted));
        const RECT all = Client();
        FillRect(m_dc.Get(), &all, unpainted.Get());
    }
    HDC Dc() const { return m_dc.Get(); }
    RECT Client() const { return {0, 0, m_width, m_height}; }
    COLORREF At(int x, int y) const { return GetPixel(m_dc.Get(), x, y); }
    // Counts pixels of exactly this colour inside the rectangle.
    int Count(const RECT& area, COLORREF color) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += At(x, y) == color;
        return count;
    }

private:
    int m_width;
    int m_height;
    OwnedDC m_dc;
    OwnedBitmap m_bitmap;
    SelectedObject m_selection;
    GdiObject<HFONT> m_font;
    SelectedObject m_fontSelection;
};

// The cell that centred single-line text fills in the canvas's font.
RECT CentredTextCell(const Canvas& canvas, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(canvas.Dc(), text.c_str(), static_cast<int>(text.size()), &size);
    const RECT client = canvas.Client();
    const int left = (client.right - size.cx) / 2;
    const int top = (client.bottom - size.cy) / 2;
    return {left, top, left + size.cx, top + size.cy};
}

bool Inside(const RECT& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// Empty when every pixel shows expected(x, y), or the text colour inside the text cell; otherwise where the first
// other pixel is.
template <class Expected>
std::string FirstWrongPixel(const Canvas& canvas, Expected expected, const RECT& textCell = {}) {
    const RECT all = canvas.Client();
    for (int y = all.top; y < all.bottom; ++y)
        for (int x = all.left; x < all.right; ++x) {
            const COLORREF shown = canvas.At(x, y);
            if (shown != expected(x, y) && !(shown == kGreenText && Inside(textCell, x, y))) {
                char where[80];
                snprintf(where, sizeof where, "(%d,%d) shows %06lX, not %06lX", x, y, shown, expected(x, y));
                return where;
            }
        }
    return {};
}

// Text drawn transparently in the text colour: glyph pixels of exactly that colour in its cell, and everything else
// as it lies beneath.
template <class Expected> void ExpectTextOver(const Canvas& canvas, const std::string& text, Expected beneath) {
    const RECT cell = CentredTextCell(canvas, text);
    EXPECT_GT(canvas.Count(cell, kGreenText), 0) << text << " in the text colour";
    EXPECT_EQ(FirstWrongPixel(canvas, beneath, cell), "") << text;
}

// The dialog's colours at width 256: band i is two pixels wide and one green step darker than band i - 1.
COLORREF DialogBandAt(int x) {
    return kTeal - static_cast<COLORREF>(x / 2) * 0x100;
}
} // namespace

TEST(GradientPaint, PositionZeroShowsTheBackgroundAndTheCentredPercentText) {
    DialogBar dialog(256);
    Canvas canvas(256, kHeight);
    dialog.bar.Paint(canvas.Dc(), canvas.Client());

    const COLORREF background = dialog.bar.GetBackgroundColor();
    ExpectTextOver(canvas, "0%", [&](int, int) { return background; });
}

TEST(GradientPaint, BandsStopOneBandPastTheFillAndTheBackgroundTakesTheRest) {
    DialogBar dialog(256);
    const COLORREF background = dialog.bar.GetBackgroundColor();
    struct Case {
        int position;
        const char* percent;
        int firstBackground;
    };
    // At 50 the fill ends at 128, on a band edge, so band 64 (128 to 130) is drawn too. At 100 the last band,
    // 0x800100, ends at the width, one step short of the end colour.
    const Case cases[] = {{50, "50%", 130}, {100, "100%", 256}};
    for (const Case& c : cases) {
        dialog.bar.SetPos(c.position);
        Canvas canvas(256, kHeight);
        dialog.bar.Paint(canvas.Dc(), canvas.Client());

        const auto expected = [&](int x, int) { return x < c.firstBackground ? DialogBandAt(x) : background; };
        ExpectTextOver(canvas, c.percent, expected);
    }
}

TEST(GradientPaint, OutOfRangePositionsShowOnlyTheButtonFace) {
    DialogBar dialog(256);
    struct Case {
        int lower, upper, position;
    };
    // Above, below, and an upper bound of 0 that would divide by zero.
    for (const Case& c : {Case{0, 100, 150}, Case{0, 100, -1}, Case{0, 0, 0}}) {
        dialog.bar.SetRange(c.lower, c.upper);
        dialog.bar.SetPos(c.position);
        Canvas canvas(256, kHeight);
        dialog.bar.Paint(canvas.Dc(), canvas.Client());
        EXPECT_EQ(canvas.Count(canvas.Client(), GetSysColor(COLOR_BTNFACE)), 256 * kHeight)
            << c.lower << ".." << c.upper << " at " << c.position;
    }
}

TEST(GradientPaint, AtTheLowerBoundABlankBoxCoversTheCentre) {
    DialogBar dialog(512);
    dialog.bar.ShowPercent(FALSE);
    const COLORREF background = dialog.bar.GetBackgroundColor();
    {
        Canvas canvas(512, kHeight);
        dialog.bar.Paint(canvas.Dc(), canvas.Client());
        EXPECT_EQ(canvas.Count(canvas.Client(), background), 512 * kHeight) << "nothing filled, nothing else drawn";
    }
    // With the lower bound at 50 the gradient fills the left half (bands of 4 pixels up to 260) under the box.
    dialog.bar.SetRange(50, 100);
    Canvas canvas(512, kHeight);
    SetBkMode(canvas.Dc(), TRANSPARENT); // the box is opaque whatever mode the DC comes with
    dialog.bar.Paint(canvas.Dc(), canvas.Client());
    const RECT box = CentredTextCell(canvas, std::string(46, ' '));
    ASSERT_GT(box.left, 8) << "the box is narrower than the face";
    const int middle = kHeight / 2;
    EXPECT_EQ(canvas.At(0, middle), kTeal);
    EXPECT_EQ(canvas.At(box.left - 1, middle), kTeal - static_cast<COLORREF>((box.left - 1) / 4) * 0x100);
    for (int x = box.left + 1; x < box.right - 1; ++x)
        ASSERT_EQ(canvas.At(x, middle), background) << x;
}

TEST(GradientPaint, DefaultColoursLeaveNoColumnUnpaintedAtFullFill) {
    ProgressParent parent(200, kHeight);
    CGradientProgressCtrl bar;
    bar.SubclassDlgItem(kProgressId, &parent);
    bar.SetRange(0, 100);
    bar.SetPos(100);
    Canvas canvas(200, kHeight);
    bar.Paint(canvas.Dc(), canvas.Client());

    EXPECT_EQ(canvas.At(0, 0), 0x800000u);
    EXPECT_EQ(canvas.At(198, 0), 0xFE0000u);
    // No band reaches column 199.
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(canvas.At(199, y), bar.GetBackgroundColor()) << y;
}

TEST(GradientPaint, AClipBoxAwayFromTheOriginIsPaintedInPlaceAndNothingOutsideIt) {
    DialogBar dialog(256);
    dialog.bar.SetPos(50);
    dialog.bar.ShowPercent(FALSE);
    Canvas canvas(256, kHeight);
    const RECT clip{100, 4, 180, 16};
    IntersectClipRect(canvas.Dc(), clip.left, clip.top, clip.right, clip.bottom);
    dialog.bar.Paint(canvas.Dc(), canvas.Client());

    const COLORREF background = dialog.bar.GetBackgroundColor();
    const auto expected = [&](int x, int y) {
        if (!Inside(clip, x, y))
            return kUnpainted;
        return x < 130 ? DialogBandAt(x) : background;
    };
    EXPECT_EQ(FirstWrongPixel(canvas, expected), "");
}

TEST(GradientPaint, TheWindowPaintsItsOwnFaceAndSkipsTheErase) {
    DialogBar dialog(256, WS_VISIBLE);
    dialog.bar.SetPos(100);
    dialog.bar.ShowPercent(FALSE);
    HWND hwnd = dialog.bar.GetSafeHwnd();

    Canvas canvas(256, kHeight);
    EXPECT_EQ(SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0), TRUE);
    EXPECT_EQ(canvas.Count(canvas.Client(), kUnpainted), 256 * kHeight) << "the erase paints nothing";

    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC window = GetDC(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(GetPixel(window, 0, 0), kTeal);
    EXPECT_EQ(GetPixel(window, client.right - 1, 0), 0x800100u);
    ReleaseDC(hwnd, window);
}
