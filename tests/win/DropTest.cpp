// Images dropped onto the main window: one starts a download as a chosen one does; a drop during a run, several
// files, a folder or a missing file start nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

// DragFinish frees the block; a freed handle has no size.
bool Released(HDROP drop) {
    return GlobalSize(drop) == 0;
}

// A folder of this test process under the temporary folder, named in characters that no Western ANSI code page
// has, so that a path squeezed through the ANSI code page would no longer name it.
class DropFolder {
public:
    DropFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        m_path = std::wstring(temp) + L"ostrel-\x043E\x0431\x0440\x0430\x0437-" +
                 std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~DropFolder() {
        for (const std::wstring& file : m_files)
            DeleteFileW(file.c_str());
        RemoveDirectoryW(m_path.c_str());
    }
    DropFolder(const DropFolder&) = delete;
    DropFolder& operator=(const DropFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    // An image of `size` bytes: marker, USB port, the flash kind, every other byte from a pattern.
    std::wstring PutImage(const std::wstring& name, std::size_t size, std::uint8_t flashKind,
                          std::string* bytesOut = nullptr) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7 + i / 2048);
        bytes[0] = '$';
        bytes[1] = 1;
        bytes[2] = static_cast<char>(flashKind);
        bytes[5] = 0; // no date
        const std::wstring path = m_path + name;
        const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(size), &written, nullptr);
        m_files.push_back(path);
        if (bytesOut)
            *bytesOut = bytes;
        return path;
    }

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

std::string FileContents(const std::string& path) {
    const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    std::string contents(file.IsValid() ? GetFileSize(file.Get(), nullptr) : 0, '\0');
    DWORD read = 0;
    if (!contents.empty())
        ReadFile(file.Get(), contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr);
    contents.resize(read);
    return contents;
}

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
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "ostrel-drop-capture-" + std::to_string(GetCurrentProcessId());
    // About one second at this rate, so that the second drop finds the run under way.
    TestDevice device("--throttle 120000 --capture \"" + capture + "\"");
    const std::string expected = image.substr(0, 20) + image.substr(1024);

    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));

        HDROP first = MakeDrop({imagePath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(first), 0);
        EXPECT_TRUE(Released(first));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "no run started";
        const std::string info = dialog.LookupText("message", "1027");
        EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), info);

        // The other image would set another info line and take over the pipe.
        HDROP second = MakeDrop({otherPath});
        SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(second), 0);
        EXPECT_TRUE(Released(second));
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
    DeleteFileA(capture.c_str());
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
            {"a folder", {folder.Path().substr(0, folder.Path().size() - 1)}, dialog.LookupText("message", "1034")},
            {"a file that is gone", {folder.Path() + L"gone.hdr"}, dialog.LookupText("message", "1034")},
        };
        BoxAnswerer answerer;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            HDROP drop = MakeDrop(c.paths);
            SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
            EXPECT_EQ(answerer.Texts(), std::vector<std::string>{c.message});
            EXPECT_TRUE(Released(drop));
            EXPECT_EQ(ControlText(hwnd, IDC_IMAGE_INFO), "") << "the image was read";
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD)));
        }
    });
}
