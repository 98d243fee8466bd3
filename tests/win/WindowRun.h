// Driving the main window from inside the test process: pumping its messages, dropping images onto it from a folder
// named outside the ANSI code page, and answering its message boxes.
#pragma once

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "Handle.h"

namespace windowrun {

constexpr DWORD kPatienceMs = 20000;

inline std::string ControlText(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Dispatches this thread's messages until `done` holds; false when the time ran out first.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
    return true;
}

inline std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

inline std::string FileContents(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A drop as the shell hands it over: a DROPFILES block followed by the wide paths, each ended by a zero, and a
// closing zero.
inline HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::size_t chars = 1;
    for (const std::wstring& path : paths)
        chars += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths)
        out = std::copy(path.begin(), path.end(), out) + 1;
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// A folder of this test process under the temporary folder, named in Cyrillic, which no Western ANSI code page
// holds: a path squeezed through the ANSI code page would no longer name it.
struct DropFolder {
    DropFolder() { CreateDirectoryW(path.c_str(), nullptr); }
    ~DropFolder() {
        for (const std::wstring& file : files)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(path.c_str());
    }
    // An image of `size` bytes for the USB port, of the flash kind, undated; the other bytes from a pattern.
    std::wstring PutImage(const std::wstring& name, std::size_t size, char flashKind, std::string* bytes = nullptr) {
        std::string image(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 7 + i / 2048);
        const char header[] = {'$', 1, flashKind, 0, 0, 0};
        std::copy(std::begin(header), std::end(header), image.begin());
        files.push_back(path + name);
        const FileHandle file(CreateFileW(files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), image.data(), static_cast<DWORD>(size), &written, nullptr);
        if (bytes)
            *bytes = image;
        return files.back();
    }

    std::wstring path =
        TempFolder() + L"ostrel-\x043E\x0431\x0440\x0430\x0437-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    std::vector<std::wstring> files;
};

// Answers every message box this thread shows, from a thread timer that fires inside the box's own modal loop (and
// inside any other loop that dispatches this thread's messages), and keeps their texts. A question is answered Yes.
class BoxAnswerer {
public:
    // A box that only tells something is answered OK too, unless `answerNotices` is false: then it is left up and
    // its text kept once.
    explicit BoxAnswerer(bool answerNotices = true) {
        s_texts = &m_texts;
        s_answerNotices = answerNotices;
        s_leftUp.clear();
        m_timer = SetTimer(nullptr, 0, 50, &BoxAnswerer::Tick);
    }
    ~BoxAnswerer() {
        KillTimer(nullptr, m_timer);
        s_texts = nullptr;
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<std::string> Texts() { return std::exchange(m_texts, {}); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), &BoxAnswerer::Answer, 0);
    }
    // A message box keeps its text in a static of id 65535; the main window has none.
    static BOOL CALLBACK Answer(HWND window, LPARAM) {
        HWND text = GetDlgItem(window, 0xFFFF);
        if (!s_texts || !text || !IsWindowVisible(window))
            return TRUE;
        const bool question = GetDlgItem(window, IDYES) != nullptr;
        if (!question && !s_answerNotices) {
            if (std::find(s_leftUp.begin(), s_leftUp.end(), window) == s_leftUp.end()) {
                s_leftUp.push_back(window);
                s_texts->push_back(ControlText(window, 0xFFFF));
            }
            return TRUE;
        }
        s_texts->push_back(ControlText(window, 0xFFFF));
        SendMessageA(window, WM_COMMAND, question ? IDYES : IDOK, 0);
        return TRUE;
    }

    static inline std::vector<std::string>* s_texts = nullptr;
    static inline bool s_answerNotices = true;
    static inline std::vector<HWND> s_leftUp;
    std::vector<std::string> m_texts;
    UINT_PTR m_timer = 0;
};

} // namespace windowrun
