// Drives the running tool from another process.
#include "ToolDriver.h"

#include <cstring>
#include <iterator>

#include <commctrl.h>
#include <dlgs.h>

#include "DevSimNames.h"
#include "TestText.h"
#include "resource.h"

namespace e2e {

namespace {

constexpr UINT kAnswerMs = 2000;
constexpr DWORD kPollMs = 10;
constexpr char kDialogClass[] = "#32770";
// The static that holds a message box's text.
constexpr int kMessageBoxTextId = 0xFFFF;

// The current environment with the emulator instance replaced: the tool's stand-in driver library reads it.
std::string EnvironmentWith(const std::string& name, const std::string& value) {
    std::string block;
    char* strings = GetEnvironmentStringsA();
    const std::string prefix = name + "=";
    for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1) {
        if (_strnicmp(entry, prefix.c_str(), prefix.size()) != 0)
            block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
    block.append(prefix + value).push_back('\0');
    block.push_back('\0');
    return block;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct DialogSearch {
    DWORD processId;
    bool (*accept)(HWND);
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId && IsWindowVisible(window) && ClassOf(window) == kDialogClass &&
        search.accept(window))
        search.found.push_back(window);
    return TRUE;
}

// The process's visible top-level dialogs that `accept` takes.
std::vector<HWND> VisibleDialogs(DWORD processId, bool (*accept)(HWND)) {
    DialogSearch search{processId, accept, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMainWindow(HWND window) {
    return GetDlgItem(window, IDC_DOWNLOAD) != nullptr;
}

// Explorer style has the file-name combo box, the old style a plain edit.
bool IsFileDialog(HWND window) {
    return GetDlgItem(window, cmb13) != nullptr || GetDlgItem(window, edt1) != nullptr;
}

bool IsMessageBox(HWND window) {
    return GetDlgItem(window, kMessageBoxTextId) != nullptr && !IsMainWindow(window) && !IsFileDialog(window);
}

HWND WaitForDialog(DWORD processId, bool (*accept)(HWND), DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> dialogs = VisibleDialogs(processId, accept);
            found = dialogs.empty() ? nullptr : dialogs.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

// SystemExtendedHandleInformation of NtQuerySystemInformation, which MinGW's headers lack.
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
struct SystemHandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct SystemHandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    SystemHandleEntry entries[1];
};
using QuerySystemInformation = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);

// The system's handle table; false when the system does not give it.
bool ReadHandleTable(std::vector<ULONG_PTR>& buffer) {
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return false;
    buffer.resize(16 * 1024);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kSystemExtendedHandleInformation, buffer.data(),
                           static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), &needed)) ==
           kStatusInfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    return status >= 0;
}

// The object type of one of this process's handles, as the table numbers types.
int TypeIndexOf(const SystemHandleTable& table, HANDLE handle) {
    for (ULONG_PTR i = 0; i < table.count; ++i) {
        const SystemHandleEntry& entry = table.entries[i];
        if (entry.processId == GetCurrentProcessId() && entry.handle == reinterpret_cast<ULONG_PTR>(handle))
            return entry.objectTypeIndex;
    }
    return -1;
}

// Asks the other process's handle whether its thread has ended.
bool IsEndedThread(HANDLE process, ULONG_PTR handle) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(handle), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0))
        return false;
    const KernelHandle thread(copy);
    return WaitForSingleObject(thread.Get(), 0) == WAIT_OBJECT_0;
}

BOOL CALLBACK FindEdit(HWND child, LPARAM param) {
    if (ClassOf(child) != "Edit")
        return TRUE;
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
}

// The file-name edit: inside the explorer-style combo box (ComboBoxEx32, ComboBox, Edit), else the old style's.
HWND FileNameEdit(HWND fileDialog) {
    HWND combo = GetDlgItem(fileDialog, cmb13);
    if (!combo)
        return GetDlgItem(fileDialog, edt1);
    if (ClassOf(combo) == "Edit")
        return combo;
    HWND edit = nullptr;
    EnumChildWindows(combo, FindEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
}

} // namespace

ToolProcess::ToolProcess(const std::wstring& exePath, const std::string& instance)
    : m_process(exePath, L"", ChildProcess::Output::None, exePath.substr(0, exePath.find_last_of(L'\\') + 1),
                EnvironmentWith(DevSim::kInstanceVariable, instance)) {}

ToolProcess::ToolProcess(const std::string& exePath, const std::string& instance)
    : ToolProcess(AnsiToWide(exePath), instance) {}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD began = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - began >= timeoutMs)
            return false;
        Sleep(kPollMs);
    }
}

HWND WaitForMainWindow(DWORD processId, DWORD timeoutMs) {
    return WaitForDialog(processId, IsMainWindow, timeoutMs);
}

std::vector<HWND> MessageBoxes(DWORD processId) {
    return VisibleDialogs(processId, IsMessageBox);
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    return WaitForDialog(processId, IsMessageBox, timeoutMs);
}

HWND WaitForFileDialog(DWORD processId, DWORD timeoutMs) {
    return WaitForDialog(processId, IsFileDialog, timeoutMs);
}

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerMs, &copied))
        return {};
    text.resize(copied < length ? copied : length);
    return text;
}

std::string WindowTextUtf8(HWND window) {
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerMs, &copied))
        return {};
    text.resize(copied < length ? copied : length);
    return Utf8(text);
}

std::string ControlText(HWND dialog, int controlId) {
    return WindowText(GetDlgItem(dialog, controlId));
}

std::string MessageBoxText(HWND box) {
    return ControlText(box, kMessageBoxTextId);
}

bool IsControlEnabled(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control && IsWindowEnabled(control);
}

int ProgressPosition(HWND dialog, int controlId) {
    DWORD_PTR position = 0;
    HWND bar = GetDlgItem(dialog, controlId);
    if (!bar || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &position))
        return -1;
    return static_cast<int>(position);
}

bool PostClick(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control && PostMessageA(control, BM_CLICK, 0, 0);
}

bool ChooseFile(HWND fileDialog, const std::string& path) {
    return ChooseFile(fileDialog, AnsiToWide(path));
}

bool ChooseFile(HWND fileDialog, const std::wstring& path) {
    HWND edit = FileNameEdit(fileDialog);
    DWORD_PTR result = 0;
    if (!edit || !SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                                      kAnswerMs, &result))
        return false;
    wchar_t typed[1024] = L"";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXT, std::size(typed), reinterpret_cast<LPARAM>(typed), SMTO_ABORTIFHUNG,
                             kAnswerMs, &copied))
        return false;
    return typed == path && PostClick(fileDialog, IDOK);
}

bool TakeHandleCensus(DWORD processId, HandleCensus& census) {
    const KernelHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, processId));
    if (!process.IsValid())
        return false;
    // Objects of the kinds sought, held here, tell how the table numbers those kinds.
    char exePath[MAX_PATH];
    GetModuleFileNameA(nullptr, exePath, MAX_PATH);
    const FileHandle file(CreateFileA(exePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!file.IsValid() || !CreatePipe(&readEnd, &writeEnd, nullptr, 0))
        return false;
    const FileHandle pipeRead(readEnd);
    const FileHandle pipeWrite(writeEnd);
    HANDLE threadCopy = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &threadCopy, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    const KernelHandle thread(threadCopy);

    std::vector<ULONG_PTR> buffer;
    if (!ReadHandleTable(buffer))
        return false;
    const auto& table = *reinterpret_cast<const SystemHandleTable*>(buffer.data());
    const int fileType = TypeIndexOf(table, file.Get());
    const int pipeType = TypeIndexOf(table, pipeWrite.Get());
    const int threadType = TypeIndexOf(table, thread.Get());
    if (fileType < 0 || pipeType < 0 || threadType < 0)
        return false;
    census = HandleCensus();
    for (ULONG_PTR i = 0; i < table.count; ++i) {
        const SystemHandleEntry& entry = table.entries[i];
        if (entry.processId != processId)
            continue;
        ++census.total;
        if (entry.objectTypeIndex == fileType || entry.objectTypeIndex == pipeType)
            ++census.files;
        else if (entry.objectTypeIndex == threadType && IsEndedThread(process.Get(), entry.handle))
            ++census.endedThreads;
    }
    return true;
}

std::string TextTableEntry(const std::string& tablePath, const char* section, const char* key) {
    char text[1024] = "";
    GetPrivateProfileStringA(section, key, "", text, sizeof text, tablePath.c_str());
    return text;
}

} // namespace e2e
