// The emulated device seen from the tool's side: presence, the bytes and write sizes it records, unplug, stall,
// throttle, and its command line. Each test runs its own emulator instance, so tests may run in parallel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "DevSimNames.h"
#include "SimHarness.h"

namespace {

using Sizes = std::vector<std::size_t>;

class DevSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_instance = ("t" + std::to_string(GetCurrentProcessId()) + "-" + test).substr(0, DevSim::kMaxInstanceLength);
        // The library finds this test's emulator through the variable; emulators started without --instance too.
        SetEnvironmentVariableA(DevSim::kInstanceVariable, m_instance.c_str());
        char temp[MAX_PATH];
        const std::string folder(temp, GetTempPathA(MAX_PATH, temp));
        m_capturePath = folder + "ostrel-devsim-" + m_instance + ".capture";
        m_logPath = folder + "ostrel-devsim-" + m_instance + ".log";
    }

    void TearDown() override {
        DeleteFileA(m_capturePath.c_str());
        DeleteFileA(m_logPath.c_str());
        SetEnvironmentVariableA(DevSim::kInstanceVariable, nullptr);
    }

    std::vector<std::string> Args(const std::vector<std::string>& more = {}) const {
        std::vector<std::string> args{"--instance", m_instance, "--capture", m_capturePath, "--log", m_logPath};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    int Stop() const {
        std::string output;
        return RunEmulator({"--instance", m_instance, "--stop"}, output);
    }

    std::string m_instance;
    std::string m_capturePath;
    std::string m_logPath;
};

TEST_F(DevSimTest, RecordsEachWriteAsOneMessageAndEndsAfterOneDownload) {
    EmulatorProcess device(Args({"--once"}));
    ASSERT_NE(device.WaitForLine("ready"), "") << device.Output();
    EXPECT_TRUE(DevicePresent());

    // A client that opens the pipe and closes it without writing makes no download.
    FileHandle look(CallOpenFile(DevSim::kPipeName));
    ASSERT_TRUE(look.IsValid());
    look.Close();

    // The library is already released when the handle is written, as in the tool. The next open may find the
    // pipe busy while the emulator listens again.
    const std::vector<std::string> messages = DownloadMessages(3 * 2048 + 904);
    FileHandle pipe(CallOpenFile(DevSim::kPipeName));
    ASSERT_TRUE(pipe.IsValid());
    BackgroundWriter writer(pipe.Get(), messages);
    ASSERT_TRUE(writer.WaitDone());
    EXPECT_EQ(writer.Error(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(writer.Written(), messages.size());
    pipe.Close();

    EXPECT_EQ(device.WaitForExit(), 0) << device.Output();
    EXPECT_EQ(device.WaitForLine("download"), "ostrel-devsim: download writes=5 bytes=7068");
    EXPECT_EQ(device.WaitForLine("summary"), "ostrel-devsim: summary downloads=1 writes=5 bytes=7068");
    EXPECT_EQ(LoggedSizes(m_logPath), (Sizes{20, 2048, 2048, 2048, 904}));
    EXPECT_EQ(FileContents(m_capturePath), Joined(messages, messages.size()));
    EXPECT_FALSE(DevicePresent());
}

TEST_F(DevSimTest, ServesDownloadAfterDownloadUntilStopped) {
    EmulatorProcess device(Args());
    ASSERT_NE(device.WaitForLine("ready"), "") << device.Output();

    // The second download's first write is far larger than the pipe's buffer and the emulator's reads: still one
    // write in the log, as a tool that sent its payload in one piece would want to see.
    const std::vector<std::vector<std::string>> downloads{DownloadMessages(4096), {std::string(100000, 'x'), "y"}};
    std::string expected;
    for (const std::vector<std::string>& messages : downloads) {
        FileHandle pipe(CallOpenFile(DevSim::kPipeName));
        ASSERT_TRUE(pipe.IsValid());
        BackgroundWriter writer(pipe.Get(), messages);
        ASSERT_TRUE(writer.WaitDone());
        EXPECT_EQ(writer.Written(), messages.size());
        expected += Joined(messages, messages.size());
    }
    EXPECT_EQ(device.WaitForLine("download", 1), "ostrel-devsim: download writes=3 bytes=4116");
    EXPECT_EQ(device.WaitForLine("download", 2), "ostrel-devsim: download writes=2 bytes=100001");
    EXPECT_EQ(LoggedSizes(m_logPath), (Sizes{20, 2048, 2048, 100000, 1}));
    EXPECT_EQ(FileContents(m_capturePath), expected);
    EXPECT_TRUE(DevicePresent());

    EXPECT_EQ(Stop(), 0);
    EXPECT_EQ(device.WaitForExit(), 0) << device.Output();
    EXPECT_EQ(device.WaitForLine("summary"), "ostrel-devsim: summary downloads=2 writes=5 bytes=104117");
}

TEST_F(DevSimTest, PresenceFollowsTheEmulatorOfTheInstance) {
    EXPECT_FALSE(DevicePresent());
    EXPECT_EQ(CallOpenFile(DevSim::kPipeName), INVALID_HANDLE_VALUE);
    {
        // Started without --instance: the environment names it.
        EmulatorProcess device({"--log", m_logPath});
        ASSERT_EQ(device.WaitForLine("ready"), "ostrel-devsim: ready instance=" + m_instance +
                                                   " pipe=\\\\.\\pipe\\ostrel-devsim-" + m_instance + "-PIPE00")
            << device.Output();
        EXPECT_TRUE(DevicePresent());
        EXPECT_EQ(CallOpenFile("PIPE01"), INVALID_HANDLE_VALUE);

        SetEnvironmentVariableA(DevSim::kInstanceVariable, (m_instance + "-other").c_str());
        EXPECT_FALSE(DevicePresent());
        SetEnvironmentVariableA(DevSim::kInstanceVariable, "bad\\name");
        EXPECT_FALSE(DevicePresent());
        SetEnvironmentVariableA(DevSim::kInstanceVariable, m_instance.c_str());

        // A second emulator of the instance is refused and leaves the first one's device and log alone.
        FileHandle pipe(CallOpenFile(DevSim::kPipeName));
        ASSERT_TRUE(pipe.IsValid());
        BackgroundWriter writer(pipe.Get(), {"abc"});
        ASSERT_TRUE(writer.WaitDone());
        pipe.Close();
        ASSERT_NE(device.WaitForLine("download"), "");
        std::string output;
        EXPECT_EQ(RunEmulator(Args(), output), 1);
        EXPECT_NE(output.find("runs already"), std::string::npos) << output;
        EXPECT_EQ(LoggedSizes(m_logPath), Sizes{3});
        EXPECT_TRUE(DevicePresent());

        EXPECT_EQ(Stop(), 0);
        EXPECT_FALSE(DevicePresent());
        EXPECT_EQ(device.WaitForExit(), 0) << device.Output();
    }
    EXPECT_FALSE(DevicePresent());
    EXPECT_EQ(CallOpenFile(DevSim::kPipeName), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Stop(), 1);
}

TEST_F(DevSimTest, UnplugFailsTheNextWriteAndLeavesTheDeviceAbsent) {
    // Whole messages arrive: the limit counts from the message that reaches it.
    const struct {
        const char* unplugAfter;
        Sizes received;
    } cases[] = {{"0", {}}, {"2068", {20, 2048}}, {"3000", {20, 2048, 2048}}};
    const std::vector<std::string> messages = DownloadMessages(10 * 2048);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("--unplug-after ") + c.unplugAfter);
        EmulatorProcess device(Args({"--unplug-after", c.unplugAfter}));
        ASSERT_NE(device.WaitForLine("ready"), "") << device.Output();
        FileHandle pipe(CallOpenFile(DevSim::kPipeName));
        ASSERT_TRUE(pipe.IsValid());

        BackgroundWriter writer(pipe.Get(), messages);
        ASSERT_TRUE(writer.WaitDone()) << "a write blocks on an unplugged device";
        EXPECT_NE(writer.Error(), static_cast<DWORD>(ERROR_SUCCESS));
        // What the device took, and at most one write more that reached only the pipe's buffer.
        EXPECT_GE(writer.Written(), c.received.size());
        EXPECT_LE(writer.Written(), c.received.size() + 1);

        EXPECT_EQ(device.WaitForExit(), 0) << device.Output();
        EXPECT_NE(device.WaitForLine("unplugged"), "");
        EXPECT_FALSE(DevicePresent());
        DWORD written = 0;
        EXPECT_FALSE(WriteFile(pipe.Get(), "z", 1, &written, nullptr));
        EXPECT_EQ(LoggedSizes(m_logPath), c.received);
        EXPECT_EQ(FileContents(m_capturePath), Joined(messages, c.received.size()));
    }
}

TEST_F(DevSimTest, StallBlocksTheWriteBeyondTheBufferUntilCancelled) {
    EmulatorProcess device(Args({"--stall-after", "2068"}));
    ASSERT_NE(device.WaitForLine("ready"), "") << device.Output();
    FileHandle pipe(CallOpenFile(DevSim::kPipeName));
    ASSERT_TRUE(pipe.IsValid());

    BackgroundWriter writer(pipe.Get(), DownloadMessages(10 * 2048));
    EXPECT_EQ(device.WaitForLine("stalled"), "ostrel-devsim: stalled bytes=2068");
    EXPECT_FALSE(writer.WaitDone(500));
    // Two writes read, the third in the pipe's buffer, the fourth blocked.
    EXPECT_EQ(writer.Written(), 3u);
    EXPECT_TRUE(DevicePresent());

    ASSERT_TRUE(writer.Cancel());
    EXPECT_EQ(writer.Error(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(writer.Written(), 3u);
    EXPECT_EQ(LoggedSizes(m_logPath), (Sizes{20, 2048}));

    EXPECT_EQ(Stop(), 0);
    EXPECT_EQ(device.WaitForExit(), 0) << device.Output();
}

TEST_F(DevSimTest, ThrottlePacesTheDeviceAndSoTheWriter) {
    EmulatorProcess device(Args({"--throttle", "100000", "--once"}));
    ASSERT_NE(device.WaitForLine("ready"), "") << device.Output();
    LARGE_INTEGER frequency, start, written, ended;
    QueryPerformanceFrequency(&frequency);
    const auto seconds = [&](const LARGE_INTEGER& t) {
        return static_cast<double>(t.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    };

    // 49172 bytes at 100000 bytes/s: the device's last read is due after 0.47 s, its end after 0.49 s; the writer's
    // last write, one chunk ahead of the device, after 0.45 s.
    QueryPerformanceCounter(&start);
    FileHandle pipe(CallOpenFile(DevSim::kPipeName));
    ASSERT_TRUE(pipe.IsValid());
    BackgroundWriter writer(pipe.Get(), DownloadMessages(24 * 2048));
    ASSERT_TRUE(writer.WaitDone());
    QueryPerformanceCounter(&written);
    pipe.Close();
    ASSERT_EQ(device.WaitForExit(), 0) << device.Output();
    QueryPerformanceCounter(&ended);

    EXPECT_EQ(LoggedSizes(m_logPath).size(), 25u);
    EXPECT_GE(seconds(written), 0.44);
    EXPECT_GE(seconds(ended), 0.48);
    EXPECT_LT(seconds(ended), 5.0);
}

TEST_F(DevSimTest, CommandLineExplainsItselfAndRefusesWhatItDoesNotKnow) {
    std::string help;
    EXPECT_EQ(RunEmulator({"--help"}, help), 0);
    for (const char* option : {"--instance", "--capture", "--log", "--unplug-after", "--stall-after", "--throttle",
                               "--once", "--stop", "OSTREL_DEVSIM_INSTANCE", "TarselUSB.dll"})
        EXPECT_NE(help.find(option), std::string::npos) << option;

    const std::vector<std::vector<std::string>> wrong{{"--bogus"},
                                                      {"--log"},
                                                      {"--throttle", "0"},
                                                      {"--unplug-after", "12x"},
                                                      {"--stall-after", "-1"},
                                                      {"--instance", "a\\b"},
                                                      {"--instance", std::string(65, 'a')}};
    for (const std::vector<std::string>& args : wrong) {
        std::string output;
        EXPECT_EQ(RunEmulator(args, output), 2) << args[0] << ": " << output;
        EXPECT_NE(output.find("--help"), std::string::npos) << output;
    }
}

} // namespace
