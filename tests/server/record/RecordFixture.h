#pragma once
// A station recording a live broadcast on loopback: icecast2 and ngircd started from files written into
// a temporary folder, an archive with one station, and vantri-station's serve and record commands.

#include "LiveServers.h"
#include "server/StationFixtures.h"

#include "Archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace recordtest {

constexpr const char* kChannel = "#radio";
constexpr const char* kMount = "/live";

// The MP3 a source sends: a stereo tone of `seconds` at 128 kbit/s (16,000 bytes a second).
std::string SourceMp3(double seconds);
constexpr double kBytesPerSecond = 16000;

class RecordFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path archive() const { return folder_.path() / "archive"; }
    std::filesystem::path streamFolder(int id) const {
        return archive() / "stations/1/streams" / std::to_string(id);
    }
    std::string program() const;
    // vantri-station record with `grace` seconds, with the IRC channel unless `chat` is false.
    void StartRecorder(int grace, bool chat = true, const std::string& log = "record-output.txt");
    // vantri-station serve on the archive; answers its port.
    std::uint16_t StartServe();
    // The in-progress folder's recording, once one exists.
    std::optional<std::filesystem::path> InProgressRecording() const;
    // Waits until the recorder holds `bytes` bytes of the show in progress.
    bool WaitForRecorded(std::uint64_t bytes);
    // Waits until show `id` is published.
    bool WaitForPublished(int id, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000));
    std::string RecorderOutput() const;
    std::vector<station::ChatRow> PublishedChat(int id) const;
    std::vector<station::Track> PublishedTracks(int id) const;

    stationtest::TempFolder folder_;
    std::unique_ptr<IcecastServer> icecast_;
    std::unique_ptr<IrcServer> irc_;
    std::unique_ptr<ChildProcess> recorder_;
    std::unique_ptr<ChildProcess> serve_;
    std::uint16_t servePort_ = 0;
};

// The bytes of a stream window from vantri-station serve (empty on failure).
std::string FetchWindow(std::uint16_t port, int stream, std::uint64_t start, std::uint64_t length);

} // namespace recordtest
