// The catalog's settings from the choices, the machine policy and the build.
#include "CatalogSettings.h"

#include <windows.h>

#include "AnsiText.h"
#include "CatalogFetch.h"
#include "CatalogFile.h"
#include "CatalogChoice.h"
#include "MachinePolicy.h"

namespace {

// The vendor's catalog, set when the program is built (the CMake cache's OSTREL_CATALOG_URL); empty for none.
#ifndef OSTREL_CATALOG_URL
#define OSTREL_CATALOG_URL ""
#endif

const wchar_t kMirrorUnderLocalAppData[] = L"\\Corvane\\Ostrel update\\firmware\\";

// The location without a trailing "catalog.json", and ending in its separator.
std::wstring CatalogFolder(std::wstring location) {
    const std::wstring name = Utf8ToWide(kCatalogFileName);
    const bool web = IsWebLocation(location);
    if (location.size() > name.size()) {
        const std::size_t at = location.size() - name.size();
        const wchar_t before = location[at - 1];
        if ((before == L'/' || before == L'\\') &&
            CompareStringOrdinal(location.c_str() + at, -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            location.resize(at);
    }
    if (!location.empty() && location.back() != L'/' && location.back() != L'\\')
        location += web ? L'/' : L'\\';
    return location;
}

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

std::wstring LocalAppData() {
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    std::wstring folder(length, L'\0');
    if (length == 0 || GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), length) != length - 1)
        return {};
    folder.resize(length - 1);
    return folder;
}

} // namespace

CatalogSettings ReadCatalogSettings(const CatalogChoices& chosen) {
    CatalogSettings settings;
    const std::optional<std::wstring> policy = MachinePolicy::Text(MachinePolicy::kCatalog);
    settings.off = policy && policy->empty();
    settings.location = CatalogFolder(chosen.location ? *chosen.location
                                      : policy        ? *policy
                                                      : Utf8ToWide(OSTREL_CATALOG_URL));
    const std::optional<std::wstring> channel = MachinePolicy::Text(MachinePolicy::kChannel);
    settings.channel = chosen.channel                 ? *chosen.channel
                       : channel && !channel->empty() ? WideToUtf8(*channel)
                                                      : std::string(kDefaultChannel);
    if (chosen.mirror) {
        settings.mirror = WithSeparator(*chosen.mirror);
    } else if (const std::optional<std::wstring> folder = MachinePolicy::Folder(MachinePolicy::kFirmwareFolder)) {
        settings.mirror = WithSeparator(*folder);
        settings.mirrorFromPolicy = true;
    } else {
        const std::wstring local = LocalAppData();
        settings.mirror = local.empty() ? std::wstring() : local + kMirrorUnderLocalAppData;
    }
    return settings;
}
