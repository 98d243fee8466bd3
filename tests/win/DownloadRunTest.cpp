// The download run's steps: each cause that stops a run gives its own outcome, and a run that goes through holds the
// machine's lock until it is finished.
#include <gtest/gtest.h>

#include <functional>

#include "DownloadRun.h"
#include "LumetraDlg.h"
#include "ScopedMachinePolicy.h"
#include "ModalRunner.h"
#include "SwappedFile.h"
#include "TestDevice.h"
#include "TestWorkers.h"
#include "WindowRun.h"
#include "resource.h"

using namespace windowrun;

namespace {

// Overwrites the first bytes of a file in place, or makes a file of them.
void Patch(const std::wstring& path, const std::string& bytes, LONGLONG size = -1) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (size >= 0) {
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(file.Get());
    }
}

// The outcome of the first step that does not go on, up to an opened pipe.
RunOutcome FirstStop(DownloadRun& run) {
    const RunOutcome tested = run.TestHeader();
    if (tested != RunOutcome::Ok)
        return tested;
    for (RunOutcome (DownloadRun::*step)() : {&DownloadRun::LoadImage, &DownloadRun::OpenPipe}) {
        const RunOutcome outcome = (run.*step)();
        if (outcome != RunOutcome::Ok)
            return outcome;
    }
    return RunOutcome::Ok;
}

} // namespace

TEST(DownloadRun, EachCauseThatStopsARunHasAnOutcomeOfItsOwn) {
    DropFolder folder;
    // No emulator answers to this name.
    SetEnvironmentVariableA("OSTREL_DEVSIM_INSTANCE", ("no-device-" + std::to_string(GetCurrentProcessId())).c_str());
    struct Case {
        const char* cause;
        std::function<void(const std::wstring& image)> before;  // after the image is written
        std::function<void(const std::wstring& image)> between; // after the header was tested
        RunOutcome expected;
    };
    std::unique_ptr<LockElsewhere> otherRun;
    const Case cases[] = {
        {"missing file", [](const std::wstring& p) { DeleteFileW(p.c_str()); }, nullptr, RunOutcome::CannotOpen},
        {"1027 bytes", [](const std::wstring& p) { Patch(p, "$", 1027); }, nullptr, RunOutcome::TooShort},
        {"no marker", [](const std::wstring& p) { Patch(p, "#"); }, nullptr, RunOutcome::NoMarker},
        {"UART port", [](const std::wstring& p) { Patch(p, std::string("$\0", 2)); }, nullptr, RunOutcome::UartImage},
        {"shrunk after the header", nullptr, [](const std::wstring& p) { Patch(p, "$", 1000); }, RunOutcome::TooShort},
        {"grown past 4 GiB", nullptr, [](const std::wstring& p) { Patch(p, "$", (1LL << 32) + 1028); },
         RunOutcome::TooLarge},
        {"header changed", nullptr, [](const std::wstring& p) { Patch(p, std::string("$\x02", 2)); },
         RunOutcome::Changed},
        {"removed after the header", nullptr, [](const std::wstring& p) { DeleteFileW(p.c_str()); },
         RunOutcome::CannotOpenAgain},
        {"another run writes", [&](const std::wstring&) { otherRun = std::make_unique<LockElsewhere>(); }, nullptr,
         RunOutcome::AnotherRunWrites},
        {"no device", [&](const std::wstring&) { otherRun.reset(); }, nullptr, RunOutcome::PipeRefused},
    };
    for (const Case& c : cases) {
        const std::wstring image = folder.PutImage(L"image.hdr", 1024 + 4096, 2);
        if (c.before)
            c.before(image);
        DownloadRun run(image);
        RunOutcome outcome = run.TestHeader();
        if (outcome == RunOutcome::Ok) {
            if (c.between)
                c.between(image);
            outcome = run.LoadImage();
            if (outcome == RunOutcome::Ok)
                outcome = run.OpenPipe();
        }
        EXPECT_EQ(outcome, c.expected) << c.cause;
    }
    {
        const SwappedFile noLibrary("TarselUSB.dll", "");
        DownloadRun run(folder.PutImage(L"image.hdr", 1028, 1));
        EXPECT_EQ(FirstStop(run), RunOutcome::NoLibrary) << "no driver library";
    }
}

TEST(DownloadRun, ARunThatGoesThroughCompletesAndHoldsTheMachinesLockUntilItIsFinished) {
    DropFolder folder;
    TestDevice device;
    DownloadRun run(folder.PutImage(L"image.hdr", 1024 + 4096, 1));
    RunOutcome outcome = RunOutcome::PipeRefused;
    // The emulator takes a moment to serve its pipe.
    for (int i = 0; i < 100 && outcome == RunOutcome::PipeRefused; ++i, Sleep(50))
        outcome = FirstStop(run);
    ASSERT_EQ(outcome, RunOutcome::Ok);
    ASSERT_EQ(run.Start(nullptr), RunOutcome::Ok);
    EXPECT_FALSE(LockElsewhere().Taken()) << "the lock is the run's";
    EXPECT_EQ(run.Finish(), TransferOutcome::Complete);
    EXPECT_TRUE(LockElsewhere().Taken()) << "the lock was not let go";
}

TEST(DownloadRun, TheWindowRefusesADamagedOrUnapprovedImageBeforeItOpensThePipe) {
    DropFolder folder;
    TestDevice device;
    // A window that went on to the pipe would find the machine's lock taken, and say so instead.
    const LockElsewhere otherRun;
    const std::wstring image = folder.PutImage(L"image.hdr", 1024 + 4096, 1);
    struct Case {
        const wchar_t* sideFile;
        std::string contents;
        bool signatureRequired;
        const TextId& box;
        bool unreadable = false; // a folder of the side file's name
    } cases[] = {
        {L".sha256", std::string(64, '0') + "  image.hdr\n", false, Text::kChecksumMismatch},
        {L".p7s", "not a signature", false, Text::kSignatureRefused},
        {nullptr, "", true, Text::kUnsignedRefused},
        {L".p7s", "", false, Text::kSideFileUnreadable, true},
    };
    CLumetraDlg dialog;
    RunModalWith(dialog, [&](HWND hwnd) {
        BoxAnswerer answerer;
        const std::string present = dialog.LookupText("message", "1024");
        ASSERT_TRUE(PumpUntil([&] { return ControlText(hwnd, IDC_STATUS) == present; }));
        for (const Case& c : cases) {
            const std::wstring side = c.sideFile ? image + c.sideFile : L"";
            if (c.unreadable)
                CreateDirectoryW(side.c_str(), nullptr);
            else if (c.sideFile)
                Patch(side, c.contents);
            const ScopedMachinePolicy policy(L"RequireSignedImages", c.signatureRequired ? 1 : 0);
            SendMessageW(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({image})), 0);
            EXPECT_EQ(answerer.Texts(), std::vector<std::string>{dialog.LookupText(c.box.section, c.box.key)});
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwnd, IDC_DOWNLOAD))) << "a run started";
            if (c.unreadable)
                RemoveDirectoryW(side.c_str());
            else if (c.sideFile)
                DeleteFileW(side.c_str());
        }
    });
}
