// CGradientProgressCtrl: stored state forwarded to the native control underneath, and the painting of its face.
#include "GradientProgressCtrl.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <string>

#include "AnsiText.h"
#include "Gdi.h"
#include "GradientBands.h"
#include "MemDC.h"
#include "PaintDC.h"
#include "ProgressAccessible.h"

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

// Centred in the client area as DrawCentred places it, but drawn only where it falls within `part`.
void DrawCentredWithin(HDC dc, const std::string& text, const RECT& client, const RECT& part, COLORREF color) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
    ::SetTextColor(dc, color);
    DrawCentred(dc, text, client);
    RestoreDC(dc, saved);
}
} // namespace

const MessageMapEntry<CGradientProgressCtrl> CGradientProgressCtrl::kMessageMap[] = {
    {WM_PAINT, 0, 0, Crack<&CGradientProgressCtrl::OnPaint>::Call},
    {WM_ERASEBKGND, 0, 0, Crack<&CGradientProgressCtrl::OnEraseBkgnd>::Call},
    {WM_GETOBJECT, 0, 0, Crack<&CGradientProgressCtrl::OnGetObject>::Call},
    {PBM_GETPOS, 0, 0, Crack<&CGradientProgressCtrl::OnGetPos>::Call},
    {PBM_GETRANGE, 0, 0, Crack<&CGradientProgressCtrl::OnGetRange>::Call},
    {WM_SYSCOLORCHANGE, 0, 0, Crack<&CGradientProgressCtrl::OnSystemLookChange>::Call},
    {WM_SETTINGCHANGE, 0, 0, Crack<&CGradientProgressCtrl::OnSystemLookChange>::Call},
};

CGradientProgressCtrl::CGradientProgressCtrl() : m_backgroundColor(GetSysColor(COLOR_BTNFACE)) {}

bool CGradientProgressCtrl::ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return DispatchMessageMap(*this, kMessageMap, message, wParam, lParam, result);
}

int CGradientProgressCtrl::SetPos(int position) {
    const std::string before = FaceValueText(m_lower, m_upper, m_position);
    m_position = position;
    const auto previous = static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position), 0));
    AnnounceValueChange(before);
    return previous;
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
    const std::string before = FaceValueText(m_lower, m_upper, m_position);
    m_lower = lower;
    m_upper = upper;
    m_position = lower;
    // The native control takes 16-bit bounds; painting uses the stored 32-bit ones.
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
    AnnounceValueChange(before);
}

void CGradientProgressCtrl::SetAccessibleName(const std::wstring& name) {
    m_accessibleName = name;
}

// Once per new per cent, not per position: the face changes its text no more often, and a screen reader that is
// told of every step falls behind.
void CGradientProgressCtrl::AnnounceValueChange(const std::string& before) {
    if (m_hWnd && FaceValueText(m_lower, m_upper, m_position) != before)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

// Only the client area is the bar's own object; the window, its frame and the rest are the system's. The lParam is
// compared as 32 bits, as a 64-bit caller may not extend the negative object id.
LRESULT CGradientProgressCtrl::OnGetObject(WPARAM wParam, LPARAM lParam) {
    if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        const LRESULT answer = AnswerProgressAccessible(m_hWnd, wParam, m_accessibleName);
        if (answer)
            return answer;
    }
    Default();
    return 0;
}

// The native control holds only 16-bit bounds and clamps its position: a reader of the bar (the system's proxy for
// screen readers, a test driver) gets the stored values that the face shows.
LRESULT CGradientProgressCtrl::OnGetPos(WPARAM, LPARAM) {
    return m_position;
}

LRESULT CGradientProgressCtrl::OnGetRange(WPARAM lowLimit, LPARAM lParam) {
    if (auto* range = reinterpret_cast<PBRANGE*>(lParam)) {
        range->iLow = m_lower;
        range->iHigh = m_upper;
    }
    return lowLimit ? m_lower : m_upper;
}

void CGradientProgressCtrl::OnSystemLookChange() {
    InvalidateRect(m_hWnd, nullptr, FALSE);
    Default();
}

bool CGradientProgressCtrl::HighContrastOn() const {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
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
    if (HighContrastOn()) {
        PaintHighContrast(dc, client, position);
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

// As the system's own bars look in high contrast: the covered part in the highlight colour, the rest in the window
// colour, and the per-cent text in the text colour that goes with each, split where the fill ends. The blank box of
// the gradient face would stand out here as a box of button face, so it is left out.
void CGradientProgressCtrl::PaintHighContrast(HDC dc, const RECT& client, int position) {
    // A position below 0 (a negative lower bound) fills nothing; the face's range keeps it within the width.
    const int fillWidth = std::max(FillWidth(position, m_upper, client.right), 0);
    const RECT filled{0, 0, fillWidth, client.bottom};
    const RECT rest{fillWidth, 0, client.right, client.bottom};
    {
        const CMemDC memDC(dc);
        FillSolid(memDC.GetSafeHdc(), filled, GetSysColor(COLOR_HIGHLIGHT));
        FillSolid(memDC.GetSafeHdc(), rest, GetSysColor(COLOR_WINDOW));
    }
    if (!m_showPercent)
        return;
    const std::string text = PercentText(position, m_upper);
    SetBkMode(dc, TRANSPARENT);
    DrawCentredWithin(dc, text, client, filled, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawCentredWithin(dc, text, client, rest, GetSysColor(COLOR_WINDOWTEXT));
}
