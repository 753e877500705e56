#pragma once
// A fault-injecting TCP proxy on loopback, between the player and a station server. It forwards every
// connection to the server; connections that ask for stream data ("getstreamdata/") are given faults,
// from a script or drawn at random from a fixed seed: a reset or an early close after some bytes, a
// stall of seconds in the middle of the body, a delayed first byte, or a trickle of small pieces. Its
// resolver answers names with 127.0.0.1 and, from a given lookup on, fails some of them.
//
// Each connection runs on its own thread; the destructor interrupts every wait and joins them all.

#include "net/NameLookup.h"
#include "platform/Event.h"
#include "platform/TcpListener.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

enum class Fault { None, Reset, CloseEarly, Stall, DelayFirstByte, Trickle };
const char* FaultName(Fault fault);

struct FaultPlan {
    std::uint64_t seed = 1;
    // Faults of the stream-data connections in order; once used up, faults are drawn at random.
    std::vector<Fault> script;
    double faultShare = 0.5;          // share of drawn faults that are not None
    int maxBytesBeforeFault = 300000; // a fault strikes after 0 to this many body bytes
    int minStallMilliseconds = 300;
    int maxStallMilliseconds = 3000;
    int trickleBytes = 65536; // how much is trickled, 512 bytes at a time
    // Lookups from this one on (counting from 1) fail when their number is a multiple of failEvery.
    int failLookupsFrom = 0; // 0: no lookup fails
    int failLookupsEvery = 3;
    // Searches of shows and tracks ("/searchtracks/") are answered 404, as by a server without search,
    // instead of being forwarded.
    bool searchNotFound = false;
};

class FaultProxy {
public:
    explicit FaultProxy(FaultPlan plan);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    // The server to forward to; set before the first connection arrives.
    void SetUpstream(std::uint16_t port) { upstream_ = port; }
    bool listening() const { return port_ != 0; }
    std::uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    NameResolver resolver();

    // Counts so far, from any thread.
    std::size_t connections() const { return connections_.load(); }
    std::size_t streamConnections() const { return streamConnections_.load(); }
    std::size_t searchesRefused() const { return searchesRefused_.load(); }
    std::size_t faults(Fault fault) const { return faultCounts_[static_cast<int>(fault)].load(); }
    std::size_t faultsInjected() const; // every kind but None, and failed lookups
    std::size_t failedLookups() const { return failedLookups_.load(); }

private:
    struct Choice {
        Fault fault = Fault::None;
        int bytes = 0;        // body bytes forwarded before the fault
        int milliseconds = 0; // stall or delay
    };
    void AcceptLoop();
    void Serve(std::unique_ptr<platform::TcpConnection> client);
    Choice Choose();
    // Waits `milliseconds` unless the proxy is ending; false when it is.
    bool Wait(int milliseconds);

    FaultPlan plan_;
    platform::TcpListener listener_;
    std::uint16_t port_ = 0;
    std::atomic<std::uint16_t> upstream_{0};
    platform::Event stop_;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::mt19937_64 random_;
    std::size_t scriptIndex_ = 0;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
    std::atomic<std::size_t> connections_{0};
    std::atomic<std::size_t> streamConnections_{0};
    std::atomic<std::size_t> searchesRefused_{0};
    std::atomic<std::size_t> faultCounts_[6] = {};
    std::atomic<int> lookups_{0};
    std::atomic<std::size_t> failedLookups_{0};
};

} // namespace testsupport
