// COM for the tool: the UI thread's apartment for the scope of one object, and an owning interface pointer.
#pragma once

#include <objbase.h>

#include <utility>

// Joins the calling thread to a single-threaded apartment, and leaves it at scope exit when the join succeeded. A
// thread already in another apartment stays there; COM calls still work then.
class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_result;
};

// Holds one reference on an interface and releases it; move-only.
template <class Interface> class ComRef {
public:
    ComRef() = default;
    explicit ComRef(Interface* held) : m_held(held) {}
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : m_held(std::exchange(other.m_held, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            m_held = std::exchange(other.m_held, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* Get() const { return m_held; }
    Interface* operator->() const { return m_held; }
    explicit operator bool() const { return m_held != nullptr; }
    // For a call that hands out a new reference: releases the one held, and gives the slot to fill.
    void** Receive() {
        Reset();
        return reinterpret_cast<void**>(&m_held);
    }
    void Reset() {
        if (m_held)
            std::exchange(m_held, nullptr)->Release();
    }

private:
    Interface* m_held = nullptr;
};
