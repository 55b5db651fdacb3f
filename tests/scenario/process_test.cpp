#include "scenario/Velto_proc.h"

#include <gtest/gtest.h>

#include "common/test_platform.h"

using namespace scenario;  // the classes, mode values and frame keys

namespace {

// Ticks on both sides of the 32-bit wrap.
constexpr uint32_t kStartTicks[] = {5000, 0xFFFFFF00u};

}  // namespace

TEST(VeltoProcess, ModeTransitions) {
    TVeltoProcess p;
    EXPECT_FALSE(p.BeginCommand());  // Executing until the first call resets it
    p.SetMessageSkip();
    p.StartWait();
    EXPECT_FALSE(p.MessageSkip) << "a wait ends the skipping";

    // Plain waits and their clicks are played in the headless tests.
    p.StartMessageEffect(1, "text");
    p.SetMessageSkip();
    p.SetActiveClick();
    p.StartMessageWait();
    EXPECT_TRUE(p.MessageSkip && !p.ActiveClick);
    EXPECT_TRUE(p.CheckMessageEffect());  // skipping resumes the drawing
    EXPECT_EQ(p.PlayerMode, kModeMessageEffect);
    p.MessageSkip = false;
    p.StartMessageWait();
    EXPECT_FALSE(p.CheckMessageEffect());
    p.CancelWait();
    EXPECT_EQ(p.PlayerMode, kModeMessageEffect);

    p.StartWait();
    p.EndMessageEffect();  // forgets the target but leaves the wait alone
    EXPECT_EQ(p.PlayerMode, kModeWaiting);
    EXPECT_EQ(p.MessageEffect.LayerName, "");
}

TEST(VeltoProcess, ClickStateAndAnykeyFollowModeAndFlags) {
    TVeltoProcess p;
    const int32_t withoutActive[] = {0, 0, 1, 0, 1};
    const int32_t withActive[] = {0, 0, 2, 0, 0};
    p.AnykeyClick = true;
    for (int32_t mode = kModeReady; mode <= kModeMessageWait; ++mode) {
        p.PlayerMode = mode;
        p.ActiveClick = false;
        EXPECT_EQ(p.GetClickState(), withoutActive[mode]) << mode;
        EXPECT_EQ(p.IsAnykeyCancel(), withoutActive[mode] == 1) << mode;
        p.ActiveClick = true;
        EXPECT_EQ(p.GetClickState(), withActive[mode]) << mode;
    }
}

TEST(VeltoProcess, TimedWaitsEndExactlyOnTimeAcrossTheWrap) {
    for (uint32_t start : kStartTicks) {
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
    platform::VirtualClock& clock = host.backend.Virtual();
    TVeltoProcess p;
    EXPECT_FALSE(p.IsAnimationTick());
    for (uint32_t start : kStartTicks) {
        clock.Set(start);
        EXPECT_TRUE(p.IsAnimationTick()) << start;
        int ticks = 0;
        for (uint32_t i = 1; i <= 1002; ++i) {
            clock.Set(start + i);
            if (p.IsAnimationTick()) ++ticks;
        }
        EXPECT_EQ(ticks, 2) << start;  // at +501 and +1002
    }
}

TEST(VeltoProcessStack, FramesKeysAndOrder) {
    TVeltoProcessStack s;
    s.SetString(kStackBookName, "a=b");
    s.SetInt(kStackCommandIndex, 7);
    s.SetString("STACK.BOOKNAME", "c");
    EXPECT_EQ(s.Frame, (StringList{"STACK.BOOKNAME=c", "Stack.CommandIndex=7"}));
    EXPECT_EQ(s.GetInt("stack.commandINDEX", 0), 7);
    EXPECT_FALSE(s.PopFrame());

    s.Frame = {"A=1", "", "B=2"};
    s.PushFrame();
    s.Frame = {"C=3"};
    s.PushFrame();
    EXPECT_EQ(s.Depth(), 2u);
    EXPECT_EQ(s.StackLines(),
              (StringList{"C=3", "@StackBorder", "B=2", "", "A=1", "@StackBorder"}));
    EXPECT_TRUE(s.PopFrame());
    EXPECT_EQ(s.Frame, (StringList{"C=3"}));
    // The empty line must not cut the older frame in two.
    EXPECT_TRUE(s.PopFrame());
    EXPECT_EQ(s.Frame, (StringList{"B=2", "A=1"}));
    EXPECT_TRUE(s.StackLines().empty());
    EXPECT_EQ(s.Depth(), 0u);
    EXPECT_EQ(s.Pop(), "");
}
