// A scope guard: runs a function when the scope ends, however it ends. For state that must be put back after a
// nested modal loop, which may itself change it.
#pragma once

#include <utility>

template <class Function> class ScopeExit {
public:
    explicit ScopeExit(Function function) : m_function(std::move(function)) {}
    ~ScopeExit() { m_function(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Function m_function;
};
