// The system's open-file dialog for one existing file.
#include "FileDialog.h"

#include <commdlg.h>

#include <vector>

#include "AnsiText.h"
#include "SystemLibrary.h"

namespace {
// Puts the current folder back as it was when the scope began.
class CurrentFolder {
public:
    CurrentFolder() {
        m_path.resize(GetCurrentDirectoryW(0, nullptr));
        m_path.resize(GetCurrentDirectoryW(static_cast<DWORD>(m_path.size()), m_path.data()));
    }
    ~CurrentFolder() {
        if (!m_path.empty())
            SetCurrentDirectoryW(m_path.c_str());
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring m_path;
};
} // namespace

bool ChooseFileToOpen(HWND owner, const char* filter, std::wstring& path, const std::wstring& initialFolder) {
    static const auto getOpenFileName = SYSTEM_FUNCTION(L"comdlg32.dll", GetOpenFileNameW);
    if (!getOpenFileName)
        return false;
    std::wstring filterList = AnsiToWide(filter);
    for (wchar_t& c : filterList) {
        if (c == L'|')
            c = L'\0';
    }
    // Room for any path the system can name, so a long one is never cut.
    std::vector<wchar_t> file(32768, L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterList.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    if (!initialFolder.empty())
        dialog.lpstrInitialDir = initialFolder.c_str();
    // No OFN_EXPLORER: without a hook or template the system shows its current style anyway.
    dialog.Flags = OFN_FILEMUSTEXIST;
    // The dialog moves the current folder to wherever the user browsed; it is put back, so that nothing the
    // program looks for by a relative name is taken from the folder of an image.
    const CurrentFolder kept;
    if (!getOpenFileName(&dialog))
        return false;
    path = file.data();
    return true;
}
