#include "media/MyMediaHandler.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "app/ShowErrorBox.h"
#include "net/MyNetworkHandler.h"
#include "net/MyNetworkHandlerMessages.h"

#include <algorithm>

MyMediaHandler::MyMediaHandler(MyAppContext* context) : context(context) {}

MyMediaHandler::~MyMediaHandler() {
    // The thread must not outlive the fields it works on.
    Stop();
    WaitForEnd(5000);
}

void MyMediaHandler::HandleMessage(MyMessageBase* message) {
    switch (message->type) {
    case MediaHandlerMessageType_StartPlayStream:
        if (auto* m = MessageAs<MyMediaHandlerMessage_StartPlayStream>(*message))
            HandleStartPlayStream(*m);
        break;
    case MediaHandlerMessageType_SetPlayPos:
        if (auto* m = MessageAs<MyMediaHandlerMessage_SetPlayPos>(*message))
            HandleSetPlayPos(*m);
        break;
    case MediaHandlerMessageType_Pause:
        if (auto* m = MessageAs<MyMediaHandlerMessage_Pause>(*message))
            HandlePause(*m);
        break;
    case MediaHandlerMessageType_Continue:
        if (auto* m = MessageAs<MyMediaHandlerMessage_Continue>(*message))
            HandleContinue(*m);
        break;
    case MediaHandlerMessageType_SetVolume:
        if (auto* m = MessageAs<MyMediaHandlerMessage_SetVolume>(*message))
            HandleSetVolume(*m);
        break;
    case MediaHandlerMessageType_SetMute:
        if (auto* m = MessageAs<MyMediaHandlerMessage_SetMute>(*message))
            HandleSetMute(*m);
        break;
    case MediaHandlerMessageType_ReturnUsedWaveHeader:
        if (auto* m = MessageAs<MyMediaHandlerMessage_ReturnUsedWaveHeader>(*message)) {
            HandleReturnUsedWaveHeader(*m);
            ApplyStreamDataRequestRule();
        }
        break;
    case MediaHandlerMessageType_RequestStationInfo:
        if (auto* m = MessageAs<MyMediaHandlerMessage_RequestStationInfo>(*message))
            HandleRequestStationInfo(*m);
        break;
    case MediaHandlerMessageType_AddMp3Data:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddMp3Data>(*message))
            HandleAddMp3Data(*m);
        break;
    case MediaHandlerMessageType_AddTrackInfoList:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddTrackInfoList>(*message))
            HandleAddTrackInfoList(*m);
        break;
    case MediaHandlerMessageType_AddStreamChatRowList:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddStreamChatRowList>(*message))
            HandleAddStreamChatRowList(*m);
        break;
    case MediaHandlerMessageType_AddStationInfo:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddStationInfo>(*message))
            HandleAddStationInfo(*m);
        break;
    case MediaHandlerMessageType_AddStationIdList:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddStationIdList>(*message))
            HandleAddStationIdList(*m);
        break;
    case MediaHandlerMessageType_AddChatSyncPoints:
        if (auto* m = MessageAs<MyMediaHandlerMessage_AddChatSyncPoints>(*message))
            HandleAddChatSyncPoints(*m);
        break;
    case MediaHandlerMessageType_SetPlaySpeed:
        if (auto* m = MessageAs<MyMediaHandlerMessage_SetPlaySpeed>(*message))
            HandleSetPlaySpeed(*m);
        break;
    case MediaHandlerMessageType_SetLoudnessLevelling:
        if (auto* m = MessageAs<MyMediaHandlerMessage_SetLoudnessLevelling>(*message))
            HandleSetLoudnessLevelling(*m);
        break;
    default:
        break;
    }
}

// Sending operations.

void MyMediaHandler::StartPlayStream(std::int32_t stationId, std::int32_t streamId, float startFraction) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_StartPlayStream>(stationId, streamId, startFraction, 0u));
}

void MyMediaHandler::StartPlayStream(std::int32_t stationId, std::int32_t streamId,
                                     std::uint32_t startSeconds) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_StartPlayStream>(stationId, streamId, -1.0f, startSeconds));
}

void MyMediaHandler::SetPlayPos(float position) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_SetPlayPos>(position));
}

void MyMediaHandler::Pause() {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_Pause>());
}

void MyMediaHandler::Continue() {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_Continue>());
}

void MyMediaHandler::SetVolume(float volume, float balance) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_SetVolume>(volume, balance));
}

void MyMediaHandler::SetMute(bool muted) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_SetMute>(muted));
}

void MyMediaHandler::SetPlaySpeed(std::int32_t tenths) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_SetPlaySpeed>(tenths));
}

void MyMediaHandler::SetLoudnessLevelling(bool on) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_SetLoudnessLevelling>(on));
}

void MyMediaHandler::ReturnUsedWaveHeader(platform::WaveHeader* waveHeader) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_ReturnUsedWaveHeader>(waveHeader));
}

void MyMediaHandler::AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool requestFinished) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(block), tag, requestFinished, false));
}

void MyMediaHandler::AddMp3Data(std::vector<std::unique_ptr<Mp3DataBlock>> blocks, std::int32_t tag,
                                bool requestFinished) {
    std::unique_ptr<Mp3DataBlock> last;
    if (!blocks.empty()) {
        last = std::move(blocks.back());
        blocks.pop_back();
    }
    auto message =
        std::make_unique<MyMediaHandlerMessage_AddMp3Data>(std::move(last), tag, requestFinished, false);
    message->earlierBlocks = std::move(blocks);
    QueueMessage(std::move(message));
}

void MyMediaHandler::AddTrackInfoList(std::int32_t stationId, std::int32_t streamId,
                                      std::unique_ptr<TrackInfoList> list) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_AddTrackInfoList>(stationId, streamId, std::move(list)));
}

void MyMediaHandler::AddStreamChatRowList(std::int32_t stationId, std::int32_t streamId,
                                          std::unique_ptr<StreamChatRowList> list) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_AddStreamChatRowList>(stationId, streamId, std::move(list)));
}

void MyMediaHandler::AddStationInfo(std::unique_ptr<StationInfoData> info) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_AddStationInfo>(std::move(info)));
}

void MyMediaHandler::AddStationIdList(StationIdList ids) {
    QueueMessage(std::make_unique<MyMediaHandlerMessage_AddStationIdList>(std::move(ids)));
}

void MyMediaHandler::AddChatSyncPoints(std::int32_t stationId, std::int32_t streamId,
                                       std::unique_ptr<ChatSyncPoints> points) {
    QueueMessage(
        std::make_unique<MyMediaHandlerMessage_AddChatSyncPoints>(stationId, streamId, std::move(points)));
}

// Store lookups.

StationInfoData* MyMediaHandler::FindStation(std::int32_t stationId) const {
    auto it = stationStore.find(stationId);
    return it == stationStore.end() ? nullptr : it->second.get();
}

StreamInfoData* MyMediaHandler::FindStream(std::int32_t stationId, std::int32_t streamId) const {
    StationInfoData* station = FindStation(stationId);
    if (!station)
        return nullptr;
    auto it = station->streams.find(streamId);
    return it == station->streams.end() ? nullptr : it->second.get();
}

bool MyMediaHandler::IsCurrentStream(std::int32_t stationId, std::int32_t streamId) const {
    return currentStream && currentStream->stationId == stationId && currentStream->streamId == streamId;
}

void MyMediaHandler::SendToNetworkThread(std::unique_ptr<MyNetworkHandlerMessage> message) {
    if (context && context->networkHandler)
        context->networkHandler->QueueMessage(std::move(message));
}

// The stream-data request rule.

void MyMediaHandler::SendStreamDataRequest(std::uint64_t startOffset) {
    if (!currentStream)
        return;
    SendToNetworkThread(std::make_unique<MyNetworkHandlerMessage_GetStreamData>(
        currentStream->stationId, currentStream->streamId, requestTag, startOffset,
        kStreamDataRequestLength));
    requestStatus = RequestStatus_Mp3RequestPending;
}

void MyMediaHandler::ApplyStreamDataRequestRule() {
    if (requestStatus != RequestStatus_None || mp3Queue.size() >= maxQueuedBlocks || !currentStream)
        return;
    if (retryWaiting)
        return; // the retry pause after an early end decides when to ask again
    SendStreamDataRequest(receivedBytes);
}

std::uint32_t MyMediaHandler::QueueThresholdFor(const StreamInfoData& stream) {
    if (stream.duration == 0)
        return kMaxQueuedBlocks;
    const double bytesPerSecond = static_cast<double>(stream.size) / stream.duration;
    const double blocks = bytesPerSecond * kQueuedSeconds / Mp3DataBlock::kCapacity;
    // A request brings up to 128 blocks more, so a huge threshold would queue without end: keep it sane.
    const double bounded = std::min(blocks + 1.0, 4096.0);
    return std::max(kMaxQueuedBlocks, static_cast<std::uint32_t>(bounded));
}

bool MyMediaHandler::WantsStreamData() const {
    return currentStream && requestStatus == RequestStatus_None && mp3Queue.size() < maxQueuedBlocks &&
           receivedBytes < currentStream->size;
}

void MyMediaHandler::ScheduleRetry() {
    if (!WantsStreamData())
        return;
    retryWaiting = true;
    retryTimer.Arm(retryPause);
    retryPause = std::min(retryPause * 2, kLongestRetryPause);
}

void MyMediaHandler::RetryStreamDataRequest() {
    if (!retryWaiting)
        return;
    retryWaiting = false;
    if (playState != PlayState_Playing) {
        retryOnContinue = true; // paused: Continue asks again
        return;
    }
    if (!WantsStreamData())
        return;
    ++retriesMade_;
    SendStreamDataRequest(receivedBytes);
}

bool MyMediaHandler::HandleWaitHandle(platform::Event* handle) {
    if (handle == &retryTimer.event())
        RetryStreamDataRequest();
    return true;
}

// Catalogue side.

void MyMediaHandler::HandleRequestStationInfo(MyMediaHandlerMessage_RequestStationInfo& message) {
    if (StationInfoData* station = FindStation(message.stationId)) {
        if (context && context->callbacks)
            context->callbacks->StationInfo(station);
        return;
    }
    SendToNetworkThread(std::make_unique<MyNetworkHandlerMessage_GetStationInfo>(message.stationId));
}

void MyMediaHandler::HandleAddMp3Data(MyMediaHandlerMessage_AddMp3Data& message) {
    if (message.tag != requestTag) {
        // Blocks of an abandoned series; its request state belongs to the current series.
        message.block.reset();
        message.earlierBlocks.clear();
        return;
    }
    const bool earlyEnd = message.requestFinished && !message.block && message.earlierBlocks.empty();
    for (std::unique_ptr<Mp3DataBlock>& earlier : message.earlierBlocks)
        if (earlier && earlier->fill > 0)
            TakeMp3Block(std::move(earlier));
    message.earlierBlocks.clear();
    if (message.block && message.block->fill > 0)
        TakeMp3Block(std::move(message.block));
    if (message.requestFinished) {
        if (requestStatus == RequestStatus_Mp3RequestPending)
            requestStatus = RequestStatus_None;
        else if (message.block)
            ShowPlainErrorBox(u"RequestStatus != RequestStatus_Mp3RequestPending!");
        // Without a request nothing would ask again once the device has handed back every buffer.
        if (earlyEnd)
            ScheduleRetry();
        else if (headersInFlight == 0 && playState == PlayState_Playing)
            ApplyStreamDataRequestRule();
    }
    message.block.reset();
}

void MyMediaHandler::TakeMp3Block(std::unique_ptr<Mp3DataBlock> block) {
    retryPause = kFirstRetryPause; // data flows again
    receivedBytes += block->fill;
    mp3Queue.push_back(std::move(block));
    if (needDecodeStart) {
        int started = Mp3DecodeStart();
        if (started == -1) {
            ShowPlainErrorBox(u"Mp3DecodeStart FAILED!");
            ReportPlaybackFailure(PlaybackFailure_DecoderStart);
        } else if (started == 1)
            needDecodeStart = false;
    }
    if (!needDecodeStart && headersInFlight < kMaxHeadersInFlight)
        DecodeAndSubmit();
}

void MyMediaHandler::HandleAddTrackInfoList(MyMediaHandlerMessage_AddTrackInfoList& message) {
    if (!message.list)
        return;
    StationInfoData* station = FindStation(message.stationId);
    StreamInfoData* stream = FindStream(message.stationId, message.streamId);
    if (station && stream) {
        // A second list for the same stream is dropped with the message; the stored one stays.
        stream->SetTrackList(std::move(message.list));
        if (IsCurrentStream(message.stationId, message.streamId) && context && context->callbacks)
            context->callbacks->StreamInfo(station, currentStream, currentStream->trackList());
    }
    message.list.reset();
}

bool MyMediaHandler::IsStorableChatRow(const StreamChatRow& row) {
    return row.IsWellFormed();
}

void MyMediaHandler::HandleAddStreamChatRowList(MyMediaHandlerMessage_AddStreamChatRowList& message) {
    if (!message.list) {
        // The chat exchange ended without rows. The front end hears "no chat" as an empty list, so it
        // can tell it from "still loading" (a null list); the stream keeps no list, and a later start asks
        // again.
        if (IsCurrentStream(message.stationId, message.streamId) && !currentStream->chatRows() && context &&
            context->callbacks)
            context->callbacks->StreamChat(currentStream, &noChatRows);
        return;
    }
    StreamInfoData* stream = FindStream(message.stationId, message.streamId);
    if (!stream)
        return; // the message releases the rows
    if (!stream->chatRows()) {
        // Filtered and sorted in place before any callback names the list. The filter keeps arrival order,
        // and the stable sort keeps it among rows of equal time.
        std::unique_ptr<StreamChatRowList> rows = std::move(message.list);
        std::erase_if(*rows, [](const StreamChatRow& row) { return !IsStorableChatRow(row); });
        // Stations send their chat in time order; only a list out of order pays for the sort's buffer.
        const auto earlier = [](const StreamChatRow& a, const StreamChatRow& b) { return a.time < b.time; };
        if (!std::is_sorted(rows->begin(), rows->end(), earlier))
            std::stable_sort(rows->begin(), rows->end(), earlier);
        rows->shrink_to_fit();
        stream->SetChatRows(std::move(rows));
    }
    if (IsCurrentStream(message.stationId, message.streamId) && context && context->callbacks)
        context->callbacks->StreamChat(currentStream, currentStream->chatRows());
}

void MyMediaHandler::HandleAddStationInfo(MyMediaHandlerMessage_AddStationInfo& message) {
    if (!message.info)
        return;
    const std::int32_t stationId = message.info->stationId;
    if (stationStore.contains(stationId))
        return; // the first record stays; the message releases the new one
    StationInfoData* station = message.info.get();
    stationStore.emplace(stationId, std::move(message.info));
    if (context && context->callbacks)
        context->callbacks->StationInfo(station);
}

void MyMediaHandler::HandleAddChatSyncPoints(MyMediaHandlerMessage_AddChatSyncPoints& message) {
    // Kept with the stream, ordered, once; the main window reads them as the position moves.
    StreamInfoData* stream = FindStream(message.stationId, message.streamId);
    if (!stream || !message.points || stream->chatSync())
        return;
    stream->SetChatSync(std::make_unique<ChatSyncPoints>(OrderChatSyncPoints(std::move(*message.points))));
}

void MyMediaHandler::HandleAddStationIdList(MyMediaHandlerMessage_AddStationIdList& message) {
    // Handled later in this same drain, after the current message, in list order.
    for (std::int32_t id : message.ids)
        QueueMessage(std::make_unique<MyMediaHandlerMessage_RequestStationInfo>(id));
    message.ids.clear();
}
