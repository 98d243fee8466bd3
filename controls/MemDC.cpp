// CMemDC: off-screen bitmap over the target's clip box, and its one-block copy back.
#include "MemDC.h"

namespace {
bool IsPrinter(HDC dc) {
    return GetDeviceCaps(dc, TECHNOLOGY) == DT_RASPRINTER;
}

RECT ClipBox(HDC dc) {
    RECT box{};
    GetClipBox(dc, &box);
    return box;
}
} // namespace

// The bitmap is made compatible with the target, not with the memory DC, which holds only a 1x1 monochrome bitmap.
CMemDC::CMemDC(HDC target)
    : m_target(target), m_offScreen(!IsPrinter(target)), m_rect(m_offScreen ? ClipBox(target) : RECT{}),
      m_memDC(m_offScreen ? CreateCompatibleDC(target) : nullptr),
      m_bitmap(m_offScreen ? CreateCompatibleBitmap(target, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top)
                           : nullptr),
      m_selection(m_memDC.Get(), m_bitmap.Get()) {
    if (m_offScreen)
        SetWindowOrgEx(m_memDC.Get(), m_rect.left, m_rect.top, nullptr);
}

CMemDC::~CMemDC() {
    if (m_offScreen)
        BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_memDC.Get(),
               m_rect.left, m_rect.top, SRCCOPY);
}
