// The About entry and box as the main window shows them, and the compiled resources behind them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <windows.h>
#include <winver.h>

#include "LumetraDlg.h"
#include "WinApp.h"
#include "resource.h"

namespace {

std::string WindowText(HWND hwnd) {
    char text[256] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// The visible About box owned by the main window (found by caption: the main window may own message boxes too).
HWND FindAboutBox(HWND main) {
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", "About Download")))
        if (GetWindow(box, GW_OWNER) == main && IsWindowVisible(box))
            return box;
    return nullptr;
}

// One step against the live main window: true when done, false to be called again on the next tick.
using Step = std::function<bool(HWND main)>;

// Runs a CLumetraDlg modally as the application does and plays the steps from a thread timer, which fires inside
// the main window's modal loop and those of the boxes it opens, all on this thread. Returns how many steps were
// done in time. Either way it then closes what the main window owns and the main window, on every tick until
// the modal loop ends, so that a box opened meanwhile cannot hang the test.
class MainWindowRun {
public:
    static size_t Play(const std::vector<Step>& steps) {
        MainWindowRun run(steps);
        s_run = &run;
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &MainWindowRun::OnTick);
        run.m_dialog.DoModal();
        KillTimer(nullptr, timer);
        s_run = nullptr;
        return run.m_next;
    }

private:
    explicit MainWindowRun(const std::vector<Step>& steps) : m_steps(steps) { m_app.m_pMainWnd = &m_dialog; }

    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
        HWND main = s_run ? s_run->m_dialog.GetSafeHwnd() : nullptr;
        if (!main)
            return;
        if (s_run->m_next < s_run->m_steps.size() && ++s_run->m_ticks < 200) {
            if (s_run->m_steps[s_run->m_next](main))
                ++s_run->m_next;
            return;
        }
        EnumThreadWindows(GetCurrentThreadId(), &MainWindowRun::EndOwnedDialog, reinterpret_cast<LPARAM>(main));
        EndDialog(main, IDCANCEL);
    }

    static BOOL CALLBACK EndOwnedDialog(HWND hwnd, LPARAM owner) {
        if (GetWindow(hwnd, GW_OWNER) == reinterpret_cast<HWND>(owner))
            EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }

    static inline MainWindowRun* s_run = nullptr;

    CWinApp m_app;
    CLumetraDlg m_dialog;
    const std::vector<Step>& m_steps;
    size_t m_next = 0;
    int m_ticks = 0;
};

Step Post(UINT message, WPARAM wParam) {
    return [=](HWND main) { return PostMessageA(main, message, wParam, 0) != FALSE; };
}

// Waits for the About box, checks what it always shows, then closes it the given way.
Step CheckAndCloseAboutBox(void (*close)(HWND box)) {
    return [close](HWND main) {
        HWND box = FindAboutBox(main);
        if (!box)
            return false;
        HWND icon = GetWindow(box, GW_CHILD);
        HWND title = GetWindow(icon, GW_HWNDNEXT);
        HWND notice = GetWindow(title, GW_HWNDNEXT);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)),
                  LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
        EXPECT_EQ(WindowText(title), "Corvane Palix update");
        EXPECT_EQ(WindowText(notice), "Copyright (C) 2026 Corvane");
        EXPECT_EQ(WindowText(GetDlgItem(box, IDOK)), "OK");
        // Each line holds one row of text: a longer text would be cut off.
        for (HWND line : {title, notice}) {
            const std::string text = WindowText(line);
            HDC dc = GetDC(line);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(line, WM_GETFONT, 0, 0)));
            SIZE extent{};
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(dc, old);
            ReleaseDC(line, dc);
            RECT client;
            GetClientRect(line, &client);
            EXPECT_LE(extent.cx, client.right) << text;
        }
        close(box);
        return true;
    };
}

Step AboutBoxIsClosed() {
    return [](HWND main) { return !FindAboutBox(main); };
}

std::string Resource(LPCSTR type, LPCSTR name) {
    HRSRC info = FindResourceA(nullptr, name, type);
    if (!info)
        return {};
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, info))),
                       SizeofResource(nullptr, info));
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

std::vector<WORD> Languages(LPCSTR type, LPCSTR name) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(nullptr, type, name, &AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// Reads the fields of an extended dialog template in order.
class TemplateReader {
public:
    explicit TemplateReader(std::string bytes) : m_bytes(std::move(bytes)) {}

    template <class T> T Read() {
        T value{};
        if (m_offset + sizeof value <= m_bytes.size())
            std::memcpy(&value, m_bytes.data() + m_offset, sizeof value);
        m_offset += sizeof value;
        return value;
    }
    // A zero-terminated UTF-16 text (ASCII here), or "#n" for an ordinal; "" for none.
    std::string NameOrOrdinal() {
        if (Read<WORD>() == 0xFFFF)
            return "#" + std::to_string(Read<WORD>());
        m_offset -= sizeof(WORD);
        std::string text;
        while (m_offset < m_bytes.size())
            if (const WORD c = Read<WORD>())
                text += static_cast<char>(c);
            else
                break;
        return text;
    }
    void AlignToDword() { m_offset = (m_offset + 3) & ~size_t{3}; }
    bool Overran() const { return m_offset > m_bytes.size(); }

private:
    std::string m_bytes;
    size_t m_offset = 0;
};

} // namespace

TEST(AboutEntry, SeparatorThenAboutItemAtTheEndOfTheSystemMenu) {
    const std::vector<Step> steps{[](HWND main) {
        HMENU menu = GetSystemMenu(main, FALSE);
        // Wine may add its own About item after ours: find ours by its command.
        int position = -1;
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
            if (GetMenuItemID(menu, i) == IDM_ABOUTBOX) {
                EXPECT_EQ(position, -1) << "one About item";
                position = i;
            }
        EXPECT_GT(position, 0);
        EXPECT_TRUE(GetMenuState(menu, position - 1, MF_BYPOSITION) & MF_SEPARATOR);
        char text[32] = "";
        GetMenuStringA(menu, IDM_ABOUTBOX, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ(text, "&About ...");
        return true;
    }};
    EXPECT_EQ(MainWindowRun::Play(steps), steps.size()) << "steps done";
}

TEST(AboutBox, OpensForSystemCommands0x10To0x1FOnlyAndClosesEveryWay) {
    int ticksWithoutBox = 0;
    const std::vector<Step> steps{
        Post(WM_SYSCOMMAND, 0x10),
        CheckAndCloseAboutBox([](HWND box) { PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }),
        AboutBoxIsClosed(),
        Post(WM_SYSCOMMAND, 0x1F),
        CheckAndCloseAboutBox([](HWND box) { PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 0); }),
        AboutBoxIsClosed(),
        Post(WM_SYSCOMMAND, 0x13),
        CheckAndCloseAboutBox([](HWND box) { PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_RETURN, 0); }),
        AboutBoxIsClosed(),
        Post(WM_SYSCOMMAND, 0x18),
        CheckAndCloseAboutBox([](HWND box) { PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); }),
        AboutBoxIsClosed(),
        Post(WM_SYSCOMMAND, 0x20),
        [&ticksWithoutBox](HWND main) {
            EXPECT_FALSE(FindAboutBox(main)) << "command 0x20";
            return ++ticksWithoutBox == 4;
        },
        [](HWND main) { return IsWindowVisible(main) != FALSE; },
    };
    EXPECT_EQ(MainWindowRun::Play(steps), steps.size()) << "steps done";
}

TEST(AboutResources, TemplateIsCompiledAsListed) {
    TemplateReader reader(Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUTBOX)));
    EXPECT_EQ(reader.Read<WORD>(), 1);
    EXPECT_EQ(reader.Read<WORD>(), 0xFFFF) << "extended template";
    EXPECT_EQ(reader.Read<DWORD>(), 0u) << "help id";
    EXPECT_EQ(reader.Read<DWORD>(), 0u) << "extended style";
    EXPECT_EQ(reader.Read<DWORD>(), 0x80C800C8u);
    EXPECT_EQ(reader.Read<WORD>(), 4) << "controls";
    for (short expected : {0, 0, 235, 55})
        EXPECT_EQ(reader.Read<short>(), expected);
    EXPECT_EQ(reader.NameOrOrdinal(), "") << "menu";
    EXPECT_EQ(reader.NameOrOrdinal(), "") << "class";
    EXPECT_EQ(reader.NameOrOrdinal(), "About Download");
    EXPECT_EQ(reader.Read<WORD>(), 8) << "points";
    EXPECT_EQ(reader.Read<WORD>(), 0) << "weight";
    EXPECT_EQ(reader.Read<BYTE>(), 0) << "italic";
    EXPECT_EQ(reader.Read<BYTE>(), 1) << "character set";
    EXPECT_EQ(reader.NameOrOrdinal(), "MS Shell Dlg");

    // windres stores a class name as upper-case text where Microsoft's compiler stores the class's ordinal
    // (0x80 Button, 0x82 Static): both name the same system class.
    struct Control {
        DWORD id;
        const char* className;
        const char* text;
        DWORD style;
        short x, y, cx, cy;
    };
    const Control controls[] = {
        {0xFFFFFFFF, "STATIC", "#5", 0x50000003, 11, 17, 20, 20},
        {0xFFFFFFFF, "STATIC", "Corvane Palix update", 0x50020080, 40, 10, 119, 8},
        {0xFFFFFFFF, "STATIC", "Copyright (C) 2026 Corvane", 0x50020000, 40, 25, 119, 8},
        {IDOK, "BUTTON", "OK", 0x50030001, 178, 7, 50, 16},
    };
    for (const Control& control : controls) {
        SCOPED_TRACE(control.text);
        reader.AlignToDword();
        EXPECT_EQ(reader.Read<DWORD>(), 0u) << "help id";
        EXPECT_EQ(reader.Read<DWORD>(), 0u) << "extended style";
        EXPECT_EQ(reader.Read<DWORD>(), control.style);
        for (short expected : {control.x, control.y, control.cx, control.cy})
            EXPECT_EQ(reader.Read<short>(), expected);
        EXPECT_EQ(reader.Read<DWORD>(), control.id);
        EXPECT_EQ(reader.NameOrOrdinal(), control.className);
        EXPECT_EQ(reader.NameOrOrdinal(), control.text);
        EXPECT_EQ(reader.Read<WORD>(), 0) << "creation data";
    }
    EXPECT_FALSE(reader.Overran());
}

TEST(AboutResources, StringVersionRecordAndManifestAreTaggedAndWrittenAsListed) {
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    EXPECT_EQ(Languages(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUTBOX)), std::vector<WORD>{russian});
    EXPECT_EQ(Languages(RT_STRING, MAKEINTRESOURCEA(IDS_ABOUTBOX / 16 + 1)), std::vector<WORD>{russian});
    EXPECT_EQ(Languages(RT_VERSION, MAKEINTRESOURCEA(1)), std::vector<WORD>{russian});
    // One manifest only: a toolchain that linked a default one beside ours would add a language here.
    EXPECT_EQ(Languages(RT_MANIFEST, MAKEINTRESOURCEA(1)),
              std::vector<WORD>{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)});

    char text[32] = "";
    LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof text);
    EXPECT_STREQ(text, "&About ...");

    const std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
    EXPECT_NE(manifest.find("manifestVersion=\"1.0\""), std::string::npos);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    EXPECT_EQ(manifest.find("dependency"), std::string::npos) << "no common-controls version";
}

TEST(AboutResources, VersionRecordReadsBackThroughTheVersionApi) {
    // Loaded at run time: the test executable does not link version.dll.
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> library(LoadLibraryA("version.dll"),
                                                                                          &FreeLibrary);
    ASSERT_TRUE(library);
    const auto function = [&library](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(library.get(), name));
    };
    const auto size = reinterpret_cast<decltype(&GetFileVersionInfoSizeA)>(function("GetFileVersionInfoSizeA"));
    const auto read = reinterpret_cast<decltype(&GetFileVersionInfoA)>(function("GetFileVersionInfoA"));
    const auto query = reinterpret_cast<decltype(&VerQueryValueA)>(function("VerQueryValueA"));
    ASSERT_TRUE(size && read && query);

    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    std::vector<char> block(size(path, &ignored));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(read(path, 0, static_cast<DWORD>(block.size()), block.data()));
    UINT length = 0;
    const auto value = [&](const std::string& subBlock) {
        void* found = nullptr;
        return query(block.data(), subBlock.c_str(), &found, &length) ? found : nullptr;
    };

    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value("\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, 0x4u);
    EXPECT_EQ(fixed->dwFileType, 0x1u);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS | fixed->dwFileDateLS, 0u);

    const auto* translation = static_cast<const WORD*>(value("\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(std::vector<WORD>(translation, translation + length / sizeof(WORD)), (std::vector<WORD>{0x0409, 0x04E4}));

    const std::pair<const char*, const char*> strings[] = {
        {"Comments", "Corvane Ostrel update"},
        {"CompanyName", "Corvane Ostrel update"},
        {"FileDescription", "Corvane Ostrel update"},
        {"FileVersion", "1.0.0.1"},
        {"InternalName", "Corvane Ostrel update"},
        {"LegalCopyright", "Copyright (C) 2026 Corvane"},
        {"OriginalFilename", "Corvane Ostrel update.exe"},
        {"ProductName", "<Corvane Ostrel update>"},
        {"ProductVersion", "1.0.0.1"},
    };
    for (const auto& [key, expected] : strings) {
        const auto* text = static_cast<const char*>(value(std::string("\\StringFileInfo\\040904e4\\") + key));
        EXPECT_STREQ(text ? text : "(missing)", expected) << key;
    }
}
