// vantri-station serve loads the archive again without a restart: when a stream folder is renamed into
// place (as import and record publish) and on SIGHUP; a rescan that fails keeps what was served.

#include "LiveServers.h"
#include "server/LoopbackHttp.h"
#include "server/StationFixtures.h"
#include "support/Deadline.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace recordtest;
namespace fs = std::filesystem;

namespace {

int Status(std::uint16_t port, const std::string& target) {
    return stationtest::Exchange(port, stationtest::PlayerRequest(target)).status;
}

TEST(ServeRescan, NewStreamsAndEditsAreServedWithoutARestart) {
    stationtest::TempFolder folder;
    const fs::path archive = folder.path() / "archive";
    stationtest::MakeSmallArchive(archive);
    const fs::path portFile = folder.path() / "port.txt";
    ChildProcess serve({std::string(VANTRI_BINARY_DIR) + "/vantri-station", "serve", archive.string(),
                        "--port", "0", "--port-file", portFile.string()},
                       folder.path() / "serve-output.txt");
    ASSERT_TRUE(testsupport::WaitFor([&] { return !ReadText(portFile).empty(); }));
    const auto port = static_cast<std::uint16_t>(std::atoi(ReadText(portFile).c_str()));
    const std::string newStream = "/station/1/getstreaminfo/?streamid=9";
    ASSERT_EQ(Status(port, newStream), 404);

    // A show written under a hidden name and renamed into place, as a publish does.
    const fs::path hidden = archive / "stations/1/streams/.recording-9";
    stationtest::WriteSilentMp3(hidden / "recording.mp3", 50);
    stationtest::WriteText(hidden / "stream.conf", "start = 2024-03-03 20:00:00\ntext1 = Late Show\n");
    EXPECT_EQ(Status(port, newStream), 404);
    fs::rename(hidden, archive / "stations/1/streams/9");
    EXPECT_TRUE(testsupport::WaitFor([&] { return Status(port, newStream) == 200; }))
        << ReadText(folder.path() / "serve-output.txt");

    // An edit inside a stream's folder is not watched: SIGHUP loads it.
    const std::string info = "/station/1/getstationinfo/";
    const std::string before = stationtest::Exchange(port, stationtest::PlayerRequest(info)).body;
    EXPECT_NE(before.find("Late Show"), std::string::npos);
    stationtest::WriteText(archive / "stations/1/streams/9/stream.conf",
                           "start = 2024-03-03 20:00:00\ntext1 = Renamed Show\n");
    serve.Signal(SIGHUP);
    EXPECT_TRUE(testsupport::WaitFor([&] {
        return stationtest::Exchange(port, stationtest::PlayerRequest(info)).body.find("Renamed Show") !=
               std::string::npos;
    }));
    EXPECT_EQ(before.find("Renamed Show"), std::string::npos);

    // A station folder that goes away takes its streams along.
    fs::remove_all(archive / "stations/1");
    EXPECT_TRUE(testsupport::WaitFor([&] { return Status(port, newStream) == 404; }));
    EXPECT_NE(ReadText(folder.path() / "serve-output.txt").find("rescanned"), std::string::npos);
    serve.Signal(SIGTERM);
    EXPECT_EQ(serve.WaitForExit(std::chrono::milliseconds(5000)), 0);
}

} // namespace
