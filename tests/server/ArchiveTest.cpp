#include "ArchiveFiles.h"
#include "ArchiveLoader.h"
#include "StationFixtures.h"
#include "records/WireFormat.h"

#include <gtest/gtest.h>

using namespace station;
using stationtest::MakeSmallArchive;
using stationtest::TempFolder;
using stationtest::WriteSilentMp3;
using stationtest::WriteText;
namespace fs = std::filesystem;

namespace {

TEST(Archive, LoadsStationsStreamsTracksAndChat) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok()) << archive.failure().Text();
    EXPECT_TRUE(problems.empty()) << problems.front().Text();
    ASSERT_EQ(archive->stations.size(), 2u);
    const Station& one = archive->stations.at(1);
    EXPECT_EQ(one.name, "Radio One");
    EXPECT_EQ(one.basePath, "/station/1/");
    ASSERT_EQ(one.streams.size(), 2u);
    const Stream& stream = one.streams.at(1);
    EXPECT_EQ(stream.startTime, 1709496000);
    EXPECT_EQ(stream.duration, 3u);
    EXPECT_EQ(stream.size, 100 * stationtest::kSilentFrameBytes);
    EXPECT_EQ(stream.type, 2);
    EXPECT_EQ(stream.extraValue2, -3);
    ASSERT_EQ(stream.tracks.size(), 2u);
    EXPECT_EQ(stream.tracks[0].kind, kTrackKindTalk);
    EXPECT_EQ(stream.tracks[1].secondTime, 3);
    EXPECT_TRUE(stream.tracks[1].flag);
    ASSERT_EQ(stream.chat.size(), 3u);
    EXPECT_EQ(stream.chat[0].time, -5);
    EXPECT_EQ(stream.chat[2].args, (std::vector<std::string>{"op", "+o", "alice"}));
    EXPECT_TRUE(stream.hasChat);
    // Without a duration in stream.conf the recording is measured: 40 frames of 1152 samples at 44.1 kHz.
    EXPECT_EQ(one.streams.at(2).duration, 1u);
    EXPECT_FALSE(one.streams.at(2).hasChat);
    EXPECT_EQ(archive->stations.at(5).basePath, "/night/");
    ASSERT_TRUE(archive->update.has_value());
    EXPECT_EQ(archive->update->newestVersion, 20);
}

TEST(Archive, AFaultyStreamIsLeftOutAndNamedWithFileAndLine) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    const fs::path broken = folder.path() / "stations/1/streams/2/chat.txt";
    WriteText(broken, "0:00:01\tmessage\talice\thi\n0:00:02\tjoin\tbob\textra\n");
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, broken.string());
    EXPECT_EQ(problems[0].line, 2);
    EXPECT_EQ(archive->stations.at(1).streams.count(2), 0u);
    EXPECT_EQ(archive->stations.at(1).streams.count(1), 1u);
}

TEST(Archive, NothingOutsideTheArchiveIsServed) {
    TempFolder outside;
    WriteSilentMp3(outside.path() / "secret.mp3", 10);
    WriteText(outside.path() / "secret.exe", "MZ");
    TempFolder folder;
    MakeSmallArchive(folder.path());
    const fs::path recording = folder.path() / "stations/5/streams/3/recording.mp3";
    fs::remove(recording);
    fs::create_symlink(outside.path() / "secret.mp3", recording);
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    EXPECT_TRUE(archive->stations.at(5).streams.empty());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("outside the archive"), std::string::npos);

    for (const std::string& installer : {"../" + outside.path().filename().string() + "/secret.exe",
                                         (outside.path() / "secret.exe").string()}) {
        WriteText(folder.path() / "server.conf",
                  "update-version = 20\nupdate-installer = " + installer + "\n");
        auto refused = LoadArchive(folder.path(), problems);
        ASSERT_FALSE(refused.ok()) << installer;
        EXPECT_NE(refused.failure().message.find("inside the archive"), std::string::npos);
    }
}

TEST(Archive, RecordedSizeMustMatchTheRecording) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    WriteText(folder.path() / "stations/5/streams/3/stream.conf", "start = 2024-01-01 00:00:00\nsize = 99\n");
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("'size' says 99"), std::string::npos);
}

TEST(Archive, TwoStationsCannotShareABasePath) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    WriteText(folder.path() / "stations/6/station.conf", "name = Copy\npath = /night/\n");
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(archive->stations.count(6), 0u);
}

TEST(ArchiveFiles, ConfigurationFaultsNameTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* words;
    };
    const Case cases[] = {
        {"name = A\nnmae = B\n", 2, "unknown key"}, {"name = A\nname = B\n", 2, "given twice"},
        {"# comment\nname A\n", 2, "key = value"},  {"name = A\nport = 70000\n", 2, "port"},
        {"name = A\nhost = bad host\n", 2, "host"}, {"name = A\npath = /../\n", 2, "path"},
        {"name = A\npath = /\n", 2, "path"},        {"name = \xC3\n", 1, "UTF-8"},
        {"description = no name\n", 0, "name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto parsed = ParseStationConf(c.text, "station.conf", 1);
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.failure().line, c.line);
        EXPECT_NE(parsed.failure().Text().find(c.words), std::string::npos) << parsed.failure().Text();
    }
    bool durationKnown = false;
    for (const char* text :
         {"start = 2024-02-30 20:00:00\n", "start = 2040-01-01 00:00:00\n",
          "start = 2024-01-01 00:00:00\ntype = 4\n", "start = 2024-01-01 00:00:00\nduration = 1:5\n"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseStreamConf(text, "stream.conf", 1, durationKnown).ok());
    }
}

TEST(ArchiveFiles, TrackAndChatFilesRoundTrip) {
    const std::vector<Track> tracks = {{0, 65, kTrackKindTalk, false, "Host", "Hello"},
                                       {65, 3700, 7, true, "Ärtist", "Tïtle"}};
    auto readTracks = ParseTrackFile(FormatTrackFile(tracks), "tracks.txt");
    ASSERT_TRUE(readTracks.ok()) << readTracks.failure().Text();
    ASSERT_EQ(readTracks->size(), 2u);
    EXPECT_EQ((*readTracks)[1].start, 65);
    EXPECT_EQ((*readTracks)[1].secondTime, 3700);
    EXPECT_EQ((*readTracks)[1].kind, 7);
    EXPECT_TRUE((*readTracks)[1].flag);
    EXPECT_EQ((*readTracks)[1].text1, "Ärtist");

    const std::vector<ChatRow> rows = {{-61, 0, {"just text"}},  {1, 1, {"a", "b"}},
                                       {2, 2, {"a", "waves"}},   {3, 3, {"a"}},
                                       {4, 4, {"a", "bye"}},     {5, 5, {"a"}},
                                       {6, 6, {"a", "b"}},       {7, 7, {"a", "topic"}},
                                       {8, 8, {"a", "+o", "b"}}, {9, 9, {"a", "b", "why"}},
                                       {10, 0, {"server", ""}}};
    auto readRows = ParseChatFile(FormatChatFile(rows), "chat.txt");
    ASSERT_TRUE(readRows.ok()) << readRows.failure().Text();
    ASSERT_EQ(readRows->size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ((*readRows)[i].time, rows[i].time);
        EXPECT_EQ((*readRows)[i].kind, rows[i].kind);
        EXPECT_EQ((*readRows)[i].args, rows[i].args);
    }
}

TEST(ArchiveFiles, CarriageReturnsBeforeALineEndAreNotPartOfTheLastField) {
    // As a file converted twice to Windows line ends has them; the rows must also survive being written
    // and read again.
    auto rows = ParseChatFile("0:00:01\tjoin\talice\r\r\r\n0:00:02\tmessage\talice\thi\r\r", "chat.txt");
    ASSERT_TRUE(rows.ok()) << rows.failure().Text();
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].args, (std::vector<std::string>{"alice"}));
    EXPECT_EQ((*rows)[1].args, (std::vector<std::string>{"alice", "hi"}));
    auto again = ParseChatFile(FormatChatFile(*rows), "chat.txt");
    ASSERT_TRUE(again.ok());
    EXPECT_EQ((*again)[1].args, (*rows)[1].args);
    auto tracks = ParseTrackFile("0:00:00\tmusic\tA\tB\t0:01:00\t1\r\r\n", "tracks.txt");
    ASSERT_TRUE(tracks.ok()) << tracks.failure().Text();
    EXPECT_TRUE((*tracks)[0].flag);
}

TEST(ArchiveFiles, ChatRowsThePlayerWouldDropAreRefused) {
    const char* lines[] = {
        "0:00:01\tmessage\t\thello", // empty sender
        "0:00:01\tmessage\talice\t", // empty text
        "0:00:01\tjoin\talice\tbob", // join takes one nick
        "0:00:01\tkick\talice",      // kick needs kicker and nick
        "0:00:01\tmode\talice",      // mode needs a mode
        "0:00:01\tshout\talice\thi", // unknown kind
        "1:60:00\tjoin\talice",      // minutes out of range
        "0:00:01\tjoin",             // no arguments
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        auto parsed = ParseChatFile(std::string("0:00:00\tjoin\tok\n") + line + "\n", "chat.txt");
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.failure().line, 2);
    }
    std::string many = "0:00:01\tmode\top";
    for (int i = 0; i < 20; ++i)
        many += "\t+v";
    EXPECT_FALSE(ParseChatFile(many, "chat.txt").ok());
}

} // namespace
