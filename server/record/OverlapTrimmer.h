#pragma once
// Icecast starts every listener with a burst of what its source sent last. When the recorder connects
// again to a broadcast that went on (its own connection dropped, or it was restarted after a crash),
// that burst repeats audio the recording already holds. The trimmer remembers the recording's last bytes
// and, for a moment after each reconnect, holds the new bytes back until it finds them there: what
// follows is the continuation. Found nowhere (a new source session, started afresh), everything is kept.
// (Where the recording ends in bytes that repeat, such as digital silence, the first place they are found
// is taken; what is lost or repeated then is more of the same silence.)

#include <chrono>
#include <string>
#include <string_view>

namespace station::record {

class OverlapTrimmer {
public:
    using Clock = std::chrono::steady_clock;

    // Bytes of the recording's end looked for, and the least that makes a search worth it.
    static constexpr std::size_t kTailBytes = 4096;
    static constexpr std::size_t kLeastTailBytes = 1024;
    // The longest bytes are held back after a reconnect (time and amount).
    static constexpr std::chrono::milliseconds kHoldTime{2000};
    static constexpr std::size_t kHoldBytes = 16u << 20;

    // The bytes just written to the recording.
    void Remember(std::string_view written);
    // A new connection begins: hold its bytes until they are placed.
    void Reconnected(Clock::time_point now);
    // Bytes of the new connection; answers those to write now (nothing while still looking).
    std::string Take(std::string_view incoming, Clock::time_point now);
    // When the hold time passed without a match: the bytes held, to be written as they are.
    std::string Expire(Clock::time_point now);
    bool holding() const { return holding_; }
    Clock::time_point holdEnds() const { return holdUntil_; }
    // How many bytes the last reconnect dropped as already recorded.
    std::size_t trimmed() const { return trimmed_; }

private:
    std::string tail_;
    std::string held_;
    std::size_t searched_ = 0; // bytes of held_ already searched
    bool holding_ = false;
    Clock::time_point holdUntil_{};
    std::size_t trimmed_ = 0;
};

} // namespace station::record
