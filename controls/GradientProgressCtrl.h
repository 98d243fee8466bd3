// CGradientProgressCtrl: a progress bar that keeps its own range, position and colours and paints its own face.
#pragma once

#include <string>

#include "MessageMap.h"
#include "Wnd.h"

class CGradientProgressCtrl : public CWnd {
public:
    CGradientProgressCtrl();

    // Stores the position (any value, no range test) and forwards it to the native control.
    int SetPos(int position);
    // Stores both bounds, resets the stored position to the lower bound, and forwards the low 16 bits of each.
    void SetRange(int lower, int upper);

    void SetStartColor(COLORREF color) { m_startColor = color; }
    void SetEndColor(COLORREF color) { m_endColor = color; }
    void SetTextColor(COLORREF color) { m_textColor = color; }
    void ShowPercent(BOOL show) { m_showPercent = show; }
    // The name screen readers give the bar, in the ANSI code page as the text table gives it. The window text stays
    // as the template has it.
    void SetAccessibleName(const std::wstring& name);

    int GetLower() const { return m_lower; }
    int GetUpper() const { return m_upper; }
    int GetPos() const { return m_position; }
    COLORREF GetStartColor() const { return m_startColor; }
    COLORREF GetEndColor() const { return m_endColor; }
    COLORREF GetBackgroundColor() const { return m_backgroundColor; }
    COLORREF GetTextColor() const { return m_textColor; }
    BOOL IsPercentShown() const { return m_showPercent; }

    // Paints the whole face for a client rectangle whose left and top are 0; UI thread only. WM_PAINT lands here,
    // and tests call it on a memory DC.
    void Paint(HDC dc, const RECT& client);

protected:
    bool ProcessMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Whether the user has chosen a high-contrast scheme; read at each paint. Tests answer it themselves.
    virtual bool HighContrastOn() const;

private:
    void OnPaint();
    BOOL OnEraseBkgnd(HDC dc);
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetPos(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetRange(WPARAM wParam, LPARAM lParam);
    // The system's colours or settings changed (the main window hands these messages on): the face follows.
    void OnSystemLookChange();
    // Bands and background through an off-screen surface, copied to dc before it returns.
    void PaintGradient(HDC dc, const RECT& client, int fillWidth);
    // The face in the system's colours, in place of the gradient.
    void PaintHighContrast(HDC dc, const RECT& client, int position);
    // Tells screen readers when the per cent shown differs from `before`.
    void AnnounceValueChange(const std::string& before);

    static const MessageMapEntry<CGradientProgressCtrl> kMessageMap[];

    int m_lower = 0;
    int m_upper = 100;
    int m_position = 0;
    COLORREF m_startColor = 0x800000;
    COLORREF m_endColor = 0xFF0000;
    COLORREF m_backgroundColor;
    COLORREF m_textColor = 0xFFFFFF;
    BOOL m_showPercent = FALSE;
    std::wstring m_accessibleName;
};
