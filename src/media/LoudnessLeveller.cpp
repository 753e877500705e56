#include "media/LoudnessLeveller.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kFrameRate = 44100;
constexpr std::size_t kBytesPerFrame = 4;

double FromDb(double db) {
    return std::pow(10.0, db / 20.0);
}

std::int16_t ReadSample(const std::uint8_t* at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
}

void WriteSample(std::uint8_t* at, double value) {
    const auto sample = static_cast<std::int16_t>(std::clamp(std::nearbyint(value), -32768.0, 32767.0));
    const auto bits = static_cast<std::uint16_t>(sample);
    at[0] = static_cast<std::uint8_t>(bits & 0xFF);
    at[1] = static_cast<std::uint8_t>(bits >> 8);
}

} // namespace

struct LoudnessLeveller::Meter {
    explicit Meter(ebur128_state* state) : state(state) {}
    ~Meter() {
        if (state)
            ebur128_destroy(&state);
    }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
    ebur128_state* state;
};

LoudnessLeveller::LoudnessLeveller() {
    NewShow();
}

LoudnessLeveller::~LoudnessLeveller() = default;

bool LoudnessLeveller::usable() const {
    return meter_ && meter_->state;
}

void LoudnessLeveller::NewShow() {
    // The histogram keeps the cost of the integrated loudness the same however long the show.
    meter_ = std::make_unique<Meter>(
        ebur128_init(2, kFrameRate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM));
    gainDb_ = 0.0;
    measuredSeconds_ = 0.0;
}

double LoudnessLeveller::integratedLufs() const {
    double lufs = -std::numeric_limits<double>::infinity();
    if (!usable() || ebur128_loudness_global(meter_->state, &lufs) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return lufs;
}

double LoudnessLeveller::truePeak() const {
    double peak = 0.0;
    for (unsigned channel = 0; usable() && channel < 2; ++channel) {
        double p = 0.0;
        if (ebur128_true_peak(meter_->state, channel, &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    return peak;
}

double LoudnessLeveller::targetGainDb() const {
    const double lufs = integratedLufs();
    if (!std::isfinite(lufs) || measuredSeconds_ < kMeasuredBeforeGain)
        return 0.0;
    double gain = std::min(kTargetLufs - lufs, kMaxGainDb);
    const double peak = truePeak();
    if (peak > 0.0)
        gain = std::min(gain, kPeakCeilingDb - 20.0 * std::log10(peak));
    return gain;
}

void LoudnessLeveller::Process(std::uint8_t* pcm, std::size_t bytes) {
    const std::size_t frames = bytes / kBytesPerFrame;
    if (!usable() || frames == 0)
        return;
    // The PCM is little-endian 16-bit, as libebur128 reads shorts on the machines the program runs on.
    ebur128_add_frames_short(meter_->state, reinterpret_cast<const short*>(pcm), frames);
    const double seconds = static_cast<double>(frames) / kFrameRate;
    measuredSeconds_ += seconds;

    // The gain moves towards the target by at most kDbPerSecond over this buffer, sample by sample.
    const double from = gainDb_;
    const double step = kDbPerSecond * seconds;
    gainDb_ = std::clamp(targetGainDb(), from - step, from + step);
    if (from == 0.0 && gainDb_ == 0.0)
        return;
    const double startFactor = FromDb(from);
    const double endFactor = FromDb(gainDb_);
    for (std::size_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f + 1) / static_cast<double>(frames);
        const double factor = startFactor + (endFactor - startFactor) * t;
        std::uint8_t* at = pcm + f * kBytesPerFrame;
        WriteSample(at, ReadSample(at) * factor);
        WriteSample(at + 2, ReadSample(at + 2) * factor);
    }
}
