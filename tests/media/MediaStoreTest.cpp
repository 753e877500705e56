// The media thread's station store: station information, the directory's id list, track lists and
// chat rows, and the callbacks each one posts.

#include "media/MediaHandlerProbe.h"
#include "support/Deadline.h"
#include "support/RecordingMessageBoxes.h"

#include <gtest/gtest.h>

#include <string>

using testsupport::MediaContext;
using testsupport::MediaHandlerProbe;

namespace {

std::unique_ptr<StationInfoData> MakeStation(std::int32_t stationId, std::vector<std::int32_t> streamIds,
                                             std::u16string name = u"Station") {
    auto station = std::make_unique<StationInfoData>(stationId);
    station->name = std::move(name);
    for (std::int32_t id : streamIds) {
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = stationId;
        stream->streamId = id;
        stream->hasChat = true;
        station->StoreStream(std::move(stream));
    }
    return station;
}

StreamChatRow Row(std::int32_t time, std::uint8_t kind, std::vector<std::u16string_view> args) {
    return StreamChatRow(time, kind, args);
}

std::unique_ptr<TrackInfoList> Tracks(std::vector<std::u16string> titles) {
    auto list = std::make_unique<TrackInfoList>();
    std::int32_t start = 0;
    for (auto& title : titles) {
        TrackInfo track;
        track.start = start;
        start += 60;
        track.text1 = title;
        list->push_back(std::move(track));
    }
    return list;
}

class MediaStoreTest : public ::testing::Test {
protected:
    void Store(std::unique_ptr<StationInfoData> station) {
        media.Handle(std::make_unique<MyMediaHandlerMessage_AddStationInfo>(std::move(station)));
    }
    void MakeCurrent(std::int32_t stationId, std::int32_t streamId) {
        media.currentStream = media.FindStream(stationId, streamId);
        ASSERT_NE(media.currentStream, nullptr);
    }

    testsupport::RecordingMessageBoxes boxes;
    MediaContext ui;
    MediaHandlerProbe media{&ui.context};
};

TEST_F(MediaStoreTest, NewStationIsStoredAndAnnouncedOnceWhileSecondRecordAndNullAreDiscarded) {
    Store(MakeStation(7, {1, 2}, u"First"));
    Store(MakeStation(7, {3}, u"Second"));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStationInfo>(nullptr));

    ASSERT_EQ(media.stationStore.size(), 1u);
    const StationInfoData* stored = media.FindStation(7);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->name, u"First");
    EXPECT_EQ(stored->streams.size(), 2u);

    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 1u);
    ASSERT_EQ(callbacks[0]->type, MyCallbacks::MessageType_StationInfo);
    EXPECT_EQ(static_cast<MyCallbacks::MyMainWindowMessage_StationInfoCallback&>(*callbacks[0]).station,
              stored);
    EXPECT_EQ(media.sentCount(), 0u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(MediaStoreTest, RequestStationInfoAnswersFromTheStoreOrAsksTheNetworkEveryTime) {
    Store(MakeStation(3, {1}));
    ui.TakeCallbacks();

    media.Handle(std::make_unique<MyMediaHandlerMessage_RequestStationInfo>(3));
    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(static_cast<MyCallbacks::MyMainWindowMessage_StationInfoCallback&>(*callbacks[0]).station,
              media.FindStation(3));
    EXPECT_EQ(media.sentCount(), 0u);

    // No check for a request already outstanding: the same absent station is asked for twice.
    media.Handle(std::make_unique<MyMediaHandlerMessage_RequestStationInfo>(9));
    media.Handle(std::make_unique<MyMediaHandlerMessage_RequestStationInfo>(9));
    auto sent = media.TakeSent();
    ASSERT_EQ(sent.size(), 2u);
    for (auto& message : sent) {
        ASSERT_EQ(message->type, NetworkHandlerMessageType_GetStationInfo);
        EXPECT_EQ(static_cast<MyNetworkHandlerMessage_GetStationInfo&>(*message).stationId, 9);
    }
    EXPECT_TRUE(ui.TakeCallbacks().empty());
}

TEST_F(MediaStoreTest, StationIdListBecomesRequestsInListOrderAfterTheCurrentMessage) {
    Store(MakeStation(20, {1}));
    ui.TakeCallbacks();
    ASSERT_TRUE(media.Start());

    media.AddStationIdList({});
    media.AddStationIdList({30, 20, 10});
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.sentCount() >= 2; }));
    auto callbacks = ui.TakeCallbacks(5000);

    auto sent = media.TakeSent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(static_cast<MyNetworkHandlerMessage_GetStationInfo&>(*sent[0]).stationId, 30);
    EXPECT_EQ(static_cast<MyNetworkHandlerMessage_GetStationInfo&>(*sent[1]).stationId, 10);
    ASSERT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(callbacks[0]->type, MyCallbacks::MessageType_StationInfo);
}

TEST_F(MediaStoreTest, EmptyStationIdListDoesNothing) {
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStationIdList>(StationIdList{}));
    ASSERT_TRUE(media.Start());
    // A marker message handled after anything the empty list might have queued.
    media.AddStationIdList({5});
    ASSERT_TRUE(testsupport::WaitFor([&] { return media.sentCount() >= 1; }));
    auto sent = media.TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(static_cast<MyNetworkHandlerMessage_GetStationInfo&>(*sent[0]).stationId, 5);
}

TEST_F(MediaStoreTest, TrackListIsStoredOnceAndTheCurrentStreamHearsOfTheStoredList) {
    Store(MakeStation(1, {10, 11}));
    MakeCurrent(1, 10);
    ui.TakeCallbacks();

    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(1, 10, Tracks({u"a", u"b"})));
    const TrackInfoList* stored = media.FindStream(1, 10)->trackList();
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->size(), 2u);
    EXPECT_EQ((*stored)[0].text1, u"a");
    EXPECT_EQ((*stored)[1].text1, u"b");

    // The second list is discarded; the callback carries the stored one.
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(1, 10, Tracks({u"x"})));
    EXPECT_EQ(media.FindStream(1, 10)->trackList(), stored);

    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 2u);
    for (auto& callback : callbacks) {
        ASSERT_EQ(callback->type, MyCallbacks::MessageType_StreamInfo);
        auto& info = static_cast<MyCallbacks::MyMainWindowMessage_StreamInfoCallback&>(*callback);
        EXPECT_EQ(info.station, media.FindStation(1));
        EXPECT_EQ(info.stream, media.currentStream);
        EXPECT_EQ(info.trackList, stored);
    }
}

TEST_F(MediaStoreTest, TrackListForAnotherStreamIsStoredSilentlyAndForAnAbsentOneDropped) {
    Store(MakeStation(1, {10, 11}));
    MakeCurrent(1, 10);
    ui.TakeCallbacks();

    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(1, 11, Tracks({u"a"})));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(1, 12, Tracks({u"a"})));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(2, 10, Tracks({u"a"})));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(1, 10, nullptr));

    EXPECT_NE(media.FindStream(1, 11)->trackList(), nullptr);
    EXPECT_EQ(media.FindStream(1, 10)->trackList(), nullptr);
    EXPECT_TRUE(ui.TakeCallbacks().empty());
}

TEST_F(MediaStoreTest, ChatRowsAreFilteredAndStablySortedByTime) {
    Store(MakeStation(1, {10}));
    MakeCurrent(1, 10);
    ui.TakeCallbacks();

    auto list = std::make_unique<StreamChatRowList>();
    list->push_back(Row(30, StreamChatRowKind_Message, {u"ann", u"third"}));
    list->push_back(Row(10, StreamChatRowKind_Message, {u"bob", u"first"}));
    list->push_back(Row(20, StreamChatRowKind_Join, {u"cid"}));
    list->push_back(Row(10, StreamChatRowKind_Action, {u"dee", u"also first"}));
    list->push_back(Row(-5, StreamChatRowKind_Plain, {u"before the start"}));
    list->push_back(Row(20, StreamChatRowKind_Message, {u"", u"empty sender"}));
    list->push_back(Row(10, StreamChatRowKind_Plain, {u"eve", u"first too"}));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 10, std::move(list)));

    const StreamChatRowList* rows = media.FindStream(1, 10)->chatRows();
    ASSERT_NE(rows, nullptr);
    std::vector<std::pair<std::int32_t, std::u16string>> got;
    for (const StreamChatRow& row : *rows)
        got.emplace_back(row.time, std::u16string(row.arg(row.argCount - 1)));
    std::vector<std::pair<std::int32_t, std::u16string>> want = {
        {-5, u"before the start"}, {10, u"first"}, {10, u"also first"},
        {10, u"first too"},        {20, u"cid"},   {30, u"third"}};
    EXPECT_EQ(got, want);

    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 1u);
    ASSERT_EQ(callbacks[0]->type, MyCallbacks::MessageType_StreamChat);
    auto& chat = static_cast<MyCallbacks::MyMainWindowMessage_StreamChatCallback&>(*callbacks[0]);
    EXPECT_EQ(chat.stream, media.currentStream);
    EXPECT_EQ(chat.chatRows, rows);
}

TEST_F(MediaStoreTest, SecondChatListIsDiscardedButTheCurrentStreamIsToldAgain) {
    Store(MakeStation(1, {10, 11}));
    MakeCurrent(1, 10);
    ui.TakeCallbacks();

    auto first = std::make_unique<StreamChatRowList>();
    first->push_back(Row(1, StreamChatRowKind_Join, {u"a"}));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 10, std::move(first)));
    const StreamChatRowList* stored = media.FindStream(1, 10)->chatRows();

    auto second = std::make_unique<StreamChatRowList>();
    second->push_back(Row(1, StreamChatRowKind_Join, {u"b"}));
    second->push_back(Row(2, StreamChatRowKind_Join, {u"c"}));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 10, std::move(second)));
    EXPECT_EQ(media.FindStream(1, 10)->chatRows(), stored);
    ASSERT_EQ(stored->size(), 1u);
    EXPECT_EQ((*stored)[0].arg(0), u"a");

    // Rows for a stream that is not current are stored without a callback.
    auto other = std::make_unique<StreamChatRowList>();
    other->push_back(Row(1, StreamChatRowKind_Join, {u"d"}));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 11, std::move(other)));
    EXPECT_NE(media.FindStream(1, 11)->chatRows(), nullptr);

    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 2u);
    for (auto& callback : callbacks)
        EXPECT_EQ(static_cast<MyCallbacks::MyMainWindowMessage_StreamChatCallback&>(*callback).chatRows,
                  stored);
}

TEST_F(MediaStoreTest, ChatEndWithoutRowsTellsTheFrontEndNoChatAndLeavesTheStreamAsItWas) {
    Store(MakeStation(1, {10, 11}));
    MakeCurrent(1, 10);
    ui.TakeCallbacks();

    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 10, nullptr));
    EXPECT_EQ(media.FindStream(1, 10)->chatRows(), nullptr);
    auto callbacks = ui.TakeCallbacks();
    ASSERT_EQ(callbacks.size(), 1u);
    auto& chat = static_cast<MyCallbacks::MyMainWindowMessage_StreamChatCallback&>(*callbacks[0]);
    EXPECT_EQ(chat.stream, media.FindStream(1, 10));
    ASSERT_NE(chat.chatRows, nullptr); // "no chat", where null means "still loading"
    EXPECT_TRUE(chat.chatRows->empty());

    // The end of another stream's chat exchange says nothing to the front end.
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 11, nullptr));
    EXPECT_TRUE(ui.TakeCallbacks().empty());

    // The rows can still arrive later (a new start asks again).
    auto list = std::make_unique<StreamChatRowList>();
    list->push_back(Row(1, StreamChatRowKind_Join, {u"a"}));
    media.Handle(std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(1, 10, std::move(list)));
    EXPECT_NE(media.FindStream(1, 10)->chatRows(), nullptr);
}

TEST_F(MediaStoreTest, ChatRowsForAnAbsentStationOrStreamAreDropped) {
    Store(MakeStation(1, {10}));
    for (auto [station, stream] : {std::pair{2, 10}, std::pair{1, 11}}) {
        auto list = std::make_unique<StreamChatRowList>();
        list->push_back(Row(1, StreamChatRowKind_Join, {u"a"}));
        media.Handle(
            std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(station, stream, std::move(list)));
    }
    EXPECT_EQ(media.FindStream(1, 10)->chatRows(), nullptr);
}

TEST(ChatRowFilter, EveryKindKeepsExactlyTheArgumentCountsItCanShow) {
    // For each kind, the argument counts 0 to 20 and whether a row with non-empty texts is stored.
    auto allowed = [](std::uint8_t kind, int n) {
        switch (kind) {
        case 0:
            return n == 1 || n == 2;
        case 1:
        case 2:
        case 6:
        case 7:
            return n == 2;
        case 3:
            return n == 1;
        case 4:
        case 5:
            return n == 1 || n == 2;
        case 8:
            return n >= 2;
        case 9:
            return n == 2 || n == 3;
        default:
            return false;
        }
    };
    std::vector<std::u16string> texts(StreamChatRow::kMaxArgs, u"t");
    for (int kind = 0; kind <= 255; ++kind) {
        for (int n = 0; n <= StreamChatRow::kMaxArgs; ++n) {
            std::vector<std::u16string_view> args(texts.begin(), texts.begin() + n);
            StreamChatRow row(0, static_cast<std::uint8_t>(kind), args);
            EXPECT_EQ(MyMediaHandler::IsStorableChatRow(row), allowed(static_cast<std::uint8_t>(kind), n))
                << "kind " << kind << ", " << n << " arguments";
        }
    }
}

TEST(ChatRowFilter, MessagesNeedBothSenderAndText) {
    EXPECT_TRUE(MyMediaHandler::IsStorableChatRow(Row(0, StreamChatRowKind_Message, {u"a", u"b"})));
    EXPECT_FALSE(MyMediaHandler::IsStorableChatRow(Row(0, StreamChatRowKind_Message, {u"", u"b"})));
    EXPECT_FALSE(MyMediaHandler::IsStorableChatRow(Row(0, StreamChatRowKind_Message, {u"a", u""})));
    // Only messages insist on non-empty texts.
    EXPECT_TRUE(MyMediaHandler::IsStorableChatRow(Row(0, StreamChatRowKind_Action, {u"", u""})));
    EXPECT_TRUE(MyMediaHandler::IsStorableChatRow(Row(0, StreamChatRowKind_Join, {u""})));
}

} // namespace
