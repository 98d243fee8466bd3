// Downloads through the real window: what the device receives, the window during and after a run, an unplugged and
// a stalled device, closing during a run, and the tool's handles after many runs.
#include <algorithm>
#include <cstdio>
#include <regex>

#include "ToolSession.h"
#include "resource.h"

namespace {

using e2e::ImageLayout;
using Sizes = std::vector<std::size_t>;

constexpr std::size_t kHeaderArea = 1024;
constexpr std::size_t kChunk = 2048;

class DownloadTest : public ToolSession {
protected:
    // The device attached and seen by the window.
    void Attach(const std::vector<std::string>& deviceOptions = {}) {
        ASSERT_TRUE(StartDevice(deviceOptions));
        ASSERT_TRUE(StartTool());
        ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024"))) << Control(IDC_STATUS);
    }

    int Position() const { return e2e::ProgressPosition(MainWindow(), IDC_PROGRESS); }
    bool ButtonEnabled() const { return e2e::IsControlEnabled(MainWindow(), IDC_DOWNLOAD); }
};

TEST_F(DownloadTest, EveryImageShapeReachesTheDeviceWholeInOrderAndInItsWriteSizes) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    struct Case {
        const char* what;
        ImageLayout layout;
        std::string info;
    };
    ImageLayout dated;
    dated.size = kHeaderArea + 40 * kChunk + 1000;
    ImageLayout smallest;
    smallest.size = kHeaderArea + 4;
    smallest.flashKind = 1;
    ImageLayout wholeChunks;
    wholeChunks.size = kHeaderArea + 3 * kChunk;
    wholeChunks.startAddress = 0x00008000;
    const Case cases[] = {
        {"dated serial flash, short last write", dated, Message("1026") + " 31/12/2014"},
        {"1028 bytes: the date bytes are the whole payload", smallest, Message("1027")},
        {"undated serial flash, payload of whole chunks", wholeChunks, Message("1028")},
    };

    std::string stream;
    Sizes sizes;
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string image = e2e::MakeImage(c.layout);
        ASSERT_TRUE(StartDownload(PutImage("image" + std::to_string(++run) + ".hdr", image)));
        ASSERT_TRUE(WaitForRunEnd(run));

        stream += e2e::DeviceStream(image);
        const Sizes writes = e2e::WriteSizes(image.size());
        sizes.insert(sizes.end(), writes.begin(), writes.end());
        EXPECT_TRUE(Captured() == stream) << "captured " << Captured().size() << " bytes, expected " << stream.size();
        EXPECT_EQ(LoggedWrites(), sizes);
        EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
        EXPECT_EQ(Position(), 0);
        EXPECT_EQ(Control(IDC_IMAGE_INFO), c.info);
    }
    EXPECT_EQ(Control(IDC_STATUS), Message("1024"));
}

TEST_F(DownloadTest, TheButtonRefusesASecondRunWhileTheBarMovesAndReturnsAfter) {
    // About one second at 300 kB/s.
    ASSERT_NO_FATAL_FAILURE(Attach({"--throttle", "300000"}));
    ImageLayout layout;
    layout.size = kHeaderArea + 150 * kChunk;
    const std::string image = e2e::MakeImage(layout);
    ASSERT_TRUE(StartDownload(PutImage("image.hdr", image)));

    std::vector<int> positions;
    ASSERT_TRUE(e2e::WaitUntil([&] { return Position() > 0; }));
    EXPECT_FALSE(ButtonEnabled());
    // Wine delivers a click to a disabled button: the tool itself must refuse it, with no file dialog.
    ASSERT_TRUE(e2e::PostClick(MainWindow(), IDC_DOWNLOAD));
    EXPECT_EQ(e2e::WaitForFileDialog(Tool().Id(), 700), nullptr);

    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            const int position = Position();
            if (position > 0)
                positions.push_back(position);
            return ButtonEnabled();
        },
        30000));
    ASSERT_TRUE(WaitForRunEnd(1));
    EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
    EXPECT_EQ(Position(), 0);
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_TRUE(std::any_of(positions.begin(), positions.end(), [](int p) { return p > 1 && p < 99; }))
        << "no position between the ends seen";

    ASSERT_TRUE(StopDevice());
    EXPECT_EQ(Device().WaitForLine("summary"),
              "ostrel-devsim: summary downloads=1 writes=" + std::to_string(e2e::WriteSizes(image.size()).size()) +
                  " bytes=" + std::to_string(e2e::DeviceStream(image).size()));
    EXPECT_TRUE(Captured() == e2e::DeviceStream(image));
}

TEST_F(DownloadTest, TheResultLineShowsDoneRateAndTimeLeftWhileTheBarMovesThenTheEndText) {
    constexpr double kThrottle = 100000;
    ASSERT_NO_FATAL_FAILURE(Attach({"--throttle", std::to_string(static_cast<int>(kThrottle))}));
    ImageLayout layout;
    // About six seconds: the line appears once two seconds are measured, and a loaded machine may cut the run short
    // (the emulator's throttle catches up after it was held up).
    layout.size = kHeaderArea + 300 * kChunk;
    const std::string image = e2e::MakeImage(layout);
    ASSERT_TRUE(StartDownload(PutImage("image.hdr", image)));

    struct Seen {
        std::string line;
        int position;
    };
    std::vector<Seen> seen;
    ASSERT_TRUE(e2e::WaitUntil(
        [&] {
            const std::string line = Control(IDC_RESULT);
            const int position = Position();
            if (!ButtonEnabled() && (seen.empty() || seen.back().line != line))
                seen.push_back({line, position});
            return ButtonEnabled();
        },
        30000));
    ASSERT_TRUE(WaitForRunEnd(1));
    EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
    Sleep(700);
    EXPECT_EQ(Control(IDC_RESULT), Message("1031")) << "a refresh after the end";

    // The shipped English text: done, total, rate in KiB/s, and whole seconds left.
    ASSERT_EQ(Text("extra", "3"), "{done} of {total}, {rate}, about {left} left");
    const std::regex pattern(R"((\d+ B|\d+\.\d [KM]iB) of (\S+ \S+), (\d+\.\d) KiB/s, about (?:(\d+) s|\?) left)");
    int whileMoving = 0;
    for (const Seen& s : seen) {
        SCOPED_TRACE(s.line);
        if (s.line.empty() || s.line == Message("1031"))
            continue;
        std::smatch match;
        ASSERT_TRUE(std::regex_match(s.line, match, pattern));
        EXPECT_EQ(match[2].str(), "600.0 KiB") << "the header command and the payload";
        const double rate = std::stod(match[3].str()) * 1024;
        EXPECT_GT(rate, kThrottle * 0.6);
        EXPECT_LT(rate, kThrottle * 1.3);
        ASSERT_TRUE(match[4].matched) << "the device takes data: the time left is known";
        EXPECT_LE(std::stoi(match[4].str()), 6);
        if (s.position > 0 && s.position < 100)
            ++whileMoving;
        std::printf("result line at %d %%: %s\n", s.position, s.line.c_str());
    }
    EXPECT_GE(whileMoving, 2) << "the line did not move along with the bar";
}

TEST_F(DownloadTest, AnUnpluggedDeviceEndsTheRunAsFailedWithTheBytesSoFarIntact) {
    ImageLayout layout;
    layout.size = kHeaderArea + 80 * kChunk;
    const std::string image = e2e::MakeImage(layout);
    const std::string stream = e2e::DeviceStream(image);
    ASSERT_NO_FATAL_FAILURE(Attach({"--throttle", "400000", "--unplug-after", std::to_string(stream.size() / 2)}));
    ASSERT_TRUE(StartDownload(PutImage("image.hdr", image)));

    ASSERT_NE(Device().WaitForLine("unplugged"), "") << Device().Output();
    // The tool retries the failing write for a few seconds before it gives up.
    ASSERT_TRUE(e2e::WaitUntil([&] { return ButtonEnabled() && !Control(IDC_RESULT).empty(); }, 30000));
    EXPECT_EQ(Control(IDC_RESULT), Text("extra", "1"));
    EXPECT_NE(Control(IDC_RESULT), Message("1031"));
    EXPECT_EQ(Position(), 0);

    const std::string captured = Captured();
    EXPECT_GE(captured.size(), stream.size() / 2);
    EXPECT_LT(captured.size(), stream.size());
    EXPECT_TRUE(captured == stream.substr(0, captured.size())) << "the bytes before the unplug differ";
    EXPECT_TRUE(WaitForControlText(IDC_STATUS, Message("1025")));
}

TEST_F(DownloadTest, ClosingDuringARunAsksFirstAndOnlyYesEndsTheTool) {
    ASSERT_NO_FATAL_FAILURE(Attach({"--stall-after", "8192"}));
    ImageLayout layout;
    layout.size = kHeaderArea + 32 * kChunk;
    ASSERT_TRUE(StartDownload(PutImage("image.hdr", layout)));
    ASSERT_NE(Device().WaitForLine("stalled"), "") << Device().Output();

    // Logging off is refused while the run lasts; Enter (IDOK) asks like Cancel does.
    DWORD_PTR endSession = 1;
    SendMessageTimeoutA(MainWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, e2e::kWaitMs, &endSession);
    EXPECT_EQ(endSession, 0u);
    ASSERT_TRUE(PostMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
    HWND box = WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), Text("extra", "2"));
    ASSERT_TRUE(Answer(box, IDNO));
    Sleep(300);
    EXPECT_TRUE(Tool().IsRunning());
    EXPECT_TRUE(IsWindowVisible(MainWindow()));
    EXPECT_FALSE(ButtonEnabled()) << "the run is still under way";
    EXPECT_EQ(Control(IDC_RESULT), "");

    // The close box this time; the worker sits in a write that only a cancel releases.
    ASSERT_TRUE(PostMessageA(MainWindow(), WM_CLOSE, 0, 0));
    box = WaitForBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), Text("extra", "2"));
    const DWORD answered = GetTickCount();
    ASSERT_TRUE(e2e::PostClick(box, IDYES));
    EXPECT_TRUE(Tool().WaitForExit(5000)) << "the tool still runs 5 s after Yes";
    std::printf("closing during a run: the tool exited %lu ms after Yes\n",
                static_cast<unsigned long>(GetTickCount() - answered));
}

TEST_F(DownloadTest, ASecondCopyOfTheToolIsRefusedWhileTheFirstWritesAndDownloadsOnceItHasFinished) {
    // About three seconds at 100 kB/s.
    ASSERT_NO_FATAL_FAILURE(Attach({"--throttle", "100000"}));
    ImageLayout layout;
    layout.size = kHeaderArea + 150 * kChunk;
    const std::string image = e2e::MakeImage(layout);
    const std::string path = PutImage("image.hdr", image);
    e2e::ToolProcess second(ToolPath(), Instance());
    ASSERT_TRUE(second.Started()) << second.Error();
    HWND secondMain = e2e::WaitForMainWindow(second.Id());
    ASSERT_NE(secondMain, nullptr);
    const auto secondChooses = [&] {
        HWND dialog = e2e::PostClick(secondMain, IDC_DOWNLOAD) ? e2e::WaitForFileDialog(second.Id()) : nullptr;
        return dialog && e2e::ChooseFile(dialog, path);
    };
    ASSERT_TRUE(e2e::WaitUntil([&] { return e2e::ControlText(secondMain, IDC_STATUS) == Message("1024"); }));

    ASSERT_TRUE(StartDownload(path));
    ASSERT_TRUE(e2e::WaitUntil([&] { return Position() > 0; }));
    ASSERT_TRUE(secondChooses());
    HWND box = e2e::WaitForMessageBox(second.Id());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(e2e::MessageBoxText(box), Text("extra", "6"));
    EXPECT_FALSE(ButtonEnabled()) << "the first run had ended before the second copy was refused";
    ASSERT_TRUE(Answer(box, IDOK));
    EXPECT_TRUE(e2e::IsControlEnabled(secondMain, IDC_DOWNLOAD));

    ASSERT_TRUE(WaitForRunEnd(1));
    EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
    const std::string stream = e2e::DeviceStream(image);
    EXPECT_TRUE(Captured() == stream) << "captured " << Captured().size() << " bytes of " << stream.size();

    ASSERT_TRUE(secondChooses());
    ASSERT_NE(Device().WaitForLine("download", 2, 30000), "") << Device().Output();
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return e2e::IsControlEnabled(secondMain, IDC_DOWNLOAD) &&
               e2e::ControlText(secondMain, IDC_RESULT) == Message("1031");
    })) << e2e::ControlText(secondMain, IDC_RESULT);
    EXPECT_TRUE(e2e::MessageBoxes(second.Id()).empty());
    EXPECT_TRUE(Captured() == stream + stream) << "captured " << Captured().size() << " bytes";
}

TEST_F(DownloadTest, FromAFolderNamedOutsideTheAnsiCodePageTheTextsShowAndAChosenImageArrivesWhole) {
    // Cyrillic and Thai, which no ANSI code page holds together.
    const std::wstring name = L"\x043E\x0431\x043D\x043E\x0432\x043B\x0435\x043D\x0438\x0435-\x0E40\x0E1F\x0E34\x0E23"
                              L"\x0E4C\x0E21\x0E41\x0E27\x0E23\x0E4C";
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "the ANSI code page " << GetACP() << " holds the folder's name: the test would prove nothing";
    const std::wstring folder = PutToolIn(name);
    ImageLayout layout;
    layout.size = kHeaderArea + 20 * kChunk + 300;
    const std::string image = e2e::MakeImage(layout);
    const std::wstring imagePath = folder + L"\x043F\x0440\x043E\x0448\x0438\x0432\x043A\x0430.hdr";
    ASSERT_TRUE(e2e::WriteWholeFile(imagePath, image));

    ASSERT_TRUE(StartDevice());
    ASSERT_TRUE(StartToolIn(folder));
    EXPECT_EQ(e2e::WindowText(MainWindow()), Text("title", "100"));
    ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024"))) << Control(IDC_STATUS);
    ASSERT_TRUE(StartDownload(imagePath));
    ASSERT_TRUE(WaitForRunEnd(1));
    EXPECT_EQ(Control(IDC_RESULT), Message("1031"));
    EXPECT_EQ(Control(IDC_IMAGE_INFO), Message("1026") + " 31/12/2014");
    EXPECT_TRUE(Captured() == e2e::DeviceStream(image)) << "captured " << Captured().size() << " bytes";
}

// Counted by kind: the total also grows with a handle that Wine's file dialog never releases (a registry key per
// chosen file).
TEST_F(DownloadTest, TenRunsLeaveNoFileOrThreadHandleOpen) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    ImageLayout layout;
    layout.size = kHeaderArea + 4 * kChunk;
    const std::string path = PutImage("image.hdr", layout);

    // The first run loads the file dialog's libraries, which keep their handles.
    ASSERT_TRUE(StartDownload(path));
    ASSERT_TRUE(WaitForRunEnd(1));
    e2e::HandleCensus before;
    ASSERT_TRUE(e2e::TakeHandleCensus(Tool().Id(), before)) << GetLastError();
    for (int run = 2; run <= 11; ++run) {
        ASSERT_TRUE(StartDownload(path));
        ASSERT_TRUE(WaitForRunEnd(run));
        ASSERT_EQ(Control(IDC_RESULT), Message("1031"));
    }
    e2e::HandleCensus after;
    ASSERT_TRUE(e2e::TakeHandleCensus(Tool().Id(), after)) << GetLastError();
    std::printf("handles of the tool before and after ten runs: %lu and %lu in all, %lu and %lu files and pipes, "
                "%lu and %lu on ended threads\n",
                static_cast<unsigned long>(before.total), static_cast<unsigned long>(after.total),
                static_cast<unsigned long>(before.files), static_cast<unsigned long>(after.files),
                static_cast<unsigned long>(before.endedThreads), static_cast<unsigned long>(after.endedThreads));
    EXPECT_LE(after.files, before.files) << "an image file or a pipe was left open";
    EXPECT_LE(after.endedThreads, before.endedThreads) << "a worker's thread handle was left open";
}

} // namespace
