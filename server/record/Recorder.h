#pragma once
// `vantri-station record`: turns a live broadcast into archived shows. One loop, one thread: it listens
// to the Icecast mount and sits in the IRC channel at once. A show begins when the mount sends audio and
// ends when the mount has been gone for the grace time; a mount back within it continues the same show.
// Titles and chat lines are placed at the audio position reached when they came (media time: seconds of
// audio recorded so far); chat from shortly before a show begins is kept with negative times. A show is
// published into the archive when it ends, or when the recorder is stopped; a show a crashed recorder
// left is published (or continued, when its broadcast is still on) at the next start.

#include "Archive.h"
#include "IcecastClient.h"
#include "IrcClient.h"
#include "Mp3FrameClock.h"
#include "OverlapTrimmer.h"
#include "ShowFolder.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>

namespace station::record {

struct RecordOptions {
    std::filesystem::path archive;
    std::int32_t stationId = 0;
    IcecastUrl icecast;
    std::optional<IrcOptions> irc;
    std::chrono::milliseconds grace{60000};
    std::int64_t chatMargin = 300; // seconds of chat before a show begins that it keeps
    Stream facts;                  // type, texts and channel of every show
    std::string stationName;       // for a station that does not exist yet
    std::string stationDescription;
};

class Recorder : private IcecastListener {
public:
    explicit Recorder(RecordOptions options);
    ~Recorder() override;

    // Runs until a stop signal (SIGINT, SIGTERM) or a fault that ends recording (a full disk, a mount
    // that is not MP3). Answers the program's exit status.
    int Run();

private:
    void OnMountUp(const IcyHead& head) override;
    void OnAudio(std::string_view bytes) override;
    void OnTitle(const std::string& title) override;
    void OnMountDown(const std::string& why) override;
    void Log(const std::string& line) override;

    void OnChat(const ChatEvent& event);
    // Writes audio to the show and moves the clock on.
    void Record(std::string_view bytes);
    // Writes what the trimmer holds back as it is.
    void FlushHeld();
    void Recover();
    void Publish(ShowFolder show, const std::string& when);
    void EndShow(const std::string& when);
    void Fault(const std::string& problem);

    RecordOptions options_;
    IcecastClient icecast_;
    std::optional<IrcClient> irc_;
    std::optional<ShowFolder> show_;
    Mp3FrameClock clock_;
    OverlapTrimmer trimmer_;
    double recoveredSeconds_ = 0;                // audio a recovered show held before this run (seconds)
    std::optional<Clock::time_point> goneSince_; // the show's mount is gone since then
    std::string lastTitle_;
    bool haveTitle_ = false;
    struct Early {
        double wallTime; // seconds since 1970
        ChatEvent event;
    };
    std::deque<Early> early_; // chat while no show runs
    std::optional<int> exitStatus_;
};

} // namespace station::record
