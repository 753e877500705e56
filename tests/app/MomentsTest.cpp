// Saved moments beside the settings file, and the times written in chat lines that seek.

#include "app/Moments.h"
#include "app/MySettings.h"
#include "app/TimesInText.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<MyMoment> ParseText(std::string_view text) {
    return MyMoments::Parse({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

MyMoment Sample() {
    MyMoment moment;
    moment.stationId = 3;
    moment.streamId = 41;
    moment.second = 5025;
    moment.savedAt = 1796000000;
    moment.track = u"Artist - Title\twith a tab";
    moment.note = u"the interview\\starts\nhere";
    moment.chat = {u"<alice> ask about the interview", u"<bob> 日本語 😀 \r done", u""};
    return moment;
}

TEST(Moments, RoundTripThroughTheFileWithEveryTextEscaped) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    {
        MyMoments moments(settings.path);
        EXPECT_EQ(moments.Add(Sample()), 0u);
        MyMoment second;
        second.stationId = 1;
        second.streamId = 2;
        EXPECT_EQ(moments.Add(second), 1u);
        EXPECT_TRUE(moments.SetNote(1, u"later note"));
        EXPECT_FALSE(moments.SetNote(2, u"no such moment"));
    }
    const std::filesystem::path file = folder.path() / "Vantri" / "moments.txt";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "moments.txt.new"));
    const std::string text = ReadAll(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << "one line a moment, whatever the texts hold";
    MyMoments again(settings.path);
    ASSERT_EQ(again.moments.size(), 2u);
    EXPECT_EQ(again.moments[0], Sample());
    EXPECT_EQ(again.moments[1].note, u"later note");
    EXPECT_TRUE(again.Remove(0));
    EXPECT_EQ(MyMoments(settings.path).moments.size(), 1u);
}

TEST(Moments, DamagedLinesAreSkippedAndTheRestCount) {
    const std::vector<MyMoment> read = ParseText("1\t2\t30\t0\tTrack\tNote\n"
                                                 "1\t2\t-5\t0\tnegative second\t\n"
                                                 "1\t2\t30\t0\tonly five fields\n"
                                                 "1\t2\tx30\t0\tTrack\t\n"
                                                 "1\t2\t30\t0\tbad \\q escape\t\n"
                                                 "1\t2\t30\t0\tends in a backslash\\\t\n"
                                                 "1\t2\t30\t0\tnot UTF-8 \xff\xfe\t\n"
                                                 "99999999999\t2\t30\t0\tstation too large\t\n"
                                                 "4\t5\t60\t0\t\t\tchat one\tchat two\r\n"
                                                 "\n");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].track, u"Track");
    EXPECT_EQ(read[1].stationId, 4);
    EXPECT_EQ(read[1].chat, (std::vector<std::u16string>{u"chat one", u"chat two"}));
}

TEST(Moments, LimitsKeepTheNewestAndCutLongTexts) {
    MyMoments moments; // not saved
    for (std::size_t i = 0; i < MyMoments::kMaxMoments + 5; ++i) {
        MyMoment moment;
        moment.second = static_cast<std::int32_t>(i);
        moments.Add(moment);
    }
    ASSERT_EQ(moments.moments.size(), MyMoments::kMaxMoments);
    EXPECT_EQ(moments.moments.front().second, 5);
    EXPECT_EQ(moments.moments.back().second, static_cast<std::int32_t>(MyMoments::kMaxMoments + 4));

    MyMoment big;
    // A surrogate pair straddles the cut: the cut leaves no half of it.
    big.note = std::u16string(MyMoments::kMaxTextLength - 1, u'a') + u"😀";
    big.chat.assign(MyMoments::kMaxChatLines + 3, u"line");
    big.chat.back() = u"newest";
    const MyMoment& kept = moments.moments[moments.Add(big)];
    EXPECT_EQ(kept.note.size(), MyMoments::kMaxTextLength - 1);
    EXPECT_EQ(kept.chat.size(), MyMoments::kMaxChatLines);
    EXPECT_EQ(kept.chat.back(), u"newest") << "the lines nearest the moment are kept";
    EXPECT_EQ(MyMoments::Parse({}).size(), 0u);
}

std::vector<std::int32_t> Seconds(std::u16string_view text, std::int32_t last = -1) {
    std::vector<std::int32_t> seconds;
    for (const TimeInText& time : FindTimesInText(text, last))
        seconds.push_back(time.seconds);
    return seconds;
}

TEST(TimesInText, ShowTimesInChatLines) {
    using V = std::vector<std::int32_t>;
    EXPECT_EQ(Seconds(u"at 1:23:45 they played it"), V{5025});
    EXPECT_EQ(Seconds(u"12:30"), V{750});
    EXPECT_EQ(Seconds(u"from 0:05 to 125:00, then 01:00:00."), (V{5, 7500, 3600}));
    const std::vector<TimeInText> found = FindTimesInText(u"見て 2:03!");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].start, 3u);
    EXPECT_EQ(found[0].length, 4u);
    // Not times: seconds or minutes past 59, runs that go on, times inside words or numbers.
    EXPECT_EQ(Seconds(u"1:60 1:2 10:30:00:00 a1:30 1:30b 1234:00 1.2:30 12:345 ::"), V{});
    EXPECT_EQ(Seconds(u"100:00:00"), V{}) << "three hour digits";
    // A time past the show's end is no link.
    EXPECT_EQ(Seconds(u"at 3:00:01 and 2:59:59", 3 * 3600), V{3 * 3600 - 1});
}

} // namespace
