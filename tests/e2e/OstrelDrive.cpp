// ostrel-drive: starts the tool, waits for the device, downloads one image through the window and closes the tool,
// stopping at checkpoints so that a script can take screenshots; or only reads the window's first texts.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "ToolDriver.h"
#include "resource.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr DWORD kRunLimitMs = 10 * 60 * 1000;
constexpr DWORD kHandshakeLimitMs = 60 * 1000;

const char kUsage[] =
    R"(Usage: ostrel-drive --tool EXE --image FILE [--instance NAME] [--handshake DIR] [--shot-at PERCENT]
       ostrel-drive --tool EXE --texts [--instance NAME] [--handshake DIR]

Starts the tool EXE (its lang.ini beside it) with OSTREL_DEVSIM_INSTANCE=NAME, waits until its window shows the
device connected, presses the download button, picks FILE in the open-file dialog, waits for the end of the run
and closes the tool. Prints one line per step, "ostrel-drive: ...". At the checkpoints idle (device connected),
transfer (the bar at PERCENT, default 50, or later, and the result line showing the progress), done (run ended)
and about (the About box open) it prints "ostrel-drive: checkpoint NAME" and, with --handshake, waits until the
file DIR\NAME exists before it goes on.
With --texts it only starts the tool, prints its window title and status line as the window holds them, in UTF-8
("ostrel-drive: title TEXT", "ostrel-drive: status TEXT"), stops at checkpoint texts and closes the tool.
Exit status: 0 the window reported every byte written (with --texts: the window appeared and closed); 1 anything
else; 2 usage.
)";

struct Options {
    std::string tool;
    std::string image;
    std::string instance;
    std::string handshake;
    int shotAt = 50;
    bool textsOnly = false;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--texts") {
            options.textsOnly = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (name == "--tool")
            options.tool = value;
        else if (name == "--image")
            options.image = value;
        else if (name == "--instance")
            options.instance = value;
        else if (name == "--handshake")
            options.handshake = value;
        else if (name == "--shot-at")
            options.shotAt = std::atoi(value.c_str());
        else
            return false;
    }
    return !options.tool.empty() && (options.textsOnly || !options.image.empty()) && options.shotAt > 0 &&
           options.shotAt <= 100;
}

void Say(const std::string& line) {
    std::printf("ostrel-drive: %s\n", line.c_str());
    std::fflush(stdout);
}

int Fail(const std::string& why) {
    Say("failed: " + why);
    return kExitFailed;
}

class Drive {
public:
    explicit Drive(const Options& options)
        : m_options(options), m_table(options.tool.substr(0, options.tool.find_last_of('\\') + 1) + "lang.ini") {}

    int Run();

private:
    int ShowTexts(e2e::ToolProcess& tool, HWND main) const;
    std::string Message(const char* key) const { return e2e::TextTableEntry(m_table, "message", key); }
    bool Checkpoint(const char* name) const;

    const Options& m_options;
    std::string m_table;
};

bool Drive::Checkpoint(const char* name) const {
    Say(std::string("checkpoint ") + name);
    if (m_options.handshake.empty())
        return true;
    const std::string go = m_options.handshake + "\\" + name;
    return e2e::WaitUntil([&] { return GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES; }, kHandshakeLimitMs);
}

int Drive::ShowTexts(e2e::ToolProcess& tool, HWND main) const {
    Say("title " + e2e::WindowTextUtf8(main));
    Say("status " + e2e::WindowTextUtf8(GetDlgItem(main, IDC_STATUS)));
    if (!Checkpoint("texts"))
        return Fail("no answer at checkpoint texts");
    e2e::PostClick(main, IDCANCEL);
    if (!tool.WaitForExit(e2e::kWaitMs))
        return Fail("the tool did not close");
    Say("tool closed");
    return kExitDone;
}

int Drive::Run() {
    e2e::ToolProcess tool(m_options.tool, m_options.instance);
    if (!tool.Started())
        return Fail(tool.Error());
    HWND main = e2e::WaitForMainWindow(tool.Id());
    if (!main)
        return Fail("no main window");
    if (m_options.textsOnly)
        return ShowTexts(tool, main);
    Say("window \"" + e2e::WindowText(main) + "\"");

    const std::string connected = Message("1024");
    if (!e2e::WaitUntil([&] { return e2e::ControlText(main, IDC_STATUS) == connected; }))
        return Fail("the window does not show the device: \"" + e2e::ControlText(main, IDC_STATUS) + "\"");
    Say("status \"" + connected + "\"");
    if (!Checkpoint("idle"))
        return Fail("no answer at checkpoint idle");

    if (!e2e::PostClick(main, IDC_DOWNLOAD))
        return Fail("cannot click the download button");
    HWND dialog = e2e::WaitForFileDialog(tool.Id());
    if (!dialog || !e2e::ChooseFile(dialog, m_options.image))
        return Fail("cannot pick the image in the open-file dialog");
    Say("picked " + m_options.image);

    const auto ended = [&] {
        return e2e::IsControlEnabled(main, IDC_DOWNLOAD) && !e2e::ControlText(main, IDC_RESULT).empty();
    };
    int position = 0;
    if (!e2e::WaitUntil(
            [&] {
                position = e2e::ProgressPosition(main, IDC_PROGRESS);
                // The result line shows the progress from two seconds into the run.
                return (position >= m_options.shotAt && !e2e::ControlText(main, IDC_RESULT).empty()) || ended();
            },
            kRunLimitMs))
        return Fail("the run did not end");
    if (!ended()) {
        Say("position " + std::to_string(position) + ", result line \"" + e2e::ControlText(main, IDC_RESULT) + "\"");
        if (!Checkpoint("transfer"))
            return Fail("no answer at checkpoint transfer");
        Say("position " + std::to_string(e2e::ProgressPosition(main, IDC_PROGRESS)) + " after the checkpoint");
    }
    if (!e2e::WaitUntil(ended, kRunLimitMs))
        return Fail("the run did not end");
    const std::string result = e2e::ControlText(main, IDC_RESULT);
    Say("result \"" + result + "\"");
    Say("info \"" + e2e::ControlText(main, IDC_IMAGE_INFO) + "\"");
    if (!Checkpoint("done"))
        return Fail("no answer at checkpoint done");

    // The About box, from the system menu's entry.
    PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = nullptr;
    if (!e2e::WaitUntil([&] {
            about = FindWindowA("#32770", "About Download");
            DWORD owner = 0;
            GetWindowThreadProcessId(about, &owner);
            return about && owner == tool.Id() && IsWindowVisible(about);
        }))
        return Fail("no About box");
    if (!Checkpoint("about"))
        return Fail("no answer at checkpoint about");
    e2e::PostClick(about, IDOK);

    e2e::PostClick(main, IDCANCEL);
    if (!tool.WaitForExit(e2e::kWaitMs))
        return Fail("the tool did not close");
    Say("tool closed");
    return result == Message("1031") ? kExitDone : Fail("the window did not report the whole image written");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    return Drive(options).Run();
}
