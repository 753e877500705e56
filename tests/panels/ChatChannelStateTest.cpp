// The channel as it stood at a row of the chat, and which joins and parts are quiet.

#include "panels/ChatChannelState.h"
#include "panels/ChatJoinFilter.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

using K = StreamChatRowKind;

StreamChatRow Row(std::int32_t time, std::uint8_t kind, std::vector<std::u16string_view> args) {
    return StreamChatRow(time, kind, args);
}

std::vector<std::string> Names(const ChatChannelState& state) {
    std::vector<std::string> out;
    for (const auto& n : state.names)
        out.push_back(Utf16ToUtf8(n));
    return out;
}

using V = std::vector<std::string>;

TEST(ChatChannelState, JoinsPartsQuitsNicksKicksTopicsAndModesGiveTheChannelAsItStood) {
    StreamChatRowList rows;
    rows.push_back(Row(1, K::StreamChatRowKind_Join, {u"anna"}));
    rows.push_back(Row(2, K::StreamChatRowKind_Join, {u"Bob"}));
    rows.push_back(Row(3, K::StreamChatRowKind_TopicChange, {u"anna", u"Friday mix night"}));
    rows.push_back(Row(4, K::StreamChatRowKind_Message, {u"carol", u"been here all along"})); // 5
    rows.push_back(Row(5, K::StreamChatRowKind_ModeChange, {u"anna", u"+nt"}));
    rows.push_back(Row(6, K::StreamChatRowKind_NickChange, {u"bob", u"bobby"})); // 5: case-blind
    rows.push_back(Row(7, K::StreamChatRowKind_Join, {u"dave"}));
    rows.push_back(Row(8, K::StreamChatRowKind_ModeChange, {u"anna", u"+o-t+l", u"dave", u"50"}));
    rows.push_back(Row(9, K::StreamChatRowKind_Kick, {u"anna", u"dave", u"spam"}));
    rows.push_back(Row(10, K::StreamChatRowKind_Join, {u"eve"}));
    rows.push_back(Row(11, K::StreamChatRowKind_Leave, {u"eve", u"bye"}));
    rows.push_back(Row(12, K::StreamChatRowKind_Quit, {u"CAROL"}));
    rows.push_back(Row(13, K::StreamChatRowKind_TopicChange, {u"anna", u"Saturday"}));
    ChatChannelIndex index;
    index.Build(&rows);

    EXPECT_TRUE(index.StateAfter(-1).empty());
    EXPECT_EQ(Names(index.StateAfter(1)), (V{"anna", "Bob"}));
    ChatChannelState s = index.StateAfter(4);
    EXPECT_EQ(Utf16ToUtf8(s.topic), "Friday mix night");
    EXPECT_EQ(Names(s), (V{"anna", "Bob", "carol"}));
    EXPECT_EQ(Utf16ToUtf8(s.modes), "nt");
    EXPECT_EQ(Utf16ToUtf8(FormatChannelStateLine(s)), "Topic: Friday mix night \u00B7 3 here \u00B7 +nt");

    EXPECT_EQ(Names(index.StateAfter(5)), (V{"anna", "bobby", "carol"}));
    EXPECT_EQ(Names(index.StateAfter(6)), (V{"anna", "bobby", "carol", "dave"}));
    // "+o dave" names a person, not the channel; "-t" clears t, "+l 50" sets a limit.
    EXPECT_EQ(Utf16ToUtf8(index.StateAfter(7).modes), "nl");
    EXPECT_EQ(Names(index.StateAfter(8)), (V{"anna", "bobby", "carol"})); // kicked
    EXPECT_EQ(Names(index.StateAfter(9)), (V{"anna", "bobby", "carol", "eve"}));
    EXPECT_EQ(Names(index.StateAfter(10)), (V{"anna", "bobby", "carol"})); // left
    s = index.StateAfter(11);
    EXPECT_EQ(Names(s), (V{"anna", "bobby"})); // quit, whatever the case
    EXPECT_EQ(Utf16ToUtf8(s.topic), "Friday mix night");
    EXPECT_EQ(Utf16ToUtf8(index.StateAfter(12).topic), "Saturday");
    // Past the end: the state after the last row.
    EXPECT_EQ(Names(index.StateAfter(1000)), (V{"anna", "bobby"}));
    // Seeking back and forth gives the same line each time.
    const std::u16string at7 = FormatChannelStateLine(index.StateAfter(7));
    EXPECT_EQ(FormatChannelStateLine(index.StateAfter(2)), u"Topic: Friday mix night \u00B7 2 here");
    EXPECT_EQ(FormatChannelStateLine(index.StateAfter(12)), u"Topic: Saturday \u00B7 2 here \u00B7 +nl");
    EXPECT_EQ(FormatChannelStateLine(index.StateAfter(7)), at7);
}

TEST(ChatChannelState, LeavingSomeoneNeverSeenAndRowsWithoutArgumentsChangeNothing) {
    StreamChatRowList rows;
    rows.push_back(Row(1, K::StreamChatRowKind_Quit, {u"ghost"}));
    rows.push_back(Row(2, K::StreamChatRowKind_Join, {}));
    rows.push_back(Row(3, K::StreamChatRowKind_Kick, {u"op"}));
    rows.push_back(Row(4, K::StreamChatRowKind_NickChange, {u"ghost"}));
    rows.push_back(Row(5, K::StreamChatRowKind_TopicChange, {u"x"}));
    ChatChannelIndex index;
    index.Build(&rows);
    EXPECT_TRUE(index.StateAfter(4).empty());
    EXPECT_EQ(FormatChannelStateLine(index.StateAfter(4)), u"");
    index.Build(nullptr);
    EXPECT_TRUE(index.StateAfter(0).empty());
}

// A plain replay from the first row, to hold the checkpointed index against.
ChatChannelState Replay(const StreamChatRowList& rows, std::int32_t last) {
    std::map<std::string, std::u16string> present;
    ChatChannelState state;
    auto fold = [](std::u16string_view n) {
        std::string s = Utf16ToUtf8(n);
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    for (std::int32_t i = 0; i <= last && i < static_cast<std::int32_t>(rows.size()); ++i) {
        const StreamChatRow& r = rows[static_cast<std::size_t>(i)];
        switch (r.kind) {
        case K::StreamChatRowKind_Join:
        case K::StreamChatRowKind_Message:
            present[fold(r.arg(0))] = std::u16string(r.arg(0));
            break;
        case K::StreamChatRowKind_Quit:
            present.erase(fold(r.arg(0)));
            break;
        case K::StreamChatRowKind_NickChange:
            present.erase(fold(r.arg(0)));
            present[fold(r.arg(1))] = std::u16string(r.arg(1));
            break;
        case K::StreamChatRowKind_TopicChange:
            state.topic = std::u16string(r.arg(1));
            break;
        default:
            break;
        }
    }
    return state.topic.empty() && present.empty() ? ChatChannelState{} : [&] {
        for (auto& [k, v] : present)
            state.names.push_back(v);
        return state;
    }();
}

TEST(ChatChannelState, TwoHundredThousandRowsAgreeWithAReplayFromTheStartAtEverySeek) {
    std::mt19937 random(7);
    StreamChatRowList rows;
    rows.reserve(200000);
    std::vector<std::u16string> nicks;
    for (int n = 0; n < 400; ++n)
        nicks.push_back(u"n" + Utf8ToUtf16(std::to_string(n)));
    for (int i = 0; i < 200000; ++i) {
        const std::u16string& a = nicks[random() % nicks.size()];
        const std::u16string& b = nicks[random() % nicks.size()];
        const int t = i / 10;
        switch (random() % 10) {
        case 0:
        case 1:
            rows.push_back(Row(t, K::StreamChatRowKind_Join, {a}));
            break;
        case 2:
            rows.push_back(Row(t, K::StreamChatRowKind_Quit, {a}));
            break;
        case 3:
            rows.push_back(Row(t, K::StreamChatRowKind_NickChange, {a, b}));
            break;
        case 4:
            if (random() % 50 == 0) {
                const std::u16string topic = u"topic " + Utf8ToUtf16(std::to_string(i));
                rows.push_back(Row(t, K::StreamChatRowKind_TopicChange, {a, topic}));
                break;
            }
            [[fallthrough]];
        default:
            rows.push_back(Row(t, K::StreamChatRowKind_Message, {a, u"hello"}));
            break;
        }
    }
    ChatChannelIndex index;
    index.Build(&rows);
    ASSERT_EQ(index.rowCount(), 200000);
    // Both sides of checkpoints, the ends, and random seeks back and forth.
    std::vector<std::int32_t> seeks = {0, 4095, 4096, 4097, 8191, 199999, 150000, 3, 123456};
    for (int k = 0; k < 8; ++k)
        seeks.push_back(static_cast<std::int32_t>(random() % 200000));
    for (std::int32_t at : seeks) {
        SCOPED_TRACE(at);
        const ChatChannelState expected = Replay(rows, at);
        const ChatChannelState got = index.StateAfter(at);
        EXPECT_EQ(got.topic, expected.topic);
        std::vector<std::u16string> expectedNames = expected.names;
        std::vector<std::u16string> gotNames = got.names;
        std::sort(expectedNames.begin(), expectedNames.end());
        std::sort(gotNames.begin(), gotNames.end());
        EXPECT_EQ(gotNames.size(), expectedNames.size());
        EXPECT_EQ(FormatChannelStateLine(got), FormatChannelStateLine(index.StateAfter(at)));
    }
}

TEST(ChatJoinFilter, JoinsAndPartsOfPeopleWhoDoNotSpeakWithinTenMinutesAreQuiet) {
    StreamChatRowList rows;
    rows.push_back(Row(0, K::StreamChatRowKind_Join, {u"talker"}));   // 0: talks at 599
    rows.push_back(Row(10, K::StreamChatRowKind_Join, {u"lurker"}));  // 1: never talks
    rows.push_back(Row(20, K::StreamChatRowKind_Join, {u"late"}));    // 2: talks at 621
    rows.push_back(Row(30, K::StreamChatRowKind_Join, {u"renamer"})); // 3: talks as "Renamed"
    rows.push_back(Row(40, K::StreamChatRowKind_NickChange, {u"renamer", u"renamed"}));
    rows.push_back(Row(50, K::StreamChatRowKind_Action, {u"RENAMED", u"waves"}));
    rows.push_back(Row(599, K::StreamChatRowKind_Message, {u"talker", u"hi"}));
    rows.push_back(Row(621, K::StreamChatRowKind_Message, {u"late", u"hi"}));
    rows.push_back(Row(700, K::StreamChatRowKind_Leave, {u"talker"})); // 8: talked 101 s before
    rows.push_back(Row(800, K::StreamChatRowKind_Quit, {u"lurker"}));  // 9: never talked
    rows.push_back(Row(1300, K::StreamChatRowKind_Quit, {u"late"}));   // 10: talked 679 s before
    rows.push_back(Row(1400, K::StreamChatRowKind_Join, {u"talker"})); // 11: a new stay, silent
    rows.push_back(Row(1500, K::StreamChatRowKind_Message, {u"someone", u"x"}));
    const std::vector<bool> quiet = FindQuietJoinsAndParts(rows);
    ASSERT_EQ(quiet.size(), rows.size());
    EXPECT_FALSE(quiet[0]);
    EXPECT_TRUE(quiet[1]);
    EXPECT_TRUE(quiet[2]);
    EXPECT_FALSE(quiet[3]);
    EXPECT_FALSE(quiet[4]); // nick changes, talk and the rest are never filtered
    EXPECT_FALSE(quiet[5]);
    EXPECT_FALSE(quiet[8]);
    EXPECT_TRUE(quiet[9]);
    EXPECT_TRUE(quiet[10]);
    EXPECT_TRUE(quiet[11]);
    EXPECT_FALSE(quiet[12]);
}

} // namespace
