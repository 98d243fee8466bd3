// CMemDC: an off-screen stand-in for a target DC over the target's clip box, copied to the target in one block.
#pragma once

#include "Gdi.h"

class CMemDC {
public:
    // Draw into GetSafeHdc() in the target's logical coordinates. A printing target is drawn on directly.
    explicit CMemDC(HDC target);
    // Copies the clip box to the target in one BitBlt, then deselects and deletes the bitmap and the memory DC.
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    HDC GetSafeHdc() const { return m_offScreen ? m_memDC.Get() : m_target; }

private:
    HDC m_target;
    bool m_offScreen;
    RECT m_rect{};
    // Declared in this order so that the bitmap is deselected before it is deleted, and deleted before the DC.
    OwnedDC m_memDC;
    OwnedBitmap m_bitmap;
    SelectedObject m_selection;
};
