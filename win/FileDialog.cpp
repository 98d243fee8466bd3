// The system's open-file dialog for one existing file.
#include "FileDialog.h"

#include <commdlg.h>

#include <vector>

bool ChooseFileToOpen(HWND owner, const char* filter, std::string& path) {
    std::string filterList = filter;
    for (char& c : filterList) {
        if (c == '|')
            c = '\0';
    }
    // Room for any path the system can name, so a long one is never cut.
    std::vector<char> file(32768, '\0');

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterList.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    // No OFN_EXPLORER: without a hook or template the system shows its current style anyway.
    dialog.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&dialog))
        return false;
    path = file.data();
    return true;
}
