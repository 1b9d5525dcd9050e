#include "shared/background_work.h"

#include "tests/support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

std::atomic<bool> g_released{false};

// The stop request is for good, as at a program's exit: one test sees the whole course.
TEST(BackgroundWork, TheExitWaitIsBoundedAndEndsOnceTheLastWorkHasEnded) {
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> watched = held;
    ASSERT_TRUE(StartBackgroundWork([] {
        while (!g_released) ::Sleep(10);  // deaf to the stop request
    }));
    ASSERT_TRUE(StartBackgroundWork([held = std::move(held)] {
        while (!BackgroundWorkStopping()) ::Sleep(10);
    }));
    EXPECT_EQ(RunningBackgroundWork(), 2);
    EXPECT_FALSE(BackgroundWorkStopping());

    StopBackgroundWork();
    EXPECT_TRUE(BackgroundWorkStopping());
    EXPECT_FALSE(WaitForBackgroundWork(200));
    ASSERT_TRUE(WaitUntil([] { return RunningBackgroundWork() == 1; }));
    EXPECT_TRUE(watched.expired()) << "what ended work held goes before it stops counting";

    g_released = true;
    EXPECT_TRUE(WaitForBackgroundWork(kBackgroundExitWaitMilliseconds));
    EXPECT_EQ(RunningBackgroundWork(), 0);
}

}  // namespace
