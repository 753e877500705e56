#pragma once
// Waits between reconnection attempts: the first after `first`, each next one twice as long, never
// longer than `most`; back to `first` after a connection that worked.

#include <algorithm>
#include <chrono>

namespace station::record {

using Clock = std::chrono::steady_clock;

class Backoff {
public:
    Backoff(std::chrono::milliseconds first, std::chrono::milliseconds most)
        : first_(first), most_(most), next_(first) {}
    // The wait before the next attempt; the one after will be longer.
    std::chrono::milliseconds Next() {
        const auto wait = next_;
        next_ = std::min(most_, next_ * 2);
        return wait;
    }
    void Reset() { next_ = first_; }

private:
    std::chrono::milliseconds first_;
    std::chrono::milliseconds most_;
    std::chrono::milliseconds next_;
};

} // namespace station::record
