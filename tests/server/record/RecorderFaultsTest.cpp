// The recorder when things go wrong: the Icecast server restarting and the IRC server dropping it in the
// middle of a show, the recorder itself killed and started again, and the disk filling up.

#include "RecordFixture.h"

#include "records/CatalogueRecords.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

using namespace recordtest;
namespace fs = std::filesystem;

namespace {

class RecorderFaults : public RecordFixture {
protected:
    bool HasChatText(int stream, const std::string& text) {
        for (const station::ChatRow& row : PublishedChat(stream))
            if (!row.args.empty() && row.args.back() == text)
                return true;
        return false;
    }
    std::size_t PublishedShows() {
        std::size_t count = 0;
        std::error_code error;
        for (fs::directory_iterator it(archive() / "stations/1/streams", error), end; !error && it != end;
             it.increment(error))
            count += it->path().filename().string().starts_with(".") ? 0 : 1;
        return count;
    }
};

TEST_F(RecorderFaults, TheServersRestartingWithinTheGraceTimeContinueTheSameShow) {
    const std::string mp3 = SourceMp3(2.0);
    ASSERT_FALSE(mp3.empty());
    const std::size_t half = mp3.size() / 2800 * 1400; // whole icecast blocks
    Chatter alice(irc_->port(), "alice");
    ASSERT_TRUE(alice.Connect() && alice.Join(kChannel));
    StartRecorder(15); // room for a restart of icecast2 that has to be made twice
    ASSERT_TRUE(alice.WaitForJoin("recorder")) << RecorderOutput();

    IcecastSource source(icecast_->port(), kMount);
    ASSERT_TRUE(source.Connect()) << icecast_->Log();
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(0, half), kBytesPerSecond));
    alice.Send(std::string("PRIVMSG ") + kChannel + " :before the restart");
    ASSERT_TRUE(WaitForRecorded(half));

    // Both servers go away and come back on the same ports; the source starts a new session where it was.
    source.Close();
    alice.Close();
    icecast_->Stop();
    irc_->Stop();
    ASSERT_TRUE(icecast_->Start()) << icecast_->Log();
    // As a live source client does, the source tries again until the new server takes it.
    ASSERT_TRUE(testsupport::WaitFor([&] { return source.Connect(); }, std::chrono::seconds(10)))
        << icecast_->Log();
    ASSERT_TRUE(irc_->Start());
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(half), kBytesPerSecond)) << icecast_->Log();
    Chatter again(irc_->port(), "alice");
    ASSERT_TRUE(again.Connect());
    ASSERT_TRUE(again.JoinWith(kChannel, "recorder")) << RecorderOutput();
    again.Send(std::string("PRIVMSG ") + kChannel + " :after the restart");
    ASSERT_TRUE(WaitForRecorded(mp3.size())) << RecorderOutput();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        return ReadText(InProgressRecording()->parent_path() / "chat.part").find("after the restart") !=
               std::string::npos;
    }));
    source.Close();

    ASSERT_TRUE(WaitForPublished(1)) << RecorderOutput();
    EXPECT_EQ(ReadText(streamFolder(1) / "recording.mp3"), mp3);
    EXPECT_EQ(PublishedShows(), 1u);
    EXPECT_TRUE(HasChatText(1, "before the restart"));
    EXPECT_TRUE(HasChatText(1, "after the restart"));
    EXPECT_NE(RecorderOutput().find("continues after a break"), std::string::npos) << RecorderOutput();
}

TEST_F(RecorderFaults, AShowThatACrashedRecorderLeftIsContinuedAndPublishedByTheNextOne) {
    const std::string mp3 = SourceMp3(2.0);
    ASSERT_FALSE(mp3.empty());
    const std::size_t half = mp3.size() / 2800 * 1400;
    Chatter alice(irc_->port(), "alice");
    ASSERT_TRUE(alice.Connect() && alice.Join(kChannel));
    StartRecorder(2);
    ASSERT_TRUE(alice.WaitForJoin("recorder")) << RecorderOutput();
    IcecastSource source(icecast_->port(), kMount);
    ASSERT_TRUE(source.Connect()) << icecast_->Log();
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(0, half), kBytesPerSecond));
    alice.Send(std::string("PRIVMSG ") + kChannel + " :before the crash");
    ASSERT_TRUE(WaitForRecorded(half));
    ASSERT_TRUE(testsupport::WaitFor([&] {
        return ReadText(InProgressRecording()->parent_path() / "chat.part").find("before the crash") !=
               std::string::npos;
    }));

    // The recorder dies without a word; the broadcast goes on, and a new recorder takes the show over. What
    // icecast's burst sends again is left out.
    recorder_->Kill();
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(half, 2800), kBytesPerSecond));
    StartRecorder(2, true, "record-again-output.txt");
    ASSERT_TRUE(source.Send(std::string_view(mp3).substr(half + 2800), kBytesPerSecond));
    ASSERT_TRUE(alice.WaitForJoin("recorder")) << ReadText(folder_.path() / "record-again-output.txt");
    // (the first recorder's quit was seen before: this is the new one)
    alice.Send(std::string("PRIVMSG ") + kChannel + " :after the crash");
    ASSERT_TRUE(WaitForRecorded(mp3.size())) << ReadText(folder_.path() / "record-again-output.txt");
    source.Close();

    ASSERT_TRUE(WaitForPublished(1)) << ReadText(folder_.path() / "record-again-output.txt");
    EXPECT_EQ(ReadText(streamFolder(1) / "recording.mp3"), mp3);
    EXPECT_EQ(PublishedShows(), 1u);
    EXPECT_TRUE(HasChatText(1, "before the crash"));
    EXPECT_TRUE(HasChatText(1, "after the crash"));
}

TEST_F(RecorderFaults, AShowLeftByACrashAfterItsBroadcastEndedIsPublishedAtTheNextStart) {
    const std::string mp3 = SourceMp3(1.0);
    ASSERT_FALSE(mp3.empty());
    StartRecorder(1, false);
    IcecastSource source(icecast_->port(), kMount);
    ASSERT_TRUE(source.Connect()) << icecast_->Log();
    ASSERT_TRUE(source.SetTitle("Only - Song"));
    ASSERT_TRUE(source.Send(mp3, kBytesPerSecond));
    ASSERT_TRUE(WaitForRecorded(mp3.size()));
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return !ReadText(InProgressRecording()->parent_path() / "tracks.part").empty(); }));
    recorder_->Kill();
    source.Close();
    // A track line cut short by the crash costs only itself.
    std::ofstream(InProgressRecording()->parent_path() / "tracks.part", std::ios::app) << "0:00:01\tmus";

    StartRecorder(1, false, "record-again-output.txt");
    ASSERT_TRUE(WaitForPublished(1)) << ReadText(folder_.path() / "record-again-output.txt");
    EXPECT_EQ(ReadText(streamFolder(1) / "recording.mp3"), mp3);
    const auto tracks = PublishedTracks(1);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].text2, "Song");
    EXPECT_FALSE(InProgressRecording().has_value());
}

TEST_F(RecorderFaults, AFullDiskKeepsTheShowSoFarAndSaysSo) {
    // The archive lies on a small memory file system of its own, mounted in a private namespace.
    if (std::system("unshare -Urm true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "this machine allows no private mount namespace (unshare -Urm)";
    const std::string mp3 = SourceMp3(4.0);
    ASSERT_FALSE(mp3.empty());
    const fs::path small = folder_.path() / "small";
    const fs::path copy = folder_.path() / "copy";
    fs::create_directories(small);
    const std::string script = "mount -t tmpfs -o size=40k tmpfs '" + small.string() + "' && mkdir -p '" +
                               small.string() + "/stations/1' && printf 'name = Loopback FM\\n' > '" +
                               small.string() + "/stations/1/station.conf' && '" + program() +
                               "' record --icecast http://127.0.0.1:" + std::to_string(icecast_->port()) +
                               kMount + " --station 1 --archive '" + small.string() +
                               "' --grace 1; status=$?; cp -a '" + small.string() + "' '" + copy.string() +
                               "'; exit $status";
    ChildProcess recorder({"unshare", "-Urm", "sh", "-c", script}, folder_.path() / "record-output.txt");
    IcecastSource source(icecast_->port(), kMount);
    ASSERT_TRUE(testsupport::WaitFor([&] { return source.Connect(); })) << icecast_->Log();
    source.Send(mp3, kBytesPerSecond * 4);
    const auto status = recorder.WaitForExit(std::chrono::milliseconds(20000));
    source.Close();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 1);
    const std::string output = recorder.Output();
    EXPECT_NE(output.find("No space left on device"), std::string::npos) << output;
    EXPECT_NE(output.find("The show so far ("), std::string::npos) << output;

    // What was written is the start of the broadcast, kept where the next start publishes it.
    const fs::path left = copy / "stations/1/streams/.recording-1/recording.mp3";
    const std::string kept = ReadText(left);
    ASSERT_GT(kept.size(), 4096u) << output;
    EXPECT_EQ(kept, mp3.substr(0, kept.size()));
    ChildProcess again({program(), "record", "--icecast",
                        "http://127.0.0.1:" + std::to_string(icecast_->port()) + kMount, "--station", "1",
                        "--archive", copy.string(), "--grace", "1"},
                       folder_.path() / "record-again-output.txt");
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(copy / "stations/1/streams/1/stream.conf"); },
                                     std::chrono::milliseconds(10000)))
        << again.Output();
    EXPECT_EQ(ReadText(copy / "stations/1/streams/1/recording.mp3"), kept);
}

} // namespace
