// A move-only owner of a kernel handle; the handle kind's "none" value is part of the type.
#pragma once

#include <utility>

#include <windows.h>

// Events, processes, threads and jobs: the system returns null for none.
struct NullHandleTraits {
    static HANDLE None() { return nullptr; }
};

// Files and pipes: the system returns INVALID_HANDLE_VALUE for none.
struct FileHandleTraits {
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
};

template <class Traits> class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE handle) : m_handle(handle) {}
    ScopedHandle(ScopedHandle&& other) noexcept : m_handle(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Reset(); }

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::None(); }
    explicit operator bool() const { return IsValid(); }

    HANDLE Release() { return std::exchange(m_handle, Traits::None()); }
    void Reset(HANDLE handle = Traits::None()) {
        if (IsValid())
            CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle = Traits::None();
};

using ScopedKernelHandle = ScopedHandle<NullHandleTraits>;
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
