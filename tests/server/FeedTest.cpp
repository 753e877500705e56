// The podcast feed of a station, its chapters and its transcript, as built from the archive.

#include "Feed.h"
#include "records/CatalogueRecords.h"

#include <gtest/gtest.h>

using namespace station;

namespace {

Stream Show() {
    Stream stream;
    stream.id = 4;
    stream.startTime = 1709496000; // 2024-03-03 20:00:00 UTC, a Sunday
    stream.duration = 120;
    stream.size = 41700;
    stream.text1 = "Friday <Mix> & more";
    stream.text2 = "DJ Test";
    stream.tracks = {{0, 0, 4, false, "DJ Test", "Welcome"}, {30, 0, 0, false, "Artist \"A\"", "Song\\1"}};
    stream.hasChat = true;
    stream.chat = {{-5, StreamChatRowKind_Message, {"early", "before the show"}},
                   {40, StreamChatRowKind_Message, {"bob", "later --> line"}},
                   {10,
                    StreamChatRowKind_Message,
                    {"alice", "hi \x03"
                              "4red\x02"}},
                   {12, StreamChatRowKind_Join, {"carol"}},
                   {15, StreamChatRowKind_Action, {"alice", "waves"}},
                   {500, StreamChatRowKind_Message, {"late", "past the end"}}};
    return stream;
}

TEST(FeedTarget, ReadsTheFourFormsAndNothingElse) {
    EXPECT_EQ(ParseFeedTarget("/feed/7.xml"), (FeedTarget{FeedTarget::Feed, 7, 0}));
    EXPECT_EQ(ParseFeedTarget("/feed/7/12/recording.mp3"), (FeedTarget{FeedTarget::Recording, 7, 12}));
    EXPECT_EQ(ParseFeedTarget("/feed/7/12/chapters.json"), (FeedTarget{FeedTarget::Chapters, 7, 12}));
    EXPECT_EQ(ParseFeedTarget("/feed/0/0/transcript.vtt"), (FeedTarget{FeedTarget::Transcript, 0, 0}));
    for (const char* bad : {"/feed/", "/feed/.xml", "/feed/07.xml", "/feed/-1.xml", "/feed/7.xml?x",
                            "/feed/7/12", "/feed/7/12/other.mp3", "/feed/7/12/chapters.json/",
                            "/feed/2147483648.xml", "/feeds/7.xml", "/feed/7//chapters.json"})
        EXPECT_FALSE(ParseFeedTarget(bad)) << bad;
}

TEST(Feed, EachShowIsAnItemWithItsRecordingChaptersAndTranscript) {
    Station station;
    station.id = 3;
    station.name = "Radio <One>";
    station.streams[4] = Show();
    Stream quiet;
    quiet.id = 9;
    quiet.startTime = 1709496000 + 86400;
    station.streams[9] = quiet;
    const std::string xml = FeedXml(station, "http://example.org:8470");
    EXPECT_NE(xml.find("<title>Radio &lt;One&gt;</title>"), std::string::npos);
    EXPECT_NE(xml.find("<title>Friday &lt;Mix&gt; &amp; more</title>"), std::string::npos);
    EXPECT_NE(xml.find("<pubDate>Sun, 03 Mar 2024 20:00:00 +0000</pubDate>"), std::string::npos);
    EXPECT_NE(xml.find("<enclosure url=\"http://example.org:8470/feed/3/4/recording.mp3\" length=\"41700\" "
                       "type=\"audio/mpeg\"/>"),
              std::string::npos);
    EXPECT_NE(xml.find("http://example.org:8470/feed/3/4/chapters.json"), std::string::npos);
    EXPECT_NE(xml.find("http://example.org:8470/feed/3/4/transcript.vtt"), std::string::npos);
    // The newest first; a show without tracks or chat offers neither.
    EXPECT_LT(xml.find("<title>Show 9</title>"), xml.find("<title>Friday"));
    EXPECT_EQ(xml.find("/feed/3/9/chapters.json"), std::string::npos);
    EXPECT_EQ(xml.find("/feed/3/9/transcript.vtt"), std::string::npos);
}

TEST(Feed, AStationWithoutShowsIsAnEmptyChannel) {
    Station station;
    station.id = 1;
    station.name = "Empty";
    const std::string xml = FeedXml(station, "http://h");
    EXPECT_EQ(xml.find("<item>"), std::string::npos);
    EXPECT_NE(xml.find("</channel>\n</rss>"), std::string::npos);
}

TEST(Feed, TextsAreFitForXmlWhateverTheArchiveHolds) {
    EXPECT_EQ(XmlText("a\x01"
                      "b\x1f\tc\n'\""),
              "ab\tc\n&apos;&quot;");
    EXPECT_EQ(XmlText("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
    // Not UTF-8: read as Windows-1252, as the archive's importer does.
    EXPECT_EQ(XmlText("caf\xe9"), "caf\xC3\xA9");
}

TEST(Feed, ChaptersAreTheTracksInJson) {
    EXPECT_EQ(ChaptersJson(Show()),
              "{\"version\":\"1.2.0\",\"chapters\":[{\"startTime\":0,\"title\":\"DJ Test - "
              "Welcome\"},{\"startTime\":30,\"title\":\"Artist \\\"A\\\" - Song\\\\1\"}]}\n");
}

TEST(Feed, TheTranscriptHoldsWhatWasSaidWithinTheShowInTimeOrder) {
    EXPECT_EQ(TranscriptVtt(Show()), "WEBVTT\n"
                                     "\n00:00:10.000 --> 00:00:15.000\n<v alice>hi 4red</v>\n"
                                     "\n00:00:15.000 --> 00:00:25.000\n* alice waves\n"
                                     "\n00:00:40.000 --> 00:00:50.000\n<v bob>later --&gt; line</v>\n");
    Stream shortShow = Show();
    shortShow.duration = 42; // the last cue ends with the show
    EXPECT_NE(TranscriptVtt(shortShow).find("00:00:40.000 --> 00:00:42.000"), std::string::npos);
}

} // namespace
