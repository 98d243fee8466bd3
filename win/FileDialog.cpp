// The system's open-file dialog for one existing file.
#include "FileDialog.h"

#include <commdlg.h>

#include <vector>

#include "AnsiText.h"

bool ChooseFileToOpen(HWND owner, const char* filter, std::wstring& path) {
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
    // No OFN_EXPLORER: without a hook or template the system shows its current style anyway.
    dialog.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&dialog))
        return false;
    path = file.data();
    return true;
}
