#include "media/MyPlayback.h"

#include "app/MyCallbacks.h"
#include "app/ShowErrorBox.h"
#include "media/PlayPosition.h"
#include "net/CatalogueRecords.h"
#include "net/MyNetworkHandlerMessages.h"

#include <algorithm>

MyPlayback::MyPlayback(MyCallbacks* callbacks, NetworkSender sendToNetwork)
    : callbacks_(callbacks), sendToNetwork_(std::move(sendToNetwork)) {}

MyPlayback::~MyPlayback() = default;

void MyPlayback::CloseAudio() {
    output_.Close();
    headersInFlight_ = 0;
}

bool MyPlayback::InitAudio(const platform::WaveOutOpener& opener, platform::WaveOutCallback returned) {
    // volume and balance are still 0 here, so the device starts silent.
    return output_.InitAudio(opener, std::move(returned), MakeWaveOutVolume(volume_, balance_));
}

void MyPlayback::StartPlayAt(const StreamInfoData* stream, float startFraction, std::uint32_t startSeconds) {
    if (!output_.isOpen()) {
        ShowPlainErrorBox(u"WaveOutHandle == NULL!");
        return;
    }
    if (!stream)
        return;
    mp3Queue_.clear();

    const PlayState oldState = playState_;
    if (oldState == PlayState_Playing || oldState == PlayState_Paused) {
        playState_ = PlayState_Stopped;
        // The device hands every buffer back through its callback; those returns are handled after this.
        if (!output_.device()->Reset())
            ShowPlainErrorBox(u"waveOutReset FAILED!");
    }

    if (currentStream_ && currentStream_->stationId == stream->stationId &&
        currentStream_->streamId == stream->streamId) {
        if (oldState == PlayState_Paused) {
            // A seek while paused stays paused.
            playState_ = PlayState_Paused;
            output_.device()->Pause();
        } else {
            playState_ = PlayState_Playing;
            callbacks_->PlayEvent(PlayEvent_Playing);
        }
    } else {
        currentStream_ = stream;
        playState_ = PlayState_Playing;
        callbacks_->PlayEvent(PlayEvent_Playing);
    }

    ++requestTag_;
    needDecodeStart_ = true;
    const std::uint64_t startOffset =
        StartOffsetOf(startFraction, startSeconds, currentStream_->duration, currentStream_->size);
    receivedBytes_ = startOffset;
    fedBytes_ = startOffset;
    SendStreamDataRequest(startOffset);
}

void MyPlayback::Seek(float position) {
    if (!currentStream_)
        return;
    StartPlayAt(currentStream_, position, 0);
    callbacks_->PlayPos(position);
}

void MyPlayback::Pause() {
    if (playState_ != PlayState_Playing || !output_.isOpen())
        return;
    playState_ = PlayState_Paused;
    callbacks_->PlayEvent(PlayEvent_Paused);
    output_.device()->Pause();
}

void MyPlayback::Continue() {
    if (playState_ != PlayState_Paused || !output_.isOpen())
        return;
    playState_ = PlayState_Playing;
    callbacks_->PlayEvent(PlayEvent_Playing);
    output_.device()->Restart();
}

void MyPlayback::SetVolume(float volume, float balance) {
    volume_ = volume;
    balance_ = balance;
    if (!muted_)
        ApplyVolume(volume_);
}

void MyPlayback::SetMute(bool muted) {
    muted_ = muted;
    ApplyVolume(muted_ ? 0.0f : volume_);
}

void MyPlayback::ApplyVolume(float volume) {
    if (output_.isOpen())
        output_.device()->SetVolume(MakeWaveOutVolume(volume, balance_));
}

void MyPlayback::ReturnUsedWaveHeader(platform::WaveHeader* header) {
    if (!output_.ReturnUsedWaveHeader(header))
        return; // not a header of ours: nothing was freed, nothing is decoded
    --headersInFlight_;
    if (playState_ != PlayState_Stopped && headersInFlight_ < kMaxHeadersInFlight)
        DecodeAndSubmit();
    if (requestStatus_ == RequestStatus_None && mp3Queue_.size() < maxQueuedBlocks_ && currentStream_)
        SendStreamDataRequest(receivedBytes_);
}

void MyPlayback::AddMp3Data(std::unique_ptr<Mp3DataBlock> block, std::int32_t tag, bool requestFinished) {
    if (tag != requestTag_)
        return; // a block of an earlier series
    if (block && block->fill > 0) {
        block->fill = std::min<std::uint16_t>(block->fill, Mp3DataBlock::kCapacity);
        receivedBytes_ += block->fill;
        mp3Queue_.push_back(std::move(block));
        if (needDecodeStart_) {
            const int started = Mp3DecodeStart();
            if (started == -1)
                ShowPlainErrorBox(u"Mp3DecodeStart FAILED!");
            else if (started == 1)
                needDecodeStart_ = false;
        }
        if (!needDecodeStart_ && headersInFlight_ < kMaxHeadersInFlight)
            DecodeAndSubmit();
    }
    if (requestFinished) {
        if (requestStatus_ == RequestStatus_Mp3RequestPending)
            requestStatus_ = RequestStatus_None;
        else if (block)
            ShowPlainErrorBox(u"RequestStatus != RequestStatus_Mp3RequestPending!");
    }
}

int MyPlayback::Mp3DecodeStart() {
    if (mp3Queue_.empty())
        return 0;
    decoder_.reset();
    std::unique_ptr<Mp3DataBlock> block = std::move(mp3Queue_.front());
    mp3Queue_.pop_front();
    // The block's data goes into the new decoder (or is dropped with it); it is not counted in fedBytes.
    return Mp3Decoder::Start(*block, decoder_);
}

// Fills one buffer: decodes what the decoder holds, feeding it queued blocks as it asks for more. The
// buffer goes to the device when it is full, when it is more than three quarters full and the decoder
// needs input, or, with any content, when the queue has run dry; an empty one goes back to the free list.
bool MyPlayback::DecodeAndSubmit() {
    if (!decoder_)
        return false;
    PcmBuffer* buffer = output_.TakeBuffer();
    for (;;) {
        std::size_t done = 0;
        const int answer =
            decoder_->Read(buffer->data + buffer->fill, PcmBuffer::kCapacity - buffer->fill, done);
        buffer->fill = static_cast<std::uint16_t>(buffer->fill + done);
        if (answer == kMpg123Ok)
            return SubmitBuffer(buffer);
        if (answer != kMpg123NeedMore) {
            ShowErrorBox(u"mpg123_read2 FAILED!", VANTRI_SOURCE_NAME("MediaHandler"), __LINE__);
            output_.GiveBack(buffer);
            return false;
        }
        if (buffer->fill > PcmBuffer::kSubmitThreshold)
            return SubmitBuffer(buffer);
        if (mp3Queue_.empty())
            break;
        std::unique_ptr<Mp3DataBlock> block = std::move(mp3Queue_.front());
        mp3Queue_.pop_front();
        if (block->fill != 0)
            decoder_->Feed(block->data, block->fill);
        fedBytes_ += block->fill;
        if (currentStream_)
            callbacks_->PlayPos(static_cast<float>(EstimatePlayPosition(
                fedBytes_, currentStream_->size, currentStream_->duration, headersInFlight_)));
    }
    if (buffer->fill > 0) {
        SubmitBuffer(buffer);
    } else {
        output_.GiveBack(buffer);
    }
    return false;
}

bool MyPlayback::SubmitBuffer(PcmBuffer* buffer) {
    ++headersInFlight_;
    if (output_.SubmitBuffer(buffer))
        return true;
    --headersInFlight_; // refused: the buffer is back on the free list
    return false;
}

void MyPlayback::SendStreamDataRequest(std::uint64_t startOffset) {
    sendToNetwork_(std::make_unique<MyNetworkHandlerMessage_GetStreamData>(
        currentStream_->stationId, currentStream_->streamId, requestTag_, startOffset,
        kStreamDataRequestLength));
    requestStatus_ = RequestStatus_Mp3RequestPending;
}
