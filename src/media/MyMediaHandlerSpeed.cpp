// The media thread's sound shaping: the speed message and decoding through the stretcher away from 1x, and
// the loudness levelling switch. At 1x without levelling nothing here runs and the decoded PCM goes to the
// device unchanged.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "app/ShowErrorBox.h"
#include "media/MyMediaHandler.h"
#include "media/PlayPosition.h"

#include <algorithm>

namespace {

// Decoded PCM handed to the stretcher at once, bytes: its largest chunk.
constexpr std::size_t kStretchInputBytes = TimeStretcher::kMaxChunkFrames * TimeStretcher::kBytesPerFrame;

} // namespace

void MyMediaHandler::HandleSetPlaySpeed(MyMediaHandlerMessage_SetPlaySpeed& message) {
    std::int32_t tenths = std::clamp(message.tenths, kMinSpeedTenths, kMaxSpeedTenths);
    if (!TimeStretcher::Available())
        tenths = kNormalSpeedTenths;
    if (tenths == speedTenths)
        return;
    speedTenths = tenths;
    const double speed = tenths / 10.0;
    if (tenths == kNormalSpeedTenths) {
        // Back to the decoder's own PCM: the little the stretcher still held is dropped.
        stretcher.reset();
        return;
    }
    if (stretcher)
        stretcher->SetSpeed(speed);
    else
        stretcher = std::make_unique<TimeStretcher>(speed);
}

void MyMediaHandler::HandleSetLoudnessLevelling(MyMediaHandlerMessage_SetLoudnessLevelling& message) {
    if (!message.on) {
        leveller.reset();
        levelledShow = nullptr;
    } else if (!leveller) {
        leveller = std::make_unique<LoudnessLeveller>();
        if (!leveller->usable())
            leveller.reset();
    }
}

bool MyMediaHandler::DecodeStretchedAndSubmit() {
    stretchInput.resize(kStretchInputBytes);
    PcmBuffer* buffer = waveOut.TakeBuffer();
    for (;;) {
        buffer->fill = static_cast<std::uint16_t>(
            buffer->fill + stretcher->Take(buffer->data + buffer->fill, PcmBuffer::kCapacity - buffer->fill));
        if (buffer->fill >= PcmBuffer::kCapacity)
            return SubmitBuffer(buffer);
        std::size_t done = 0;
        const int answer = decoder->Read(stretchInput.data(), stretchInput.size(), done);
        if (answer != kMpg123Ok && answer != kMpg123NeedMore) {
            ShowErrorBox(u"mpg123_read2 FAILED!", VANTRI_SOURCE_NAME("MediaHandler"), __LINE__);
            waveOut.GiveBack(buffer);
            return false;
        }
        if (done > 0) {
            stretcher->Put(stretchInput.data(), done);
            continue;
        }
        // The decoder needs more input.
        if (buffer->fill > PcmBuffer::kSubmitThreshold)
            return SubmitBuffer(buffer);
        if (mp3Queue.empty()) {
            // The whole show is decoded: what the stretcher still holds is played as well.
            if (currentStream && receivedBytes >= currentStream->size && !stretcher->finished()) {
                stretcher->Finish();
                continue;
            }
            break;
        }
        std::unique_ptr<Mp3DataBlock> block = std::move(mp3Queue.front());
        mp3Queue.pop_front();
        const std::uint16_t fill = std::min<std::uint16_t>(block->fill, Mp3DataBlock::kCapacity);
        if (fill != 0)
            decoder->Feed(block->data, fill);
        fedBytes += fill;
        PostPlayPos(buffer);
    }
    if (buffer->fill > 0)
        SubmitBuffer(buffer);
    else
        waveOut.GiveBack(buffer);
    return false;
}

void MyMediaHandler::PostPlayPos(const PcmBuffer* buffer) {
    MyCallbacks* callbacks = context ? context->callbacks : nullptr;
    if (!currentStream || !callbacks)
        return;
    const double speed = stretcher->speed();
    const double heldFrames = stretcher->heldMediaFrames() +
                              static_cast<double>(buffer->fill / TimeStretcher::kBytesPerFrame) * speed;
    callbacks->PlayPos(static_cast<float>(
        EstimateStretchedPlayPosition(fedBytes, currentStream->size, currentStream->duration, headersInFlight,
                                      speed, heldFrames / TimeStretcher::kFrameRate)));
}
