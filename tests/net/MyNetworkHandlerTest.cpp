// The network thread: in-flight limit, station table, refusals, with recording exchanges over loopback.

#include "net/MyNetworkHandler.h"
#include "app/MyAppContext.h"
#include "media/MyMediaHandlerMessages.h"
#include "support/Deadline.h"
#include "support/RecordingExchange.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

using testsupport::ExchangeRecord;
using testsupport::HttpResponse;
using testsupport::RecordingExchange;
using testsupport::Script;
using testsupport::ScriptedServer;
using testsupport::WaitFor;

// Builds recording exchanges: station requests go to their station's record, the others to `server`.
class Factory {
public:
    explicit Factory(const ScriptedServer* server) : server_(server) {}

    MyNetworkHandler::ExchangeFactory function() {
        return [this](MyAppContext* context, const MyNetworkHandlerMessage& message,
                      std::shared_ptr<const StationConnectionData> station)
                   -> std::unique_ptr<MyNetworkPacketBase> {
            std::lock_guard guard(lock_);
            types_.push_back(message.type);
            if (dropAll_)
                return nullptr;
            if (!station) {
                auto own = std::make_shared<StationConnectionData>(server_->host());
                own->port = server_->port();
                station = own;
            }
            auto record = std::make_shared<ExchangeRecord>();
            records_.push_back(record);
            return std::make_unique<RecordingExchange>(context, std::move(station), record);
        };
    }

    std::vector<std::int32_t> types() const {
        std::lock_guard guard(lock_);
        return types_;
    }
    std::shared_ptr<ExchangeRecord> record(std::size_t index) const {
        std::lock_guard guard(lock_);
        return index < records_.size() ? records_[index] : nullptr;
    }
    void DropAll() {
        std::lock_guard guard(lock_);
        dropAll_ = true;
    }

private:
    const ScriptedServer* server_;
    mutable std::mutex lock_;
    std::vector<std::int32_t> types_;
    std::vector<std::shared_ptr<ExchangeRecord>> records_;
    bool dropAll_ = false;
};

// A started network thread, stopped and waited for at the end of the test.
class RunningHandler {
public:
    RunningHandler(MyAppContext* context, MyNetworkHandler::ExchangeFactory factory)
        : handler(context, std::move(factory)) {
        context->networkHandler = &handler;
        EXPECT_TRUE(handler.Start());
    }
    ~RunningHandler() {
        handler.Stop();
        EXPECT_TRUE(handler.WaitForEnd(5000));
    }
    MyNetworkHandler handler;
};

std::unique_ptr<StationConnectionData> Station(std::int32_t id, const ScriptedServer& server) {
    auto data = std::make_unique<StationConnectionData>(server.host());
    data->stationId = id;
    data->port = server.port();
    data->name = u"Station " + std::u16string(1, static_cast<char16_t>(u'0' + id));
    return data;
}

TEST(MyNetworkHandler, SixtyExchangesInFlightThenLaterRequestsWaitInOrderUntilOneEnds) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Stall().Send(HttpResponse("done")).Close());
    Factory factory(&server);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    MyNetworkHandler& handler = running.handler;

    for (int i = 0; i < 60; ++i)
        handler.GetStationsConnectionData();
    ASSERT_TRUE(WaitFor([&] { return handler.exchangesInFlight() == 60; }));
    ASSERT_TRUE(server.WaitForConnections(60));
    ASSERT_TRUE(WaitFor([&] { return server.stalled() == 60; })) << "every request was sent";
    EXPECT_EQ(boxes.count(), 0u);

    handler.GetApplicationUpdateInfo();
    handler.GetApplicationUpdateDownload();
    ASSERT_TRUE(WaitFor([&] { return handler.requestsWaiting() == 2; }));
    EXPECT_EQ(handler.exchangesInFlight(), 60u);
    EXPECT_EQ(server.connections(), 60u) << "a waiting request has not connected yet";
    EXPECT_EQ(factory.types().size(), 60u) << "its exchange is built only when it starts";

    // Each exchange that ends lets the oldest waiting request start.
    ASSERT_TRUE(server.ReleaseOne());
    ASSERT_TRUE(server.WaitForConnections(61));
    ASSERT_TRUE(WaitFor([&] { return handler.requestsWaiting() == 1 && handler.exchangesInFlight() == 60; }));
    ASSERT_TRUE(server.ReleaseOne());
    ASSERT_TRUE(server.WaitForConnections(62));
    ASSERT_TRUE(WaitFor([&] { return handler.requestsWaiting() == 0; }));

    // Release stalls as they come (the last connections may still be on their way to their stalls).
    ASSERT_TRUE(WaitFor([&] {
        server.Release();
        return handler.exchangesInFlight() == 0;
    }));
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? boxes.utf8()[0] : "");
    const std::vector<std::int32_t> types = factory.types();
    ASSERT_EQ(types.size(), 62u);
    EXPECT_EQ(types[60], NetworkHandlerMessageType_GetApplicationUpdateInfo);
    EXPECT_EQ(types[61], NetworkHandlerMessageType_GetApplicationUpdateDownload);
    for (std::size_t i = 0; i < 62; ++i) {
        auto record = factory.record(i);
        ASSERT_TRUE(record);
        EXPECT_TRUE(WaitFor([&] { return record->Destroyed(); })) << "exchange " << i << " was deleted";
        EXPECT_EQ(record->Body(), "done") << i;
    }
}

TEST(MyNetworkHandler, StationRequestsForAnUnknownStationAreRefusedWithABox) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Close());
    Factory factory(&server);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    running.handler.GetStreamData(5, 1, 1, 0);
    running.handler.GetTrackInfoList(5, 1);
    running.handler.GetStreamChatRowList(5, 1);
    running.handler.GetStationInfo(5);
    ASSERT_TRUE(WaitFor([&] { return boxes.count() == 4; }));
    for (const std::string& text : boxes.utf8())
        EXPECT_EQ(text.rfind("StationConnectionData not found!\r\n\r\n(file: NetworkHandler, row: ", 0), 0u);
    EXPECT_TRUE(factory.types().empty()) << "no exchange was built";
    EXPECT_EQ(server.connections(), 0u);
}

// A message of another receiver, or one with a number no request has, is never read as a request: with
// a station known, the media thread's messages numbered 0 to 7 start nothing and show nothing.
TEST(MyNetworkHandler, MessagesThatAreNoRequestOfItsOwnAreIgnored) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Send(HttpResponse("x")).Close());
    Factory factory(&server);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    running.handler.AddStationConnectionData(Station(3, server));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_StartPlayStream>(3, 10, 0.0f, 0));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_SetPlayPos>(0.5f));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_Pause>());
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_Continue>());
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_SetVolume>(1.0f, 0.0f));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_SetMute>(true));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(nullptr));
    running.handler.QueueMessage(std::make_unique<MyMediaHandlerMessage_RequestStationInfo>(3));
    running.handler.QueueMessage(std::make_unique<MyNetworkHandlerMessage>(99));
    // A real request after them: once it is built, every message before it has been handled.
    running.handler.GetStationInfo(3);
    ASSERT_TRUE(server.WaitForConnectionsDone(1));
    EXPECT_EQ(factory.types(), (std::vector<std::int32_t>{3}));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(MyNetworkHandler, StationRequestsUseTheStationsRecord) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Send(HttpResponse("x")).Close());
    Factory factory(&server);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    running.handler.AddStationConnectionData(Station(3, server));
    running.handler.GetStreamData(3, 10, 1, 0);
    running.handler.GetTrackInfoList(3, 10);
    running.handler.GetStreamChatRowList(3, 10);
    running.handler.GetStationInfo(3);
    ASSERT_TRUE(server.WaitForConnectionsDone(4));
    EXPECT_EQ(factory.types(), (std::vector<std::int32_t>{0, 1, 2, 3}));
    ASSERT_TRUE(WaitFor([&] { return running.handler.exchangesInFlight() == 0; }));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(MyNetworkHandler, TheSameStationIdTwiceReplacesTheRecordWhileTheOldOneStaysValidForItsExchange) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer first(Script().AwaitRequest().Stall().Send(HttpResponse("first")).Close());
    ScriptedServer second(Script().AwaitRequest().Send(HttpResponse("second")).Close());
    Factory factory(&first);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    running.handler.AddStationConnectionData(Station(8, first));
    running.handler.GetStationInfo(8);
    ASSERT_TRUE(WaitFor([&] { return first.stalled() == 1; }));

    // The directory lists station 8 again, now on the second server.
    running.handler.AddStationConnectionData(Station(8, second));
    running.handler.GetStationInfo(8);
    ASSERT_TRUE(second.WaitForConnectionsDone(1));
    ASSERT_TRUE(WaitFor([&] { return factory.record(1) && factory.record(1)->Destroyed(); }));
    EXPECT_EQ(factory.record(1)->port, second.port());
    EXPECT_EQ(factory.record(1)->Body(), "second");

    first.Release();
    ASSERT_TRUE(WaitFor([&] { return factory.record(0)->Destroyed(); }));
    EXPECT_EQ(factory.record(0)->port, first.port());
    EXPECT_EQ(factory.record(0)->Body(), "first");
    EXPECT_NE(first.request(0).find("HOST: " + first.host()), std::string::npos);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(MyNetworkHandler, ARequestWithoutAnExchangeIsDroppedQuietly) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Close());
    Factory factory(&server);
    factory.DropAll();
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    running.handler.GetStationsConnectionData();
    running.handler.GetApplicationUpdateInfo();
    ASSERT_TRUE(WaitFor([&] { return factory.types().size() == 2; }));
    EXPECT_EQ(running.handler.exchangesInFlight(), 0u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(MyNetworkHandler, TheDefaultFactoryBuildsTheDirectoryAndBothUpdateExchanges) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Close());
    testsupport::ScopedEnvironment directory("VANTRI_DIRECTORY",
                                             "127.0.0.1:" + std::to_string(server.port()));
    testsupport::ScopedEnvironment updateServer("VANTRI_UPDATE_SERVER",
                                                "127.0.0.1:" + std::to_string(server.port()));
    MyAppContext context;
    MyNetworkHandler handler(&context);
    // Handled on this thread: the directory exchange connects and waits for its events.
    MyNetworkHandlerMessage_GetStationsConnectionData message;
    handler.HandleMessage(&message);
    EXPECT_EQ(handler.exchangesInFlight(), 1u);
    MyNetworkHandlerMessage_GetApplicationUpdateInfo update;
    handler.HandleMessage(&update);
    MyNetworkHandlerMessage_GetApplicationUpdateDownload download;
    handler.HandleMessage(&download);
    EXPECT_EQ(handler.exchangesInFlight(), 3u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(MyNetworkHandler, AFailedConnectShowsBothBoxesAndLeavesNothingInFlight) {
    testsupport::RecordingMessageBoxes boxes;
    ScriptedServer server(Script().AwaitRequest().Close());
    Factory factory(&server);
    MyAppContext context;
    RunningHandler running(&context, factory.function());
    auto unresolvable = std::make_unique<StationConnectionData>("no-such-host.invalid");
    unresolvable->stationId = 4;
    running.handler.AddStationConnectionData(std::move(unresolvable));
    running.handler.GetStationInfo(4);
    ASSERT_TRUE(WaitFor([&] { return boxes.count() == 2; }));
    auto texts = boxes.utf8();
    EXPECT_TRUE(texts[0].rfind("error == WSAHOST_NOT_FOUND!", 0) == 0 ||
                texts[0].rfind("error == ?!", 0) == 0);
    EXPECT_EQ(texts[1].rfind("DoConnect FAILED!\r\n\r\n(file: NetworkHandler, row: ", 0), 0u);
    // The boxes come before the exchange is let go: wait for that too.
    ASSERT_TRUE(WaitFor([&] { return factory.record(0)->Destroyed(); }));
    EXPECT_TRUE(WaitFor([&] { return running.handler.exchangesInFlight() == 0u; }));
    EXPECT_TRUE(factory.record(0)->Ended()) << "a request that never started ends as a failed one";

    // The thread goes on serving.
    running.handler.AddStationConnectionData(Station(4, server));
    running.handler.GetStationInfo(4);
    EXPECT_TRUE(server.WaitForConnectionsDone(1));
}

TEST(MyNetworkHandler, UnknownMessageTypesAreIgnored) {
    testsupport::RecordingMessageBoxes boxes;
    MyAppContext context;
    MyNetworkHandler handler(&context, nullptr);
    MyNetworkHandlerMessage unknown(42);
    handler.HandleMessage(&unknown);
    MyNetworkHandlerMessage_AddStationConnectionData empty(nullptr);
    handler.HandleMessage(&empty);
    EXPECT_EQ(boxes.count(), 0u);
}

} // namespace
