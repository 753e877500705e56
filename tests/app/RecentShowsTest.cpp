// The shows listened to last, beside the settings file: newest first, one entry a show, at most twenty,
// and a damaged file read as far as it holds.

#include "app/RecentShows.h"
#include "app/MySettings.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::vector<MyRecentShow> ParseText(std::string_view text) {
    return MyRecentShows::Parse({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(RecentShows, RoundTripThroughTheFileNewestFirst) {
    testsupport::ScratchFolder folder;
    MySettings settings(folder.text());
    const std::filesystem::path file = folder.path() / "Vantri" / "recent.txt";
    {
        MyRecentShows recent(settings.path);
        EXPECT_TRUE(recent.shows.empty());
        EXPECT_TRUE(recent.Update(3, 41, 3723, 1796000000));
        EXPECT_TRUE(recent.Update(1, 2, 0, 1796000100));
        EXPECT_FALSE(std::filesystem::exists(file)) << "updating alone writes nothing";
        ASSERT_TRUE(recent.Save());
    }
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "1\t2\t0\t1796000100\n3\t41\t3723\t1796000000\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Vantri" / "recent.txt.new"));
    const MyRecentShows again(settings.path);
    ASSERT_EQ(again.shows.size(), 2u);
    EXPECT_EQ(again.shows[0], (MyRecentShow{1, 2, 0, 1796000100}));
    EXPECT_EQ(again.shows[1], (MyRecentShow{3, 41, 3723, 1796000000}));
    ASSERT_NE(again.Find(3, 41), nullptr);
    EXPECT_EQ(again.Find(3, 41)->second, 3723);
    EXPECT_EQ(again.Find(3, 42), nullptr);
}

TEST(RecentShows, AShowHeardAgainIsUpdatedAndBecomesTheNewestWithoutACopy) {
    MyRecentShows recent;
    recent.Update(1, 1, 10, 100);
    recent.Update(2, 2, 20, 200);
    recent.Update(3, 3, 30, 300);
    // The newest again at a later second: the same single entry.
    EXPECT_TRUE(recent.Update(3, 3, 31, 301));
    EXPECT_FALSE(recent.Update(3, 3, 31, 301)) << "nothing changed";
    ASSERT_EQ(recent.shows.size(), 3u);
    EXPECT_EQ(recent.shows[0], (MyRecentShow{3, 3, 31, 301}));
    // An older one heard again moves to the front; the others keep their order.
    EXPECT_TRUE(recent.Update(1, 1, 95, 400));
    ASSERT_EQ(recent.shows.size(), 3u);
    EXPECT_EQ(recent.shows[0], (MyRecentShow{1, 1, 95, 400}));
    EXPECT_EQ(recent.shows[1].stationId, 3);
    EXPECT_EQ(recent.shows[2].stationId, 2);
    // A second before the show's start is its start.
    recent.Update(2, 2, -4, 500);
    EXPECT_EQ(recent.shows[0].second, 0);
    EXPECT_FALSE(recent.Update(-1, 2, 0, 600));
    EXPECT_FALSE(recent.Save()) << "no file without a settings path";
}

TEST(RecentShows, AtMostTwentyTheOldestGoingFirst) {
    MyRecentShows recent;
    for (std::int32_t i = 1; i <= 25; ++i)
        recent.Update(1, i, i, i);
    ASSERT_EQ(recent.shows.size(), MyRecentShows::kMaxShows);
    EXPECT_EQ(recent.shows.front().streamId, 25);
    EXPECT_EQ(recent.shows.back().streamId, 6);
    // A file longer than that (written by hand) is read up to the cap too.
    const std::string text = MyRecentShows::Format(recent.shows) + "9\t9\t9\t9\n";
    EXPECT_EQ(ParseText(text).size(), MyRecentShows::kMaxShows);
}

TEST(RecentShows, DamagedLinesAreSkippedAndTheRestCount) {
    const std::vector<MyRecentShow> read = ParseText("1\t2\t30\t1796000000\n"
                                                     "1\t2\t-5\t0\n"               // a negative second
                                                     "1\t2\t30\n"                  // a field short
                                                     "1\t2\t30\t0\t7\n"            // a field too many
                                                     "1\t2\tx30\t0\n"              // not a number
                                                     "99999999999\t2\t30\t0\n"     // station too large
                                                     "1\t3\t30\t999999999999999\n" // past the year 9999
                                                     "1\t2\t99\t5\n"               // an older copy of 1/2
                                                     "\xff\xfe\n"
                                                     "\n"
                                                     "4\t5\t60\t7 \r\n");
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], (MyRecentShow{1, 2, 30, 1796000000}));
    EXPECT_EQ(read[1], (MyRecentShow{4, 5, 60, 7}));
}

} // namespace
