#include "RecordFixture.h"

#include "ArchiveFiles.h"
#include "server/LoopbackHttp.h"
#include "support/Deadline.h"
#include "support/Mp3Fixtures.h"

#include <csignal>

namespace fs = std::filesystem;

namespace recordtest {

std::string SourceMp3(double seconds) {
    const std::string path =
        testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, seconds, 128});
    if (path.empty())
        return {};
    // icecast relays what a source sends in blocks of 1400 bytes and drops a last, incomplete block when
    // the source leaves, so no listener ever hears it. Zero bytes after the last frame (which players pass
    // over) fill the file to whole blocks, so that all of it reaches the recorder.
    std::string mp3 = ReadText(path);
    mp3.resize((mp3.size() + 1399) / 1400 * 1400, '\0');
    return mp3;
}

void RecordFixture::SetUp() {
    for (const char* server : {"icecast2", "ngircd"})
        if (FindProgram(server).empty())
            GTEST_SKIP() << server << " is not installed (scripts/install-deps installs it)";
    stationtest::WriteText(archive() / "stations/1/station.conf", "name = Loopback FM\n");
    icecast_ = std::make_unique<IcecastServer>(folder_.path() / "icecast");
    ASSERT_TRUE(icecast_->Start()) << icecast_->Log();
    irc_ = std::make_unique<IrcServer>(folder_.path() / "ngircd");
    ASSERT_TRUE(irc_->Start());
}

void RecordFixture::TearDown() {
    recorder_.reset();
    serve_.reset();
    irc_.reset();
    icecast_.reset();
}

std::string RecordFixture::program() const {
    return std::string(VANTRI_BINARY_DIR) + "/vantri-station";
}

void RecordFixture::StartRecorder(int grace, bool chat, const std::string& log) {
    std::vector<std::string> arguments = {
        program(),   "record",
        "--icecast", "http://127.0.0.1:" + std::to_string(icecast_->port()) + kMount,
        "--station", "1",
        "--archive", archive().string(),
        "--grace",   std::to_string(grace),
        "--title",   "Friday Mix"};
    if (chat) {
        for (const std::string& argument :
             {std::string("--irc"), "127.0.0.1:" + std::to_string(irc_->port()), std::string("--channel"),
              std::string(kChannel), std::string("--nick"), std::string("recorder")})
            arguments.push_back(argument);
    }
    recorder_ = std::make_unique<ChildProcess>(arguments, folder_.path() / log);
}

std::uint16_t RecordFixture::StartServe() {
    const fs::path portFile = folder_.path() / "serve-port.txt";
    serve_ = std::make_unique<ChildProcess>(std::vector<std::string>{program(), "serve", archive().string(),
                                                                     "--port", "0", "--port-file",
                                                                     portFile.string()},
                                            folder_.path() / "serve-output.txt");
    testsupport::WaitFor([&] { return !ReadText(portFile).empty(); }, std::chrono::milliseconds(10000));
    servePort_ = static_cast<std::uint16_t>(std::atoi(ReadText(portFile).c_str()));
    return servePort_;
}

std::optional<fs::path> RecordFixture::InProgressRecording() const {
    std::error_code error;
    for (fs::directory_iterator it(archive() / "stations/1/streams", error), end; !error && it != end;
         it.increment(error))
        if (it->path().filename().string().starts_with(".recording-"))
            return it->path() / "recording.mp3";
    return std::nullopt;
}

bool RecordFixture::WaitForRecorded(std::uint64_t bytes) {
    return testsupport::WaitFor(
        [&] {
            const auto recording = InProgressRecording();
            std::error_code error;
            return recording && fs::file_size(*recording, error) >= bytes && !error;
        },
        std::chrono::milliseconds(10000));
}

bool RecordFixture::WaitForPublished(int id, std::chrono::milliseconds deadline) {
    return testsupport::WaitFor([&] { return fs::exists(streamFolder(id) / "stream.conf"); }, deadline);
}

std::string RecordFixture::RecorderOutput() const {
    return ReadText(folder_.path() / "record-output.txt");
}

std::vector<station::ChatRow> RecordFixture::PublishedChat(int id) const {
    auto rows = station::ParseChatFile(ReadText(streamFolder(id) / "chat.txt"), "chat.txt");
    return rows ? *rows : std::vector<station::ChatRow>();
}

std::vector<station::Track> RecordFixture::PublishedTracks(int id) const {
    auto tracks = station::ParseTrackFile(ReadText(streamFolder(id) / "tracks.txt"), "tracks.txt");
    return tracks ? *tracks : std::vector<station::Track>();
}

std::string FetchWindow(std::uint16_t port, int stream, std::uint64_t start, std::uint64_t length) {
    const stationtest::HttpReply reply = stationtest::Exchange(
        port,
        stationtest::PlayerRequest("/station/1/getstreamdata/?streamid=" + std::to_string(stream) +
                                   "&start=" + std::to_string(start) + "&length=" + std::to_string(length)));
    return reply.status == 200 ? reply.body : std::string();
}

} // namespace recordtest
