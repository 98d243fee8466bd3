// Owning GDI handles and scope guards: brushes and bitmaps, created DCs, and selections undone at scope exit.
#pragma once

#include <windows.h>

#include <utility>

// Owns a GDI object (brush, bitmap) and deletes it; move-only.
template <class Handle> class GdiObject {
public:
    explicit GdiObject(Handle handle) : m_handle(handle) {}
    ~GdiObject() {
        if (m_handle)
            DeleteObject(m_handle);
    }
    GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject& operator=(GdiObject&&) = delete;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return m_handle; }

private:
    Handle m_handle = nullptr;
};

using OwnedBrush = GdiObject<HBRUSH>;
using OwnedBitmap = GdiObject<HBITMAP>;

// Owns a DC made by CreateCompatibleDC or CreateDC and deletes it; never for a DC from GetDC or BeginPaint, which
// must be released, not deleted. Move-only.
class OwnedDC {
public:
    explicit OwnedDC(HDC dc) : m_dc(dc) {}
    ~OwnedDC() {
        if (m_dc)
            DeleteDC(m_dc);
    }
    OwnedDC(OwnedDC&& other) noexcept : m_dc(std::exchange(other.m_dc, nullptr)) {}
    OwnedDC& operator=(OwnedDC&&) = delete;
    OwnedDC(const OwnedDC&) = delete;
    OwnedDC& operator=(const OwnedDC&) = delete;

    HDC Get() const { return m_dc; }

private:
    HDC m_dc = nullptr;
};

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
