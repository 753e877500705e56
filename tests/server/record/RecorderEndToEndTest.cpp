// vantri-station record against the real servers on loopback: icecast2 fed by our source client,
// ngircd with scripted chatters, and vantri-station serve picking the published show up.

#include "RecordFixture.h"

#include "records/CatalogueRecords.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

using namespace recordtest;
namespace fs = std::filesystem;

namespace {

// A chat row as expected: its kind, arguments and the audio position (seconds) when it was sent.
struct Expected {
    std::uint8_t kind;
    std::vector<std::string> args;
    double at;
};

// The published rows carry the expected ones in order, each within a second of its position.
void ExpectChat(const std::vector<station::ChatRow>& rows, const std::vector<Expected>& expected) {
    std::size_t next = 0;
    for (const station::ChatRow& row : rows) {
        if (next < expected.size() && row.kind == expected[next].kind && row.args == expected[next].args) {
            EXPECT_NEAR(row.time, expected[next].at, 1.0) << "row " << next << ": " << row.args[0];
            ++next;
        }
    }
    EXPECT_EQ(next, expected.size()) << "missing from row " << next << " on ("
                                     << (next < expected.size() ? expected[next].args.back() : "") << ")";
}

// Equal bytes, or where they part.
::testing::AssertionResult SameBytes(const std::string& got, const std::string& expected) {
    if (got == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << got.size() << " bytes instead of " << expected.size() << ", first different at byte " << at;
}

class RecorderEndToEnd : public RecordFixture {};

TEST_F(RecorderEndToEnd, RecordsTheBroadcastByteForByteWithItsTitlesAndChatAndServesIt) {
    const std::string mp3 = SourceMp3(4.0);
    ASSERT_FALSE(mp3.empty());
    const std::uint16_t servePort = StartServe();
    ASSERT_NE(servePort, 0);

    // alice opens the channel (and so holds its operator status); then the recorder, bob and carol join
    // (at once: the server makes each join wait a second).
    Chatter alice(irc_->port(), "alice");
    ASSERT_TRUE(alice.Connect());
    ASSERT_TRUE(alice.Join(kChannel));
    StartRecorder(1);
    Chatter bob(irc_->port(), "bob");
    Chatter carol(irc_->port(), "carol");
    ASSERT_TRUE(bob.Connect() && carol.Connect());
    bob.Send(std::string("JOIN ") + kChannel);
    carol.Send(std::string("JOIN ") + kChannel);
    ASSERT_TRUE(bob.WaitFor(" 366 ") && carol.WaitFor(" 366 "));
    ASSERT_TRUE(alice.WaitFor(":recorder!")) << RecorderOutput();
    bob.Send(std::string("PRIVMSG ") + kChannel + " :before the show");
    ASSERT_TRUE(alice.WaitFor("before the show"));

    IcecastSource source(icecast_->port(), kMount);
    ASSERT_TRUE(source.Connect()) << icecast_->Log();
    ASSERT_TRUE(source.SetTitle("Artist One - First Song"));
    const auto send = [&](double from, double to) {
        ASSERT_TRUE(
            source.Send(std::string_view(mp3).substr(static_cast<std::size_t>(from * kBytesPerSecond),
                                                     static_cast<std::size_t>((to - from) * kBytesPerSecond)),
                        kBytesPerSecond));
    };
    send(0, 1.5);
    bob.Send(std::string("PRIVMSG ") + kChannel + " :hello there");
    send(1.5, 2.0);
    ASSERT_TRUE(source.SetTitle("Artist Two - Second Song"));
    send(2.0, 2.5);
    alice.Send(std::string("PRIVMSG ") + kChannel +
               " :\x01"
               "ACTION waves\x01");
    bob.Send(std::string("PRIVMSG ") + kChannel + " :caf\xe9 au lait"); // Latin-1
    send(2.5, 3.0);
    bob.Send("NICK bobby");
    alice.Send(std::string("TOPIC ") + kChannel + " :Friday night");
    send(3.0, 3.5);
    alice.Send(std::string("MODE ") + kChannel + " +v bobby");
    alice.Send(std::string("KICK ") + kChannel + " carol :too loud");
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(static_cast<std::size_t>(3.5 * kBytesPerSecond)),
                            kBytesPerSecond));
    bob.Send(std::string("PART ") + kChannel + " :bye");
    ASSERT_TRUE(alice.WaitFor("PART"));
    const auto ended = std::chrono::steady_clock::now();
    source.Close();

    ASSERT_TRUE(WaitForPublished(1)) << RecorderOutput();
    // The show as served equals what the source sent, byte for byte.
    ASSERT_TRUE(testsupport::WaitFor([&] { return !FetchWindow(servePort, 1, 0, 1).empty(); },
                                     std::chrono::milliseconds(10000)))
        << ReadText(folder_.path() / "serve-output.txt");
    const double served = std::chrono::duration<double>(std::chrono::steady_clock::now() - ended).count();
    EXPECT_TRUE(SameBytes(FetchWindow(servePort, 1, 0, mp3.size() + 1000), mp3));
    EXPECT_TRUE(SameBytes(ReadText(streamFolder(1) / "recording.mp3"), mp3));
    EXPECT_LT(served, 10.0);

    const auto tracks = PublishedTracks(1);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].text1, "Artist One");
    EXPECT_EQ(tracks[0].text2, "First Song");
    EXPECT_EQ(tracks[0].start, 0);
    EXPECT_EQ(tracks[1].text1, "Artist Two");
    EXPECT_EQ(tracks[1].text2, "Second Song");
    EXPECT_NEAR(tracks[1].start, 2.0, 1.0);
    EXPECT_EQ(tracks[0].secondTime, tracks[1].start);
    EXPECT_EQ(tracks[1].secondTime, 4);

    const auto rows = PublishedChat(1);
    ExpectChat(rows, {
                         {StreamChatRowKind_Message, {"bob", "before the show"}, -1.5},
                         {StreamChatRowKind_Message, {"bob", "hello there"}, 1.5},
                         {StreamChatRowKind_Action, {"alice", "waves"}, 2.5},
                         {StreamChatRowKind_Message, {"bob", "caf\xc3\xa9 au lait"}, 2.5},
                         {StreamChatRowKind_NickChange, {"bob", "bobby"}, 3.0},
                         {StreamChatRowKind_TopicChange, {"alice", "Friday night"}, 3.0},
                         {StreamChatRowKind_ModeChange, {"alice", "+v", "bobby"}, 3.5},
                         {StreamChatRowKind_Kick, {"alice", "carol", "too loud"}, 3.5},
                         {StreamChatRowKind_Leave, {"bobby", "bye"}, 4.0},
                     });
    // The rows before the show lie before its start, the joins among them.
    ASSERT_FALSE(rows.empty());
    EXPECT_LE(rows.front().time, 0);
    EXPECT_EQ(ReadText(streamFolder(1) / "stream.conf").find("channel = #radio") != std::string::npos, true);
    EXPECT_FALSE(fs::exists(archive() / "stations/1/streams/.recording-1"));
}

} // namespace
