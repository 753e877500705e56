#pragma once
// Plays 44,100 Hz 16-bit stereo PCM faster or slower with its pitch kept (librubberband in real-time
// mode). PCM goes in as the decoder gives it and comes out at the speed set; the stretcher keeps the
// samples it still needs for its analysis, so what comes out lags what went in. Media thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

class TimeStretcher {
public:
    static constexpr int kFrameRate = 44100;
    static constexpr std::size_t kBytesPerFrame = 4;
    // The most frames handed to the stretcher in one call.
    static constexpr std::size_t kMaxChunkFrames = 4096;

    // `speed`: media seconds played per second, above 0.
    explicit TimeStretcher(double speed);
    // Whether this build can stretch at all (a build without librubberband plays at 1x only).
    static bool Available();
    ~TimeStretcher();
    TimeStretcher(const TimeStretcher&) = delete;
    TimeStretcher& operator=(const TimeStretcher&) = delete;

    double speed() const { return speed_; }
    // Takes effect for what is put in from now on.
    void SetSpeed(double speed);
    // Forgets everything put in and not yet taken out (a seek).
    void Reset();
    // Nothing more comes before the next Reset (the end of the show): what is held can all be taken out.
    void Finish();
    bool finished() const { return finished_; }

    // Takes `bytes` of interleaved PCM (whole frames; a trailing part frame is ignored).
    void Put(const std::uint8_t* pcm, std::size_t bytes);
    // Writes up to `room` bytes (whole frames) of stretched PCM to `out`; answers the bytes written.
    std::size_t Take(std::uint8_t* out, std::size_t room);

    // Media frames put in whose stretched sound has not been taken out yet, at the current speed.
    double heldMediaFrames() const;

private:
    void Prime();

    double speed_;
    std::unique_ptr<RubberBand::RubberBandStretcher> stretcher_;
    std::vector<float> left_;
    std::vector<float> right_;
    bool finished_ = false;
    std::size_t startDelay_ = 0; // output frames still to drop before the first real sound
    double mediaFramesIn_ = 0;   // media frames put in since the last reset
    double mediaFramesOut_ = 0;  // media frames' worth of output taken out since then
};
