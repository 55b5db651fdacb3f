#include "scenario/Velto_proc.h"

#include <gtest/gtest.h>

#include "common/test_platform.h"

using namespace scenario;  // the classes, mode values and frame keys

// Waits, clicks and message skipping are played in the headless and display
// tests; here what a whole game cannot reach: the tick count's wrap.
TEST(VeltoProcess, TimedWaitsEndExactlyOnTimeAcrossTheWrap) {
    for (uint32_t start : {5000u, 0xFFFFFF00u}) {
        testkit::ScopedPlatform host(start);
        platform::VirtualClock& clock = host.backend.Virtual();
        TVeltoProcess p;
        p.StartWait();
        p.SetWaitTimer(1000);
        for (uint32_t early : {0u, 1u, 255u, 256u, 999u}) {
            clock.Set(start + early);
            EXPECT_FALSE(p.BeginCommand()) << start << "+" << early;
        }
        clock.Set(start + 1000);
        EXPECT_TRUE(p.BeginCommand()) << start;

        p.StartMessageWait();
        p.SetWaitTimer(1000);
        clock.Advance(999);
        EXPECT_FALSE(p.CheckMessageEffect()) << start;
        clock.Advance(1);
        EXPECT_TRUE(p.CheckMessageEffect()) << start;

        // A negative time counts as no time at all.
        p.StartWait();
        p.SetWaitTimer(-5);
        EXPECT_TRUE(p.IsExecutable()) << start;
    }
}

TEST(VeltoProcess, AnimationTicksOncePerHalfSecondAcrossTheWrap) {
    testkit::ScopedPlatform host;
    TVeltoProcess p;
    EXPECT_FALSE(p.IsAnimationTick());
    for (uint32_t start : {5000u, 0xFFFFFF00u}) {
        int ticks = 0;
        for (uint32_t i = 0; i <= 1002; ++i) {
            host.backend.Virtual().Set(start + i);
            ticks += p.IsAnimationTick();
        }
        EXPECT_EQ(ticks, 3) << start;  // at +0, +501 and +1002
    }
}
