// Shows kept for offline listening: the entry that finds them again, the cache never letting their pieces
// go to make room, keeping that goes on after a network failure and after a restart, and a kept show
// answered with its servers stopped (station, stream, track list, chat and bytes).

#include "net/KeptShow.h"
#include "app/MyCallbacks.h"
#include "media/MyMediaHandlerMessages.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandler.h"
#include "platform/Utf.h"
#include "support/CatalogueResponses.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

std::string Pattern(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 5 + i / 777) & 0xFF);
    return out;
}

std::vector<std::uint8_t> Bytes(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(i * seed);
    return out;
}

TEST(KeptShowEntry, ReadsBackWhatItWroteAndRefusesAPartOfIt) {
    KeptShow show;
    show.station.stationId = 3;
    show.station.name = u"Radio \u00e9\t\\One\n";
    show.station.host = "127.0.0.1";
    show.station.port = 8470;
    show.station.basePath = "/station/3/";
    show.streamId = 7;
    show.startTime = 1700000000;
    show.duration = 3600;
    show.size = 57600000;
    show.streamType = 2;
    show.hasChat = true;
    show.text1 = u"Friday\r\nMix";
    show.text3 = u"\u65e5\u672c";
    const std::string text = show.Encode();
    const auto back = KeptShow::Decode(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Encode(), text);
    EXPECT_EQ(back->station.name, show.station.name);
    EXPECT_EQ(back->text1, show.text1);
    EXPECT_EQ(back->size, 57600000u);
    const auto stream = back->MakeStreamInfo();
    EXPECT_EQ(stream->stationId, 3);
    EXPECT_EQ(stream->streamId, 7);
    EXPECT_EQ(stream->duration, 3600u);
    EXPECT_TRUE(stream->hasChat);
    EXPECT_FALSE(KeptShow::Decode(text.substr(0, text.find("size"))));
    EXPECT_FALSE(KeptShow::Decode("station x\n"));
}

TEST(KeptShowCache, APieceOfAKeptShowIsNeverRemovedToMakeRoomNorCountsAgainstTheLimit) {
    ScratchFolder scratch;
    const std::u16string kept = u"1-1-0123456789abcdef";
    const std::u16string other = u"1-2-0123456789abcdef";
    {
        StreamCache cache(scratch.text(), 250000);
        cache.SetKept(kept, true);
        ASSERT_TRUE(cache.Store(kept, 0, Bytes(200000, 3)));
        ASSERT_TRUE(cache.Store(kept, 200000, Bytes(200000, 5)));
        ASSERT_TRUE(cache.Store(other, 0, Bytes(100000, 7)));
        ASSERT_TRUE(cache.Store(other, 100000, Bytes(100000, 9)));
        EXPECT_EQ(cache.bytesHeld(), 200000u) << "the kept show's bytes are not counted";
        // The oldest piece is the kept show's; the other stream's go first.
        ASSERT_TRUE(cache.Store(other, 400000, Bytes(100000, 11)));
        EXPECT_TRUE(cache.HoldsPiece(kept, 0));
        EXPECT_FALSE(cache.HoldsPiece(other, 0));
        EXPECT_EQ(cache.FirstGap(kept, 400000), 400000u);
        EXPECT_EQ(cache.BytesOfStream(kept, 400000), 400000u);
    }
    // The next start knows it is kept.
    StreamCache again(scratch.text(), 250000);
    EXPECT_TRUE(again.IsKept(kept));
    EXPECT_EQ(again.KeptStreams(), std::vector<std::u16string>{kept});
    EXPECT_EQ(again.bytesHeld(), 200000u);
    ASSERT_TRUE(again.Store(other, 900000, Bytes(200000, 13)));
    EXPECT_TRUE(again.HoldsPiece(kept, 200000));
    again.ForgetStream(kept);
    EXPECT_FALSE(again.IsKept(kept));
    std::vector<std::uint8_t> out;
    EXPECT_EQ(again.Read(kept, 0, 10, out), 0u);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / std::filesystem::path(kept)));
}

// A network thread keeping shows into a cache folder, its results recorded by a media thread.
class Keeper {
public:
    Keeper(const std::u16string& folder, const ScriptedServer* server) {
        media = std::make_unique<RecordingMediaThread>(&context, &journal);
        network = std::make_unique<MyNetworkHandler>(&context);
        network->SetStreamCache(std::make_unique<StreamCache>(folder));
        context.mediaHandler = media.get();
        context.networkHandler = network.get();
        context.mainWindowHandle = &window;
        context.callbacks = &callbacks;
        EXPECT_TRUE(media->Start());
        EXPECT_TRUE(network->Start());
        if (server) {
            auto station = std::make_unique<StationConnectionData>(server->host());
            station->stationId = 3;
            station->port = server->port();
            station->name = u"Kept FM";
            network->AddStationConnectionData(std::move(station));
        }
    }
    ~Keeper() {
        network->Stop();
        EXPECT_TRUE(network->WaitForEnd(5000));
        network.reset();
        media.reset();
        platform::WindowMessage message;
        while (window.Take(message, 0))
            MyCallbacks::Receive(message.wParam);
    }
    // Waits until a KeepProgress callback reports `percent` for the show.
    bool WaitForProgress(std::int32_t percent) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            platform::WindowMessage message;
            if (!window.Take(message, 50))
                continue;
            auto callback = MyCallbacks::Receive(message.wParam);
            if (auto* progress =
                    dynamic_cast<MyCallbacks::MyMainWindowMessage_KeepProgressCallback*>(callback.get())) {
                percents.push_back(progress->percent);
                if (progress->percent == percent)
                    return true;
            }
        }
        return false;
    }
    // Waits for the first journal entry of `type` that brings something (the exchange that failed sends
    // an empty one first) and takes it.
    std::optional<JournalEntry> Next(std::int32_t type) {
        std::optional<JournalEntry> found;
        WaitFor([&] {
            for (auto& entry : journal.Take())
                if (!found && entry.type == type &&
                    (entry.info || entry.trackList || entry.chatRows || !entry.ids.empty()))
                    found = std::move(entry);
            return found.has_value();
        });
        return found;
    }

    MyAppContext context;
    platform::MessageQueue window;
    MyCallbacks callbacks{&context};
    Journal journal;
    std::unique_ptr<RecordingMediaThread> media;
    std::unique_ptr<MyNetworkHandler> network;
    std::vector<std::int32_t> percents;
};

std::unique_ptr<StreamInfoData> Show(std::uint64_t size) {
    auto owner = std::make_unique<StreamInfoData>();
    StreamInfoData& stream = *owner;
    stream.stationId = 3;
    stream.streamId = 7;
    stream.startTime = 1700000000;
    stream.duration = 10;
    stream.size = size;
    stream.streamType = 1;
    stream.hasChat = true;
    stream.text1 = u"Kept show";
    return owner;
}

const std::string kTracks = TrackListHeader(2) + TrackRecord(0, 0, 0, false, "First", "Tone") +
                            TrackRecord(5, 0, 0, false, "Second", "Tone");
const std::string kChat = ChatHeader(1) + ChatRowRecord(2, 1, {"alice", "hello"});

TEST(KeptShowNetwork, AKeepCutByTheNetworkGoesOnWhereItStoppedThenPlaysWithItsServersStopped) {
    RecordingMessageBoxes boxes;
    ScratchFolder scratch;
    const std::string body = Pattern(300000);
    // The first answer stops 120,000 bytes in; the second brings the rest, from where the first stopped.
    const std::size_t headBytes = HttpResponse(body).size() - body.size();
    const std::size_t firstBytes = 120000 - headBytes;
    {
        ScriptedServer server({Script().AwaitRequest().Send(HttpResponse(body).substr(0, 120000)).Close(),
                               Script().AwaitRequest().Send(HttpResponse(body.substr(firstBytes))).Close(),
                               Script().AwaitRequest().Send(HttpResponse(kTracks)).Close(),
                               Script().AwaitRequest().Send(HttpResponse(kChat)).Close()});
        Keeper keeper(scratch.text(), &server);
        keeper.network->KeepShow(*Show(body.size()), u"Kept FM");
        ASSERT_TRUE(keeper.WaitForProgress(100));
        ASSERT_TRUE(server.WaitForConnectionsDone(4));
        EXPECT_NE(server.request(0).find("start=0&length=300000"), std::string::npos) << server.request(0);
        // The second window starts at the first byte the first one did not bring.
        EXPECT_NE(server.request(1).find("start=" + std::to_string(firstBytes) +
                                         "&length=" + std::to_string(body.size() - firstBytes)),
                  std::string::npos)
            << server.request(1);
        EXPECT_NE(server.request(2).find("getstreaminfo/?streamid=7"), std::string::npos);
        EXPECT_NE(server.request(3).find("getstreamchat/?streamid=7"), std::string::npos);
        EXPECT_GT(keeper.percents.size(), 1u) << "progress shows on the way";
        EXPECT_TRUE(std::is_sorted(keeper.percents.begin(), keeper.percents.end()));
    }

    // The next start, with the directory and the station's server gone.
    ScopedEnvironment directory("VANTRI_DIRECTORY", std::string("127.0.0.1:1"));
    Keeper offline(scratch.text(), nullptr);
    ASSERT_TRUE(offline.WaitForProgress(100)) << "a kept show is reported as kept at the start";
    offline.network->GetStationsConnectionData();
    auto ids = offline.Next(MediaHandlerMessageType_AddStationIdList);
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->ids, StationIdList{3});
    offline.network->GetStationInfo(3);
    auto info = offline.Next(MediaHandlerMessageType_AddStationInfo);
    ASSERT_TRUE(info && info->info);
    EXPECT_EQ(info->info->name, u"Kept FM");
    ASSERT_EQ(info->info->streams.count(7), 1u);
    EXPECT_EQ(info->info->streams.at(7)->size, body.size());
    EXPECT_EQ(info->info->streams.at(7)->text1, u"Kept show");
    offline.network->GetTrackInfoList(3, 7);
    auto tracks = offline.Next(MediaHandlerMessageType_AddTrackInfoList);
    ASSERT_TRUE(tracks && tracks->trackList);
    ASSERT_EQ(tracks->trackList->size(), 2u);
    EXPECT_EQ(tracks->trackList->at(1).text1, u"Second");
    offline.network->GetStreamChatRowList(3, 7);
    auto chat = offline.Next(MediaHandlerMessageType_AddStreamChatRowList);
    ASSERT_TRUE(chat && chat->chatRows);
    EXPECT_EQ(chat->chatRows->size(), 1u);

    // Every byte of the recording, from the kept copy; a seek anywhere too.
    for (std::uint64_t start : {std::uint64_t{0}, std::uint64_t{250000}}) {
        offline.network->GetStreamData(3, 7, 9, start, 524288);
        std::string got;
        bool finished = false;
        WaitFor([&] {
            for (auto& entry : offline.journal.Take()) {
                if (entry.type != MediaHandlerMessageType_AddMp3Data)
                    continue;
                if (entry.block)
                    got.append(reinterpret_cast<const char*>(entry.block->data), entry.block->fill);
                finished = finished || entry.requestFinished;
            }
            return finished;
        });
        EXPECT_TRUE(finished);
        EXPECT_TRUE(got == body.substr(start)) << "from " << start;
    }
    EXPECT_EQ(boxes.count(), 0u) << (boxes.count() ? Utf16ToUtf8(boxes.texts().front()) : std::string());

    // Forgetting the copy removes it all.
    offline.network->ForgetShow(3, 7);
    ASSERT_TRUE(offline.WaitForProgress(-1));
    std::error_code error;
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path(), error));
}

} // namespace
