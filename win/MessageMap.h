// Message maps: a plain table per window class binding a message, or a control's notification, to a member handler.
#pragma once

#include <windows.h>

#include <shellapi.h>

template <class T> struct MessageMapEntry {
    UINT message;
    UINT controlId;  // WM_COMMAND only: the control that sends the notification
    UINT notifyCode; // WM_COMMAND only: the notification code
    LRESULT (*handler)(T& self, WPARAM wParam, LPARAM lParam);
};

// Crack<&T::OnSomething>::Call unpacks wParam and lParam for the handler's signature.
template <auto Member> struct Crack;

template <class T, void (T::*Member)()> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM, LPARAM) {
        (self.*Member)();
        return 0;
    }
};

template <class T, void (T::*Member)(UINT_PTR)> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM wParam, LPARAM) {
        (self.*Member)(static_cast<UINT_PTR>(wParam));
        return 0;
    }
};

template <class T, void (T::*Member)(UINT, LPARAM)> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM wParam, LPARAM lParam) {
        (self.*Member)(static_cast<UINT>(wParam), lParam);
        return 0;
    }
};

template <class T, HCURSOR (T::*Member)()> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM, LPARAM) { return reinterpret_cast<LRESULT>((self.*Member)()); }
};

template <class T, BOOL (T::*Member)()> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM, LPARAM) { return (self.*Member)(); }
};

template <class T, BOOL (T::*Member)(HDC)> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM wParam, LPARAM) { return (self.*Member)(reinterpret_cast<HDC>(wParam)); }
};

template <class T, void (T::*Member)(HDROP)> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM wParam, LPARAM) {
        (self.*Member)(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
};

// A handler that takes the message's parameters as they come and gives its own result.
template <class T, LRESULT (T::*Member)(WPARAM, LPARAM)> struct Crack<Member> {
    static LRESULT Call(T& self, WPARAM wParam, LPARAM lParam) { return (self.*Member)(wParam, lParam); }
};

// Finds the entry for the message and runs its handler; false when the table has none.
template <class T, size_t N>
bool DispatchMessageMap(T& self, const MessageMapEntry<T> (&map)[N], UINT message, WPARAM wParam, LPARAM lParam,
                        LRESULT& result) {
    for (const MessageMapEntry<T>& entry : map) {
        if (entry.message != message)
            continue;
        if (message == WM_COMMAND && (LOWORD(wParam) != entry.controlId || HIWORD(wParam) != entry.notifyCode))
            continue;
        result = entry.handler(self, wParam, lParam);
        return true;
    }
    return false;
}
