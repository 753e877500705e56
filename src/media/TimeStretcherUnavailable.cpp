// The stretcher of a build without librubberband: nothing can be stretched, so the media thread keeps
// playing at 1x and never makes one.
#include "media/TimeStretcher.h"

namespace RubberBand {
class RubberBandStretcher {};
} // namespace RubberBand

bool TimeStretcher::Available() {
    return false;
}

TimeStretcher::TimeStretcher(double speed) : speed_(speed) {}
TimeStretcher::~TimeStretcher() = default;
void TimeStretcher::SetSpeed(double speed) {
    speed_ = speed;
}
void TimeStretcher::Reset() {}
void TimeStretcher::Finish() {}
void TimeStretcher::Prime() {}
void TimeStretcher::Put(const std::uint8_t*, std::size_t) {}
std::size_t TimeStretcher::Take(std::uint8_t*, std::size_t) {
    return 0;
}
double TimeStretcher::heldMediaFrames() const {
    return 0;
}
