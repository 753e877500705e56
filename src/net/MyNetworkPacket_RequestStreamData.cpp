#include "net/MyNetworkPacket_RequestStreamData.h"

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "net/StreamCache.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";

} // namespace

MyNetworkPacket_RequestStreamData::MyNetworkPacket_RequestStreamData(
    MyAppContext* context, std::shared_ptr<const StationConnectionData> station, std::int32_t stationId,
    std::int32_t streamId, std::uint64_t startOffset, std::int32_t length, std::int32_t requestNumber)
    : MyNetworkPacketBase(context, NetworkPacketType_RequestStreamData), stationId(stationId),
      streamId(streamId), requestNumber(requestNumber), startOffset(startOffset),
      length(static_cast<std::uint32_t>(length)) {
    connectionData = std::move(station);
    // The window: the parser ends the exchange when it is complete and never takes more.
    SetBodyLimit(this->length);
}

MyNetworkPacket_RequestStreamData::~MyNetworkPacket_RequestStreamData() = default;

std::string MyNetworkPacket_RequestStreamData::PathAndQuery() const {
    return "getstreamdata/?streamid=" + std::to_string(static_cast<std::uint32_t>(streamId)) +
           "&start=" + std::to_string(startOffset) + "&length=" + std::to_string(length);
}

bool MyNetworkPacket_RequestStreamData::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestStreamData::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

void MyNetworkPacket_RequestStreamData::Deliver(std::vector<std::unique_ptr<Mp3DataBlock>> blocks,
                                                bool requestFinished) {
    MyMediaHandler* media = context && !keepOnly_ ? context->mediaHandler : nullptr;
    if (media && !blocks.empty())
        media->AddMp3Data(std::move(blocks), requestNumber, requestFinished);
}

int MyNetworkPacket_RequestStreamData::HandleData(const char* data, int n) {
    const std::size_t available = n > 0 ? static_cast<std::size_t>(n) : 0;
    std::size_t taken = 0;
    // The blocks this read completes go to the media thread together, in one message.
    std::vector<std::unique_ptr<Mp3DataBlock>> done;
    for (;;) {
        if (!currentBlock)
            currentBlock = std::make_unique<Mp3DataBlock>();
        // Never past the window: bytes beyond it are not part of the request.
        const std::size_t room =
            std::min<std::size_t>(Mp3DataBlock::kCapacity - currentBlock->fill, length - received);
        const std::size_t part = std::min(available - taken, room);
        std::memcpy(currentBlock->data + currentBlock->fill, data + taken, part);
        currentBlock->fill = static_cast<std::uint16_t>(currentBlock->fill + part);
        received += static_cast<std::uint32_t>(part);
        if (cache_) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(data + taken);
            // The whole window at once: growing by doubling would copy it and hold half as much again.
            if (bytesForCache_.capacity() < length)
                bytesForCache_.reserve(length);
            bytesForCache_.insert(bytesForCache_.end(), bytes, bytes + part);
        }
        taken += part;

        const bool finished = received == length;
        if (finished || currentBlock->fill == Mp3DataBlock::kCapacity)
            done.push_back(std::move(currentBlock));
        if (finished) {
            Deliver(std::move(done), true);
            resultDelivered = true;
            Disconnect(NETWORKERROR_NONE);
            return -1;
        }
        if (taken == available) {
            Deliver(std::move(done), false);
            return n;
        }
    }
}

void MyNetworkPacket_RequestStreamData::Disconnect(NetworkError error) {
    MyNetworkPacketBase::Disconnect(error);
    currentBlock.reset(); // bytes of an unfinished block are dropped
    if (cache_ && !bytesForCache_.empty() && connectionData) {
        cache_->Store(StreamCache::StreamName(*connectionData, stationId, streamId), startOffset,
                      bytesForCache_);
        bytesForCache_ = {};
    }
    if (resultDelivered)
        return;
    resultDelivered = true; // exactly one finishing message per request
    if (MyMediaHandler* media = context && !keepOnly_ ? context->mediaHandler : nullptr)
        media->AddMp3Data(nullptr, requestNumber, true);
}
