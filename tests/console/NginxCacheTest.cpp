// The shipped nginx configuration in front of vantri-station, on loopback: the second request for a
// window is answered from nginx's cache, byte for byte the same, and the player plays through it.
#include "console/MyConsoleSession.h"
#include "media/PlayPosition.h"
#include "platform/ChildProcess.h"
#include "platform/TcpListener.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// Sends one request and reads the answer until nginx closes the connection.
std::string Fetch(std::uint16_t port, const std::string& target) {
    auto connection = platform::TcpConnection::ConnectLoopback(port);
    if (!connection)
        return {};
    const std::string request = "GET " + target + " HTTP/1.1\r\nHOST: 127.0.0.1\r\nConnection: Close\r\n\r\n";
    if (!connection->SendAll(request.data(), request.size(), nullptr))
        return {};
    std::string answer;
    char buffer[65536];
    for (;;) {
        const long got = connection->Recv(buffer, sizeof buffer, 10000, nullptr);
        if (got <= 0)
            return answer;
        answer.append(buffer, static_cast<std::size_t>(got));
    }
}

class NginxCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::RunChildProcess({"nginx", "-v"}, {},
                                       (fs::path(VANTRI_BINARY_DIR) / "nginx-v.txt").string())
                 .started)
            GTEST_SKIP() << "nginx is not installed";
        dir = fs::path(VANTRI_BINARY_DIR) / "nginx-cache-test";
        fs::remove_all(dir);
        for (const char* sub : {"cache", "temp"}) {
            fs::create_directories(dir / sub);
            // nginx's workers run as another user when it is started by root.
            fs::permissions(dir / sub, fs::perms::all);
        }
        fs::permissions(dir, fs::perms::all);

        platform::TcpListener free;
        ASSERT_TRUE(free.Listen(false));
        port = free.port();
        free.Close();

        const std::string path =
            testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, 20.0, 128});
        ASSERT_FALSE(path.empty());
        mp3 = testsupport::ReadFileBytes(path);
        testsupport::LoopbackShow show{1, 7, path, 20};
        show.publicPort = port; // the directory sends players to nginx
        station = std::make_unique<testsupport::LoopbackStation>(show);
        ASSERT_TRUE(station->running());

        std::string site = ReadText(fs::path(VANTRI_SOURCE_DIR) / "server/deploy/nginx-vantri.conf");
        Replace(site, "/var/cache/nginx/vantri", (dir / "cache").string());
        Replace(site, "server 127.0.0.1:8080;", "server 127.0.0.1:" + std::to_string(station->port()) + ";");
        Replace(site, "listen 80;", "listen 127.0.0.1:" + std::to_string(port) + ";");
        std::ofstream(dir / "vantri.conf") << site;
        const std::string temp = (dir / "temp").string();
        std::ofstream(dir / "nginx.conf")
            << "pid " << (dir / "nginx.pid").string() << ";\nerror_log " << (dir / "error.log").string()
            << ";\nevents { worker_connections 256; }\nhttp {\n  access_log off;\n"
            << "  client_body_temp_path " << temp << "/body;\n  proxy_temp_path " << temp << "/proxy;\n"
            << "  fastcgi_temp_path " << temp << "/fastcgi;\n  uwsgi_temp_path " << temp << "/uwsgi;\n"
            << "  scgi_temp_path " << temp << "/scgi;\n  include " << (dir / "vantri.conf").string()
            << ";\n}\n";
        // nginx puts itself in the background once it listens.
        const auto started =
            platform::RunChildProcess({"nginx", "-c", (dir / "nginx.conf").string(), "-p", dir.string()}, {},
                                      (dir / "start.txt").string());
        ASSERT_EQ(started.exitCode, 0) << ReadText(dir / "start.txt") << ReadText(dir / "error.log");
        running = true;
    }

    void TearDown() override {
        if (running)
            platform::RunChildProcess(
                {"nginx", "-c", (dir / "nginx.conf").string(), "-p", dir.string(), "-s", "stop"}, {},
                (dir / "stop.txt").string());
    }

    fs::path dir;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> mp3;
    std::unique_ptr<testsupport::LoopbackStation> station;
    bool running = false;
};

TEST_F(NginxCacheTest, TheSecondRequestForAWindowComesFromTheCacheAndThePlayerPlaysThroughIt) {
    const std::string target = "/station/1/getstreamdata/?streamid=7&start=0&length=524288";
    const std::string first = Fetch(port, target);
    const std::string second = Fetch(port, target);
    ASSERT_NE(first.find("\r\n\r\n"), std::string::npos) << first.substr(0, 300);
    EXPECT_NE(first.find("X-Cache-Status: MISS"), std::string::npos) << first.substr(0, 400);
    EXPECT_NE(second.find("X-Cache-Status: HIT"), std::string::npos) << second.substr(0, 400);
    const std::string firstBody = first.substr(first.find("\r\n\r\n") + 4);
    const std::string secondBody = second.substr(second.find("\r\n\r\n") + 4);
    const std::size_t length = std::min<std::size_t>(mp3.size(), 524288);
    ASSERT_EQ(firstBody.size(), length);
    EXPECT_TRUE(secondBody == firstBody);
    EXPECT_TRUE(firstBody == std::string(mp3.begin(), mp3.begin() + static_cast<std::ptrdiff_t>(length)));

    // The player, with nginx as its directory and station server, plays the show's start exactly.
    const std::string capture = (dir / "played.raw").string();
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY", "127.0.0.1:" + std::to_string(port));
    testsupport::ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    testsupport::ScopedEnvironment file("SDL_DISKAUDIOFILE", capture);
    testsupport::ScopedEnvironment delay("SDL_DISKAUDIODELAY", "0");
    std::string error;
    const std::vector<std::string_view> arguments{"--seconds", "6", "vantri:stream-1-7"};
    auto options = ParseConsoleOptions(arguments, error);
    ASSERT_TRUE(options) << error;
    {
        MyConsoleSession session(
            *options, [](const std::string&) {}, false);
        ASSERT_TRUE(session.Start());
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (!session.finished() && std::chrono::steady_clock::now() < deadline)
            session.Pump(10);
        ASSERT_TRUE(session.finished());
        EXPECT_FALSE(session.failed());
    }
    const auto played = testsupport::WithoutSilentFrames(testsupport::ReadFileBytes(capture));
    const auto expected = testsupport::WithoutSilentFrames(testsupport::ReferenceDecode(mp3, 0));
    ASSERT_GE(played.size(), static_cast<std::size_t>(4 * 44100 * 4));
    ASSERT_LE(played.size(), expected.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), expected.begin()));
    EXPECT_NE(Fetch(port, target).find("X-Cache-Status: HIT"), std::string::npos);
}

} // namespace
