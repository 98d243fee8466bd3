// The machine policy's values, read from the registry's 64-bit view.
#include "MachinePolicy.h"

#include <cwchar>
#include <vector>

#include "Handle.h"

namespace MachinePolicy {
namespace {

using RegistryKey = UniqueAny<HKEY, &RegCloseKey>;

// A value that is there; one that cannot be read has the type REG_NONE and no bytes.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// Nothing when the value, or the key, is not there.
std::optional<RawValue> Read(const wchar_t* name) {
    const auto there = [](LSTATUS status) -> std::optional<RawValue> {
        if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        return RawValue();
    };
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
    if (status != ERROR_SUCCESS)
        return there(status);
    const RegistryKey key(opened);
    RawValue value;
    DWORD size = 0;
    if ((status = RegQueryValueExW(key.Get(), name, nullptr, &value.type, nullptr, &size)) != ERROR_SUCCESS)
        return there(status);
    value.bytes.resize(size);
    // The value may grow between the two reads; what does not fit then is not read at all.
    if ((status = RegQueryValueExW(key.Get(), name, nullptr, &value.type, value.bytes.data(), &size)) != ERROR_SUCCESS)
        return there(status);
    value.bytes.resize(size);
    return value;
}

std::optional<std::wstring> TextOf(const std::optional<RawValue>& value) {
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return std::nullopt;
    // A registry string need not end with its zero, and may hold more than one.
    std::wstring text(reinterpret_cast<const wchar_t*>(value->bytes.data()), value->bytes.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

} // namespace

std::optional<bool> Switch(const wchar_t* name) {
    const std::optional<RawValue> value = Read(name);
    if (!value)
        return std::nullopt;
    const bool dwordZero = value->type == REG_DWORD && value->bytes == std::vector<BYTE>(sizeof(DWORD), 0);
    return !dwordZero && TextOf(value) != L"0";
}

std::optional<std::wstring> Text(const wchar_t* name) {
    return TextOf(Read(name));
}

std::optional<std::wstring> Folder(const wchar_t* name) {
    const std::optional<RawValue> value = Read(name);
    std::optional<std::wstring> text = TextOf(value);
    if (text && value->type == REG_EXPAND_SZ) {
        const DWORD length = ExpandEnvironmentStringsW(text->c_str(), nullptr, 0);
        std::wstring expanded(length, L'\0');
        if (length == 0 || ExpandEnvironmentStringsW(text->c_str(), expanded.data(), length) == 0)
            return std::nullopt;
        expanded.resize(wcslen(expanded.c_str()));
        text = std::move(expanded);
    }
    while (text && !text->empty() && (text->back() == L'\\' || text->back() == L'/'))
        text->pop_back();
    if (!text || text->empty())
        return std::nullopt;
    return text;
}

} // namespace MachinePolicy
