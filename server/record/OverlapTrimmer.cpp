#include "OverlapTrimmer.h"

#include <algorithm>
#include <functional>

namespace station::record {

void OverlapTrimmer::Remember(std::string_view written) {
    if (written.size() >= kTailBytes) {
        tail_.assign(written.substr(written.size() - kTailBytes));
        return;
    }
    tail_.append(written);
    if (tail_.size() > kTailBytes)
        tail_.erase(0, tail_.size() - kTailBytes);
}

void OverlapTrimmer::Reconnected(Clock::time_point now) {
    held_.clear();
    searched_ = 0;
    trimmed_ = 0;
    holding_ = tail_.size() >= kLeastTailBytes;
    holdUntil_ = now + kHoldTime;
}

std::string OverlapTrimmer::Take(std::string_view incoming, Clock::time_point now) {
    if (!holding_)
        return std::string(incoming);
    held_.append(incoming);
    const std::boyer_moore_horspool_searcher searcher(tail_.begin(), tail_.end());
    // Only where the tail could lie that earlier searches did not cover.
    const std::size_t from = searched_ >= tail_.size() ? searched_ - tail_.size() + 1 : 0;
    const auto found = std::search(held_.begin() + static_cast<std::ptrdiff_t>(from), held_.end(), searcher);
    searched_ = held_.size();
    if (found != held_.end()) {
        // The burst reaches back into the recording: keep only what comes after its end.
        holding_ = false;
        const std::size_t after = static_cast<std::size_t>(found - held_.begin()) + tail_.size();
        trimmed_ = after;
        std::string rest = held_.substr(after);
        held_.clear();
        return rest;
    }
    if (now >= holdUntil_ || held_.size() >= kHoldBytes)
        return Expire(now + kHoldTime + kHoldTime);
    return {};
}

std::string OverlapTrimmer::Expire(Clock::time_point now) {
    if (!holding_ || now < holdUntil_)
        return {};
    holding_ = false;
    std::string all;
    all.swap(held_);
    return all;
}

} // namespace station::record
