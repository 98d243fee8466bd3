// The default log's place, from the machine policy or the user's local application data, and stamped records.
#include "RunLog.h"

#include <cstdint>
#include <cwctype>

#include <windows.h>

#include "AnsiText.h"
#include "HostFacts.h"
#include "MachinePolicy.h"

namespace {

// As Group Policy may write it: %ProgramData%\... in a REG_EXPAND_SZ.
std::wstring PolicyLogFolder() {
    return MachinePolicy::Folder(MachinePolicy::kLogFolder).value_or(std::wstring());
}

std::wstring EnvironmentText(const wchar_t* name) {
    const DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return std::wstring();
    std::wstring text(length, L'\0');
    text.resize(GetEnvironmentVariableW(name, text.data(), length));
    return text;
}

// The folder's path in a short tag of hexadecimal digits (FNV-1a), the same however its letters are cased.
std::wstring FolderTag(const std::wstring& folder) {
    std::uint32_t hash = 2166136261u;
    for (const wchar_t c : folder)
        hash = (hash ^ static_cast<std::uint32_t>(towlower(c))) * 16777619u;
    std::wstring tag;
    for (int shift = 28; shift >= 0; shift -= 4)
        tag += L"0123456789abcdef"[(hash >> shift) & 0xF];
    return tag;
}

} // namespace

DefaultLog DefaultRunLog(bool createFolders) {
    DefaultLog log;
    const std::wstring appData = EnvironmentText(L"LOCALAPPDATA");
    const std::wstring company = appData + L"\\Corvane";
    const std::wstring folder = company + L"\\Ostrel update";
    const std::wstring policyFolder = PolicyLogFolder();
    const std::wstring computer = Utf8ToWide(ComputerName());
    if (!policyFolder.empty() && !computer.empty()) {
        log.path = policyFolder + L"\\" + computer + L".jsonl";
        log.fromPolicy = true;
        if (!appData.empty())
            log.spoolPath = folder + L"\\spool\\" + computer + L"-" + FolderTag(policyFolder) + L".jsonl";
        return log;
    }
    if (appData.empty())
        return log;
    if (createFolders) {
        CreateDirectoryW(company.c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    log.path = folder + L"\\downloads.jsonl";
    return log;
}

RunRecord StampedRecord(const char* front, const char* version) {
    RunRecord record;
    record.id = NewGuidText();
    record.time = UtcTimestamp();
    record.front = front;
    record.version = version;
    record.host = ComputerName();
    record.identity.station = record.host;
    record.identity.operatorName = UserName();
    return record;
}
