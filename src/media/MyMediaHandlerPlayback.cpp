// The playback side of the media thread: thread start and stop, message types 0 to 6, the decoder and
// the audio device.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "app/ShowErrorBox.h"
#include "media/MyMediaHandler.h"
#include "media/PlayEvent.h"
#include "media/PlayPosition.h"
#include "net/MyNetworkHandlerMessages.h"

#include <algorithm>

namespace {

// Callbacks go nowhere when the context has none.
MyCallbacks* CallbacksOf(MyAppContext* context) {
    return context ? context->callbacks : nullptr;
}

} // namespace

void MyMediaHandler::SetWaveOutOpener(platform::WaveOutOpener opener) {
    waveOutOpener = std::move(opener);
}

void MyMediaHandler::OnThreadStart() {
    if (!InitAudio())
        ShowPlainErrorBox(u"InitAudio FAILED!");
    Mp3DecoderLibraryInit();
    threadHandle().SetTimeCriticalPriority();
    AddWaitHandle(&retryTimer.event());
}

void MyMediaHandler::OnThreadStop() {
    waveOut.Close();
    headersInFlight = 0;
}

bool MyMediaHandler::InitAudio() {
    // volume and balance are still 0 here, so the device starts silent until the first volume message.
    const platform::WaveOutOpener& opener =
        waveOutOpener ? waveOutOpener : platform::WaveOutOpener(platform::OpenSystemWaveOut);
    return waveOut.InitAudio(
        opener, [this](platform::WaveHeader* header) { WaveOutDone(header); },
        MakeWaveOutVolume(volume, balance));
}

void MyMediaHandler::WaveOutDone(platform::WaveHeader* header) {
    ReturnUsedWaveHeader(header);
}

void MyMediaHandler::ReportPlaybackFailure(PlaybackFailure failure) {
    if (MyCallbacks* callbacks = CallbacksOf(context))
        callbacks->PlaybackFailure(failure);
}

void MyMediaHandler::ReportNoAudioDevice() {
    ShowPlainErrorBox(u"WaveOutHandle == NULL!");
    ReportPlaybackFailure(PlaybackFailure_NoAudioDevice);
}

void MyMediaHandler::HandleStartPlayStream(MyMediaHandlerMessage_StartPlayStream& message) {
    if (!waveOut.isOpen()) {
        ReportNoAudioDevice();
        return;
    }
    StationInfoData* station = FindStation(message.stationId);
    StreamInfoData* stream = FindStream(message.stationId, message.streamId);
    if (!station || !stream) {
        // The main window starts the stream again once the station's information has arrived.
        context->startLink.Set(message.stationId, message.streamId,
                               static_cast<std::int32_t>(message.startSeconds));
        return;
    }
    MyCallbacks* callbacks = CallbacksOf(context);
    if (const TrackInfoList* tracks = stream->trackList()) {
        if (callbacks)
            callbacks->StreamInfo(station, stream, tracks);
    } else {
        if (callbacks)
            callbacks->StreamInfo(station, stream, nullptr);
        SendToNetworkThread(
            std::make_unique<MyNetworkHandlerMessage_GetTrackInfoList>(message.stationId, message.streamId));
    }
    const StreamChatRowList* rows = stream->hasChat ? stream->chatRows() : nullptr;
    if (callbacks)
        callbacks->StreamChat(stream, rows);
    if (stream->hasChat && !rows)
        SendToNetworkThread(std::make_unique<MyNetworkHandlerMessage_GetStreamChatRowList>(message.stationId,
                                                                                           message.streamId));
    StartPlayAt(message.stationId, message.streamId, message.startFraction, message.startSeconds);
}

void MyMediaHandler::StartPlayAt(std::int32_t stationId, std::int32_t streamId, float startFraction,
                                 std::uint32_t startSeconds) {
    if (!waveOut.isOpen()) {
        ReportNoAudioDevice();
        return;
    }
    mp3Queue.clear();

    const PlayState oldState = playState;
    if (oldState == PlayState_Playing || oldState == PlayState_Paused) {
        playState = PlayState_Stopped;
        // The device hands every buffer back through its callback; those returns are handled after this.
        if (!waveOut.device()->Reset())
            ShowPlainErrorBox(u"waveOutReset FAILED!");
    }

    if (IsCurrentStream(stationId, streamId)) {
        if (oldState == PlayState_Paused) {
            // A seek while paused stays paused.
            playState = PlayState_Paused;
            waveOut.device()->Pause();
        } else {
            playState = PlayState_Playing;
            if (MyCallbacks* callbacks = CallbacksOf(context))
                callbacks->PlayEvent(PlayEvent_Playing);
        }
    } else {
        StreamInfoData* stream = FindStream(stationId, streamId);
        if (!stream)
            return;
        currentStream = stream;
        playState = PlayState_Playing;
        if (MyCallbacks* callbacks = CallbacksOf(context))
            callbacks->PlayEvent(PlayEvent_Playing);
    }

    ++requestTag;
    needDecodeStart = true;
    // The old position's decoder goes now: the buffers the reset hands back must not be refilled with
    // its audio, which would be heard after the seek and move the position backwards.
    decoder.reset();
    if (stretcher)
        stretcher->Reset();
    retryTimer.Disarm();
    retryWaiting = false;
    retryOnContinue = false;
    retryPause = kFirstRetryPause;
    maxQueuedBlocks = QueueThresholdFor(*currentStream);
    const std::uint64_t startOffset =
        StartOffsetOf(startFraction, startSeconds, currentStream->duration, currentStream->size);
    receivedBytes = startOffset;
    fedBytes = startOffset;
    SendStreamDataRequest(startOffset);
}

void MyMediaHandler::HandleSetPlayPos(MyMediaHandlerMessage_SetPlayPos& message) {
    if (!currentStream)
        return;
    StartPlayAt(currentStream->stationId, currentStream->streamId, message.position, 0);
    if (MyCallbacks* callbacks = CallbacksOf(context))
        callbacks->PlayPos(message.position);
}

void MyMediaHandler::HandlePause(MyMediaHandlerMessage_Pause&) {
    if (!waveOut.isOpen() || playState != PlayState_Playing)
        return;
    playState = PlayState_Paused;
    if (MyCallbacks* callbacks = CallbacksOf(context))
        callbacks->PlayEvent(PlayEvent_Paused);
    waveOut.device()->Pause();
}

void MyMediaHandler::HandleContinue(MyMediaHandlerMessage_Continue&) {
    if (!waveOut.isOpen() || playState != PlayState_Paused)
        return;
    playState = PlayState_Playing;
    if (MyCallbacks* callbacks = CallbacksOf(context))
        callbacks->PlayEvent(PlayEvent_Playing);
    waveOut.device()->Restart();
    // A retry that came due while paused is made now.
    if (retryOnContinue) {
        retryOnContinue = false;
        retryWaiting = true;
        RetryStreamDataRequest();
    }
}

void MyMediaHandler::HandleSetVolume(MyMediaHandlerMessage_SetVolume& message) {
    volume = message.volume;
    balance = message.balance;
    if (waveOut.isOpen() && !muted)
        waveOut.device()->SetVolume(MakeWaveOutVolume(volume, balance));
}

void MyMediaHandler::HandleSetMute(MyMediaHandlerMessage_SetMute& message) {
    muted = message.muted;
    if (waveOut.isOpen())
        waveOut.device()->SetVolume(MakeWaveOutVolume(muted ? 0.0f : volume, balance));
}

void MyMediaHandler::HandleReturnUsedWaveHeader(MyMediaHandlerMessage_ReturnUsedWaveHeader& message) {
    if (!waveOut.ReturnUsedWaveHeader(message.waveHeader))
        return; // not a header on the device: nothing was freed, nothing is decoded
    --headersInFlight;
    if (playState != PlayState_Stopped && headersInFlight < kMaxHeadersInFlight)
        DecodeAndSubmit();
    // The stream-data request rule follows in HandleMessage.
}

int MyMediaHandler::Mp3DecodeStart() {
    if (mp3Queue.empty())
        return 0;
    decoder.reset();
    std::unique_ptr<Mp3DataBlock> block = std::move(mp3Queue.front());
    mp3Queue.pop_front();
    // The block's data goes into the new decoder (or is dropped with it); it is not counted in fedBytes.
    return Mp3Decoder::Start(*block, decoder);
}

// Fills one buffer: decodes what the decoder holds, feeding it queued blocks as it asks for more. The
// buffer goes to the device when it is full, when it is more than three quarters full and the decoder
// needs input, or, with any content, when the queue has run dry; an empty one goes back to the free list.
bool MyMediaHandler::DecodeAndSubmit() {
    if (!decoder)
        return false;
    if (stretcher)
        return DecodeStretchedAndSubmit();
    PcmBuffer* buffer = waveOut.TakeBuffer();
    for (;;) {
        std::size_t done = 0;
        const int answer =
            decoder->Read(buffer->data + buffer->fill, PcmBuffer::kCapacity - buffer->fill, done);
        buffer->fill = static_cast<std::uint16_t>(buffer->fill + done);
        if (answer == kMpg123Ok)
            return SubmitBuffer(buffer);
        if (answer != kMpg123NeedMore) {
            ShowErrorBox(u"mpg123_read2 FAILED!", VANTRI_SOURCE_NAME("MediaHandler"), __LINE__);
            waveOut.GiveBack(buffer);
            return false;
        }
        if (buffer->fill > PcmBuffer::kSubmitThreshold)
            return SubmitBuffer(buffer);
        if (mp3Queue.empty())
            break;
        std::unique_ptr<Mp3DataBlock> block = std::move(mp3Queue.front());
        mp3Queue.pop_front();
        const std::uint16_t fill = std::min<std::uint16_t>(block->fill, Mp3DataBlock::kCapacity);
        if (fill != 0)
            decoder->Feed(block->data, fill);
        fedBytes += fill;
        MyCallbacks* callbacks = CallbacksOf(context);
        if (currentStream && callbacks)
            callbacks->PlayPos(static_cast<float>(EstimatePlayPosition(
                fedBytes, currentStream->size, currentStream->duration, headersInFlight)));
    }
    if (buffer->fill > 0)
        SubmitBuffer(buffer);
    else
        waveOut.GiveBack(buffer);
    return false;
}

bool MyMediaHandler::SubmitBuffer(PcmBuffer* buffer) {
    if (leveller) {
        if (levelledShow != currentStream) {
            leveller->NewShow();
            levelledShow = currentStream;
        }
        leveller->Process(buffer->data, buffer->fill);
    }
    ++headersInFlight;
    if (waveOut.SubmitBuffer(buffer))
        return true;
    // The device refused the buffer: it is back on the free list and not counted as on the device.
    --headersInFlight;
    return false;
}
