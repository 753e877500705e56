// The recorder's parsers and rules on their own: the Icecast stream with its metadata blocks split at
// every byte, the MP3 frame clock against libmpg123, IRC lines and what they make in the channel, and
// the trimming of what a reconnect repeats.

#include "Mp3Probe.h"
#include "record/IcyStream.h"
#include "record/IrcMessage.h"
#include "record/Mp3FrameClock.h"
#include "record/OverlapTrimmer.h"
#include "records/CatalogueRecords.h"
#include "server/StationFixtures.h"
#include "support/Mp3Fixtures.h"

#include <gtest/gtest.h>

using namespace station::record;

namespace {

struct Collected : IcySink {
    std::string audio;
    std::vector<std::pair<std::size_t, std::string>> titles; // audio bytes before each title
    void OnAudio(std::string_view bytes) override { audio.append(bytes); }
    void OnTitle(const std::string& title) override { titles.emplace_back(audio.size(), title); }
};

// A metadata block as Icecast writes it: a length byte in 16-byte units, then the text padded with zeros.
std::string MetaBlock(const std::string& text) {
    std::string block = text;
    block.resize((text.size() + 15) / 16 * 16, '\0');
    return std::string(1, static_cast<char>(block.size() / 16)) + block;
}

TEST(IcyStream, TakesOutEveryMetadataBlockWhereverTheBytesAreSplit) {
    std::string audio;
    for (int i = 0; i < 100; ++i)
        audio += static_cast<char>(i);
    const std::string wire = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Loopback FM\r\n"
                             "icy-metaint: 40\r\n\r\n" +
                             audio.substr(0, 40) + MetaBlock("StreamTitle='Art - Song';StreamUrl='';") +
                             audio.substr(40, 40) + std::string(1, '\0') + audio.substr(80);
    for (std::size_t split = 0; split <= wire.size(); ++split) {
        SCOPED_TRACE("split at " + std::to_string(split));
        IcyStream stream;
        Collected sink;
        ASSERT_TRUE(stream.Feed(std::string_view(wire).substr(0, split), sink));
        ASSERT_TRUE(stream.Feed(std::string_view(wire).substr(split), sink));
        ASSERT_TRUE(stream.head());
        EXPECT_EQ(stream.head()->status, 200);
        EXPECT_EQ(stream.head()->metaint, 40u);
        EXPECT_EQ(stream.head()->name, "Loopback FM");
        EXPECT_EQ(sink.audio, audio);
        ASSERT_EQ(sink.titles.size(), 1u);
        EXPECT_EQ(sink.titles[0], std::make_pair(std::size_t{40}, std::string("Art - Song")));
    }
}

TEST(IcyStream, RefusalsAndFaultyHeadsAreReported) {
    IcyStream missing;
    Collected sink;
    EXPECT_TRUE(missing.Feed("HTTP/1.0 404 File Not Found\r\n\r\n<html>", sink));
    EXPECT_EQ(missing.head()->status, 404);
    EXPECT_TRUE(sink.audio.empty());
    IcyStream shoutcast;
    EXPECT_TRUE(shoutcast.Feed("ICY 200 OK\r\nicy-metaint: 0\r\n\r\nabc", sink));
    EXPECT_EQ(sink.audio, "abc");
    IcyStream bad;
    EXPECT_FALSE(bad.Feed("SSH-2.0-OpenSSH\r\n\r\n", sink));
    EXPECT_FALSE(bad.error().empty());
    IcyStream huge;
    EXPECT_FALSE(huge.Feed("HTTP/1.0 200 OK\r\n" + std::string(IcyStream::kMaxHeadBytes, 'x'), sink));
    IcyStream badMetaint;
    EXPECT_FALSE(badMetaint.Feed("HTTP/1.0 200 OK\r\nicy-metaint: lots\r\n\r\n", sink));
}

TEST(IcyStream, TitlesAreReadFromStreamTitleAndSplitIntoArtistAndTitle) {
    EXPECT_EQ(StreamTitleOf("StreamTitle='It's Me - Song';StreamUrl='x';"), "It's Me - Song");
    EXPECT_EQ(StreamTitleOf("StreamTitle='Caf\xe9';"), "Caf\xc3\xa9"); // Latin-1
    EXPECT_EQ(StreamTitleOf("StreamUrl='x';"), std::nullopt);
    std::string artist;
    std::string title;
    SplitTitle("Artist - Title - Remix", artist, title);
    EXPECT_EQ(artist, "Artist");
    EXPECT_EQ(title, "Title - Remix");
    SplitTitle("Just a title", artist, title);
    EXPECT_EQ(artist, "");
    EXPECT_EQ(title, "Just a title");
}

TEST(Mp3FrameClock, CountsTheAudioLibmpg123FindsInPiecesOfAnySize) {
    const std::string path =
        testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, 3.0, 128});
    ASSERT_FALSE(path.empty());
    const auto facts = station::ProbeMp3(path);
    ASSERT_TRUE(facts.ok());
    const auto bytes = testsupport::ReadFileBytes(path);
    const std::string mp3(bytes.begin(), bytes.end());
    for (std::size_t piece : {1u, 7u, 418u, 100000u}) {
        Mp3FrameClock clock;
        for (std::size_t at = 0; at < mp3.size(); at += piece)
            clock.Feed(std::string_view(mp3).substr(at, piece));
        // libmpg123 leaves out the encoder's delay and padding and its information frame: at most a few
        // frames' worth.
        EXPECT_NEAR(clock.seconds(), static_cast<double>(facts->samples) / facts->rate, 0.1) << piece;
    }
    // Junk and a cut frame before the stream cost nothing but themselves.
    Mp3FrameClock clock;
    const std::string tag("ID3\x03\x00\x00\x00\x00\x00\x05"
                          "abcde",
                          15);
    clock.Feed(tag + "garbage" + mp3.substr(1000));
    EXPECT_NEAR(clock.seconds(), static_cast<double>(facts->samples) / facts->rate - 1000.0 / 16000, 0.1);
}

TEST(IrcMessage, LinesAreSplitIntoPrefixCommandAndParameters) {
    const auto message = ParseIrcLine("@time=x :nick!user@host PRIVMSG #radio :hello there  ");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->prefix, "nick!user@host");
    EXPECT_EQ(message->command, "PRIVMSG");
    EXPECT_EQ(message->params, (std::vector<std::string>{"#radio", "hello there  "}));
    EXPECT_EQ(NickOf(message->prefix), "nick");
    EXPECT_EQ(ParseIrcLine("ping :abc")->command, "PING");
    EXPECT_EQ(ParseIrcLine(":caf\xe9 NOTICE x :y")->prefix, "caf\xc3\xa9");
    EXPECT_FALSE(ParseIrcLine(""));
    EXPECT_FALSE(ParseIrcLine(":only-a-prefix"));
    EXPECT_EQ(IrcFold("Nick[A]"), IrcFold("nick{a}"));
}

TEST(IrcChannelLog, TheChannelsEventsBecomeChatRowsAndOnlyItsMembersQuitsAndNickChangesCount) {
    IrcChannelLog log("#Radio", "rec");
    const auto take = [&](const std::string& line) { return log.Take(*ParseIrcLine(line)); };
    EXPECT_TRUE(take(":rec!r@h JOIN #radio").empty()); // our own join
    EXPECT_TRUE(log.joined());
    EXPECT_TRUE(take(":srv 353 rec = #radio :rec @op +bob").empty());
    const auto one = [&](const std::string& line) {
        const auto events = take(line);
        EXPECT_EQ(events.size(), 1u) << line;
        return events.empty() ? ChatEvent{} : events[0];
    };
    auto event = one(":bob!b@h PRIVMSG #radio :\x02hi\x02 there");
    EXPECT_EQ(event.kind, StreamChatRowKind_Message);
    EXPECT_EQ(event.args, (std::vector<std::string>{"bob", "hi there"}));
    event = one(":bob!b@h PRIVMSG #radio :\x01"
                "ACTION dances\x01");
    EXPECT_EQ(event.kind, StreamChatRowKind_Action);
    EXPECT_EQ(event.args, (std::vector<std::string>{"bob", "dances"}));
    EXPECT_TRUE(take(":bob!b@h PRIVMSG #radio :\x01VERSION\x01").empty());
    EXPECT_TRUE(take(":bob!b@h PRIVMSG rec :private").empty());
    EXPECT_TRUE(take(":bob!b@h PRIVMSG #other :elsewhere").empty());
    event = one(":op!o@h MODE #radio +ov bob bob");
    EXPECT_EQ(event.args, (std::vector<std::string>{"op", "+ov", "bob", "bob"}));
    event = one(":bob!b@h NICK bobby");
    EXPECT_EQ(event.kind, StreamChatRowKind_NickChange);
    EXPECT_TRUE(take(":stranger!s@h NICK other").empty());
    EXPECT_TRUE(take(":stranger!s@h QUIT :gone").empty());
    event = one(":bobby!b@h QUIT :Quit: bye");
    EXPECT_EQ(event.args, (std::vector<std::string>{"bobby", "Quit: bye"}));
    event = one(":op!o@h TOPIC #radio :Friday");
    EXPECT_EQ(event.args, (std::vector<std::string>{"op", "Friday"}));
    event = one(":carol!c@h JOIN :#radio");
    EXPECT_EQ(event.kind, StreamChatRowKind_Join);
    event = one(":carol!c@h PART #radio");
    EXPECT_EQ(event.args, (std::vector<std::string>{"carol"}));
    event = one(":op!o@h KICK #radio rec :out");
    EXPECT_EQ(event.args, (std::vector<std::string>{"op", "rec", "out"}));
    EXPECT_TRUE(log.kicked());
    EXPECT_FALSE(log.joined());
}

TEST(OverlapTrimmer, WhatTheBurstRepeatsIsLeftOutAndANewSessionIsKeptWhole) {
    std::string stream;
    std::uint32_t noise = 12345;
    for (int i = 0; i < 20000; ++i) {
        noise = noise * 1664525u + 1013904223u;
        stream += static_cast<char>(noise >> 24);
    }
    const auto now = OverlapTrimmer::Clock::now();
    OverlapTrimmer trimmer;
    trimmer.Remember(std::string_view(stream).substr(0, 12000));
    trimmer.Reconnected(now);
    // The burst starts 5000 bytes back and comes in small pieces.
    std::string placed;
    for (std::size_t at = 7000; at < stream.size(); at += 1000)
        placed += trimmer.Take(std::string_view(stream).substr(at, 1000), now);
    EXPECT_FALSE(trimmer.holding());
    EXPECT_EQ(trimmer.trimmed(), 5000u);
    EXPECT_TRUE(placed == stream.substr(12000)) << placed.size() << " bytes placed";

    OverlapTrimmer fresh;
    fresh.Remember(std::string_view(stream).substr(0, 12000));
    fresh.Reconnected(now);
    EXPECT_EQ(fresh.Take("a new session", now), "");
    EXPECT_TRUE(fresh.holding());
    EXPECT_EQ(fresh.Expire(now + OverlapTrimmer::kHoldTime), "a new session");
    EXPECT_FALSE(fresh.holding());
}

} // namespace
