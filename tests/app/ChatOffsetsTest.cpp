// The chat sync offsets file beside the settings file: per show, kept across starts, written whole and
// atomically, and a damaged file read line by line.

#include "app/ChatOffsets.h"
#include "app/MySettings.h"
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

TEST(ChatOffsets, AnOffsetSurvivesARestartForThatShowOnly) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    ASSERT_FALSE(settings.path.empty());
    {
        MyChatOffsets offsets(settings.path);
        EXPECT_EQ(offsets.Get(7, 12), 0);
        EXPECT_EQ(offsets.Set(7, 12, 3), 3);
        EXPECT_EQ(offsets.Set(7, 13, -10), -10);
    }
    const std::filesystem::path file = folder.path() / "Vantri" / "chatoffsets.txt";
    ASSERT_TRUE(std::filesystem::exists(file)) << "beside settings.vts";
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "chatoffsets.txt.new"));
    MyChatOffsets again(settings.path);
    EXPECT_EQ(again.Get(7, 12), 3);
    EXPECT_EQ(again.Get(7, 13), -10);
    EXPECT_EQ(again.Get(12, 7), 0);
    EXPECT_EQ(again.Get(7, 14), 0);
    // Back to 0 forgets the show.
    again.Set(7, 12, 0);
    MyChatOffsets third(settings.path);
    EXPECT_EQ(third.Get(7, 12), 0);
    EXPECT_EQ(third.Get(7, 13), -10);
    EXPECT_EQ(ReadAll(file).find("7 12 "), std::string::npos);
    // The settings file itself is never touched: still absent, as nothing saved it.
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "settings.vts"));
}

TEST(ChatOffsets, ADamagedFileIsReadLineByLine) {
    const std::string text = "# comment\n"
                             "1 2 3\n"
                             "garbage\n"
                             "4 5\n"
                             "6 7 8 9\n"
                             "10 11 12x\n"
                             "\r\n"
                             "13 14 -15\r\n"
                             "16 17 99999999999\n"
                             "18 19 36001\n"
                             "20 21 0\n"
                             "99999999999 1 2\n"
                             "  22\t23 +24  \n"
                             "1 2 5\n"
                             "\xff\xfe 9 9\n"
                             "25 26 27"; // no line end at the end of the file
    const auto parsed = MyChatOffsets::Parse(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    using Map = std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t>;
    EXPECT_EQ(parsed, (Map{{{1, 2}, 5}, {{13, 14}, -15}, {{22, 23}, 24}, {{25, 26}, 27}}));

    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    {
        std::ofstream out(folder.path() / "Vantri" / "chatoffsets.txt", std::ios::binary);
        out << text;
    }
    MyChatOffsets offsets(settings.path);
    EXPECT_EQ(offsets.Get(13, 14), -15);
    EXPECT_EQ(offsets.Get(6, 7), 0);
    // The next save writes only what was good, plus the change.
    offsets.Set(6, 7, 1);
    const auto reread = MyChatOffsets(settings.path).offsets;
    EXPECT_EQ(reread, (Map{{{1, 2}, 5}, {{6, 7}, 1}, {{13, 14}, -15}, {{22, 23}, 24}, {{25, 26}, 27}}));
}

TEST(ChatOffsets, OffsetsAreClampedAndWithoutASettingsPathNothingIsSaved) {
    MyChatOffsets offsets(u"");
    EXPECT_TRUE(offsets.path.empty());
    EXPECT_EQ(offsets.Set(1, 1, 999999), MyChatOffsets::kMaxOffset);
    EXPECT_EQ(offsets.Get(1, 1), MyChatOffsets::kMaxOffset);
    EXPECT_EQ(offsets.Set(1, 1, -999999), -MyChatOffsets::kMaxOffset);
    EXPECT_FALSE(offsets.Save());
}

TEST(ChatOffsets, SyncPointsSurviveARestartBesideTheOffsetsAndADamagedPointIsSkipped) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    {
        MyChatOffsets offsets(settings.path);
        offsets.Set(7, 12, 3);
        EXPECT_TRUE(offsets.AddPin(7, 12, {200, 215}));
        EXPECT_TRUE(offsets.AddPin(7, 12, {100, 95}));
        EXPECT_TRUE(offsets.AddPin(7, 12, {200, 210})); // the same play second replaces the first
    }
    const std::filesystem::path file = folder.path() / "Vantri" / "chatoffsets.txt";
    std::string text = ReadAll(file);
    EXPECT_NE(text.find("7 12 3\n"), std::string::npos);
    EXPECT_NE(text.find("7 12 @ 100 95\n"), std::string::npos);
    // An older reader of the file keeps the offsets and passes over the points.
    const auto offsetsOnly = MyChatOffsets::Parse(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    EXPECT_EQ(offsetsOnly.size(), 1u);
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        out << "7 12 @ 300\n7 12 @ x 4\n8 1 @ 5 6 7\n9 9 @ -5 -3\n";
    }
    MyChatOffsets again(settings.path);
    EXPECT_EQ(again.Get(7, 12), 3);
    ASSERT_NE(again.Pins(7, 12), nullptr);
    EXPECT_EQ(*again.Pins(7, 12), (ChatSyncPoints{{100, 95}, {200, 210}}));
    EXPECT_EQ(again.Pins(8, 1), nullptr);
    ASSERT_NE(again.Pins(9, 9), nullptr);
    EXPECT_EQ(*again.Pins(9, 9), (ChatSyncPoints{{-5, -3}}));
    again.ForgetPins(7, 12);
    EXPECT_EQ(MyChatOffsets(settings.path).Pins(7, 12), nullptr);
    EXPECT_EQ(MyChatOffsets(settings.path).Get(7, 12), 3);
}

TEST(ChatOffsets, TheChatSecondGoesAlongTheUsersPointsElseTheStationsThenTheOffset) {
    MyChatOffsets offsets(u"");
    const ChatSyncPoints station = {{0, 0}, {1000, 1100}};
    EXPECT_EQ(offsets.ChatSecond(1, 2, 500, nullptr), 500);
    EXPECT_EQ(offsets.ChatSecond(1, 2, 500, &station), 550);
    offsets.Set(1, 2, 5);
    EXPECT_EQ(offsets.ChatSecond(1, 2, 500, &station), 545);
    offsets.AddPin(1, 2, {400, 380});
    // The user's one point is a plain offset of 20, then the offset of 5 on top.
    EXPECT_EQ(offsets.ChatSecond(1, 2, 500, &station), 475);
    EXPECT_EQ(offsets.ChatSecond(3, 4, 500, &station), 550); // another show keeps the station's
}

} // namespace
