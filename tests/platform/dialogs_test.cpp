#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

using namespace platform;

TEST(MessageBoxes, RecorderAnswersFromQueueThenByDefault) {
    ScopedMessageRecorder boxes;
    boxes.QueueAnswer(MessageAnswer::No);
    boxes.QueueAnswer(MessageAnswer::Yes);  // does not fit an Abort/Ignore box
    EXPECT_EQ(ShowMessage(MessageKind::Warning, MessageButtons::YesNo, "q1"), MessageAnswer::No);
    EXPECT_EQ(ShowMessage(MessageKind::Error, MessageButtons::AbortIgnore, "q2"),
              MessageAnswer::Ignore);
    EXPECT_EQ(ShowMessage(MessageKind::Warning, MessageButtons::YesNo, "q3"), MessageAnswer::Yes);
    EXPECT_EQ(ShowMessage(MessageKind::Plain, MessageButtons::Ok, "q4"), MessageAnswer::Ok);
    ASSERT_EQ(boxes.Records().size(), 4u);
    EXPECT_EQ(boxes.Records()[1].answer, MessageAnswer::Ignore);
}

TEST(MessageBoxes, LogLineIsUtf8WithEscapes) {
    // "０で除算しました" in CP932, with CR LF and a backslash.
    MessageRecord record{MessageKind::Plain, MessageButtons::AbortIgnore, "a\\b\r\n\x82O\x82\xC5",
                         MessageAnswer::Abort};
    EXPECT_EQ(FormatMessageRecord(record), "plain abortignore abort a\\\\b\\r\\n０で");
    MessageAnswer parsed;
    ASSERT_TRUE(ParseAnswer("ignore", parsed));
    EXPECT_EQ(parsed, MessageAnswer::Ignore);
    EXPECT_FALSE(ParseAnswer("Ignore", parsed));
}

TEST(Clock, VirtualClockMovesOnlyWhenToldAndWraps) {
    ScopedVirtualClock clock(0xFFFFFF00u);
    EXPECT_EQ(TickCount(), 0xFFFFFF00u);
    AdvanceVirtualClock(0x200);
    EXPECT_EQ(TickCount(), 0x100u);
    SetVirtualTick(42);
    EXPECT_EQ(TickCount(), 42u);
}
