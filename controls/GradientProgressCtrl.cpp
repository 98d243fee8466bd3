// CGradientProgressCtrl: stored state forwarded to the native control underneath, and the painting of its face.
#include "GradientProgressCtrl.h"

#include <commctrl.h>

#include <string>

#include "Gdi.h"
#include "GradientBands.h"
#include "MemDC.h"
#include "PaintDC.h"

namespace {
// A box as wide as this many spaces in the DC's font hides whatever lies under the centred text.
constexpr std::size_t kBlankBoxSpaces = 46;
constexpr UINT kCentredLine = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    const OwnedBrush brush(CreateSolidBrush(color));
    FillRect(dc, &rect, brush.Get());
}

void DrawCentred(HDC dc, const std::string& text, const RECT& client) {
    RECT rect = client;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, kCentredLine);
}
} // namespace

const MessageMapEntry<CGradientProgressCtrl> CGradientProgressCtrl::kMessageMap[] = {
    {WM_PAINT, 0, 0, Crack<&CGradientProgressCtrl::OnPaint>::Call},
    {WM_ERASEBKGND, 0, 0, Crack<&CGradientProgressCtrl::OnEraseBkgnd>::Call},
};

CGradientProgressCtrl::CGradientProgressCtrl() : m_backgroundColor(GetSysColor(COLOR_BTNFACE)) {}

bool CGradientProgressCtrl::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

int CGradientProgressCtrl::SetPos(int position) {
    m_position = position;
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0));
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    m_position = lower;
    // The native control takes 16-bit bounds; painting uses the stored 32-bit ones.
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
}

void CGradientProgressCtrl::OnPaint() {
    CPaintDC dc(m_hWnd);
    RECT client;
    GetClientRect(&client);
    Paint(dc.GetSafeHdc(), client);
}

// The face is replaced whole by the off-screen copy: erasing first would only flicker.
BOOL CGradientProgressCtrl::OnEraseBkgnd(HDC) {
    return TRUE;
}

void CGradientProgressCtrl::Paint(HDC dc, const RECT& client) {
    const int position = m_position;
    if (!HasGradientFace(m_lower, m_upper, position)) {
        FillSolid(dc, client, GetSysColor(COLOR_BTNFACE));
        return;
    }

    PaintGradient(dc, client, FillWidth(position, m_upper, client.right));

    // The texts go straight onto the target, over the gradient already copied there.
    if (position == m_lower) {
        ::SetTextColor(dc, m_backgroundColor);
        SetBkColor(dc, m_backgroundColor);
        SetBkMode(dc, OPAQUE);
        DrawCentred(dc, std::string(kBlankBoxSpaces, ' '), client);
    }
    if (m_showPercent) {
        ::SetTextColor(dc, m_textColor);
        SetBkMode(dc, TRANSPARENT);
        DrawCentred(dc, PercentText(position, m_upper), client);
    }
}

void CGradientProgressCtrl::PaintGradient(HDC dc, const RECT& client, int fillWidth) {
    const CMemDC memDC(dc);
    for (const ColorFill& fill :
         GradientFills(m_startColor, m_endColor, m_backgroundColor, client.right, client.bottom, fillWidth)) {
        const RECT rect{fill.rect.left, fill.rect.top, fill.rect.right, fill.rect.bottom};
        FillSolid(memDC.GetSafeHdc(), rect, fill.color);
    }
}
