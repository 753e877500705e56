#pragma once
// A window of a stream's MP3 bytes ("getstreamdata/?streamid=&start=&length=" to the station's server).
// The body is the raw bytes, cut into 4096-byte blocks that go to the media thread as soon as the read
// that fills them has been taken (all the blocks of one read in one message), tagged with the request
// number; only the last block of a window can be partly filled, and it
// carries requestFinished. An exchange that ends early drops its partly filled block and sends one
// finishing message without a block, so that every request ends with exactly one finishing message.
// With a stream cache, every body byte taken (those of a dropped block too) is kept in it when the
// exchange ends, however it ends.

#include "net/MyNetworkPacketBase.h"
#include "records/CatalogueRecords.h"

#include <memory>
#include <string>
#include <vector>

class StreamCache;

class MyNetworkPacket_RequestStreamData : public MyNetworkPacketBase {
public:
    MyNetworkPacket_RequestStreamData(MyAppContext* context,
                                      std::shared_ptr<const StationConnectionData> station,
                                      std::int32_t stationId, std::int32_t streamId,
                                      std::uint64_t startOffset, std::int32_t length,
                                      std::int32_t requestNumber);
    ~MyNetworkPacket_RequestStreamData() override;

    bool SendRequest() override;
    // Takes everything it is given until the window is complete, then ends the exchange (-1).
    int HandleData(const char* data, int length) override;
    void Disconnect(NetworkError error) override;
    std::string RequestText() const;
    // Before the exchange starts: the body's bytes go into `cache` (owned by the network thread, which
    // outlives the exchange) when it ends.
    void KeepBytesIn(StreamCache* cache) { cache_ = cache; }
    // Before the exchange starts: the bytes only go into the cache (a show being kept for offline
    // listening); nothing is handed to the media thread.
    void KeepOnly() { keepOnly_ = true; }

    // Which series of which stream the exchange serves (read by the network thread to cancel old ones).
    const std::int32_t stationId; // not sent: each station has its own server
    const std::int32_t streamId;
    const std::int32_t requestNumber; // returned with every block

private:
    std::string PathAndQuery() const;
    void Deliver(std::vector<std::unique_ptr<Mp3DataBlock>> blocks, bool requestFinished);

    std::uint64_t startOffset; // bytes
    std::uint32_t length;      // bytes asked for
    std::unique_ptr<Mp3DataBlock> currentBlock;
    std::uint32_t received = 0; // body bytes taken so far
    StreamCache* cache_ = nullptr;
    bool keepOnly_ = false;
    std::vector<std::uint8_t> bytesForCache_;
};
