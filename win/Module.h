// An owning handle on a loaded library: FreeLibrary when it goes out of scope. Move-only.
#pragma once

#include <windows.h>

#include <utility>

class Module {
public:
    explicit Module(const char* fileName) : m_module(LoadLibraryA(fileName)) {}
    ~Module() {
        if (m_module)
            FreeLibrary(m_module);
    }
    Module(Module&& other) noexcept : m_module(std::exchange(other.m_module, nullptr)) {}
    Module& operator=(Module&&) = delete;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool IsLoaded() const { return m_module != nullptr; }

    // The export as a function of type Function, or null when the library lacks it.
    template <class Function> Function Find(const char* name) const {
        return m_module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name))) : nullptr;
    }

private:
    HMODULE m_module;
};
