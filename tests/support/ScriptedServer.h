#pragma once
// A scripted loopback HTTP-ish server for network tests and benchmarks.
//
// Each accepted connection plays a Script on its own thread, step by step, while everything the client
// sends is recorded. A script is built with chained calls:
//
//     testsupport::Script script;
//     script.AwaitRequest()                 // read until the request's empty line ("\r\n\r\n")
//           .Send("HTTP/1.1 200 OK\r\n")     // one chunk of bytes, sent as its own segment
//           .Pause(20)                       // milliseconds, still recording what arrives
//           .Send("\r\nbody")
//           .Close();                        // graceful end (FIN); or Reset() for a RST
//     testsupport::ScriptedServer server(script);   // every connection plays this script
//     ... connect to server.host() : server.port() ...
//     ASSERT_TRUE(server.WaitForConnectionsDone(1));
//     EXPECT_EQ(server.request(0), "GET / HTTP/1.1\r\n...");
//
// Stall() holds the connection open, sending nothing, until Release() or the server's end. A script that
// runs out of steps closes gracefully. Connection i plays scripts[i] when several scripts are given, and the
// last one for every later connection. The destructor interrupts every stall and wait and joins all threads.

#include "platform/Event.h"
#include "platform/TcpListener.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class Script {
public:
    enum class Kind { Send, Pause, AwaitRequest, Stall, Close, Reset };
    struct Step {
        Kind kind;
        std::string bytes;       // Send
        int milliseconds = 0;    // Pause
        std::uint64_t times = 1; // Send: how often the bytes go out, one after another
    };

    Script& Send(std::string bytes);
    // Sends `bytes` `times` times in a row, and stops early when the client has closed: a server that
    // sends without end, without the script holding it all at once.
    Script& Repeat(std::string bytes, std::uint64_t times);
    Script& Pause(int milliseconds);
    Script& AwaitRequest();
    Script& Stall();
    Script& Close();
    Script& Reset();

    const std::vector<Step>& steps() const { return steps_; }

private:
    std::vector<Step> steps_;
};

// A whole HTTP response with a 200 status line, the given extra header lines and the body.
std::string HttpResponse(const std::string& body, const std::vector<std::string>& headers = {});

class ScriptedServer {
public:
    enum class Family { IPv4, IPv6 };

    explicit ScriptedServer(Script script, Family family = Family::IPv4);
    explicit ScriptedServer(std::vector<Script> scripts, Family family = Family::IPv4);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    bool listening() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    // "127.0.0.1" or "::1".
    std::string host() const;

    // Connections accepted so far, and those whose script has ended.
    std::size_t connections() const;
    std::size_t connectionsDone() const;
    // Every byte received on connection `index` so far (empty for one not yet accepted).
    std::string request(std::size_t index) const;

    bool WaitForConnections(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    bool WaitForConnectionsDone(std::size_t count,
                                std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;
    // Waits until connection `index` has received a whole request (up to its empty line).
    bool WaitForRequest(std::size_t index, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Lets every connection stalled now go on with its next step.
    void Release();
    // Lets the oldest connection stalled now go on; false when none is stalled.
    bool ReleaseOne();
    // Connections stalled now.
    std::size_t stalled() const;

private:
    struct Connection;
    void AcceptLoop();
    void Play(Connection& connection, const Script& script);
    const Script& ScriptFor(std::size_t index) const;

    std::vector<Script> scripts_;
    platform::TcpListener listener_;
    std::uint16_t port_ = 0;
    bool ipv6_ = false;
    platform::Event stop_; // set once, at the end; wakes every blocking socket wait
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::thread acceptor_;
};

} // namespace testsupport
