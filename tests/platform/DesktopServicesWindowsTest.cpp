// The system's power and task-bar calls on Windows, as far as they can be tried without
// suspending anything: the sleep block is taken and given back, and a request without a
// window is refused rather than sent.
#include <gtest/gtest.h>

#include "platform/SystemPower.h"
#include "platform/TaskbarProgress.h"
#include "platform/TrayMessage.h"

namespace palomix {
namespace {

TEST(DesktopServicesWindowsTest, TheSleepBlockIsTakenAndRequestsWithoutAWindowAreRefused) {
    {
        const SleepBlock awake;
        EXPECT_TRUE(awake.Active());
    }
    TaskbarProgress progress(nullptr);
    EXPECT_FALSE(progress.Show(0.5));
    EXPECT_FALSE(progress.Show(std::nullopt));
    TrayMessage tray(nullptr);
    EXPECT_FALSE(tray.Show("Palomix", "12 converted"));
}

}  // namespace
}  // namespace palomix
