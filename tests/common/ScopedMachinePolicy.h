// A value of the tool's machine policy (HKLM\SOFTWARE\Policies\Corvane\Ostrel update, 64-bit view) for the length of
// a test, as Group Policy sets it; deleted again at the end.
#pragma once

#include <windows.h>

#include <string>

#include "MachinePolicy.h"

class ScopedMachinePolicy {
public:
    ScopedMachinePolicy(const wchar_t* name, DWORD value)
        : ScopedMachinePolicy(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value)) {}
    // A value of any type, as its bytes.
    ScopedMachinePolicy(const wchar_t* name, DWORD type, const std::string& bytes) : m_name(name) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, MachinePolicy::kKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size()));
            RegCloseKey(key);
        }
    }
    // A text value (REG_SZ), with its terminating zero.
    ScopedMachinePolicy(const wchar_t* name, const std::wstring& text)
        : ScopedMachinePolicy(
              name, REG_SZ,
              std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t))) {}
    ~ScopedMachinePolicy() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, MachinePolicy::kKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, m_name);
            RegCloseKey(key);
        }
    }
    ScopedMachinePolicy(const ScopedMachinePolicy&) = delete;
    ScopedMachinePolicy& operator=(const ScopedMachinePolicy&) = delete;

private:
    const wchar_t* m_name;
};
