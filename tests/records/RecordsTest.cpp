#include "records/CatalogueRecords.h"
#include "records/ChatSync.h"
#include "records/ProgramVersion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

StreamChatRow Row(std::uint8_t kind, std::size_t count, bool emptyFirst = false) {
    std::vector<std::u16string> texts(count, u"x");
    if (emptyFirst && count > 0)
        texts[0].clear();
    std::vector<std::u16string_view> views(texts.begin(), texts.end());
    return StreamChatRow(0, kind, views);
}

TEST(ChatRowRule, EachKindTakesItsArgumentCounts) {
    // kind -> the argument counts from 0 to 21 that fit it.
    const std::vector<std::vector<std::size_t>> fits = {
        {1, 2}, {2}, {2}, {1}, {1, 2}, {1, 2}, {2}, {2}, {}, {2, 3},
    };
    for (std::uint8_t kind = 0; kind < fits.size(); ++kind) {
        for (std::size_t n = 0; n <= 21; ++n) {
            bool expected = std::find(fits[kind].begin(), fits[kind].end(), n) != fits[kind].end();
            if (kind == StreamChatRowKind_ModeChange)
                expected = n >= 2 && n <= kMaxChatArgs;
            EXPECT_EQ(IsWellFormedChatRow(kind, n, [](std::size_t) { return false; }), expected)
                << int(kind) << " with " << n;
        }
    }
    EXPECT_FALSE(IsWellFormedChatRow(10, 2, [](std::size_t) { return false; }));
    EXPECT_FALSE(IsWellFormedChatRow(255, 1, [](std::size_t) { return false; }));
}

TEST(ChatRowRule, AMessageNeedsASenderAndAText) {
    EXPECT_TRUE(Row(StreamChatRowKind_Message, 2).IsWellFormed());
    EXPECT_FALSE(Row(StreamChatRowKind_Message, 2, true).IsWellFormed());
    EXPECT_FALSE(IsWellFormedChatRow(StreamChatRowKind_Message, 2, [](std::size_t i) { return i == 1; }));
    // Only a message asks for texts.
    EXPECT_TRUE(Row(StreamChatRowKind_Action, 2, true).IsWellFormed());
    EXPECT_TRUE(Row(StreamChatRowKind_Plain, 2, true).IsWellFormed());
}

TEST(ChatRowRule, ARowKeepsAtMostTheWireLimitOfArguments) {
    const StreamChatRow mode = Row(StreamChatRowKind_ModeChange, kMaxChatArgs + 5);
    EXPECT_EQ(mode.argCount, kMaxChatArgs);
    EXPECT_TRUE(mode.IsWellFormed());
}

TEST(ProgramVersion, IsWrittenAsMajorDotTwoDigits) {
    EXPECT_EQ(FormatProgramVersion(19), "0.19");
    EXPECT_EQ(FormatProgramVersion(20), "0.20");
    EXPECT_EQ(FormatProgramVersion(123), "1.23");
    EXPECT_EQ(FormatProgramVersion(5), "0.05");
    EXPECT_GT(kProgramVersion, 0);
}

} // namespace

namespace {

// Two pins: at play 100 the chat stood at 90, at play 200 at 210 (the chat ran 20 s faster between).
const ChatSyncPoints kPins = {{100, 90}, {200, 210}};

TEST(ChatSync, BetweenPinsTheChatFollowsTheLineAndOutsideThemTheEndOffsets) {
    EXPECT_EQ(ChatSecondAt(kPins, 100), 90);
    EXPECT_EQ(ChatSecondAt(kPins, 150), 150); // 90 + 50 × 1.2
    EXPECT_EQ(ChatSecondAt(kPins, 175), 180); // 90 + 75 × 1.2
    EXPECT_EQ(ChatSecondAt(kPins, 101), 91);  // 91.2 rounds down
    EXPECT_EQ(ChatSecondAt(kPins, 104), 95);  // 94.8 rounds up
    EXPECT_EQ(ChatSecondAt(kPins, 200), 210);
    EXPECT_EQ(ChatSecondAt(kPins, 50), 40); // before the first: its offset of 10
    EXPECT_EQ(ChatSecondAt(kPins, 0), -10);
    EXPECT_EQ(ChatSecondAt(kPins, 300), 310);  // after the last: its offset of -10
    EXPECT_EQ(ChatSecondAt({}, 77), 77);       // no points: the play second
    EXPECT_EQ(ChatSecondAt({{0, 5}}, 60), 65); // one point: a plain offset
    EXPECT_EQ(ChatSecondAt({{0, -2147483000}}, -2000), INT32_MIN);
}

TEST(ChatSync, PointsAreOrderedWithTheLastOfEqualSecondsAndAtMostTheLimit) {
    EXPECT_EQ(OrderChatSyncPoints({{200, 210}, {100, 90}, {150, 1}, {150, 140}}),
              (ChatSyncPoints{{100, 90}, {150, 140}, {200, 210}}));
    ChatSyncPoints many;
    for (std::int32_t i = 400; i-- > 0;)
        many.push_back({i, i});
    const ChatSyncPoints kept = OrderChatSyncPoints(many);
    ASSERT_EQ(kept.size(), kMaxChatSyncPoints);
    EXPECT_EQ(kept.front().playSecond, 0);
    EXPECT_EQ(kept.back().playSecond, static_cast<std::int32_t>(kMaxChatSyncPoints) - 1);
}

} // namespace
