#pragma once
// The chat sync offset of each show: how many seconds the replayed chat runs behind (positive) or ahead
// (negative) of the recording, and the sync points the user pinned where the chat was in step. Kept per
// station and stream in a small text file beside the settings file, one show's offset a line
// ("<station> <stream> <seconds>") and one sync point a line ("<station> <stream> @ <play> <chat>"),
// written whole and atomically at every change. A line that does not read as one of these within range
// is skipped; the others still count.
// User-interface thread only.

#include "records/ChatSync.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class MyChatOffsets {
public:
    static constexpr std::int32_t kMaxOffset = 36000;        // seconds either way
    static constexpr std::size_t kMaxShows = 10000;          // lines kept; more are not read
    static constexpr std::size_t kMaxFileSize = 1024 * 1024; // bytes read at most
    static constexpr std::u16string_view kFileName = u"chatoffsets.txt";

    MyChatOffsets() = default;
    // Reads the file beside the settings file `settingsPath` (empty: nothing is read or saved).
    explicit MyChatOffsets(std::u16string_view settingsPath);

    // The offset of a show, 0 when none is kept.
    std::int32_t Get(std::int32_t stationId, std::int32_t streamId) const;
    // Stores the offset (clamped to ±kMaxOffset; 0 forgets the show) and saves the file when it changed.
    // Answers the offset now kept.
    std::int32_t Set(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds);
    bool Save() const;

    // The show's pinned sync points; null when it has none.
    const ChatSyncPoints* Pins(std::int32_t stationId, std::int32_t streamId) const;
    // Pins `point` (replacing one at the same play second) and saves. False when the show already has
    // kMaxChatSyncPoints or no more shows can be kept.
    bool AddPin(std::int32_t stationId, std::int32_t streamId, ChatSyncPoint point);
    void ForgetPins(std::int32_t stationId, std::int32_t streamId);
    // The show's chat second at play second `second`: along its pinned points, else along the station's
    // `defaults` (may be null), then shown `offset` seconds later.
    std::int32_t ChatSecond(std::int32_t stationId, std::int32_t streamId, std::int32_t second,
                            const ChatSyncPoints* defaults) const;

    // The file's lines read into offsets, and offsets written as the file's text.
    static std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t>
    Parse(std::span<const std::uint8_t> bytes);
    static std::string Format(const std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t>& offsets);
    static std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints>
    ParsePins(std::span<const std::uint8_t> bytes);
    static std::string
    FormatPins(const std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints>& pins);

    std::u16string path; // the offsets file; empty turns saving off
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> offsets;
    std::map<std::pair<std::int32_t, std::int32_t>, ChatSyncPoints> pins; // each ordered by play second
};
