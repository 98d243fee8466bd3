// The driver library binding against the stand-in library and the emulated device.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "DriverLibrary.h"
#include "Handle.h"
#include "SwappedFile.h"
#include "TestDevice.h"

namespace {

bool WaitForPresence(bool present) {
    for (int i = 0; i < 200; ++i) {
        const DriverCall call = CallOpenDev();
        if (call.called && (call.result != INVALID_HANDLE_VALUE) == present) {
            if (present)
                CloseHandle(call.result);
            return true;
        }
        if (call.called && call.result != INVALID_HANDLE_VALUE)
            CloseHandle(call.result);
        Sleep(50);
    }
    return false;
}

bool LibraryHeld() {
    return GetModuleHandleA("TarselUSB.dll") != nullptr;
}

} // namespace

TEST(DriverLibrary, AnswersForTheDeviceAndReleasesTheLibraryAfterEachCall) {
    TestDevice emulator;
    ASSERT_TRUE(WaitForPresence(true)) << "the emulator did not come up";
    EXPECT_FALSE(LibraryHeld());

    const DriverCall open = CallOpenFile(kDevicePipeName);
    EXPECT_TRUE(open.called);
    FileHandle pipe(open.result);
    ASSERT_TRUE(pipe.IsValid());
    EXPECT_FALSE(LibraryHeld()) << "the pipe handle must outlive the library";
    const char command[20] = "$";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(pipe.Get(), command, sizeof command, &written, nullptr));
    EXPECT_EQ(written, sizeof command);
    pipe.Close();

    emulator.Unplug();
    EXPECT_TRUE(WaitForPresence(false));
    const DriverCall gone = CallOpenFile(kDevicePipeName);
    EXPECT_TRUE(gone.called);
    EXPECT_EQ(gone.result, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(LibraryHeld());
}

TEST(DriverLibrary, AMissingLibraryOrExportIsReportedAndNeverCalled) {
    {
        SwappedFile missing("TarselUSB.dll", "");
        EXPECT_FALSE(CallOpenDev().called);
        EXPECT_FALSE(CallOpenFile(kDevicePipeName).called);
        EXPECT_EQ(DriverLibraryProblem().error, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    }
    {
        SwappedFile empty("TarselUSB.dll", "TarselUSB-empty.dll");
        const DriverCall dev = CallOpenDev();
        EXPECT_FALSE(dev.called);
        EXPECT_EQ(dev.result, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(CallOpenFile(kDevicePipeName).called);
        EXPECT_FALSE(LibraryHeld());
        EXPECT_EQ(DriverLibraryProblem().error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    }
    EXPECT_TRUE(CallOpenDev().called) << "the real stand-in is back";
    EXPECT_EQ(DriverLibraryProblem().error, 0u);
}
