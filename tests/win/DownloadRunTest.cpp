// The download run's steps: each cause that stops a run gives its own outcome, and a run that goes through holds the
// machine's lock until it is finished.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "DownloadRun.h"
#include "SwappedFile.h"
#include "TestDevice.h"
#include "WindowRun.h"

using namespace windowrun;

namespace {

// Overwrites the first bytes of a file in place.
void Patch(const std::wstring& path, const std::string& bytes, LONGLONG size = -1) {
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (size >= 0) {
        LARGE_INTEGER end;
        end.QuadPart = size;
        SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN);
        SetEndOfFile(file.Get());
    }
}

// The machine's lock taken on a thread of its own, as another run takes it: a mutex is re-entrant for the thread
// that holds it.
class LockElsewhere {
public:
    LockElsewhere() {
        m_thread = std::thread([this] {
            DownloadLock lock;
            m_taken = lock.TryTake();
            m_ready = true;
            while (!m_done)
                Sleep(10);
        });
        while (!m_ready)
            Sleep(10);
    }
    ~LockElsewhere() {
        m_done = true;
        m_thread.join();
    }
    bool Taken() const { return m_taken; }

private:
    std::atomic<bool> m_ready{false}, m_done{false}, m_taken{false};
    std::thread m_thread;
};

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
