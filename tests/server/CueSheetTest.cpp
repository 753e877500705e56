#include "CueSheet.h"

#include <gtest/gtest.h>

using station::ParseCueSheet;

namespace {

TEST(CueSheet, ReadsTracksWithAndWithoutIndex00) {
    const char* sheet = "\xEF\xBB\xBFREM GENRE Electronic\r\n"
                        "PERFORMER \"DJ Test\"\r\n"
                        "TITLE \"Friday Mix\"\r\n"
                        "FILE \"mix.mp3\" MP3\r\n"
                        "  TRACK 01 AUDIO\r\n"
                        "    TITLE \"Intro\"\r\n"
                        "    REM KIND talk\r\n"
                        "    INDEX 01 00:00:00\r\n"
                        "  TRACK 02 AUDIO\r\n"
                        "    PERFORMER \"Artist B\"\r\n"
                        "    TITLE \"Second\"\r\n"
                        "    INDEX 00 03:58:00\r\n"
                        "    INDEX 01 04:00:74\r\n"
                        "  TRACK 03 AUDIO\r\n"
                        "    PERFORMER Unquoted Name\r\n"
                        "    TITLE Third\r\n"
                        "    INDEX 01 185:30:00\r\n";
    auto parsed = ParseCueSheet(sheet, "mix.cue");
    ASSERT_TRUE(parsed.ok()) << parsed.failure().Text();
    EXPECT_EQ(parsed->title, "Friday Mix");
    EXPECT_EQ(parsed->file, "mix.mp3");
    ASSERT_EQ(parsed->tracks.size(), 3u);
    EXPECT_EQ(parsed->tracks[0].performer, "DJ Test"); // the sheet's performer
    EXPECT_TRUE(parsed->tracks[0].talk);
    EXPECT_EQ(parsed->tracks[0].startFrames, 0);
    EXPECT_EQ(parsed->tracks[1].performer, "Artist B");
    EXPECT_FALSE(parsed->tracks[1].talk);
    EXPECT_EQ(parsed->tracks[1].startFrames, (4 * 60) * 75 + 74); // INDEX 01, not the gap's INDEX 00
    EXPECT_EQ(parsed->tracks[2].performer, "Unquoted Name");
    EXPECT_EQ(parsed->tracks[2].startFrames, (185 * 60 + 30) * 75); // mixes run past 99 minutes
}

TEST(CueSheet, LatinOneSheetsAreRead) {
    auto parsed =
        ParseCueSheet("FILE a.mp3 MP3\nTRACK 01 AUDIO\nTITLE \"Caf\xE9\"\nINDEX 01 00:00:00\n", "a.cue");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed->tracks[0].title, "Café");
}

TEST(CueSheet, MalformedSheetsNameTheLine) {
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"TRACK 01 AUDIO\nINDEX 01 00:00\n", 2},                    // no frames
        {"TRACK 01 AUDIO\nINDEX 01 00:60:00\n", 2},                 // seconds
        {"TRACK 01 AUDIO\nINDEX 01 00:00:75\n", 2},                 // frames
        {"INDEX 01 00:00:00\n", 1},                                 // before a track
        {"TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 01 AUDIO\n", 3}, // numbers must increase
        {"TRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n", 1}, // no INDEX 01
        {"TRACK 01 AUDIO\nINDEX 01 01:00:00\nTRACK 02 AUDIO\nINDEX 01 00:30:00\n", 4}, // backwards
        {"TRACK 01 AUDIO\nTITLE \"open\nINDEX 01 00:00:00\n", 2},                      // quote
        {"FILE a.mp3 MP3\nFILE b.mp3 MP3\n", 2},                                       // two recordings
        {"TRACK 01 AUDIO\nINDEX 01 00:00:00\nJUNK here\n", 3},                         // unknown command
        {"TRACK 01 AUDIO\nINDEX 01 00:00:00\nINDEX 01 00:00:01\n", 3},                 // INDEX 01 twice
        {"TRACK x AUDIO\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto parsed = ParseCueSheet(c.text, "bad.cue");
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.failure().file, "bad.cue");
        EXPECT_EQ(parsed.failure().line, c.line) << parsed.failure().Text();
    }
    EXPECT_FALSE(ParseCueSheet("REM nothing\n", "empty.cue").ok());
}

} // namespace
