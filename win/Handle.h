// One owner for every kind of Win32 handle: the type names its invalid value and its close function. Move-only,
// closed in the destructor and when another handle is moved in.
#pragma once

#include <windows.h>

#include <utility>

template <class T> T NullValue() {
    return nullptr;
}
inline HANDLE InvalidHandleValue() {
    return INVALID_HANDLE_VALUE;
}

template <class T, auto CloseFunction, T (*Invalid)() = NullValue<T>> class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : m_value(value) {}
    ~UniqueAny() { Close(); }
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.Release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            Close();
            m_value = other.Release();
        }
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    T Get() const { return m_value; }
    bool IsValid() const { return m_value != Invalid(); }
    T Release() { return std::exchange(m_value, Invalid()); }
    void Close() {
        if (IsValid())
            CloseFunction(Release());
    }

private:
    T m_value = Invalid();
};

// Threads, events, mutexes: null when there is none.
using KernelHandle = UniqueAny<HANDLE, &CloseHandle>;
// Files and pipes: INVALID_HANDLE_VALUE when there is none.
using FileHandle = UniqueAny<HANDLE, &CloseHandle, &InvalidHandleValue>;
using FindHandle = UniqueAny<HANDLE, &FindClose, &InvalidHandleValue>;
using ModuleHandle = UniqueAny<HMODULE, &FreeLibrary>;
// Brushes, bitmaps, fonts; never one still selected into a DC (see SelectedObject).
template <class G> using GdiObject = UniqueAny<G, &DeleteObject>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedBitmap = GdiObject<HBITMAP>;
// A DC made by CreateCompatibleDC or CreateDC; never one from GetDC or BeginPaint, which is released, not deleted.
using OwnedDC = UniqueAny<HDC, &DeleteDC>;

// The export `name` of a loaded library as a function of type Function, or null.
template <class Function> Function FindExport(const ModuleHandle& module, const char* name) {
    return module.IsValid() ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module.Get(), name)))
                            : nullptr;
}
