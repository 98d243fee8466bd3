// The status line follows the device through the running window: attached and detached within a polling period.
#include <cstdio>

#include "ToolSession.h"
#include "resource.h"

namespace {

// The periods are 800 ms while absent and 1000 ms while present; Wine adds its own delays.
constexpr DWORD kNoticeLimitMs = 2500;

using PresenceTest = ToolSession;

TEST_F(PresenceTest, TheStatusLineFollowsTheDeviceInAndOut) {
    ASSERT_TRUE(StartTool());
    Sleep(300);
    EXPECT_EQ(Control(IDC_STATUS), Message("1025"));

    for (int cycle = 1; cycle <= 2; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        ASSERT_TRUE(StartDevice());
        DWORD since = GetTickCount();
        ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1024"), kNoticeLimitMs)) << Control(IDC_STATUS);
        const DWORD attachedMs = GetTickCount() - since;

        ASSERT_TRUE(StopDevice());
        since = GetTickCount();
        ASSERT_TRUE(WaitForControlText(IDC_STATUS, Message("1025"), kNoticeLimitMs)) << Control(IDC_STATUS);
        const DWORD detachedMs = GetTickCount() - since;
        std::printf("presence, cycle %d: attached shown after %lu ms, detached shown after %lu ms\n", cycle,
                    static_cast<unsigned long>(attachedMs), static_cast<unsigned long>(detachedMs));
    }
}

} // namespace
