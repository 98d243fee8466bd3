// The default log's place, from the machine policy or the user's local application data, and stamped records.
#include "RunLog.h"

#include <windows.h>

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

} // namespace

DefaultLog DefaultRunLog(bool createFolders) {
    DefaultLog log;
    const std::wstring policyFolder = PolicyLogFolder();
    if (!policyFolder.empty()) {
        wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
        if (GetComputerNameW(computer, &length)) {
            log.path = policyFolder + L"\\" + std::wstring(computer, length) + L".jsonl";
            log.fromPolicy = true;
            return log;
        }
    }
    const std::wstring appData = EnvironmentText(L"LOCALAPPDATA");
    if (appData.empty())
        return log;
    const std::wstring company = appData + L"\\Corvane";
    const std::wstring folder = company + L"\\Ostrel update";
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
