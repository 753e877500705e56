#include "media/TimeStretcher.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kSampleScale = 32768.0f;

std::int16_t ToSample(float value) {
    const float scaled = std::nearbyint(value * kSampleScale);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

std::int16_t ReadSample(const std::uint8_t* at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
}

void WriteSample(std::uint8_t* at, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    at[0] = static_cast<std::uint8_t>(bits & 0xFF);
    at[1] = static_cast<std::uint8_t>(bits >> 8);
}

} // namespace

bool TimeStretcher::Available() {
    return true;
}

TimeStretcher::TimeStretcher(double speed) : speed_(speed), left_(kMaxChunkFrames), right_(kMaxChunkFrames) {
    using RB = RubberBand::RubberBandStretcher;
    // The lighter engine, one thread, channels analysed together so that the stereo image stays put. The
    // pitch is never shifted, so nothing is asked of its resampler (keeping it ready for pitch changes
    // almost doubles the cost: tools/bench/play_speed.cpp).
    stretcher_ = std::make_unique<RB>(kFrameRate, 2,
                                      RB::OptionProcessRealTime | RB::OptionEngineFaster |
                                          RB::OptionThreadingNever | RB::OptionChannelsTogether,
                                      1.0 / speed_);
    stretcher_->setMaxProcessSize(kMaxChunkFrames);
    Prime();
}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::SetSpeed(double speed) {
    if (speed == speed_)
        return;
    // What is held was counted at the old speed; count it on at the new one.
    mediaFramesIn_ = heldMediaFrames();
    mediaFramesOut_ = 0;
    speed_ = speed;
    stretcher_->setTimeRatio(1.0 / speed_);
}

void TimeStretcher::Reset() {
    stretcher_->reset();
    finished_ = false;
    mediaFramesIn_ = 0;
    mediaFramesOut_ = 0;
    Prime();
}

// Silence before the first sound and the output to drop for it, so that output frame n is the sound of
// input frame n × speed.
void TimeStretcher::Prime() {
    std::size_t pad = stretcher_->getPreferredStartPad();
    std::fill(left_.begin(), left_.end(), 0.0f);
    std::fill(right_.begin(), right_.end(), 0.0f);
    while (pad > 0) {
        const std::size_t n = std::min(pad, kMaxChunkFrames);
        const float* channels[2] = {left_.data(), right_.data()};
        stretcher_->process(channels, n, false);
        pad -= n;
    }
    startDelay_ = stretcher_->getStartDelay();
}

void TimeStretcher::Finish() {
    if (finished_)
        return;
    const float* channels[2] = {left_.data(), right_.data()};
    stretcher_->process(channels, 0, true);
    finished_ = true;
}

void TimeStretcher::Put(const std::uint8_t* pcm, std::size_t bytes) {
    if (finished_)
        return;
    std::size_t frames = bytes / kBytesPerFrame;
    while (frames > 0) {
        const std::size_t n = std::min(frames, kMaxChunkFrames);
        for (std::size_t i = 0; i < n; ++i) {
            left_[i] = static_cast<float>(ReadSample(pcm + i * kBytesPerFrame)) / kSampleScale;
            right_[i] = static_cast<float>(ReadSample(pcm + i * kBytesPerFrame + 2)) / kSampleScale;
        }
        const float* channels[2] = {left_.data(), right_.data()};
        stretcher_->process(channels, n, false);
        mediaFramesIn_ += static_cast<double>(n);
        pcm += n * kBytesPerFrame;
        frames -= n;
    }
}

std::size_t TimeStretcher::Take(std::uint8_t* out, std::size_t room) {
    std::size_t written = 0;
    std::size_t roomFrames = room / kBytesPerFrame;
    while (roomFrames > 0) {
        const int available = stretcher_->available();
        if (available <= 0)
            break;
        const std::size_t n =
            std::min({static_cast<std::size_t>(available), roomFrames + startDelay_, kMaxChunkFrames});
        float* channels[2] = {left_.data(), right_.data()};
        const std::size_t got = stretcher_->retrieve(channels, n);
        if (got == 0)
            break;
        std::size_t first = 0;
        if (startDelay_ > 0) {
            first = std::min(startDelay_, got);
            startDelay_ -= first;
        }
        for (std::size_t i = first; i < got && roomFrames > 0; ++i, --roomFrames) {
            WriteSample(out + written, ToSample(left_[i]));
            WriteSample(out + written + 2, ToSample(right_[i]));
            written += kBytesPerFrame;
            mediaFramesOut_ += speed_;
        }
    }
    return written;
}

double TimeStretcher::heldMediaFrames() const {
    return std::max(0.0, mediaFramesIn_ - mediaFramesOut_);
}
