// The playback speeds file beside the settings file: per show, kept across starts, 1x never written, and a
// damaged file read line by line.

#include "app/PlaySpeeds.h"
#include "app/MySettings.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(PlaySpeeds, ASpeedSurvivesARestartForThatShowOnlyAndOneTimesForgetsIt) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    const std::filesystem::path file = folder.path() / "Vantri" / "playspeeds.txt";
    {
        MyPlaySpeeds speeds(settings.path);
        EXPECT_EQ(speeds.Get(7, 12), 10);
        EXPECT_EQ(speeds.Set(7, 12, 10), 10);
        EXPECT_FALSE(std::filesystem::exists(file)) << "1x is not written";
        EXPECT_EQ(speeds.Set(7, 12, 15), 15);
        EXPECT_EQ(speeds.Set(7, 13, 99), 30);
        EXPECT_EQ(speeds.Set(8, 1, 1), 5);
    }
    ASSERT_TRUE(std::filesystem::exists(file)) << "beside settings.vts";
    MyPlaySpeeds again(settings.path);
    EXPECT_EQ(again.Get(7, 12), 15);
    EXPECT_EQ(again.Get(7, 13), 30);
    EXPECT_EQ(again.Get(8, 1), 5);
    EXPECT_EQ(again.Get(12, 7), 10);
    again.Set(7, 12, 10);
    MyPlaySpeeds third(settings.path);
    EXPECT_EQ(third.Get(7, 12), 10);
    EXPECT_EQ(third.speeds.size(), 2u);
}

TEST(PlaySpeeds, LinesThatDoNotReadAsASpeedInRangeAreSkipped) {
    const auto speeds = MyPlaySpeeds::Parse(Bytes("# comment\n"
                                                  "1 2 15\r\n"
                                                  "1 3 4\n"  // below 0.5x
                                                  "1 4 31\n" // above 3x
                                                  "1 5 10\n" // 1x is never kept
                                                  "1 6 12 extra\n"
                                                  "1 7 1.5\n"
                                                  "99999999999 1 20\n"
                                                  "  2   9\t25  \n"
                                                  "3 3"));
    ASSERT_EQ(speeds.size(), 2u);
    EXPECT_EQ(speeds.at({1, 2}), 15);
    EXPECT_EQ(speeds.at({2, 9}), 25);
    EXPECT_EQ(MyPlaySpeeds::Parse(Bytes(MyPlaySpeeds::Format(speeds))), speeds);
}

TEST(PlaySpeeds, WithoutASettingsPathNothingIsSaved) {
    MyPlaySpeeds speeds(u"");
    EXPECT_EQ(speeds.Set(1, 2, 20), 20);
    EXPECT_EQ(speeds.Get(1, 2), 20);
    EXPECT_FALSE(speeds.Save());
}

TEST(PlaySpeeds, SpeedsReadAsThePlayPanelShowsThem) {
    EXPECT_EQ(FormatPlaySpeed(10), u"1.0\u00D7");
    EXPECT_EQ(FormatPlaySpeed(5), u"0.5\u00D7");
    EXPECT_EQ(FormatPlaySpeed(23), u"2.3\u00D7");
    EXPECT_EQ(FormatPlaySpeed(30), u"3.0\u00D7");
}

} // namespace
