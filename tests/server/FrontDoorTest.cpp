// The server's front door: which heads it answers itself, that its answers are byte for byte the ones
// libmicrohttpd gives, and that the deadlines hold for the connections it holds or hands over.
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "DirectHead.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

using namespace station;
using namespace stationtest;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPlayerHead = PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0&length=1000");

HeadScan Scan(const std::string& head) {
    std::string_view target;
    return ScanDirectHead(head, target);
}

TEST(FrontDoor, PlainWindowHeadsAreTakenAndEverythingElseIsLeft) {
    std::string_view target;
    ASSERT_EQ(ScanDirectHead(kPlayerHead, target), HeadScan::Direct);
    EXPECT_EQ(target, "/station/1/getstreamdata/?streamid=1&start=0&length=1000");
    EXPECT_EQ(Scan("GET /x HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n"), HeadScan::Direct);
    EXPECT_EQ(Scan("GET /x HTTP/1.1\r\nhost:a\r\nCONNECTION:  Close \r\nAccept: */*\r\n\r\n"),
              HeadScan::Direct);

    EXPECT_EQ(Scan(""), HeadScan::Incomplete);
    EXPECT_EQ(Scan(kPlayerHead.substr(0, kPlayerHead.size() - 2)), HeadScan::Incomplete);

    const std::string tail = "Host: a\r\nConnection: close\r\n\r\n";
    for (const std::string& head : std::vector<std::string>{
             "HEAD /x HTTP/1.1\r\n" + tail,                                        // not GET
             "GET /x HTTP/1.0\r\n" + tail,                                         // another version
             "GET  /x HTTP/1.1\r\n" + tail,                                        // odd spacing
             "GET x HTTP/1.1\r\n" + tail,                                          // not a path
             "GET /x%00 HTTP/1.1\r\n" + tail,                                      // escapes
             "GET /x#y HTTP/1.1\r\n" + tail,                                       // a fragment
             "GET /x HTTP/1.1\r\nConnection: close\r\n\r\n",                       // no Host
             "GET /x HTTP/1.1\r\nHost: \r\nConnection: close\r\n\r\n",             // an empty Host
             "GET /x HTTP/1.1\r\nHost: a\r\n\r\n",                                 // keep-alive
             "GET /x HTTP/1.1\r\nHost: a\r\nConnection: keep-alive\r\n\r\n",       // keep-alive
             "GET /x HTTP/1.1\r\nHost: a\r\nHost: b\r\nConnection: close\r\n\r\n", // Host twice
             "GET /x HTTP/1.1\r\nIf-None-Match: \"t\"\r\n" + tail,                 // conditional
             "GET /x HTTP/1.1\r\nRange: bytes=0-1\r\n" + tail,                     // a range
             "GET /x HTTP/1.1\r\nContent-Length: 3\r\n" + tail,                    // a body
             "GET /x HTTP/1.1\r\nUser-Agent: a\r\n b\r\n" + tail,                  // a folded line
             "GET /x HTTP/1.1\r\nBad Name: a\r\n" + tail,                          // not a token
             "GET /x HTTP/1.1\r\nNo colon\r\n" + tail,                             // not a field
             "GET /x HTTP/1.1\nHost: a\r\nConnection: close\r\n\r\n",              // a bare LF
             "GET /x HTTP/1.1\r\nUser-Agent: a\rb\r\n" + tail,                     // a bare CR
             "GET /x HTTP/1.1\r\nUser-Agent: \xc3\xa9\r\n" + tail,                 // not ASCII
             std::string("GET /x HTTP/1.1\r\nUser-Agent: a\0b\r\n", 34) + tail,    // a zero byte
             "GET /x HTTP/1.1\r\n" + tail + "GET",                                 // pipelined input
         })
        EXPECT_EQ(Scan(head), HeadScan::Other) << head;
}

// Two servers of one catalogue: one answering windows at its front door, one leaving all to
// libmicrohttpd.
class TwoServers {
public:
    TwoServers() {
        MakeSmallArchive(folder.path());
        std::vector<Failure> problems;
        auto archive = LoadArchive(folder.path(), problems);
        EXPECT_TRUE(archive.ok());
        auto catalogue = Catalogue::Build(std::move(*archive));
        EXPECT_TRUE(catalogue.ok());
        for (bool direct : {true, false}) {
            ServerOptions options;
            options.directWindows = direct;
            auto server = HttpServer::Start(*catalogue, options);
            EXPECT_TRUE(server.ok());
            if (server.ok())
                (direct ? direct_ : daemon_) = std::move(*server);
        }
    }
    std::uint16_t directPort() const { return direct_ ? direct_->port() : 0; }
    std::uint16_t daemonPort() const { return daemon_ ? daemon_->port() : 0; }

    TempFolder folder;

private:
    std::unique_ptr<HttpServer> direct_;
    std::unique_ptr<HttpServer> daemon_;
};

// The whole answer, with the time of day taken out.
std::string Undated(const std::string& raw) {
    return std::regex_replace(raw, std::regex("\r\nDate: [^\r]*\r\n"), "\r\nDate: -\r\n");
}

TEST(FrontDoor, AnswersAreTheBytesLibmicrohttpdSends) {
    TwoServers servers;
    ASSERT_NE(servers.directPort(), 0);
    ASSERT_NE(servers.daemonPort(), 0);
    const HttpReply first = Exchange(servers.directPort(), kPlayerHead);
    std::string etag;
    for (const std::string& header : first.headers)
        if (header.starts_with("ETag: "))
            etag = header.substr(6);
    ASSERT_FALSE(etag.empty());

    const std::string window = "/station/1/getstreamdata/?streamid=1&start=";
    const std::string wrk = "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    const std::string size = std::to_string(SilentMp3Bytes(100).size());
    for (const std::string& request : std::vector<std::string>{
             kPlayerHead,
             "GET " + window + "0&length=524288 HTTP/1.1" + wrk,     // fewer bytes at the end
             "GET " + window + "41000&length=2000 HTTP/1.1" + wrk,   // across the end
             "GET " + window + size + "&length=2000 HTTP/1.1" + wrk, // none past it
             "GET /night/getstreamdata/?streamid=3&start=5&length=9 HTTP/1.1" + wrk,
             "GET /station/1/getstreamdata/?streamid=7&start=0&length=9 HTTP/1.1" + wrk, // no such stream
             "GET /station/9/getstreamdata/?streamid=1&start=0&length=9 HTTP/1.1" + wrk, // no such station
             "GET /station/1/getstreamdata/?streamid=1&start=x&length=9 HTTP/1.1" + wrk, // a bad query
             "GET /station/1/getstationinfo/ HTTP/1.1" + wrk,
             "HEAD " + window + "0&length=100 HTTP/1.1" + wrk,
             "GET " + window + "0&length=100 HTTP/1.1\r\nHost: a\r\n\r\n",
             "GET " + window + "0&length=100 HTTP/1.0\r\n\r\n",
             "GET " + window + "0&length=1000 HTTP/1.1\r\nIf-None-Match: " + etag + wrk.substr(2),
         }) {
        const HttpReply direct = Exchange(servers.directPort(), request);
        const HttpReply daemon = Exchange(servers.daemonPort(), request);
        EXPECT_TRUE(direct.closed) << request;
        EXPECT_NE(daemon.status, 0) << request;
        EXPECT_EQ(Undated(direct.raw), Undated(daemon.raw)) << request;
    }
}

// A raw client that can wait before it sends.
class Client {
public:
    Client() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    bool Connect(std::uint16_t port, int receiveBuffer = 0) {
        if (receiveBuffer != 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    bool Send(const std::string& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Waits until the server has ended the connection (everything sent before is read away); `reset`
    // tells whether it ended with a reset.
    bool WaitForEnd(Clock::time_point deadline, std::size_t* received = nullptr, bool* reset = nullptr) {
        char buffer[65536];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN | POLLRDHUP, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                if (reset)
                    *reset = n < 0;
                return true;
            }
            if (received)
                *received += static_cast<std::size_t>(n);
        }
        return false;
    }

    // Waits for the first bytes of the answer and reads them.
    bool WaitForBytes(Clock::time_point deadline, std::size_t& received) {
        char buffer[4096];
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0)
                received += static_cast<std::size_t>(n);
            return n > 0;
        }
        return false;
    }

private:
    int fd_;
};

TEST(FrontDoor, AHeadDeadlineRunsFromTheAcceptNotFromTheHandOver) {
    TempFolder folder;
    MakeSmallArchive(folder.path());
    ServerOptions options;
    options.headSeconds = 2;
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    auto catalogue = Catalogue::Build(std::move(*archive));
    ASSERT_TRUE(catalogue.ok());
    auto server = HttpServer::Start(*catalogue, options);
    ASSERT_TRUE(server.ok());

    // Silent for most of the deadline at the front door, then the start of a head: libmicrohttpd
    // gets it with the time already spent.
    Client client;
    const auto connected = Clock::now();
    ASSERT_TRUE(client.Connect((*server)->port()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the client's own pause
    ASSERT_TRUE(client.Send("GET /sta"));
    ASSERT_TRUE(client.WaitForEnd(connected + std::chrono::seconds(10)));
    const double seconds = std::chrono::duration<double>(Clock::now() - connected).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.2) << "the deadline began again when the connection was handed over";
}

// A server over the small archive with a recording of 10 MB, more than the socket buffers hold.
constexpr std::size_t kLargeFrames = 24000;

Result<std::unique_ptr<HttpServer>> LargeServer(const TempFolder& folder, ServerOptions options) {
    MakeSmallArchive(folder.path());
    WriteSilentMp3(folder.path() / "stations/1/streams/1/recording.mp3", kLargeFrames);
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    if (!archive.ok())
        return archive.failure();
    auto catalogue = Catalogue::Build(std::move(*archive));
    if (!catalogue.ok())
        return catalogue.failure();
    return HttpServer::Start(*catalogue, options);
}

TEST(FrontDoor, InputSentWhileTheWindowGoesOutDoesNotCutIt) {
    TempFolder folder;
    auto server = LargeServer(folder, {});
    ASSERT_TRUE(server.ok());
    const std::size_t length = kLargeFrames * kSilentFrameBytes;
    Client client;
    ASSERT_TRUE(client.Connect((*server)->port()));
    ASSERT_TRUE(client.Send(
        PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0&length=" + std::to_string(length))));
    // The answer has begun; now more input comes, which the server never reads.
    std::size_t received = 0;
    ASSERT_TRUE(client.WaitForBytes(Clock::now() + std::chrono::seconds(10), received));
    ASSERT_TRUE(client.Send(std::string(20000, 'x')));
    bool reset = true;
    ASSERT_TRUE(client.WaitForEnd(Clock::now() + std::chrono::seconds(20), &received, &reset));
    EXPECT_FALSE(reset);
    EXPECT_GT(received, length);
}

TEST(FrontDoor, AClientThatTakesNoneOfTheWindowIsDroppedAfterTheIdleTime) {
    TempFolder folder;
    ServerOptions options;
    options.timeoutSeconds = 1;
    auto server = LargeServer(folder, options);
    ASSERT_TRUE(server.ok());

    const std::size_t length = kLargeFrames * kSilentFrameBytes;
    Client client;
    ASSERT_TRUE(client.Connect((*server)->port(), 4096));
    ASSERT_TRUE(client.Send(
        PlayerRequest("/station/1/getstreamdata/?streamid=1&start=0&length=" + std::to_string(length))));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // takes nothing past the idle time
    std::size_t received = 0;
    ASSERT_TRUE(client.WaitForEnd(Clock::now() + std::chrono::seconds(20), &received));
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, length) << "the whole window was sent to a client that took nothing for 2.5 s";
}

} // namespace
