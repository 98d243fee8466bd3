// Files dropped onto a window: the drop handle of WM_DROPFILES, released when its owner goes.
#pragma once

#include <string>

#include <windows.h>

#include <shellapi.h>

class DroppedFiles {
public:
    explicit DroppedFiles(HDROP drop) : m_drop(drop) {}
    ~DroppedFiles() { Release(); }
    DroppedFiles(const DroppedFiles&) = delete;
    DroppedFiles& operator=(const DroppedFiles&) = delete;

    UINT Count() const;
    // The full path of the file, in UTF-16 as the system holds it; empty when there is no such file.
    std::wstring Path(UINT index) const;
    // Frees the drop (DragFinish); nothing can be read afterwards.
    void Release();

private:
    HDROP m_drop;
};

// Lets the window take files dropped onto it (WM_DROPFILES).
void AcceptDroppedFiles(HWND window);
