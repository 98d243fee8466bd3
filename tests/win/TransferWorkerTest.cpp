// The transfer worker against a device that stops reading: the run ends as stopped instead of hanging.
#include <gtest/gtest.h>

#include <vector>

#include <windows.h>

#include "DriverLibrary.h"
#include "TestDevice.h"
#include "TestWorkers.h"
#include "TransferMessages.h"
#include "TransferWorker.h"

namespace {

FileHandle OpenDevicePipe() {
    for (int i = 0; i < 200; ++i) {
        const DriverCall call = CallOpenFile(kDevicePipeName);
        if (call.called && call.result != INVALID_HANDLE_VALUE)
            return FileHandle(call.result);
        Sleep(50);
    }
    return FileHandle();
}

// The end message's outcome, or -1 when none came in time.
int WaitForEnd(HWND window, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MSG msg;
        if (PeekMessageA(&msg, window, WM_APP_TRANSFER_END, WM_APP_TRANSFER_END, PM_REMOVE))
            return static_cast<int>(msg.wParam);
        Sleep(10);
    }
    return -1;
}

ImageData BigImage() {
    ImageData image;
    image.size = 1024 + 64 * 2048;
    image.bytes.reset(new std::uint8_t[image.size]());
    image.bytes[0] = '$';
    return image;
}

} // namespace

TEST(TransferWorker, AStopTheDriverIgnoresGivesUpWaitingInTimeAndEndsWhenTheDeviceGoes) {
    TestDevice device("--stall-after 8192");
    FileHandle pipe = OpenDevicePipe();
    ASSERT_TRUE(pipe.IsValid());
    DeafWorker worker(BigImage(), std::move(pipe), nullptr);
    ASSERT_TRUE(worker.Start());
    Sleep(500);

    const DWORD start = GetTickCount();
    EXPECT_FALSE(worker.StopAndWait(1000)) << "the write is blocked and nothing cancels it";
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 1000u);
    EXPECT_LT(waited, 3000u);

    device.Unplug();
    EXPECT_TRUE(worker.StopAndWait(5000));
    EXPECT_EQ(worker.Outcome(), TransferOutcome::Stopped);
    EXPECT_LT(worker.BytesSent(), worker.BytesToSend());
}

TEST(TransferWorker, ARunWhoseDeviceStoppedReadingIsCancelledAndEndsAsStopped) {
    TestDevice device("--stall-after 8192");
    FileHandle pipe = OpenDevicePipe();
    ASSERT_TRUE(pipe.IsValid());
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    TransferWorker worker(BigImage(), std::move(pipe), window);
    ASSERT_TRUE(worker.Start());

    // Longer than the retries of a failing chunk (3002 waits of 1 ms) could last: the write is blocked.
    Sleep(4000);
    EXPECT_TRUE(worker.IsRunning()) << "a blocked write is beyond the reach of the retry limit";
    worker.CancelIfStalled(60000);
    EXPECT_TRUE(worker.IsRunning()) << "not yet stalled for the limit";
    // Checked again, as the presence timer does: the first cancel may come before the write blocks.
    worker.CancelIfStalled(1000);
    Sleep(300);
    worker.CancelIfStalled(1000);
    EXPECT_EQ(WaitForEnd(window, 5000), static_cast<int>(TransferOutcome::Stopped));
    worker.Join();
    DestroyWindow(window);
}
