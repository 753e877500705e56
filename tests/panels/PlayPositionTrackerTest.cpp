#include "panels/PlayPositionTracker.h"

#include <gtest/gtest.h>

namespace {

TrackInfoList Tracks(std::initializer_list<std::int32_t> starts) {
    TrackInfoList list;
    for (std::int32_t start : starts) {
        TrackInfo track;
        track.start = start;
        list.push_back(track);
    }
    return list;
}

StreamChatRowList Rows(std::initializer_list<std::int32_t> times) {
    StreamChatRowList rows;
    for (std::int32_t time : times)
        rows.emplace_back(time, StreamChatRowKind_Join, std::vector<std::u16string_view>{u"nick"});
    return rows;
}

TEST(FindTrackAt, TakesTheLastTrackStartingAtOrBeforeTheSecond) {
    const auto list = Tracks({0, 100, 250});
    EXPECT_EQ(FindTrackAt(&list, 0), (FoundEntry{0, 0, 100}));
    EXPECT_EQ(FindTrackAt(&list, 99), (FoundEntry{0, 0, 100}));
    EXPECT_EQ(FindTrackAt(&list, 100), (FoundEntry{1, 100, 250}));
    EXPECT_EQ(FindTrackAt(&list, 9999), (FoundEntry{2, 250, kUnboundedSecond}));
    EXPECT_FALSE(FindTrackAt(nullptr, 5));
    const auto late = Tracks({30});
    EXPECT_FALSE(FindTrackAt(&late, 29));
}

TEST(FindTrackAt, ComparesStartsAsUnsignedNumbers) {
    const auto list = Tracks({-10, 5});
    // -10 reads as a start near 4.29e9: second 7 finds the track at 5, second -1 (4294967295) the first.
    EXPECT_EQ(FindTrackAt(&list, 7)->index, 1);
    EXPECT_EQ(FindTrackAt(&list, -1)->index, 1);
    EXPECT_FALSE(FindTrackAt(&list, 3));
}

TEST(FindChatRowAt, ComparesTimesAsSignedNumbers) {
    const auto rows = Rows({-5, 10, 10, 20});
    EXPECT_EQ(FindChatRowAt(&rows, -5), (FoundEntry{0, -5, 10}));
    EXPECT_EQ(FindChatRowAt(&rows, 10), (FoundEntry{2, 10, 20})); // the last of equal times
    EXPECT_FALSE(FindChatRowAt(&rows, -6));
}

TEST(PlaySecondOf, RoundsTheProductAndGuardsOddPositions) {
    EXPECT_EQ(PlaySecondOf(0.5f, 3600), 1800);
    EXPECT_EQ(PlaySecondOf(0.4999f, 3600), 1800); // 1799.64 rounds up
    EXPECT_EQ(PlaySecondOf(0.4998f, 3600), 1799); // 1799.28 rounds down
    EXPECT_EQ(PlaySecondOf(0.0f, 3600), 0);
    EXPECT_EQ(PlaySecondOf(std::numeric_limits<float>::quiet_NaN(), 3600), 0);
    EXPECT_EQ(PlaySecondOf(1e30f, 3600), INT32_MAX);
    EXPECT_EQ(PlaySecondOf(-1e30f, 3600), INT32_MIN);
}

class TrackerTest : public ::testing::Test {
protected:
    TrackerTest() {
        stream.duration = 1000;
        stream.size = 1000000;
    }
    void At(std::int32_t second) {
        tracker.OnPlayPos(static_cast<float>(second) / 1000.0f, stream, &tracks, &rows);
    }
    StreamInfoData stream;
    TrackInfoList tracks = Tracks({0, 100, 250});
    StreamChatRowList rows = Rows({5, 50, 300});
    MyPlayPositionTracker tracker;
};

TEST_F(TrackerTest, FollowsTheTrackAndTheChatRowOfEachNewSecond) {
    auto update = tracker.OnPlayPos(0.12f, stream, &tracks, &rows);
    EXPECT_TRUE(update.secondChanged && update.trackChanged && update.chatChanged);
    EXPECT_EQ(tracker.playSecond, 120);
    EXPECT_EQ(tracker.trackIndex, 1);
    EXPECT_EQ(tracker.trackEnd, 250);
    EXPECT_EQ(tracker.chatIndex, 1);
    EXPECT_EQ(tracker.chatNextTime, 300);

    update = tracker.OnPlayPos(0.12f, stream, &tracks, &rows);
    EXPECT_FALSE(update.secondChanged || update.trackChanged || update.chatChanged);
    update = tracker.OnPlayPos(0.13f, stream, &tracks, &rows);
    EXPECT_TRUE(update.secondChanged);
    EXPECT_FALSE(update.trackChanged || update.chatChanged); // still inside both ranges

    At(2); // before the first chat row: none
    EXPECT_EQ(tracker.chatIndex, -1);
    EXPECT_EQ(tracker.trackIndex, 0);
}

TEST_F(TrackerTest, WithoutATrackListTheChatStillFollows) {
    tracker.OnPlayPos(0.06f, stream, nullptr, &rows);
    EXPECT_EQ(tracker.trackIndex, -1);
    EXPECT_EQ(tracker.chatIndex, 1);
}

TEST_F(TrackerTest, PreviousTrackGoesBackOneTrackOnlyInTheFirstFiveSeconds) {
    At(103);
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(&stream, &tracks), 0.0f);
    At(110);
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(&stream, &tracks), 0.1f);
    At(3);
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(&stream, &tracks), 0.0f); // the first track starts at 0
}

TEST_F(TrackerTest, PreviousTrackInALateFirstTrackDoesNothing) {
    tracks = Tracks({30, 100});
    At(33);
    EXPECT_FALSE(tracker.PreviousTrackPosition(&stream, &tracks));
}

TEST_F(TrackerTest, BeforeAnyTrackPreviousGoesToTheStartAndNextToTheFirstTrack) {
    tracks = Tracks({30, 100});
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(&stream, &tracks), 0.0f);
    EXPECT_FLOAT_EQ(*tracker.NextTrackPosition(&stream, &tracks), 0.03f);
    At(10);
    EXPECT_EQ(tracker.trackIndex, -1);
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(&stream, &tracks), 0.0f);
    EXPECT_FLOAT_EQ(*tracker.NextTrackPosition(&stream, &tracks), 0.03f);
}

TEST_F(TrackerTest, NextTrackOnTheLastTrackRestartsIt) {
    At(120);
    EXPECT_FLOAT_EQ(*tracker.NextTrackPosition(&stream, &tracks), 0.25f);
    At(400);
    EXPECT_FLOAT_EQ(*tracker.NextTrackPosition(&stream, &tracks), 0.25f);
}

TEST_F(TrackerTest, NoStreamOrNoDurationGivesNoTrackJumps) {
    EXPECT_FLOAT_EQ(*tracker.PreviousTrackPosition(nullptr, &tracks), 0.0f);
    EXPECT_FALSE(tracker.NextTrackPosition(nullptr, &tracks));
    At(120);
    stream.duration = 0;
    EXPECT_FALSE(tracker.NextTrackPosition(&stream, &tracks));
    EXPECT_FALSE(tracker.PreviousTrackPosition(&stream, &tracks));
}

TEST_F(TrackerTest, ForgettingEntriesKeepsTheSecond) {
    At(120);
    tracker.ForgetEntries();
    EXPECT_EQ(tracker.playSecond, 120);
    EXPECT_EQ(tracker.trackIndex, -1);
    EXPECT_EQ(tracker.chatIndex, -1);
}

TEST(ChatSecondOf, ShiftsByTheOffsetWithinThe32BitRange) {
    EXPECT_EQ(ChatSecondOf(100, 30), 70);
    EXPECT_EQ(ChatSecondOf(10, -5), 15);
    EXPECT_EQ(ChatSecondOf(INT32_MIN + 1, 10), INT32_MIN);
    EXPECT_EQ(ChatSecondOf(INT32_MAX - 1, -10), INT32_MAX);
    EXPECT_EQ(WholeSecondOf(12.99f), 12); // truncated, no rounding
}

TEST_F(TrackerTest, TheChatFollowsTheOffsetSecondAndTheTrackThePlaySecond) {
    // At play second 60 with the chat 20 seconds behind, the chat stands at 40: the row at 5.
    tracker.OnPlayPos(0.06f, stream, &tracks, &rows, 20);
    EXPECT_EQ(tracker.playSecond, 60);
    EXPECT_EQ(tracker.trackIndex, 0);
    EXPECT_EQ(tracker.chatIndex, 0);
    EXPECT_EQ(tracker.chatNextTime, 50);
    // A step that stays inside the row's range looks nothing up again.
    EXPECT_FALSE(tracker.UpdateChat(&rows, 45));
    EXPECT_TRUE(tracker.UpdateChat(&rows, 60));
    EXPECT_EQ(tracker.chatIndex, 1);
    // Without rows the chat position is none.
    EXPECT_TRUE(tracker.UpdateChat(nullptr, 400));
    EXPECT_EQ(tracker.chatIndex, -1);
}

TEST_F(TrackerTest, NextTrackBeforeAFirstTrackBehindThePositionDoesNothing) {
    tracks = Tracks({-20, 100}); // a first start that reads as a huge unsigned number
    tracker.playSecond = 10;
    EXPECT_FALSE(tracker.NextTrackPosition(&stream, &tracks));
}

TEST_F(TrackerTest, PreviousTrackWithoutADurationGoesNowhere) {
    stream.duration = 0;
    EXPECT_FALSE(tracker.PreviousTrackPosition(&stream, &tracks));
}

} // namespace
