// CWnd: message dispatch and subclassing of dialog controls.
#include "Wnd.h"

#include <utility>

namespace {
const char kThisProperty[] = "OstrelWnd";
}

CWnd::~CWnd() {
    if (m_superProc && m_hWnd) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
        RemovePropA(m_hWnd, kThisProperty);
    }
}

bool CWnd::ProcessMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    // A handler may run a modal loop that dispatches other messages to this window: each keeps its own flag.
    const bool outer = std::exchange(m_callDefault, false);
    const bool handled = ProcessMessage(message, wParam, lParam, result);
    const bool callDefault = std::exchange(m_callDefault, outer);
    return handled && !callDefault;
}

bool CWnd::SubclassDlgItem(int id, CWnd* parent) {
    HWND child = ::GetDlgItem(parent->m_hWnd, id);
    if (!child || m_hWnd)
        return false;
    m_hWnd = child;
    SetPropA(child, kThisProperty, this);
    m_superProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return true;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CWnd*>(GetPropA(hwnd, kThisProperty));
    const WNDPROC superProc = self->m_superProc;
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        // The window goes away before this object: give the control its own procedure back.
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc));
        RemovePropA(hwnd, kThisProperty);
        self->m_hWnd = nullptr;
        self->m_superProc = nullptr;
        return CallWindowProcW(superProc, hwnd, message, wParam, lParam);
    }
    if (self->Dispatch(message, wParam, lParam, result))
        return result;
    return CallWindowProcW(superProc, hwnd, message, wParam, lParam);
}
