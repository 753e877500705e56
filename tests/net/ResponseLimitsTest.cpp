// How much one response may bring in: the item counts a header may announce, and the body bytes an
// exchange reads before it ends as invalid data, with servers that send without end over loopback.

#include "net/ResponseLimits.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkPacket_RequestApplicationUpdateInfo.h"
#include "net/MyNetworkPacket_RequestStationInfo.h"
#include "net/MyNetworkPacket_RequestStationsConnectionData.h"
#include "net/MyNetworkPacket_RequestStreamChatRowList.h"
#include "net/MyNetworkPacket_RequestStreamData.h"
#include "net/MyNetworkPacket_RequestTrackInfoList.h"
#include "support/CatalogueResponses.h"
#include "support/ExchangeDriver.h"
#include "support/RecordingExchange.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace testsupport;

namespace {

constexpr std::string_view kInvalidData =
    "NetworkError == NETWORKERROR_INVALIDDATA!\r\n\r\n(file: NetworkPackets";

// Far more than any limit: the server sends until the client closes.
constexpr std::uint64_t kWithoutEnd = std::uint64_t(1) << 40;

bool OnlyInvalidDataBox(const RecordingMessageBoxes& boxes) {
    auto texts = boxes.utf8();
    return texts.size() == 1 && texts[0].rfind(kInvalidData, 0) == 0;
}

std::shared_ptr<const StationConnectionData> StationAt(const ScriptedServer& server) {
    auto data = std::make_shared<StationConnectionData>(server.host());
    data->stationId = 5;
    data->port = server.port();
    return data;
}

class ListCountTest : public ::testing::Test {
protected:
    // Offers a header alone; answers whether the exchange still reads (the count was taken).
    bool HeaderTaken(MyNetworkPacketBase& exchange, const std::string& header) {
        return FeedBodyInOne(exchange, header);
    }

    RecordingMessageBoxes boxes;
    CatalogueHarness harness;
};

TEST_F(ListCountTest, EachListTakesCountsUpToItsCapAndRefusesOneMore) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<MyNetworkPacketBase>()> make;
        std::function<std::string(std::int32_t)> header;
        std::int64_t cap;
    };
    const std::vector<Case> cases = {
        {"chat",
         [&] {
             return std::make_unique<MyNetworkPacket_RequestStreamChatRowList>(&harness.context,
                                                                               harness.station, 5, 77);
         },
         [](std::int32_t n) { return ChatHeader(n); }, 2'000'000},
        {"tracks",
         [&] {
             return std::make_unique<MyNetworkPacket_RequestTrackInfoList>(&harness.context, harness.station,
                                                                           5, 77);
         },
         [](std::int32_t n) { return TrackListHeader(n); }, 10'000},
        {"streams",
         [&] {
             return std::make_unique<MyNetworkPacket_RequestStationInfo>(&harness.context, harness.station,
                                                                         5);
         },
         [](std::int32_t n) { return StationHeader(5, "Station", "About", n); }, 100'000},
        {"stations",
         [&] {
             return std::make_unique<MyNetworkPacket_RequestStationsConnectionData>(
                 &harness.context, StationConnectionData("dir.example"));
         },
         [](std::int32_t n) { return DirectoryHeader(n); }, 10'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            auto exchange = c.make();
            EXPECT_TRUE(HeaderTaken(*exchange, c.header(static_cast<std::int32_t>(c.cap))));
            EXPECT_EQ(boxes.count(), 0u);
        }
        for (std::int64_t count : {c.cap + 1, std::int64_t(0x7FFFFFFF)}) {
            boxes.Clear();
            auto exchange = c.make();
            EXPECT_FALSE(HeaderTaken(*exchange, c.header(static_cast<std::int32_t>(count)))) << count;
            EXPECT_TRUE(OnlyInvalidDataBox(boxes)) << count;
        }
        harness.Settle();
        boxes.Clear();
    }
}

TEST(ResponseBodyLimit, EveryKindHasALimitAndStreamDataIsBoundByItsWindow) {
    MyAppContext context;
    auto station = std::make_shared<StationConnectionData>("station.example");
    EXPECT_EQ(MyNetworkPacket_RequestStreamChatRowList(&context, station, 5, 77).bodyLimit(),
              kMaxChatBodyBytes);
    EXPECT_EQ(MyNetworkPacket_RequestTrackInfoList(&context, station, 5, 77).bodyLimit(),
              kMaxTrackListBodyBytes);
    EXPECT_EQ(MyNetworkPacket_RequestStationInfo(&context, station, 5).bodyLimit(), kMaxStationInfoBodyBytes);
    EXPECT_EQ(MyNetworkPacket_RequestStationsConnectionData(&context, StationConnectionData("dir.example"))
                  .bodyLimit(),
              kMaxDirectoryBodyBytes);
    EXPECT_EQ(MyNetworkPacket_RequestApplicationUpdateInfo(&context, StationConnectionData("up.example"))
                  .bodyLimit(),
              kMaxUpdateInfoBodyBytes);
    EXPECT_EQ(MyNetworkPacket_RequestStreamData(&context, station, 5, 77, 0, 524288, 1).bodyLimit(), 524288u);
    // The limits hold far more than the largest honest answers the counts allow, and still bound memory.
    EXPECT_GE(kMaxChatBodyBytes, std::uint64_t(64) << 20);
    EXPECT_LE(kMaxChatBodyBytes, std::uint64_t(1) << 30);
}

// A recording exchange with a small limit, against a server that plays `script`.
struct LimitedRun {
    std::shared_ptr<ExchangeRecord> record = std::make_shared<ExchangeRecord>();
    ExchangeOutcome outcome;
};

LimitedRun RunLimited(const Script& script, std::uint64_t limit, std::size_t expectedLength = 0) {
    MyAppContext context;
    ScriptedServer server(script);
    LimitedRun run;
    RecordingExchangeOptions options;
    options.expectedLength = expectedLength;
    RecordingExchange exchange(&context, StationAt(server), run.record, options);
    exchange.SetBodyLimit(limit);
    run.outcome = DriveExchange(exchange, std::chrono::seconds(20));
    EXPECT_FALSE(exchange.connected());
    return run;
}

TEST(ResponseBodyLimit, ABodyUpToTheLimitIsReadAndOneBytePastItEndsAsInvalidData) {
    const std::string body(3000, 'b');
    for (bool chunked : {false, true}) {
        SCOPED_TRACE(chunked ? "chunked" : "plain");
        auto respond = [&](const std::string& content) {
            if (!chunked)
                return HttpResponse(content);
            char size[16];
            std::snprintf(size, sizeof size, "%zx\r\n", content.size());
            return HttpResponse(size + content + "\r\n0\r\n\r\n", {"Transfer-Encoding: chunked"});
        };
        {
            RecordingMessageBoxes boxes;
            LimitedRun run = RunLimited(Script().AwaitRequest().Send(respond(body)).Close(), body.size());
            ASSERT_TRUE(run.outcome.ended);
            EXPECT_EQ(run.record->Body(), body);
            EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
            EXPECT_EQ(boxes.count(), 0u);
        }
        {
            RecordingMessageBoxes boxes;
            LimitedRun run =
                RunLimited(Script().AwaitRequest().Send(respond(body + "x")).Stall(), body.size());
            ASSERT_TRUE(run.outcome.ended);
            EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_INVALIDDATA});
            EXPECT_TRUE(OnlyInvalidDataBox(boxes));
        }
        {
            // A result that completes within the limit ends normally whatever the same read brings after.
            RecordingMessageBoxes boxes;
            LimitedRun run = RunLimited(Script().AwaitRequest().Send(respond(body + "trailing")).Stall(),
                                        body.size(), body.size());
            ASSERT_TRUE(run.outcome.ended);
            EXPECT_TRUE(run.record->resultDelivered);
            EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_NONE});
            EXPECT_EQ(boxes.count(), 0u);
        }
    }
}

TEST(ResponseBodyLimit, AServerSendingWithoutEndIsCutOffAtTheLimit) {
    RecordingMessageBoxes boxes;
    constexpr std::uint64_t kLimit = std::uint64_t(1) << 20;
    LimitedRun run = RunLimited(
        Script().AwaitRequest().Send("HTTP/1.1 200 OK\r\n\r\n").Repeat(std::string(1000, 'z'), kWithoutEnd),
        kLimit);
    ASSERT_TRUE(run.outcome.ended) << "the exchange ends by itself, long before the time-outs";
    EXPECT_EQ(run.record->disconnects, std::vector<NetworkError>{NETWORKERROR_INVALIDDATA});
    EXPECT_TRUE(OnlyInvalidDataBox(boxes));
    // Never more than one read past the limit was taken.
    EXPECT_LE(run.record->Body().size(), kLimit + MyNetworkPacketBase::kReceiveBufferSize);
}

// The real exchanges on a real network thread, against stations that never stop sending.
class EndlessStationTest : public ::testing::Test {
protected:
    void SetUp() override {
        context.mediaHandler = &media;
        context.networkHandler = &network;
        ASSERT_TRUE(media.Start());
        ASSERT_TRUE(network.Start());
    }
    void TearDown() override {
        network.Stop();
        EXPECT_TRUE(network.WaitForEnd(5000));
        media.Stop();
        EXPECT_TRUE(media.WaitForEnd(5000));
    }
    void Name(const ScriptedServer& server) {
        auto station = std::make_unique<StationConnectionData>(server.host());
        station->stationId = 5;
        station->port = server.port();
        network.AddStationConnectionData(std::move(station));
    }
    // Waits for the one end message of an exchange that delivered nothing.
    JournalEntry OnlyEmptyResult(std::int32_t type) {
        // Up to 128 MiB pass through the parser first, which takes a while under the sanitizers.
        EXPECT_TRUE(WaitFor([&] { return journal.size() >= 1 && network.exchangesInFlight() == 0; },
                            std::chrono::seconds(120)));
        auto entries = journal.Take();
        EXPECT_EQ(entries.size(), 1u);
        if (entries.empty())
            return {};
        EXPECT_EQ(entries[0].type, type);
        return std::move(entries[0]);
    }

    RecordingMessageBoxes boxes;
    MyAppContext context;
    Journal journal;
    RecordingMediaThread media{&context, &journal};
    MyNetworkHandler network{&context};
};

TEST_F(EndlessStationTest, ATrackListThatRepeatsItsHeaderForEverEndsAtItsByteLimit) {
    // Headers add no track, so the list never completes; only the byte limit (32 MiB) ends it.
    ScriptedServer server(Script()
                              .AwaitRequest()
                              .Send("HTTP/1.1 200 OK\r\n\r\n")
                              .Repeat(TrackListHeader(static_cast<std::int32_t>(kMaxTracks)), kWithoutEnd));
    Name(server);
    network.GetTrackInfoList(5, 77);
    JournalEntry result = OnlyEmptyResult(MediaHandlerMessageType_AddTrackInfoList);
    EXPECT_EQ(result.trackList, nullptr);
    EXPECT_TRUE(OnlyInvalidDataBox(boxes)) << (boxes.count() ? boxes.utf8()[0] : "no box");
    EXPECT_TRUE(server.WaitForConnectionsDone(1, std::chrono::seconds(10)));
}

TEST_F(EndlessStationTest, ATrackListOfExactlyItsByteLimitIsReadAndOneRecordMoreIsNot) {
    const std::string header = TrackListHeader(static_cast<std::int32_t>(kMaxTracks));
    ASSERT_EQ(kMaxTrackListBodyBytes % header.size(), 0u);
    const std::uint64_t fit = kMaxTrackListBodyBytes / header.size();
    for (std::uint64_t records : {fit, fit + 1}) {
        SCOPED_TRACE(records);
        boxes.Clear();
        ScriptedServer server(
            Script().AwaitRequest().Send("HTTP/1.1 200 OK\r\n\r\n").Repeat(header, records).Close());
        Name(server);
        network.GetTrackInfoList(5, 77);
        JournalEntry result = OnlyEmptyResult(MediaHandlerMessageType_AddTrackInfoList);
        EXPECT_EQ(result.trackList, nullptr);
        if (records == fit)
            EXPECT_EQ(boxes.count(), 0u) << "the close, not the limit, ended it";
        else
            EXPECT_TRUE(OnlyInvalidDataBox(boxes)) << (boxes.count() ? boxes.utf8()[0] : "no box");
    }
}

TEST_F(EndlessStationTest, AStationRepeatingOneStreamForEverEndsAtItsByteLimit) {
    // The same stream id again and again replaces one entry: memory stays flat, the count is never
    // reached, and the byte limit (128 MiB) ends the exchange.
    StreamFields stream;
    stream.text1.assign(1500, 's');
    ScriptedServer server(Script()
                              .AwaitRequest()
                              .Send("HTTP/1.1 200 OK\r\n\r\n" + StationHeader(4, "Endless", "", 2))
                              .Repeat(StreamRecord(stream), kWithoutEnd));
    Name(server);
    network.GetStationInfo(5);
    JournalEntry result = OnlyEmptyResult(MediaHandlerMessageType_AddStationInfo);
    EXPECT_EQ(result.info, nullptr);
    EXPECT_TRUE(OnlyInvalidDataBox(boxes)) << (boxes.count() ? boxes.utf8()[0] : "no box");
}

} // namespace
