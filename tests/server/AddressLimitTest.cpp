// The per-client connection limit: who counts as one client (an IPv4 address, an IPv6 /64), and the
// limit held by a server listening on IPv6 loopback.
#include "AddressLimit.h"
#include "ArchiveLoader.h"
#include "Catalogue.h"
#include "HttpServer.h"
#include "LoopbackHttp.h"
#include "StationFixtures.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

using namespace station;
using namespace stationtest;

namespace {

sockaddr_storage Address(const char* text) {
    sockaddr_storage storage{};
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, text, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
    } else {
        EXPECT_EQ(::inet_pton(AF_INET6, text, &v6->sin6_addr), 1) << text;
        v6->sin6_family = AF_INET6;
    }
    return storage;
}

AddressLimit::Key KeyOf(const char* text) {
    const sockaddr_storage address = Address(text);
    const auto key = AddressLimit::KeyOf(reinterpret_cast<const sockaddr*>(&address));
    EXPECT_TRUE(key) << text;
    return key.value_or(AddressLimit::Key{});
}

TEST(AddressLimit, AClientIsAnIpv4AddressOrAnIpv6Network) {
    EXPECT_EQ(KeyOf("2001:db8:1:2::1"), KeyOf("2001:db8:1:2:ffff:ffff:ffff:ffff"));
    EXPECT_EQ(KeyOf("2001:db8:1:2::1"), KeyOf("2001:db8:1:2:8000::"));
    EXPECT_NE(KeyOf("2001:db8:1:2::1"), KeyOf("2001:db8:1:3::1"));
    EXPECT_NE(KeyOf("2001:db8:1:2::1"), KeyOf("2001:db9:1:2::1"));
    EXPECT_NE(KeyOf("10.0.0.1"), KeyOf("10.0.0.2"));
    // An IPv4 address written as IPv6 is that IPv4 client, not one /64 shared by all of IPv4.
    EXPECT_EQ(KeyOf("::ffff:10.0.0.1"), KeyOf("10.0.0.1"));
    EXPECT_NE(KeyOf("::ffff:10.0.0.1"), KeyOf("::ffff:10.0.0.2"));
    // Addresses of other families are not counted.
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    EXPECT_FALSE(AddressLimit::KeyOf(reinterpret_cast<const sockaddr*>(&local)));
    EXPECT_FALSE(AddressLimit::KeyOf(nullptr));
}

TEST(AddressLimit, CountsEachClientUpToTheLimit) {
    AddressLimit limit(3);
    const sockaddr_storage a = Address("2001:db8::1");
    const sockaddr_storage b = Address("2001:db8::2"); // the same /64
    const sockaddr_storage c = Address("2001:db8:0:1::1");
    const auto* pa = reinterpret_cast<const sockaddr*>(&a);
    const auto* pb = reinterpret_cast<const sockaddr*>(&b);
    const auto* pc = reinterpret_cast<const sockaddr*>(&c);
    EXPECT_TRUE(limit.Add(*AddressLimit::KeyOf(pa)));
    EXPECT_TRUE(limit.Add(*AddressLimit::KeyOf(pb)));
    EXPECT_TRUE(limit.Allows(pb));
    EXPECT_TRUE(limit.Add(*AddressLimit::KeyOf(pa)));
    EXPECT_FALSE(limit.Allows(pa));
    EXPECT_FALSE(limit.Allows(pb));
    EXPECT_TRUE(limit.Allows(pc));
    EXPECT_FALSE(limit.Add(*AddressLimit::KeyOf(pb))) << "one past the limit is told so";
    EXPECT_EQ(limit.Count(*AddressLimit::KeyOf(pa)), 4u);
    limit.Remove(*AddressLimit::KeyOf(pb));
    limit.Remove(*AddressLimit::KeyOf(pb));
    EXPECT_TRUE(limit.Allows(pa));
    limit.Remove(*AddressLimit::KeyOf(pa));
    limit.Remove(*AddressLimit::KeyOf(pa));
    limit.Remove(*AddressLimit::KeyOf(pa)); // more than were added: no harm
    EXPECT_EQ(limit.Count(*AddressLimit::KeyOf(pa)), 0u);

    AddressLimit none(0);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(none.Add(*AddressLimit::KeyOf(pa)));
    EXPECT_TRUE(none.Allows(pa));
}

class Ipv6Client {
public:
    Ipv6Client() : fd_(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Ipv6Client() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Ipv6Client(const Ipv6Client&) = delete;
    Ipv6Client& operator=(const Ipv6Client&) = delete;
    bool Connect(std::uint16_t port) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        address.sin6_addr = in6addr_loopback;
        return ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    // Whether the server ends the connection, without an answer, within `milliseconds`.
    bool EndedWithin(int milliseconds) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, milliseconds) <= 0)
            return false;
        char byte;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
    }
    // Sends a request and answers the status line received.
    std::string Ask(const std::string& target) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: [::1]\r\nConnection: close\r\n\r\n";
        if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
            return {};
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char buffer[4096];
        while (got.find("\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got.substr(0, got.find("\r\n"));
    }

private:
    int fd_;
};

TEST(AddressLimit, AServerOnIpv6HoldsTheLimit) {
    const int probe = ::socket(AF_INET6, SOCK_STREAM, 0);
    if (probe < 0)
        GTEST_SKIP() << "no IPv6 on this machine";
    ::close(probe);
    TempFolder folder;
    MakeSmallArchive(folder.path());
    std::vector<Failure> problems;
    auto archive = LoadArchive(folder.path(), problems);
    ASSERT_TRUE(archive.ok());
    auto catalogue = Catalogue::Build(std::move(*archive));
    ASSERT_TRUE(catalogue.ok());
    ServerOptions options;
    options.address = "::1";
    options.perAddressLimit = 3;
    auto server = HttpServer::Start(*catalogue, options);
    if (!server.ok())
        GTEST_SKIP() << "cannot listen on ::1: " << server.failure().Text();
    const std::uint16_t port = (*server)->port();

    // Four connections at once: the server ends one of them without an answer (which one depends on
    // the order its threads took them in), and serves the other three.
    std::vector<std::unique_ptr<Ipv6Client>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<Ipv6Client>());
        ASSERT_TRUE(held.back()->Connect(port));
    }
    int ended = -1;
    const auto endDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ended < 0 && std::chrono::steady_clock::now() < endDeadline)
        for (int i = 0; i < 4 && ended < 0; ++i)
            if (held[i]->EndedWithin(20))
                ended = i;
    ASSERT_GE(ended, 0) << "no connection past the limit was ended";
    held.erase(held.begin() + ended);
    EXPECT_EQ(held[0]->Ask("/getstations/"), "HTTP/1.1 200 OK");
    // Once that one has been served and closed, there is room for another (as soon as the server has
    // seen it go); the other two are still served.
    bool served = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!served && std::chrono::steady_clock::now() < deadline) {
        Ipv6Client attempt;
        served = attempt.Connect(port) && attempt.Ask("/getstations/") == "HTTP/1.1 200 OK";
    }
    EXPECT_TRUE(served);
    EXPECT_EQ(held[1]->Ask("/getstations/"), "HTTP/1.1 200 OK");
    EXPECT_EQ(held[2]->Ask("/getstations/"), "HTTP/1.1 200 OK");
}

} // namespace
