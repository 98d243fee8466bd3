// CPaintDC: BeginPaint for the scope of one paint, EndPaint when it ends.
#pragma once

#include <windows.h>

class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd) { m_hdc = BeginPaint(hwnd, &m_ps); }
    ~CPaintDC() { EndPaint(m_hwnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
    PAINTSTRUCT m_ps{};
};
