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
    MediaHandlerMessageType_AddChatSyncPoints = 13,
    MediaHandlerMessageType_SetPlaySpeed = 14,
    MediaHandlerMessageType_SetLoudnessLevelling = 15,
};

// Two forms: a start at a fraction of the stream (startFraction 0 to 1, startSeconds 0), or a start at a
// time (startFraction -1, startSeconds the offset in whole seconds).
struct MyMediaHandlerMessage_StartPlayStream : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_StartPlayStream;
    MyMediaHandlerMessage_StartPlayStream(std::int32_t stationId, std::int32_t streamId, float startFraction,
                                          std::uint32_t startSeconds)
        : MyMediaHandlerMessage(kType), stationId(stationId), streamId(streamId),
          startFraction(startFraction), startSeconds(startSeconds) {}
    std::int32_t stationId;
    std::int32_t streamId;
    float startFraction;
    std::uint32_t startSeconds;
};

struct MyMediaHandlerMessage_SetPlayPos : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_SetPlayPos;
    explicit MyMediaHandlerMessage_SetPlayPos(float position)
        : MyMediaHandlerMessage(kType), position(position) {}
    float position; // fraction 0 to 1
};

struct MyMediaHandlerMessage_Pause : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_Pause;
    MyMediaHandlerMessage_Pause() : MyMediaHandlerMessage(kType) {}
};

struct MyMediaHandlerMessage_Continue : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_Continue;
    MyMediaHandlerMessage_Continue() : MyMediaHandlerMessage(kType) {}
};

struct MyMediaHandlerMessage_SetVolume : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_SetVolume;
    MyMediaHandlerMessage_SetVolume(float volume, float balance)
        : MyMediaHandlerMessage(kType), volume(volume), balance(balance) {}
    float volume;  // 0 to 1
    float balance; // -1 (left only) to 1 (right only)
};

struct MyMediaHandlerMessage_SetMute : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_SetMute;
    explicit MyMediaHandlerMessage_SetMute(bool muted) : MyMediaHandlerMessage(kType), muted(muted) {}
    bool muted;
};

// Sent by the audio device's completion callback. The header is the device's; the playback side gives
// it back to the device layer when it handles the message.
// The speed of playback in tenths: 10 plays as recorded, 15 one and a half times as fast.
struct MyMediaHandlerMessage_SetPlaySpeed : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_SetPlaySpeed;
    explicit MyMediaHandlerMessage_SetPlaySpeed(std::int32_t tenths)
        : MyMediaHandlerMessage(kType), tenths(tenths) {}
    std::int32_t tenths;
};

// Loudness levelling on or off.
struct MyMediaHandlerMessage_SetLoudnessLevelling : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_SetLoudnessLevelling;
    explicit MyMediaHandlerMessage_SetLoudnessLevelling(bool on) : MyMediaHandlerMessage(kType), on(on) {}
    bool on;
};

struct MyMediaHandlerMessage_ReturnUsedWaveHeader : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_ReturnUsedWaveHeader;
    explicit MyMediaHandlerMessage_ReturnUsedWaveHeader(platform::WaveHeader* waveHeader)
        : MyMediaHandlerMessage(kType), waveHeader(waveHeader) {}
    platform::WaveHeader* waveHeader;
};

struct MyMediaHandlerMessage_RequestStationInfo : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_RequestStationInfo;
    explicit MyMediaHandlerMessage_RequestStationInfo(std::int32_t stationId)
        : MyMediaHandlerMessage(kType), stationId(stationId) {}
    std::int32_t stationId;
};

struct MyMediaHandlerMessage_AddMp3Data : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddMp3Data;
    MyMediaHandlerMessage_AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag,
                                     bool requestFinished, bool lastStreamData = false)
        : MyMediaHandlerMessage(kType), block(std::move(block)), tag(tag), requestFinished(requestFinished),
          lastStreamData(lastStreamData) {}
    std::unique_ptr<Mp3DataBlock> block; // may be null: a request that ended without (more) data
    // Full blocks of the same request that came before `block`, oldest first: the network thread hands
    // on every block one read brought in one message, so that fast streams do not pay a message each.
    std::vector<std::unique_ptr<Mp3DataBlock>> earlierBlocks;
    std::int32_t tag;     // the request number of the series the block belongs to
    bool requestFinished; // the last message of its request
    bool lastStreamData;  // always false from the network side
};

struct MyMediaHandlerMessage_AddTrackInfoList : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddTrackInfoList;
    MyMediaHandlerMessage_AddTrackInfoList(std::int32_t stationId, std::int32_t streamId,
                                           std::unique_ptr<TrackInfoList> list)
        : MyMediaHandlerMessage(kType), stationId(stationId), streamId(streamId), list(std::move(list)) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::unique_ptr<TrackInfoList> list; // null when the exchange ended without a list
};

struct MyMediaHandlerMessage_AddStreamChatRowList : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddStreamChatRowList;
    MyMediaHandlerMessage_AddStreamChatRowList(std::int32_t stationId, std::int32_t streamId,
                                               std::unique_ptr<StreamChatRowList> list)
        : MyMediaHandlerMessage(kType), stationId(stationId), streamId(streamId), list(std::move(list)) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::unique_ptr<StreamChatRowList> list; // null when the exchange ended without rows
};

struct MyMediaHandlerMessage_AddStationInfo : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddStationInfo;
    explicit MyMediaHandlerMessage_AddStationInfo(std::unique_ptr<StationInfoData> info)
        : MyMediaHandlerMessage(kType), info(std::move(info)) {}
    std::unique_ptr<StationInfoData> info; // null when the exchange ended without a record
};

struct MyMediaHandlerMessage_AddStationIdList : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddStationIdList;
    explicit MyMediaHandlerMessage_AddStationIdList(StationIdList ids)
        : MyMediaHandlerMessage(kType), ids(std::move(ids)) {}
    StationIdList ids;
};

struct MyMediaHandlerMessage_AddChatSyncPoints : MyMediaHandlerMessage {
    static constexpr std::int32_t kType = MediaHandlerMessageType_AddChatSyncPoints;
    MyMediaHandlerMessage_AddChatSyncPoints(std::int32_t stationId, std::int32_t streamId,
                                            std::unique_ptr<ChatSyncPoints> points)
        : MyMediaHandlerMessage(kType), stationId(stationId), streamId(streamId), points(std::move(points)) {}
    std::int32_t stationId;
    std::int32_t streamId;
    std::unique_ptr<ChatSyncPoints> points; // the station's default sync points of the show
};
