// Selections undone at scope exit; the owners of GDI objects and DCs are in Handle.h.
#pragma once

#include "Handle.h"

// Selects an object into a DC and selects the previous one back at scope exit, so that the object is no longer
// selected when it is deleted (a selected object cannot be deleted).
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
