// The station server against clients and archives that try to trick or starve it: recordings swapped
// for links while serving, a second server on the same port, one address opening thousands of
// connections, a head trickled in byte by byte, input pipelined after the request, and log escapes.
#include "ArchiveLoader.h"
#include "BeneathOpen.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace station;
using namespace stationtest;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class Server {
public:
    explicit Server(ServerOptions options = {}) {
        MakeSmallArchive(folder.path());
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        EXPECT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        EXPECT_TRUE(catalogue.ok());
        options.address = "127.0.0.1";
        auto server = HttpServer::Start(*catalogue, options);
        EXPECT_TRUE(server.ok()) << (server.ok() ? "" : server.failure().Text());
        if (server.ok())
            server_ = std::move(*server);
    }
    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    fs::path Recording(int station, int stream) const {
        return folder.path() / "stations" / std::to_string(station) / "streams" / std::to_string(stream) /
               "recording.mp3";
    }

    TempFolder folder;

private:
    std::unique_ptr<HttpServer> server_;
};

const std::string kWindow = "/station/1/getstreamdata/?streamid=1&start=0&length=1000";

// A raw client socket from a chosen loopback source address.
class Client {
public:
    Client() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    Client(Client&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

    bool Connect(std::uint16_t port, const char* from, bool wait = true) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
            return false;
        if (!wait)
            ::fcntl(fd_, F_SETFL, O_NONBLOCK);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int result = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        return result == 0 || (!wait && errno == EINPROGRESS);
    }
    bool Send(const std::string& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Waits up to `milliseconds` for the peer's end (or a reset); true when it came.
    bool WaitForEnd(int milliseconds) {
        pollfd p{fd_, POLLRDHUP, 0};
        return ::poll(&p, 1, milliseconds) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    }
    // Reads until the end; false on a reset.
    bool ReadAll(std::string& into, int milliseconds) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
        char buffer[65536];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return false;
            into.append(buffer, static_cast<std::size_t>(n));
        }
        return false;
    }

private:
    int fd_;
};

TEST(ServerHardening, ARecordingSwappedForALinkOutOfTheArchiveIsNotServed) {
    Server server;
    ASSERT_NE(server.port(), 0);
    ASSERT_EQ(Exchange(server.port(), PlayerRequest(kWindow)).status, 200);

    // Loaded and checked; now replaced by a link to a file outside the archive, of the same size.
    TempFolder outside;
    const std::string secret(SilentMp3Bytes(100).size(), 'S');
    WriteText(outside.path() / "secret", secret);
    fs::remove(server.Recording(1, 1));
    fs::create_symlink(outside.path() / "secret", server.Recording(1, 1));
    HttpReply reply = Exchange(server.port(), PlayerRequest(kWindow));
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body.find("SSSS"), std::string::npos);

    // A link that stays inside the archive is followed.
    fs::remove(server.Recording(1, 1));
    fs::create_symlink("../2/recording.mp3", server.Recording(1, 1));
    reply = Exchange(server.port(), PlayerRequest(kWindow));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, SilentMp3Bytes(40).substr(0, 1000));
}

TEST(ServerHardening, TheFallbackOpenerFollowsNoLinkAtAll) {
    TempFolder folder;
    WriteText(folder.path() / "a/file", "inside");
    fs::create_symlink(folder.path() / "a/file", folder.path() / "a/link");
    fs::create_symlink("/etc", folder.path() / "out");
    const int root = ::open(folder.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(root, 0);
    for (auto opener : {&OpenBeneath, &OpenBeneathNoLinks}) {
        const int fd = opener(root, "a/file");
        EXPECT_GE(fd, 0);
        if (fd >= 0)
            ::close(fd);
        EXPECT_LT(opener(root, "out/passwd"), 0);
        EXPECT_LT(opener(root, "../x"), 0);
        EXPECT_LT(opener(root, "/etc/passwd"), 0);
    }
    EXPECT_LT(OpenBeneathNoLinks(root, "a/link"), 0);
    ::close(root);
}

TEST(ServerHardening, ASecondServerOnAPortInUseRefusesToStart) {
    Server first;
    ASSERT_NE(first.port(), 0);
    MakeSmallArchive(first.folder.path());
    std::vector<Failure> problems;
    auto archive = LoadArchive(first.folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    auto catalogue = Catalogue::Build(std::move(*archive));
    ASSERT_TRUE(catalogue.ok());
    ServerOptions options;
    options.port = first.port();
    auto second = HttpServer::Start(*catalogue, options);
    ASSERT_FALSE(second.ok());
    EXPECT_NE(second.failure().Text().find("in use"), std::string::npos) << second.failure().Text();
}

// One address opens 4,000 connections and trickles; a good client from another address is served every
// time, and a head trickled in a byte at a time is cut off at the deadline.
TEST(ServerHardening, OneAddressCannotStarveTheOthers) {
    ServerOptions options;
    options.headSeconds = 2;
    options.threads = 2;
    Server server(options);
    ASSERT_NE(server.port(), 0);

    std::vector<Client> flood;
    flood.reserve(4000);
    for (int i = 0; i < 4000; ++i) {
        flood.emplace_back();
        flood.back().Connect(server.port(), "127.0.0.1", false);
    }
    for (Client& client : flood)
        client.Send("GET /sta"); // may fail on the refused ones

    std::vector<double> latencies;
    int served = 0;
    const std::string expected = SilentMp3Bytes(100).substr(0, 1000);
    for (int i = 0; i < 100; ++i) {
        const auto start = Clock::now();
        Client good;
        std::string raw;
        if (good.Connect(server.port(), "127.0.0.2") && good.Send(PlayerRequest(kWindow)) &&
            good.ReadAll(raw, 10000)) {
            const HttpReply reply = ParseReply(raw);
            served += reply.status == 200 && reply.body == expected ? 1 : 0;
        }
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    EXPECT_EQ(served, 100);
    std::sort(latencies.begin(), latencies.end());
    std::printf("one-address flood: good client served %d of 100, latency median %.1f ms, p99 %.1f ms\n",
                served, latencies[49], latencies[98]);

    // A third address trickles its head a byte every 300 ms: it never completes, and is cut off.
    Client trickler;
    ASSERT_TRUE(trickler.Connect(server.port(), "127.0.0.3"));
    const std::string head = PlayerRequest(kWindow);
    bool ended = false;
    for (std::size_t i = 0; i < head.size() - 4 && !ended; ++i) {
        trickler.Send(head.substr(i, 1));
        ended = trickler.WaitForEnd(300);
    }
    EXPECT_TRUE(ended) << "the connection was ended before the head could complete";
}

TEST(ServerHardening, InputPipelinedAfterTheRequestDoesNotCutTheAnswer) {
    Server server;
    ASSERT_NE(server.port(), 0);
    const std::string target = "/station/1/getstreamdata/?streamid=1&start=0&length=40000";
    Client client;
    ASSERT_TRUE(client.Connect(server.port(), "127.0.0.1"));
    ASSERT_TRUE(client.Send(PlayerRequest(target) + std::string(20000, 'x')));
    // Read only once the server has ended its side: a reset would throw the unread answer away.
    ASSERT_TRUE(client.WaitForEnd(10000));
    std::string raw;
    EXPECT_TRUE(client.ReadAll(raw, 10000)) << "the connection ended without a reset";
    const HttpReply reply = ParseReply(raw);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, SilentMp3Bytes(100).substr(0, 40000));
}

// libmicrohttpd cuts each part of the head at a zero byte; wherever one was sent, the answer is 400, and
// the same heads without it are served.
TEST(ServerHardening, AZeroByteAnywhereInTheHeadIsRefused) {
    Server server;
    ASSERT_NE(server.port(), 0);
    const std::string zero(1, '\0');
    const std::string rest = "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    const std::vector<std::string> refused = {
        "GET /getstations/" + zero + " HTTP/1.1" + rest,
        "GET /getstations/" + zero + zero + " HTTP/1.1" + rest,
        "GET /getstations/" + zero + " HTTP/1.0\r\n\r\n",
        "GET /station/1/getstationinfo/" + zero + "x HTTP/1.1" + rest,
        "GET /getst" + zero + "ations/ HTTP/1.1" + rest,
        "GET " + zero + "/getstations/ HTTP/1.1" + rest,
        "GET /stream-1-1" + zero + " HTTP/1.1" + rest,
        "GET /getstations/%00 HTTP/1.1" + rest,
        "GET /getstations/?debug%00 HTTP/1.1" + rest,
        "GET" + zero + " /getstations/ HTTP/1.1" + rest,
        "GET" + zero + "X /getstations/ HTTP/1.1" + rest,
        "GET /getstations/ HTTP/1.1" + zero + rest,
        "GET /getstations/ HTTP/1.1\r\nHost: 127.0.0.1" + zero + "evil\r\nConnection: close\r\n\r\n",
        "GET /getstations/ HTTP/1.1\r\nHost: 127.0.0.1" + zero + "\r\nConnection: close\r\n\r\n",
        "GET /getstations/ HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close" + zero + "x\r\n\r\n",
        "GET /getstations/ HTTP/1.1\r\nHost:" + zero + " 127.0.0.1\r\nConnection: close\r\n\r\n",
        "GET /getstations/ HTTP/1.1\r\nHo" + zero + "st: 127.0.0.1\r\nConnection: close\r\n\r\n",
    };
    for (const std::string& request : refused) {
        const HttpReply reply = Exchange(server.port(), request);
        EXPECT_EQ(reply.status, 400) << EscapedForLog(request);
        EXPECT_TRUE(reply.closed) << EscapedForLog(request);
    }
    const std::vector<std::string> served = {
        "GET /getstations/ HTTP/1.1" + rest,
        "GET  /getstations/ HTTP/1.1" + rest,
        "GET /getstations/ HTTP/1.0\r\n\r\n",
        "GET /getstations/ HTTP/1.0\n\n",
        "GET /getstations/ HTTP/1.1\nHost: 127.0.0.1\nConnection: close\n\n",
        "GET /getstations/ HTTP/1.1\r\nHost:127.0.0.1\r\nX-Empty:\r\nConnection: close\r\n\r\n",
        "HEAD /station/1/getstationinfo/?debug HTTP/1.1" + rest,
        "GET /stream-1-1 HTTP/1.1" + rest,
        "GET /station/1/getstreamdata/?streamid=1&start=0&length=10 HTTP/1.1" + rest,
    };
    for (const std::string& request : served)
        EXPECT_EQ(Exchange(server.port(), request).status, 200) << EscapedForLog(request);
}

TEST(ServerHardening, LogLinesEscapeControlBytes) {
    EXPECT_EQ(EscapedForLog("/a\r\nGET /forged -> 200"), "/a\\x0D\\x0AGET /forged -> 200");
    EXPECT_EQ(EscapedForLog(std::string("a\0b\x1b[2J\\\x7f\xc3", 10)), "a\\x00b\\x1B[2J\\x5C\\x7F\\xC3");
}

} // namespace
