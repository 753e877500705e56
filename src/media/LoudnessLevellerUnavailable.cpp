// The leveller of a build without libebur128: it cannot measure, so it is never usable and the media
// thread plays every show as decoded.
#include "media/LoudnessLeveller.h"

#include <limits>

struct LoudnessLeveller::Meter {};

LoudnessLeveller::LoudnessLeveller() = default;
LoudnessLeveller::~LoudnessLeveller() = default;
bool LoudnessLeveller::usable() const {
    return false;
}
void LoudnessLeveller::NewShow() {}
void LoudnessLeveller::Process(std::uint8_t*, std::size_t) {}
double LoudnessLeveller::integratedLufs() const {
    return -std::numeric_limits<double>::infinity();
}
double LoudnessLeveller::truePeak() const {
    return 0.0;
}
double LoudnessLeveller::targetGainDb() const {
    return 0.0;
}
