// Owning kernel handles: the invalid value is part of the type (null for threads and events,
// INVALID_HANDLE_VALUE for files and pipes). Move-only, closed in the destructor.
#pragma once

#include <windows.h>

#include <utility>

template <HANDLE (*Invalid)()> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = other.Release();
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Invalid(); }
    HANDLE Release() { return std::exchange(m_handle, Invalid()); }
    void Close() {
        if (IsValid())
            CloseHandle(Release());
    }

private:
    HANDLE m_handle = Invalid();
};

inline HANDLE NullHandleValue() {
    return nullptr;
}
inline HANDLE InvalidHandleValue() {
    return INVALID_HANDLE_VALUE;
}

using KernelHandle = UniqueHandle<NullHandleValue>;
using FileHandle = UniqueHandle<InvalidHandleValue>;
