// Socket notifications follow the WSAEventSelect rules the exchange state machine relies on.

#include "platform/Event.h"
#include "platform/Socket.h"
#include "platform/TcpListener.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testsupport::Script;
using testsupport::ScriptedServer;

constexpr unsigned kAll = platform::kRead | platform::kWrite | platform::kConnect | platform::kClose;

// A connected test client: one socket bound to one event, and a second event the test sets to learn
// whether the socket had anything to report (a wait answers the lowest signalled index).
struct Client {
    platform::Event event;
    platform::Event probe;
    platform::Socket socket;

    bool Connect(const std::string& host, std::uint16_t port) {
        platform::ResolveResult resolved = platform::Resolve(host, std::to_string(port));
        if (resolved.error != platform::kSocketOk || resolved.addresses.empty())
            return false;
        if (!socket.Create(resolved.addresses.front().family) || !socket.EventSelect(event, kAll))
            return false;
        int error = socket.Connect(resolved.addresses.front());
        return error == platform::kSocketOk || error == platform::kWouldBlock;
    }

    // Waits for the socket's next notification. With `probeFirst` the probe is set beforehand, so the
    // answer is nothing (events 0) unless the socket had something to report already.
    platform::NetworkEvents Next(bool probeFirst = false) {
        if (probeFirst)
            probe.Set();
        platform::Event* events[] = {&event, &probe};
        platform::NetworkEvents out;
        if (platform::WaitForAny(events) == 0)
            socket.EnumNetworkEvents(out);
        return out;
    }

    // Reads until the socket would block; answers the bytes read, or -1 on end of stream or failure.
    long Drain(std::string& into) {
        char buffer[1024];
        for (;;) {
            int error = 0;
            long got = socket.Recv(buffer, sizeof buffer, &error);
            if (got > 0) {
                into.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && error == platform::kWouldBlock)
                return static_cast<long>(into.size());
            return -1;
        }
    }
};

TEST(SocketNotifications, OneWriteAfterConnectingAndNoneWhileNothingIsSent) {
    ScriptedServer server(Script().AwaitRequest().Stall());
    Client client;
    ASSERT_TRUE(client.Connect(server.host(), server.port()));
    platform::NetworkEvents first = client.Next();
    EXPECT_EQ(first.events, platform::kConnect | platform::kWrite);
    EXPECT_EQ(first.connectError, platform::kSocketOk);
    // An idle connected socket reports nothing: no busy loop of write notifications.
    EXPECT_EQ(client.Next(true).events, 0u);
    EXPECT_EQ(client.Next(true).events, 0u);
    // A send that succeeds does not bring a new write notification either.
    int error = 0;
    const std::string request = "GET / HTTP/1.1\r\n\r\n";
    ASSERT_EQ(client.socket.Send(request.data(), request.size(), &error), static_cast<long>(request.size()));
    ASSERT_TRUE(server.WaitForRequest(0));
    EXPECT_EQ(client.Next(true).events, 0u);
}

TEST(SocketNotifications, ReadIsReportedAgainUntilTheDataIsDrained) {
    ScriptedServer server(Script().Send(std::string(100, 'r')).Stall());
    Client client;
    ASSERT_TRUE(client.Connect(server.host(), server.port()));
    ASSERT_EQ(client.Next().events & platform::kConnect, platform::kConnect);
    platform::NetworkEvents read = client.Next();
    ASSERT_EQ(read.events, platform::kRead);
    // A partial read re-enables the notification while data is left.
    char buffer[10];
    int error = 0;
    ASSERT_EQ(client.socket.Recv(buffer, sizeof buffer, &error), 10);
    EXPECT_EQ(client.Next().events, platform::kRead);
    std::string rest;
    EXPECT_EQ(client.Drain(rest), 90);
    EXPECT_EQ(client.Next(true).events, 0u) << "nothing to report once drained";
}

TEST(SocketNotifications, ANotificationIsNotRepeatedUntilRecvIsCalled) {
    ScriptedServer server(Script().Send("first").Pause(20).Send("second").Stall());
    Client client;
    ASSERT_TRUE(client.Connect(server.host(), server.port()));
    ASSERT_EQ(client.Next().events & platform::kConnect, platform::kConnect);
    ASSERT_EQ(client.Next().events, platform::kRead);
    // Without a Recv the socket stays quiet, however much more arrives.
    EXPECT_EQ(client.Next(true).events, 0u);
}

TEST(SocketNotifications, CloseComesOnceAfterEveryByteWasRead) {
    const std::string payload(5000, 'c');
    ScriptedServer server(Script().Send(payload).Close());
    Client client;
    ASSERT_TRUE(client.Connect(server.host(), server.port()));
    std::string received;
    int closes = 0;
    bool closedBeforeData = false;
    for (int round = 0; round < 1000 && closes == 0; ++round) {
        platform::NetworkEvents events = client.Next();
        if (events.events & platform::kClose) {
            ++closes;
            closedBeforeData = received.size() < payload.size();
            EXPECT_EQ(events.closeError, platform::kSocketOk);
        }
        if (events.events & platform::kRead)
            client.Drain(received);
    }
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(closedBeforeData);
    EXPECT_EQ(received, payload);
    EXPECT_EQ(client.Next(true).events, 0u) << "the close is reported once";
}

TEST(SocketNotifications, AResetIsReported) {
    ScriptedServer server(Script().Send("x").Pause(20).Reset());
    Client client;
    ASSERT_TRUE(client.Connect(server.host(), server.port()));
    bool sawFailure = false;
    for (int round = 0; round < 100 && !sawFailure; ++round) {
        platform::NetworkEvents events = client.Next();
        if (events.events & platform::kClose) {
            sawFailure = events.closeError == platform::kConnectionReset;
            break;
        }
        if (events.events & platform::kRead) {
            std::string into;
            char buffer[64];
            int error = 0;
            while (client.socket.Recv(buffer, sizeof buffer, &error) > 0) {
            }
            if (error == platform::kConnectionReset)
                sawFailure = true;
        }
    }
    EXPECT_TRUE(sawFailure);
}

TEST(SocketNotifications, AFailedConnectReportsItsErrorAndNothingElse) {
    std::uint16_t port = 0;
    {
        platform::TcpListener listener;
        ASSERT_TRUE(listener.Listen(false));
        port = listener.port();
    }
    Client client;
    platform::ResolveResult resolved = platform::Resolve("127.0.0.1", std::to_string(port));
    ASSERT_FALSE(resolved.addresses.empty());
    ASSERT_TRUE(client.socket.Create(resolved.addresses.front().family));
    ASSERT_TRUE(client.socket.EventSelect(client.event, kAll));
    int error = client.socket.Connect(resolved.addresses.front());
    if (error == platform::kConnectionRefused)
        GTEST_SKIP() << "this system refuses loopback connects at once";
    ASSERT_EQ(error, platform::kWouldBlock);
    platform::NetworkEvents events = client.Next();
    EXPECT_EQ(events.events, platform::kConnect);
    EXPECT_EQ(events.connectError, platform::kConnectionRefused);
    EXPECT_EQ(client.Next(true).events, 0u) << "no write, read or close follows a failed connect";
}

TEST(SocketNotifications, ResolvesAndConnectsOverIPv6) {
    ScriptedServer server(Script().Send("six").Close(), ScriptedServer::Family::IPv6);
    ASSERT_TRUE(server.listening());
    platform::ResolveResult resolved = platform::Resolve("::1", std::to_string(server.port()));
    ASSERT_EQ(resolved.error, platform::kSocketOk);
    ASSERT_FALSE(resolved.addresses.empty());
    // The address carries its own length: larger than an IPv4 one.
    EXPECT_GT(resolved.addresses.front().address.size(), 16u);
    Client client;
    ASSERT_TRUE(client.Connect("::1", server.port()));
    EXPECT_EQ(client.Next().connectError, platform::kSocketOk);
}

TEST(SocketNotifications, AnUnknownHostIsNotFound) {
    platform::ResolveResult resolved = platform::Resolve("no-such-host.invalid", "80");
    EXPECT_NE(resolved.error, platform::kSocketOk);
    EXPECT_TRUE(resolved.addresses.empty());
}

} // namespace
