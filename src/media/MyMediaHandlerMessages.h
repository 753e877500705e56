#pragma once
// Messages to the media thread. Each sending operation of MyMediaHandler allocates one, fills it and
// queues it with QueueMessage. What a message carries belongs to the media thread once queued; the
// handler keeps what it stores, and whatever is still held when the message is deleted is released with
// it.

#include "app/MyMessageBase.h"
#include "records/CatalogueRecords.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
struct WaveHeader;
}

class MyMediaHandlerMessage : public MyMessageBase {
public:
    using MyMessageBase::MyMessageBase;
};

enum MediaHandlerMessageType : std::int32_t {
    MediaHandlerMessageType_StartPlayStream = 0,
    MediaHandlerMessageType_SetPlayPos = 1,
    MediaHandlerMessageType_Pause = 2,
    MediaHandlerMessageType_Continue = 3,
    MediaHandlerMessageType_SetVolume = 4,
    MediaHandlerMessageType_SetMute = 5,
    MediaHandlerMessageType_ReturnUsedWaveHeader = 6,
    MediaHandlerMessageType_RequestStationInfo = 7,
    MediaHandlerMessageType_AddMp3Data = 8,
    MediaHandlerMessageType_AddTrackInfoList = 9,
    MediaHandlerMessageType_AddStreamChatRowList = 10,
    MediaHandlerMessageType_AddStationInfo = 11,
    MediaHandlerMessageType_AddStationIdList = 12,
};

// Two forms: a start at a fraction of the stream (startFraction 0 to 1, startSeconds 0), or a start at a
// time (startFraction -1, startSeconds the offset in whole seconds).
struct MyMediaHandlerMessage_StartPlayStream : MyMediaHandlerMessage {
    MyMediaHandlerMessage_StartPlayStream(std::int32_t stationId, std::int32_t streamId, float startFraction,
                                          std::uint32_t startSeconds)
        : MyMediaHandlerMessage(MediaHandlerMessageType_StartPlayStream), stationId(stationId),
          streamId(streamId), startFraction(startFraction), startSeconds(startSeconds) {}
    std::int32_t stationId;
    std::int32_t streamId;
    float startFraction;
    std::uint32_t startSeconds;
};

struct MyMediaHandlerMessage_SetPlayPos : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_SetPlayPos(float position)
        : MyMediaHandlerMessage(MediaHandlerMessageType_SetPlayPos), position(position) {}
    float position; // fraction 0 to 1
};

struct MyMediaHandlerMessage_Pause : MyMediaHandlerMessage {
    MyMediaHandlerMessage_Pause() : MyMediaHandlerMessage(MediaHandlerMessageType_Pause) {}
};

struct MyMediaHandlerMessage_Continue : MyMediaHandlerMessage {
    MyMediaHandlerMessage_Continue() : MyMediaHandlerMessage(MediaHandlerMessageType_Continue) {}
};

struct MyMediaHandlerMessage_SetVolume : MyMediaHandlerMessage {
    MyMediaHandlerMessage_SetVolume(float volume, float balance)
        : MyMediaHandlerMessage(MediaHandlerMessageType_SetVolume), volume(volume), balance(balance) {}
    float volume;  // 0 to 1
    float balance; // -1 (left only) to 1 (right only)
};

struct MyMediaHandlerMessage_SetMute : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_SetMute(bool muted)
        : MyMediaHandlerMessage(MediaHandlerMessageType_SetMute), muted(muted) {}
    bool muted;
};

// Sent by the audio device's completion callback. The header is the device's; the playback side gives
// it back to the device layer when it handles the message.
struct MyMediaHandlerMessage_ReturnUsedWaveHeader : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_ReturnUsedWaveHeader(platform::WaveHeader* waveHeader)
        : MyMediaHandlerMessage(MediaHandlerMessageType_ReturnUsedWaveHeader), waveHeader(waveHeader) {}
    platform::WaveHeader* waveHeader;
};

struct MyMediaHandlerMessage_RequestStationInfo : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_RequestStationInfo(std::int32_t stationId)
        : MyMediaHandlerMessage(MediaHandlerMessageType_RequestStationInfo), stationId(stationId) {}
    std::int32_t stationId;
};

struct MyMediaHandlerMessage_AddMp3Data : MyMediaHandlerMessage {
    MyMediaHandlerMessage_AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag,
                                     bool requestFinished, bool lastStreamData = false)
        : MyMediaHandlerMessage(MediaHandlerMessageType_AddMp3Data), block(std::move(block)), tag(tag),
          requestFinished(requestFinished), lastStreamData(lastStreamData) {}
    std::unique_ptr<Mp3DataBlock> block; // may be null: a request that ended without (more) data
    // Full blocks of the same request that came before `block`, oldest first: the network thread hands
    // on every block one read brought in one message, so that fast streams do not pay a message each.
    std::vector<std::unique_ptr<Mp3DataBlock>> earlierBlocks;
    std::int32_t tag;     // the request number of the series the block belongs to
    bool requestFinished; // the last message of its request
    bool lastStreamData;  // always false from the network side
};

struct MyMediaHandlerMessage_AddTrackInfoList : MyMediaHandlerMessage {
    MyMediaHandlerMessage_AddTrackInfoList(std::int32_t stationId, std::int32_t streamId,
                                           std::unique_ptr<TrackInfoList> list)
        : MyMediaHandlerMessage(MediaHandlerMessageType_AddTrackInfoList), stationId(stationId),
          streamId(streamId), list(std::move(list)) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::unique_ptr<TrackInfoList> list; // null when the exchange ended without a list
};

struct MyMediaHandlerMessage_AddStreamChatRowList : MyMediaHandlerMessage {
    MyMediaHandlerMessage_AddStreamChatRowList(std::int32_t stationId, std::int32_t streamId,
                                               std::unique_ptr<StreamChatRowList> list)
        : MyMediaHandlerMessage(MediaHandlerMessageType_AddStreamChatRowList), stationId(stationId),
          streamId(streamId), list(std::move(list)) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::unique_ptr<StreamChatRowList> list; // null when the exchange ended without rows
};

struct MyMediaHandlerMessage_AddStationInfo : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_AddStationInfo(std::unique_ptr<StationInfoData> info)
        : MyMediaHandlerMessage(MediaHandlerMessageType_AddStationInfo), info(std::move(info)) {}
    std::unique_ptr<StationInfoData> info; // null when the exchange ended without a record
};

struct MyMediaHandlerMessage_AddStationIdList : MyMediaHandlerMessage {
    explicit MyMediaHandlerMessage_AddStationIdList(StationIdList ids)
        : MyMediaHandlerMessage(MediaHandlerMessageType_AddStationIdList), ids(std::move(ids)) {}
    StationIdList ids;
};
