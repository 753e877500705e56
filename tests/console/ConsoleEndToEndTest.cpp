// The console front end end to end, headless: the station server serves a show over loopback, the
// network and media threads fetch and decode it, and SDL's disk driver writes the PCM played to a file.
#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "console/MyConsoleSession.h"
#include "media/PlayEvent.h"
#include "media/PlayPosition.h"
#include "platform/Terminal.h"
#include "platform/Utf.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string fixtures = std::string(VANTRI_BINARY_DIR) + "/fixtures";
        const std::string path =
            testsupport::MakeToneMp3(fixtures, {44100, 2, static_cast<double>(showSeconds), 128});
        ASSERT_FALSE(path.empty());
        mp3 = testsupport::ReadFileBytes(path);
        station = std::make_unique<testsupport::LoopbackStation>(
            testsupport::LoopbackShow{1, 7, path, showSeconds});
        ASSERT_TRUE(station->running());
        capture = std::string(VANTRI_BINARY_DIR) + "/e2e-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".raw";
        std::filesystem::remove(capture);
        environment.push_back(
            std::make_unique<testsupport::ScopedEnvironment>("VANTRI_DIRECTORY", station->address()));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_AUDIODRIVER", "disk"));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_DISKAUDIOFILE", capture));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_DISKAUDIODELAY",
                                                                               std::to_string(periodDelay)));
    }

    void Run(std::vector<std::string_view> arguments) {
        std::string error;
        auto options = ParseConsoleOptions(arguments, error);
        ASSERT_TRUE(options) << error;
        session = std::make_unique<MyConsoleSession>(
            *options,
            [this](const std::string& line) {
                std::lock_guard guard(lock);
                lines.push_back(line);
            },
            false);
        ASSERT_TRUE(session->Start());
    }

    // Pumps the session's callbacks until `condition` holds or 20 seconds pass.
    template <typename Condition> bool PumpUntil(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            session->Pump(10);
        }
        return true;
    }

    // Ends the session (the device is closed and the capture file complete) and answers what was played,
    // without the silence the device wrote while it had nothing to play.
    std::vector<std::uint8_t> Played() {
        session.reset();
        return testsupport::WithoutSilentFrames(testsupport::ReadFileBytes(capture));
    }

    std::vector<std::string> Lines() {
        std::lock_guard guard(lock);
        return lines;
    }

    bool HasLine(const std::string& line) {
        auto all = Lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    std::uint32_t showSeconds = 20;
    // Milliseconds the disk driver waits per period of 8192 frames (186 ms of audio); 0 unthrottled.
    int periodDelay = 0;
    std::vector<std::uint8_t> mp3;
    std::unique_ptr<testsupport::LoopbackStation> station;
    std::string capture;
    std::vector<std::unique_ptr<testsupport::ScopedEnvironment>> environment;
    std::mutex lock;
    std::vector<std::string> lines;
    std::unique_ptr<MyConsoleSession> session;
};

// Bytes of audio in `seconds` at 44,100 frames a second.
constexpr std::size_t PcmBytes(double seconds) {
    return static_cast<std::size_t>(seconds * 44100) * 4;
}

TEST_F(EndToEndTest, PlayingFromAnOffsetGivesExactlyTheDecodedPcmOfThoseBytes) {
    Run({"--events", "--seconds", "8", "vantri:track-1-7-5"});
    ASSERT_TRUE(PumpUntil([&] { return session->finished(); }));
    // At full speed the eight seconds can be over before the track list has come.
    ASSERT_TRUE(PumpUntil([&] { return HasLine("StreamInfo 1 7 2") && HasLine("StreamChat 1 7 2"); }));
    const auto lines = Lines();
    EXPECT_TRUE(HasLine("StationInfo 1 Loopback FM"));
    EXPECT_TRUE(HasLine("StreamInfo 1 7 2"));
    EXPECT_TRUE(HasLine("StreamChat 1 7 2"));
    EXPECT_TRUE(HasLine("PlayEvent 0"));
    const auto played = Played();

    const std::size_t offset = StartOffsetOf(-1.0f, 5, 20, station->size);
    const auto expected = testsupport::WithoutSilentFrames(testsupport::ReferenceDecode(mp3, offset));
    ASSERT_GE(played.size(), PcmBytes(6.0));
    ASSERT_LE(played.size(), expected.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), expected.begin()));
}

// Played at about nine times real time, so that the position at which the seek key is pressed stays
// well inside the show however slowly the test thread runs.
class EndToEndSeekTest : public EndToEndTest {
protected:
    EndToEndSeekTest() {
        showSeconds = 40;
        periodDelay = 20;
    }
};

TEST_F(EndToEndSeekTest, ASeekInTheMiddleStartsASecondExactRun) {
    Run({"--events", "vantri:stream-1-7"});
    ASSERT_TRUE(PumpUntil([&] { return session->console().tracker().playSecond >= 3; }));
    const std::int32_t seekSecond = session->console().tracker().playSecond + 10;
    ASSERT_LT(seekSecond + 3, static_cast<std::int32_t>(showSeconds));
    session->HandleKey(platform::TerminalKey_Right);
    ASSERT_TRUE(PumpUntil([&] { return session->console().tracker().playSecond >= seekSecond + 3; }));
    const auto played = Played();

    const auto first = testsupport::WithoutSilentFrames(testsupport::ReferenceDecode(mp3, 0));
    const float fraction = static_cast<float>(static_cast<double>(seekSecond) / showSeconds);
    const auto second = testsupport::WithoutSilentFrames(
        testsupport::ReferenceDecode(mp3, OffsetOfFraction(fraction, station->size)));
    ASSERT_GE(played.size(), PcmBytes(4.0));
    // The first run: the start of the stream, as decoded.
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + PcmBytes(2.0), first.begin()));
    // The second run begins where the seek's first bytes decode to and follows them exactly.
    auto start = std::search(played.begin(), played.end(), second.begin(), second.begin() + 4096);
    ASSERT_NE(start, played.end());
    const std::size_t rest = static_cast<std::size_t>(played.end() - start);
    EXPECT_GE(rest, PcmBytes(2.0));
    ASSERT_LE(rest, second.size());
    EXPECT_TRUE(std::equal(start, played.end(), second.begin()));
}

TEST_F(EndToEndTest, LinksToWhatDoesNotExistOrLiesPastTheEndEndAsFailed) {
    const std::pair<const char*, const char*> cases[] = {
        {"vantri:stream-9-7", "ErrorBox station does not exist"},
        {"vantri:stream-1-99", "ErrorBox stream does not exist"},
        {"vantri:track-1-7-P", "ErrorBox start is past the end of the stream"},
    };
    for (const auto& [link, line] : cases) {
        Run({"--events", link});
        ASSERT_TRUE(PumpUntil([&] { return session->finished(); })) << link;
        EXPECT_TRUE(session->failed()) << link;
        EXPECT_TRUE(HasLine(line)) << link;
        EXPECT_FALSE(HasLine("PlayEvent 0")) << link;
        session.reset();
        std::lock_guard guard(lock);
        lines.clear();
    }
}

TEST_F(EndToEndTest, SecondsBeyondTheEndStopAtTheEndOfTheShowAsSuccess) {
    Run({"--events", "--seconds", "100", "vantri:track-1-7-F"});
    ASSERT_TRUE(PumpUntil([&] { return session->finished(); }));
    EXPECT_FALSE(session->failed()) << ::testing::PrintToString(Lines());
    const auto played = Played();
    // The last five seconds of the show were played (less what the closing device still held).
    EXPECT_GE(played.size(), PcmBytes(3.5));
    EXPECT_LE(played.size(), PcmBytes(5.5));
}

TEST(ConsoleDirectoryAddress, AnAddressThatIsNotHostAndPortIsRefusedAtOnce) {
    for (const char* bad : {"host:0", "host:65536", "host:x", "a b:80", "host:", ":80"}) {
        testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", bad);
        const std::vector<std::string_view> arguments{"--events"};
        EXPECT_EQ(RunConsole(arguments), 1) << bad;
    }
}

// Standard error (file descriptor 2) of this process goes to a file while the object lives.
class StandardErrorToFile {
public:
    explicit StandardErrorToFile(const std::string& path) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (saved_ >= 0 && file >= 0)
            redirected_ = ::dup2(file, 2) == 2;
        if (file >= 0)
            ::close(file);
    }
    ~StandardErrorToFile() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, 2);
            ::close(saved_);
        }
    }
    StandardErrorToFile(const StandardErrorToFile&) = delete;
    StandardErrorToFile& operator=(const StandardErrorToFile&) = delete;
    bool redirected() const { return redirected_; }

private:
    int saved_ = -1;
    bool redirected_ = false;
};

// Every start lands in the middle of a frame, and the first whole frame after it mostly begins its data in
// frames the new decoder never saw. That is normal: nothing of it reaches the terminal, and no box says so.
TEST(ConsoleDecoderOutput, StartsInTheMiddleOfFramesPrintNothingOnStandardError) {
    const std::string folder = std::string(VANTRI_BINARY_DIR) + "/decoder-output";
    std::filesystem::create_directories(folder);
    const std::string path =
        testsupport::MakeNoiseMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {22050, 1, 30.0, 48});
    ASSERT_FALSE(path.empty());
    testsupport::LoopbackStation station({1, 7, path, 30});
    ASSERT_TRUE(station.running());
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", station.address());
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    testsupport::ScopedEnvironment file("SDL_DISKAUDIOFILE", folder + "/played.raw");
    testsupport::ScopedEnvironment delay("SDL_DISKAUDIODELAY", "0");
    const std::string errors = folder + "/stderr.txt";
    std::vector<std::string> lines;
    std::mutex lock;
    {
        StandardErrorToFile capture(errors);
        ASSERT_TRUE(capture.redirected());
        for (std::uint32_t second = 1; second < 28; second += 3) {
            const std::string link = "vantri:track-1-7-" + Utf16ToUtf8(EncodeBase62(second));
            std::vector<std::string_view> arguments{"--events", "--seconds", "1", link};
            std::string error;
            const auto options = ParseConsoleOptions(arguments, error);
            ASSERT_TRUE(options) << error;
            MyConsoleSession session(
                *options,
                [&](const std::string& line) {
                    std::lock_guard guard(lock);
                    lines.push_back(line);
                },
                false);
            ASSERT_TRUE(session.Start());
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            while (!session.finished() && std::chrono::steady_clock::now() < deadline)
                session.Pump(10);
            ASSERT_TRUE(session.finished()) << link;
            EXPECT_FALSE(session.failed()) << link;
        }
    }
    // SDL's disk driver announces itself at every start ("CRITICAL: You are using the SDL disk i/o audio
    // driver!"); nothing else may be there.
    const auto written = testsupport::ReadFileBytes(errors);
    std::istringstream text(std::string(written.begin(), written.end()));
    int sdlLines = 0;
    for (std::string line; std::getline(text, line);) {
        if (line.rfind("CRITICAL: ", 0) == 0)
            ++sdlLines;
        else
            ADD_FAILURE() << "on standard error: " << line;
    }
    EXPECT_GT(sdlLines, 0) << "standard error was not captured";
    std::lock_guard guard(lock);
    for (const std::string& line : lines)
        EXPECT_NE(line.rfind("ErrorBox", 0), 0u) << line;
}

// Reports that nothing of the stream can be heard end the run once they repeat with no audio between. They
// are the media thread's typed reports; the boxes before them are only shown, whatever their text says.
class ConsoleUnplayableStream : public ::testing::Test {
protected:
    static ConsoleOptions EventsMode() {
        ConsoleOptions events;
        events.events = true;
        return events;
    }

    // What the media thread does when a stream cannot go on: its box, then its report.
    void Report(const std::u16string& box, std::int32_t failure) {
        console->ErrorBox(box);
        console->HandleCallback(
            std::make_unique<MyCallbacks::MyMainWindowMessage_PlaybackFailureCallback>(failure), now);
    }
    void Position(float position) {
        console->HandleCallback(std::make_unique<MyCallbacks::MyMainWindowMessage_PlayPosCallback>(position),
                                now);
    }

    struct NoMedia : ConsoleMediaControl {
        void StartPlayStream(std::int32_t, std::int32_t, std::uint32_t) override {}
        void SetPlayPos(float) override {}
        void Pause() override {}
        void Continue() override {}
    } media;
    MyAppContext context;
    ConsoleOptions options = EventsMode();
    std::vector<std::string> lines;
    std::unique_ptr<MyConsole> console = std::make_unique<MyConsole>(
        &context, options, &media, [this](const std::string& line) { lines.push_back(line); }, false);
    const MyConsole::Clock::time_point now = MyConsole::Clock::now();
};

TEST_F(ConsoleUnplayableStream, RepeatedDecoderStartFailuresEndTheRunAsFailed) {
    Report(u"Mp3DecodeStart FAILED!", PlaybackFailure_DecoderStart);
    Report(u"Mp3DecodeStart FAILED!", PlaybackFailure_DecoderStart);
    Position(0.1f);
    Report(u"Mp3DecodeStart FAILED!", PlaybackFailure_DecoderStart);
    console->Tick(now);
    EXPECT_FALSE(console->finished()) << "audio came between the reports";
    Report(u"Mp3DecodeStart FAILED!", PlaybackFailure_DecoderStart);
    Report(u"Mp3DecodeStart FAILED!", PlaybackFailure_DecoderStart);
    console->Tick(now);
    EXPECT_TRUE(console->finished());
    EXPECT_TRUE(console->failed());
    EXPECT_EQ(lines.back(), "ErrorBox stream cannot be played");
}

TEST_F(ConsoleUnplayableStream, TheReportsCountWhateverTheBoxesSayAndBoxesAloneDoNot) {
    // Boxes with the very texts, but no report: only shown.
    for (int i = 0; i < 5; ++i) {
        console->ErrorBox(u"Mp3DecodeStart FAILED!");
        console->ErrorBox(u"WaveOutHandle == NULL!");
    }
    console->Tick(now);
    EXPECT_FALSE(console->finished());
    EXPECT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[1], "ErrorBox WaveOutHandle == NULL!");

    // Translated boxes with the reports: both kinds count, and the reports print nothing of their own.
    Report(u"Avkodaren kunde inte starta!", PlaybackFailure_DecoderStart);
    Report(u"Ingen ljudenhet!", PlaybackFailure_NoAudioDevice);
    console->Tick(now);
    EXPECT_FALSE(console->finished());
    EXPECT_EQ(lines.size(), 12u);
    Report(u"Avkodaren kunde inte starta!", PlaybackFailure_DecoderStart);
    console->Tick(now);
    EXPECT_TRUE(console->failed());
    EXPECT_EQ(lines.back(), "ErrorBox stream cannot be played");
}

TEST_F(ConsoleUnplayableStream, AnUnknownReportDoesNotCount) {
    for (int i = 0; i < 5; ++i)
        console->HandleCallback(std::make_unique<MyCallbacks::MyMainWindowMessage_PlaybackFailureCallback>(7),
                                now);
    console->Tick(now);
    EXPECT_FALSE(console->finished());
    EXPECT_TRUE(lines.empty());
}

} // namespace
