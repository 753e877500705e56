#pragma once
// Evens out the loudness of shows: measures a show's integrated loudness (EBU R128, libebur128) from the
// PCM as it is played, and plays it at the gain that brings it towards -16 LUFS, never further than lets
// the loudest true peak measured so far reach -1 dBTP. The gain follows slowly (at most 1 dB a second, and
// only once 3 seconds were measured) and each buffer ramps smoothly to it, so that nothing pumps: over a
// show the integrated loudness settles and with it the gain. 44,100 Hz 16-bit stereo. Media thread only.

#include <cstddef>
#include <cstdint>
#include <memory>

class LoudnessLeveller {
public:
    static constexpr double kTargetLufs = -16.0;
    static constexpr double kPeakCeilingDb = -1.0;     // dBTP
    static constexpr double kMaxGainDb = 20.0;         // a near-silent start is not blown up
    static constexpr double kDbPerSecond = 1.0;        // the fastest the gain moves
    static constexpr double kMeasuredBeforeGain = 3.0; // seconds

    LoudnessLeveller();
    ~LoudnessLeveller();
    LoudnessLeveller(const LoudnessLeveller&) = delete;
    LoudnessLeveller& operator=(const LoudnessLeveller&) = delete;

    // Whether the measuring could be set up; an unusable leveller passes sound through unchanged.
    bool usable() const;
    // A new show: its measuring starts from nothing, at 0 dB.
    void NewShow();

    // Measures `bytes` of interleaved PCM (whole frames), then applies the gain to them in place.
    void Process(std::uint8_t* pcm, std::size_t bytes);

    // The show's integrated loudness so far in LUFS (minus infinity before any block counted).
    double integratedLufs() const;
    // The loudest true peak of the show so far, as a linear factor of full scale.
    double truePeak() const;
    // The gain the show should be played at now, dB, and the gain it is played at.
    double targetGainDb() const;
    double gainDb() const { return gainDb_; }

private:
    struct Meter; // libebur128's state
    std::unique_ptr<Meter> meter_;
    double gainDb_ = 0.0;
    double measuredSeconds_ = 0.0;
};
