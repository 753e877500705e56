// The network thread under faults: stalled servers and resolvers, requests that cannot start, and a new
// series of a stream ending the exchanges of its older series. The real exchanges run against scripted
// loopback servers; what they hand to the media thread is recorded.

#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandler.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// A resolver whose answers the test holds back: lookups of `slowHost` wait until Release, lookups of
// `missingHost` fail as an unknown name, every other name resolves normally.
class HeldResolver {
public:
    NameResolver function() {
        return [this](const std::string& host, const std::string& port) {
            if (host == "missing.example") {
                platform::ResolveResult failed;
                failed.error = platform::kHostNotFound;
                return failed;
            }
            if (host == "slow.example") {
                {
                    std::unique_lock guard(lock_);
                    ++waiting_;
                    ++active_;
                    changed_.notify_all();
                    changed_.wait(guard, [&] { return released_; });
                }
                platform::ResolveResult result = platform::Resolve("127.0.0.1", port);
                std::lock_guard guard(lock_);
                --active_;
                changed_.notify_all();
                return result;
            }
            return platform::Resolve(host, port);
        };
    }
    bool WaitForLookup() {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, 10s, [&] { return waiting_ > 0; });
    }
    void Release() {
        std::lock_guard guard(lock_);
        released_ = true;
        changed_.notify_all();
    }
    // Lets held lookups go and waits until none is inside this object any more.
    ~HeldResolver() {
        Release();
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return active_ == 0; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int waiting_ = 0;
    int active_ = 0;
    bool released_ = false;
};

class NetworkFaultsTest : public ::testing::Test {
protected:
    NetworkFaultsTest() { context.mediaHandler = &media; }
    ~NetworkFaultsTest() override {
        if (network) {
            network->Stop();
            network->WaitForEnd(5000);
        }
        resolver.Release();
    }

    void StartNetwork(MyNetworkHandler::Timeouts timeouts = {}) {
        network = std::make_unique<MyNetworkHandler>(&context);
        context.networkHandler = network.get();
        network->SetResolver(resolver.function());
        network->SetTimeouts(timeouts);
        ASSERT_TRUE(media.Start());
        ASSERT_TRUE(network->Start());
    }

    void AddStation(std::int32_t id, const std::string& host, std::uint16_t port) {
        auto data = std::make_unique<StationConnectionData>(host);
        data->stationId = id;
        data->port = port;
        network->AddStationConnectionData(std::move(data));
    }

    // Waits for the finishing message of series `tag`; answers whether it came, as an early end
    // (no block).
    bool WaitForEarlyEnd(std::int32_t tag, std::chrono::milliseconds timeout = 15s) {
        return WaitFor(
            [&] {
                for (auto& entry : journal.Take())
                    entries.push_back(std::move(entry));
                for (const auto& entry : entries)
                    if (entry.type == MediaHandlerMessageType_AddMp3Data && entry.tag == tag &&
                        entry.requestFinished && !entry.block)
                        return true;
                return false;
            },
            timeout);
    }

    RecordingMessageBoxes boxes;
    HeldResolver resolver;
    MyAppContext context;
    Journal journal;
    RecordingMediaThread media{&context, &journal};
    std::unique_ptr<MyNetworkHandler> network;
    std::vector<JournalEntry> entries;
};

// Short enough for a quick test, long enough that a loaded machine (or Wine starting its first
// threads) still delivers the bytes a server sends before the stall.
MyNetworkHandler::Timeouts Short() {
    MyNetworkHandler::Timeouts timeouts;
    timeouts.connect = 1000ms;
    timeouts.streamIdle = 1000ms;
    timeouts.catalogueIdle = 1000ms;
    return timeouts;
}

TEST_F(NetworkFaultsTest, AServerThatNeverAnswersOrStopsMidBodyTimesOutWithoutABox) {
    ScriptedServer silent(Script().AwaitRequest().Stall());
    ScriptedServer halfway(Script()
                               .AwaitRequest()
                               .Send("HTTP/1.1 200 OK\r\nContent-Length: 524288\r\n\r\n")
                               .Send(std::string(6000, 'x'))
                               .Stall());
    StartNetwork(Short());
    AddStation(1, silent.host(), silent.port());
    AddStation(2, halfway.host(), halfway.port());
    network->GetStreamData(1, 10, 5, 0);
    network->GetStreamData(2, 20, 6, 0);
    ASSERT_TRUE(WaitForEarlyEnd(5));
    ASSERT_TRUE(WaitForEarlyEnd(6));
    ASSERT_TRUE(WaitFor([&] { return network->exchangesInFlight() == 0; }));
    EXPECT_EQ(boxes.count(), 0u);
    // The full block that arrived before the stall was handed on.
    std::size_t blocks = 0;
    for (const auto& entry : entries)
        blocks += entry.tag == 6 && entry.block ? 1 : 0;
    EXPECT_EQ(blocks, 1u);
}

TEST_F(NetworkFaultsTest, ASlowLookupHoldsUpOnlyItsOwnExchangeAndTimesOut) {
    ScriptedServer server(Script().AwaitRequest().Send(HttpResponse(std::string(100, 'y'))).Close());
    MyNetworkHandler::Timeouts timeouts;
    timeouts.connect = 1500ms;
    StartNetwork(timeouts);
    AddStation(1, "slow.example", server.port());
    AddStation(2, server.host(), server.port());
    network->GetStreamData(1, 10, 1, 0);
    ASSERT_TRUE(resolver.WaitForLookup());
    // While the lookup hangs, another exchange runs to its end.
    network->GetStreamData(2, 20, 2, 0, 100);
    ASSERT_TRUE(WaitFor(
        [&] {
            for (auto& entry : journal.Take())
                entries.push_back(std::move(entry));
            for (const auto& entry : entries)
                if (entry.tag == 2 && entry.requestFinished && entry.block && entry.block->fill == 100)
                    return true;
            return false;
        },
        10s));
    // The hung lookup ends at the connect time-out, as an early end.
    ASSERT_TRUE(WaitForEarlyEnd(1));
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_EQ(server.connections(), 1u);
}

TEST_F(NetworkFaultsTest, RequestsThatCannotStartStillEndTheirSeries) {
    StartNetwork();
    // A station the directory has not named.
    network->GetStreamData(9, 1, 11, 0);
    ASSERT_TRUE(WaitForEarlyEnd(11));
    // A name that does not resolve: the resolver's box, the start's box, and the finishing message.
    AddStation(3, "missing.example", 80);
    network->GetStreamData(3, 1, 12, 0);
    ASSERT_TRUE(WaitForEarlyEnd(12));
    ASSERT_TRUE(WaitFor([&] { return boxes.count() == 3; }));
    auto texts = boxes.utf8();
    EXPECT_EQ(texts[0].rfind("StationConnectionData not found!", 0), 0u);
    EXPECT_EQ(texts[1].rfind("error == WSAHOST_NOT_FOUND!", 0), 0u);
    EXPECT_EQ(texts[2].rfind("DoConnect FAILED!", 0), 0u);
}

TEST_F(NetworkFaultsTest, TheSixtyFirstRequestWaitsAndANewerSeriesDropsItWithItsEnd) {
    ScriptedServer server(Script().AwaitRequest().Stall().Send(HttpResponse(std::string(100, 'd'))).Close());
    StartNetwork();
    AddStation(1, server.host(), server.port());
    // Sixty requests of sixty streams, so that none cancels another.
    for (int i = 0; i < 60; ++i)
        network->GetStreamData(1, 100 + i, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return network->exchangesInFlight() == 60 && server.stalled() == 60; }, 10s));
    network->GetStreamData(1, 500, 77, 0, 100);
    network->GetStreamData(1, 501, 80, 0, 100);
    ASSERT_TRUE(WaitFor([&] { return network->requestsWaiting() == 2; }));
    // A newer series of stream 501 ends its waiting request at once, as an early end.
    network->GetStreamData(1, 501, 81, 0, 100);
    ASSERT_TRUE(WaitForEarlyEnd(80));
    ASSERT_TRUE(WaitFor([&] { return network->requestsWaiting() == 2; }));
    EXPECT_EQ(server.connections(), 60u);
    // Places freed in flight go to the waiting requests, which run to their ends.
    ASSERT_TRUE(server.ReleaseOne());
    ASSERT_TRUE(server.ReleaseOne());
    auto delivered = [&](std::int32_t tag) {
        for (auto& entry : journal.Take())
            entries.push_back(std::move(entry));
        for (const auto& entry : entries)
            if (entry.tag == tag && entry.requestFinished && entry.block && entry.block->fill == 100)
                return true;
        return false;
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            server.Release();
            return delivered(77) && delivered(81);
        },
        15s));
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
    server.Release();
}

TEST_F(NetworkFaultsTest, ANewSeriesEndsTheOlderSeriesOfTheSameStreamOnly) {
    ScriptedServer server(Script().AwaitRequest().Send("HTTP/1.1 200 OK\r\n\r\n").Stall());
    StartNetwork();
    AddStation(1, server.host(), server.port());
    network->GetStreamData(1, 10, 1, 0);
    network->GetStreamData(1, 11, 1, 0); // another stream
    ASSERT_TRUE(WaitFor([&] { return server.stalled() == 2; }, 10s));
    for (std::int32_t tag = 2; tag <= 5; ++tag) // fast scrubbing
        network->GetStreamData(1, 10, tag, 100000 * tag);
    ASSERT_TRUE(WaitForEarlyEnd(4));
    ASSERT_TRUE(WaitFor([&] { return network->exchangesInFlight() == 2; }, 10s));
    // Series 1 to 4 of stream 10 ended; series 5 and the other stream's exchange run on.
    for (std::int32_t tag = 1; tag <= 4; ++tag)
        EXPECT_TRUE(WaitForEarlyEnd(tag, 1s)) << tag;
    EXPECT_EQ(boxes.count(), 0u);
    server.Release();
}

} // namespace
