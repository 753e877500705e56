#include "Importer.h"
#include "ArchiveLoader.h"
#include "StationFixtures.h"
#include "TimeText.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

#include <gtest/gtest.h>

using namespace station;
using namespace stationtest;
namespace fs = std::filesystem;

namespace {

class Import : public ::testing::Test {
protected:
    void SetUp() override {
        WriteSilentMp3(inputs_.path() / "show.mp3", 2000); // 52 s
        WriteText(inputs_.path() / "show.cue",
                  "PERFORMER \"DJ Test\"\nFILE \"show.mp3\" MP3\n"
                  "TRACK 01 AUDIO\n TITLE \"Hello\"\n REM KIND talk\n INDEX 01 00:00:00\n"
                  "TRACK 02 AUDIO\n PERFORMER \"A\"\n TITLE \"Song\"\n"
                  " INDEX 00 00:09:00\n INDEX 01 00:10:00\n");
        WriteText(inputs_.path() / "show.log", "[19:00:05] <alice> early\n[20:00:30] <bob> later\n"
                                               "[20:00:10] * bob waves\n[23:00:00] <carol> long after\n");
        request_.archive = archive_.path();
        request_.stationId = 3;
        request_.streamId = 8;
        request_.recording = inputs_.path() / "show.mp3";
        request_.cueSheet = inputs_.path() / "show.cue";
        request_.chatLog = inputs_.path() / "show.log";
        request_.startTime = *ParseDateTime("2024-03-03 20:00:00");
        request_.text1 = "Friday\tMix";
        request_.channel = "#radio";
        request_.stationName = "Radio Three";
    }

    // Every entry under the archive, so a test can tell that a failed import left nothing behind.
    std::vector<std::string> Listing() const {
        std::vector<std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(archive_.path()))
            entries.push_back(fs::relative(entry.path(), archive_.path()).string());
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    TempFolder inputs_;
    TempFolder archive_;
    ImportRequest request_;
};

TEST_F(Import, MakesAStreamThatTheServerLoads) {
    auto summary = ImportStream(request_);
    ASSERT_TRUE(summary.ok()) << summary.failure().Text();
    EXPECT_EQ(summary->durationSeconds, 52u);
    EXPECT_EQ(summary->size, 2000 * kSilentFrameBytes);
    EXPECT_EQ(summary->tracks, 2u);
    EXPECT_EQ(summary->chatRows, 3u);
    EXPECT_EQ(summary->chatRowsOutside, 1u); // three hours after the start, beyond the one-hour margin

    std::vector<Failure> problems;
    auto archive = LoadArchive(archive_.path(), problems);
    ASSERT_TRUE(archive.ok());
    EXPECT_TRUE(problems.empty()) << problems.front().Text();
    const Station& station = archive->stations.at(3);
    EXPECT_EQ(station.name, "Radio Three");
    const Stream& stream = station.streams.at(8);
    EXPECT_EQ(stream.startTime, 1709496000);
    EXPECT_EQ(stream.duration, 52u);
    EXPECT_EQ(stream.text1, "Friday Mix"); // tabs would break the archive's files
    EXPECT_EQ(stream.channel, "#radio");
    ASSERT_EQ(stream.tracks.size(), 2u);
    EXPECT_EQ(stream.tracks[0].kind, kTrackKindTalk);
    EXPECT_EQ(stream.tracks[0].text1, "DJ Test");
    EXPECT_EQ(stream.tracks[0].secondTime, 10);
    EXPECT_EQ(stream.tracks[1].start, 10);
    EXPECT_EQ(stream.tracks[1].secondTime, 52);
    ASSERT_EQ(stream.chat.size(), 3u);
    // Sorted by time; the pre-show line is kept with a negative time.
    EXPECT_EQ(stream.chat[0].time, -3595);
    EXPECT_EQ(stream.chat[1].time, 10);
    EXPECT_EQ(stream.chat[1].kind, StreamChatRowKind_Action);
    EXPECT_EQ(stream.chat[2].time, 30);
    EXPECT_TRUE(stream.hasChat);
    EXPECT_EQ(fs::file_size(stream.recording), 2000 * kSilentFrameBytes);
}

TEST_F(Import, FailuresLeaveTheArchiveAsItWas) {
    ASSERT_TRUE(ImportStream(request_).ok());
    const auto before = Listing();

    ImportRequest again = request_;
    auto refused = ImportStream(again);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.failure().message.find("exists already"), std::string::npos);

    WriteText(inputs_.path() / "bad.log", "[20:00:01] <a> fine\n[20:00:02] <b> fine\ngarbage line\n");
    again.streamId = 9;
    again.chatLog = inputs_.path() / "bad.log";
    refused = ImportStream(again);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.failure().file, (inputs_.path() / "bad.log").string());
    EXPECT_EQ(refused.failure().line, 3);

    WriteText(inputs_.path() / "late.cue", "FILE a.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                           "TRACK 02 AUDIO\nINDEX 01 05:00:00\n");
    again.chatLog.reset();
    again.cueSheet = inputs_.path() / "late.cue";
    refused = ImportStream(again);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.failure().line, 4);
    EXPECT_NE(refused.failure().message.find("after the end"), std::string::npos);

    WriteText(inputs_.path() / "not.mp3", "this is text, not audio");
    again.cueSheet.reset();
    again.recording = inputs_.path() / "not.mp3";
    refused = ImportStream(again);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.failure().message.find("not an MP3"), std::string::npos);

    EXPECT_EQ(Listing(), before);
}

TEST_F(Import, ANewStationNeedsAName) {
    request_.stationName.clear();
    auto refused = ImportStream(request_);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.failure().message.find("--station-name"), std::string::npos);
    EXPECT_TRUE(Listing().empty() || Listing() == std::vector<std::string>{"stations"});
}

TEST_F(Import, ReplaceSwapsTheStreamWhole) {
    ASSERT_TRUE(ImportStream(request_).ok());
    WriteSilentMp3(inputs_.path() / "short.mp3", 400);
    ImportRequest again = request_;
    again.recording = inputs_.path() / "short.mp3";
    again.cueSheet.reset();
    again.chatLog.reset();
    again.replace = true;
    auto summary = ImportStream(again);
    ASSERT_TRUE(summary.ok()) << summary.failure().Text();
    std::vector<Failure> problems;
    auto archive = LoadArchive(archive_.path(), problems);
    ASSERT_TRUE(archive.ok());
    const Stream& stream = archive->stations.at(3).streams.at(8);
    EXPECT_EQ(stream.size, 400 * kSilentFrameBytes);
    EXPECT_TRUE(stream.tracks.empty());
    EXPECT_FALSE(stream.hasChat);
    // No working or replaced folders are left behind.
    for (const std::string& entry : Listing())
        EXPECT_EQ(entry.find("/."), std::string::npos) << entry;
}

} // namespace
