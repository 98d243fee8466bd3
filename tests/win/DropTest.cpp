// Images dropped onto the main window: one starts a download as a chosen one does; a drop during a run, several
// files, a folder or a missing file start nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include <shlobj.h>

#include "Handle.h"
#include "LumetraDlg.h"
#include "ModalRunner.h"
#include "TestDevice.h"
#include "resource.h"

namespace {

constexpr DWORD kPatienceMs = 20000;

std::string ControlText(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Dispatches this thread's messages until `done` holds; false when the time ran out first.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs) {
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

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    return temp;
}

std::string FileContents(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A drop as the shell hands it over: a DROPFILES block followed by the wide paths, each ended by a zero, and a
// closing zero.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
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

// Answers every message box this thread shows, from a thread timer that fires inside the box's own modal loop,
// and keeps their texts.
class BoxAnswerer {
public:
    BoxAnswerer() {
        s_texts = &m_texts;
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
        if (s_texts && text && IsWindowVisible(window)) {
            s_texts->push_back(ControlText(window, 0xFFFF));
            SendMessageA(window, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }

    static inline std::vector<std::string>* s_texts = nullptr;
    std::vector<std::string> m_texts;
    UINT_PTR m_timer = 0;
};

} // namespace

TEST(DroppedImage, StartsADownloadThatReachesTheDeviceWholeAndADropDuringTheRunIsRefused) {
    DropFolder folder;
    std::string image;
    const std::wstring imagePath =
        folder.PutImage(L"\x043F\x0440\x043E\x0448\x0438\x0432\x043A\x0430.hdr", 1024 + 60 * 2048 + 300, 1, &image);
    const std::wstring otherPath = folder.PutImage(L"other.hdr", 1024 + 4 * 2048, 2);
    // Beside the folder, in a path of plain ASCII, which the emulator's command line takes.
    const std::wstring capture = TempFolder() + L"ostrel-drop-capture-" + std::to_wstring(GetCurrentProcessId());
    folder.files.push_back(capture);
    // About one second at this rate, so that the second drop finds the run under way.
    TestDevice device("--throttle 120000 --capture \"" + std::string(capture.begin(), capture.end()) + "\"");
    const std::string expected = image.substr(0, 20) + image.substr(1024);

    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));

        HDROP first = MakeDrop({imagePath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(first), 0);
        // DragFinish frees the block: a freed handle has no size.
        EXPECT_EQ(GlobalSize(first), 0u);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        const std::string info = dialog.LookupText("message", "1027");
        EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), info);

        // The other image would set another info line and take over the pipe.
        HDROP second = MakeDrop({otherPath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(second), 0);
        EXPECT_EQ(GlobalSize(second), 0u);
        EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), info);

        const std::string ended = dialog.LookupText("message", "1031");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_RESULT) == ended; }));
        // The device records what it reads a moment after the tool's last write.
        EXPECT_TRUE(PumpUntil([&] { return FileContents(capture).size() >= expected.size(); }, 5000));
        EXPECT_TRUE(FileContents(capture) == expected) << FileContents(capture).size() << " bytes captured";
        PumpUntil([] { return false; }, 600);
        EXPECT_EQ(ControlText(hwnd, IDC_RESULT), ended) << "the end text was overwritten";
        EXPECT_EQ(answerer.Texts(), std::vector<std::string>{});
    });
}

TEST(DroppedImage, SeveralFilesAFolderOrAMissingFileStartNothingAndShowTheirMessage) {
    DropFolder folder;
    const std::wstring image = folder.PutImage(L"image.hdr", 1024 + 2048, 1);
    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        struct Case {
            const char* what;
            std::vector<std::wstring> paths;
            std::string message;
        };
        const Case cases[] = {
            {"two images", {image, image}, dialog.LookupText("extra", "4")},
            {"a folder", {folder.path.substr(0, folder.path.size() - 1)}, dialog.LookupText("message", "1034")},
            {"a file that is gone", {folder.path + L"gone.hdr"}, dialog.LookupText("message", "1034")},
        };
        BoxAnswerer answerer;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            HDROP drop = MakeDrop(c.paths);
            SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            EXPECT_EQ(answerer.Texts(), std::vector<std::string>{c.message});
            EXPECT_EQ(GlobalSize(drop), 0u) << "not released";
            EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), "") << "the image was read";
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
        }
    });
}
