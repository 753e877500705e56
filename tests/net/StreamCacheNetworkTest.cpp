// The network thread with a stream cache, against a scripted server on loopback: a window fetched once is
// answered from the cache with no connection, bytes held only in part are handed on as an exchange that
// ended early, and a damaged piece is fetched again with the server's bytes.

#include "media/MyMediaHandlerMessages.h"
#include "net/CatalogueHarness.h"
#include "net/MyNetworkHandler.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScratchFolder.h"
#include "support/ScriptedServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::string Pattern(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * 11 + i / 4096) & 0xFF);
    return out;
}

class StreamCacheNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        media = std::make_unique<RecordingMediaThread>(&context, &journal);
        network = std::make_unique<MyNetworkHandler>(&context);
        network->SetStreamCache(std::make_unique<StreamCache>(scratch.text()));
        context.mediaHandler = media.get();
        context.networkHandler = network.get();
        ASSERT_TRUE(media->Start());
        ASSERT_TRUE(network->Start());
        auto station = std::make_unique<StationConnectionData>(server.host());
        station->stationId = 3;
        station->port = server.port();
        record = *station;
        network->AddStationConnectionData(std::move(station));
    }
    void TearDown() override {
        network->Stop();
        EXPECT_TRUE(network->WaitForEnd(5000));
        network.reset();
        media.reset();
    }

    // Asks for a window and waits for its finishing message; answers the bytes handed on, in order.
    std::string Fetch(std::int32_t tag, std::uint64_t offset, std::int32_t length,
                      std::vector<JournalEntry>* entries = nullptr) {
        network->GetStreamData(3, 7, tag, offset, length);
        std::vector<JournalEntry> got;
        bool finished = false;
        WaitFor(
            [&] {
                for (auto& entry : journal.Take()) {
                    finished = finished || entry.requestFinished;
                    got.push_back(std::move(entry));
                }
                return finished;
            },
            std::chrono::seconds(30)); // the sanitizers and a loaded machine can make a loopback window slow
        EXPECT_TRUE(finished);
        std::string bytes;
        for (const auto& entry : got) {
            EXPECT_EQ(entry.tag, tag);
            if (entry.block)
                bytes.append(reinterpret_cast<const char*>(entry.block->data), entry.block->fill);
        }
        if (entries)
            *entries = std::move(got);
        return bytes;
    }

    fs::path PieceFile(std::uint64_t offset) {
        return fs::path(network->streamCache()->PiecePath(StreamCache::StreamName(record, 3, 7), offset));
    }

    RecordingMessageBoxes boxes;
    ScratchFolder scratch;
    const std::string body = Pattern(40000);
    ScriptedServer server{Script().AwaitRequest().Send(HttpResponse(body)).Close()};
    StationConnectionData record;
    MyAppContext context;
    Journal journal;
    std::unique_ptr<RecordingMediaThread> media;
    std::unique_ptr<MyNetworkHandler> network;
};

TEST_F(StreamCacheNetworkTest, AWindowFetchedOnceComesFromTheCacheWithoutAConnection) {
    ASSERT_EQ(Fetch(1, 1000, 40000), body);
    ASSERT_TRUE(server.WaitForConnectionsDone(1));
    EXPECT_NE(server.request(0).find("start=1000&length=40000"), std::string::npos)
        << "nothing cached yet: the request as always";

    // A seek back into those bytes: the same blocks, full ones and a last one partly filled.
    std::vector<JournalEntry> entries;
    EXPECT_EQ(Fetch(2, 5096, 20000), body.substr(4096, 20000));
    EXPECT_EQ(Fetch(3, 1000, 40000, &entries), body);
    ASSERT_EQ(entries.size(), 10u);
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        ASSERT_NE(entries[i].block, nullptr);
        EXPECT_EQ(entries[i].block->fill, 4096);
        EXPECT_FALSE(entries[i].requestFinished);
    }
    EXPECT_EQ(entries.back().block->fill, 40000 - 9 * 4096);
    EXPECT_TRUE(entries.back().requestFinished);
    EXPECT_EQ(server.connections(), 1u) << "no request left for bytes the cache holds";
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(StreamCacheNetworkTest, BytesHeldInPartEndAsAnExchangeThatStoppedEarly) {
    ASSERT_EQ(Fetch(1, 0, 40000), body);
    std::vector<JournalEntry> entries;
    EXPECT_EQ(Fetch(2, 30000, 524288, &entries), body.substr(30000));
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().block, nullptr) << "a finishing message without a block follows the bytes";
    EXPECT_TRUE(entries.back().requestFinished);
    EXPECT_EQ(server.connections(), 1u);
    // The bytes after them are asked of the server as before.
    Fetch(3, 40000, 524288);
    ASSERT_TRUE(server.WaitForConnectionsDone(2));
    EXPECT_NE(server.request(1).find("start=40000&length=524288"), std::string::npos);
}

TEST_F(StreamCacheNetworkTest, ADamagedPieceIsFetchedAgainAndTheServersBytesAreHandedOn) {
    ASSERT_EQ(Fetch(1, 0, 40000), body);
    // Kept as the exchange ends, just after its last block went.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(PieceFile(0)); }));
    {
        std::fstream io(PieceFile(0), std::ios::binary | std::ios::in | std::ios::out);
        io.seekp(StreamCache::kHeaderBytes + 20000);
        io.put(static_cast<char>(body[20000] ^ 0x40));
    }
    EXPECT_EQ(Fetch(2, 0, 40000), body);
    EXPECT_EQ(server.connections(), 2u);
    // Kept again, whole: the next time needs no server.
    EXPECT_EQ(Fetch(3, 0, 40000), body);
    EXPECT_EQ(server.connections(), 2u);

    fs::resize_file(PieceFile(0), 1000);
    EXPECT_EQ(Fetch(4, 0, 40000), body);
    EXPECT_EQ(server.connections(), 3u);
}

} // namespace
