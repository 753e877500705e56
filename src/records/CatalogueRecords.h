#pragma once
// The records the whole program shares: stations and their streams, track lists, replayed chat, the
// directory's station ids and the blocks MP3 data travels in. Network exchanges build them; the media
// thread owns them for the whole run once they are queued to it; the user-interface thread only reads
// them through the pointers in callback messages.

#include "records/ChatSync.h"
#include "records/WireFormat.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One entry of a stream's track list.
struct TrackInfo {
    std::int32_t start = 0;      // seconds from the start of the stream
    std::int32_t secondTime = 0; // stored as received
    std::uint8_t trackKind = 0;  // 4 marks a conversation
    bool flag = false;           // stored as received
    std::u16string text1;
    std::u16string text2;
};

// Track list entries in response order.
using TrackInfoList = std::vector<TrackInfo>;

// Chat event kinds.
enum StreamChatRowKind : std::uint8_t {
    StreamChatRowKind_Plain = 0,
    StreamChatRowKind_Message = 1,
    StreamChatRowKind_Action = 2,
    StreamChatRowKind_Join = 3,
    StreamChatRowKind_Leave = 4,
    StreamChatRowKind_Quit = 5,
    StreamChatRowKind_NickChange = 6,
    StreamChatRowKind_TopicChange = 7,
    StreamChatRowKind_ModeChange = 8,
    StreamChatRowKind_Kick = 9,
};

// The rule a chat row must meet to be stored and shown: its argument count fits its kind (mode changes
// take at most kMaxChatArgs arguments in all), and a message has both a sender and a text.
// `argEmpty(i)` answers whether argument i is empty.
template <typename ArgEmpty>
bool IsWellFormedChatRow(std::uint8_t kind, std::size_t argCount, ArgEmpty argEmpty) {
    const std::size_t n = argCount;
    switch (kind) {
    case StreamChatRowKind_Plain:
    case StreamChatRowKind_Leave:
    case StreamChatRowKind_Quit:
        return n == 1 || n == 2;
    case StreamChatRowKind_Message:
        return n == 2 && !argEmpty(0) && !argEmpty(1);
    case StreamChatRowKind_Action:
    case StreamChatRowKind_NickChange:
    case StreamChatRowKind_TopicChange:
        return n == 2;
    case StreamChatRowKind_Join:
        return n == 1;
    case StreamChatRowKind_ModeChange:
        return n >= 2 && n <= kMaxChatArgs;
    case StreamChatRowKind_Kick:
        return n == 2 || n == 3;
    default:
        return false;
    }
}

// One replayed chat event. The argument texts are kept in one allocation, each followed by a zero unit,
// so a row costs 16 bytes beyond its texts.
class StreamChatRow {
public:
    static constexpr int kMaxArgs = static_cast<int>(kMaxChatArgs);

    StreamChatRow() = default;
    StreamChatRow(std::int32_t time, std::uint8_t kind, const std::vector<std::u16string_view>& args);

    std::int32_t time = 0; // seconds from the start of the stream, signed
    std::uint8_t kind = 0;
    std::uint8_t argCount = 0; // at most 20

    std::u16string_view arg(int index) const;
    // Whether the row meets IsWellFormedChatRow.
    bool IsWellFormed() const;

private:
    std::unique_ptr<char16_t[]> texts_;
};

// Chat rows; after the media thread stores them, sorted by time (stable).
using StreamChatRowList = std::vector<StreamChatRow>;

// One recorded show of a station.
struct StreamInfoData {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t startTime = 0; // broadcast start, seconds since 1970-01-01 UTC
    std::uint32_t duration = 0; // seconds
    std::uint64_t size = 0;     // bytes of MP3 data
    std::int32_t streamType = 0;
    std::int32_t extraValue1 = 0;
    bool hasChat = false;
    std::int32_t extraValue2 = 0;
    std::u16string text1;
    std::u16string text2;
    std::u16string text3;

    // Set once each, by the media thread, from null to a complete list; readable from any thread.
    const TrackInfoList* trackList() const { return trackList_.load(std::memory_order_acquire); }
    const StreamChatRowList* chatRows() const { return chatRows_.load(std::memory_order_acquire); }
    // The station's default chat sync points of the show, null when it sent none.
    const ChatSyncPoints* chatSync() const { return chatSync_.load(std::memory_order_acquire); }
    // Stores the list unless one is already stored; answers whether it was stored.
    bool SetTrackList(std::unique_ptr<TrackInfoList> list);
    bool SetChatRows(std::unique_ptr<StreamChatRowList> rows);
    bool SetChatSync(std::unique_ptr<ChatSyncPoints> points);

private:
    std::unique_ptr<TrackInfoList> trackListOwner_;
    std::unique_ptr<StreamChatRowList> chatRowsOwner_;
    std::unique_ptr<ChatSyncPoints> chatSyncOwner_;
    std::atomic<const TrackInfoList*> trackList_{nullptr};
    std::atomic<const StreamChatRowList*> chatRows_{nullptr};
    std::atomic<const ChatSyncPoints*> chatSync_{nullptr};
};

// One station, as its server describes it.
struct StationInfoData {
    explicit StationInfoData(std::int32_t stationId = 0) : stationId(stationId) {}

    std::int32_t stationId;
    std::u16string name;
    std::u16string description; // format version 5 only; kept, not shown
    std::map<std::int32_t, std::unique_ptr<StreamInfoData>> streams;

    // Stores `stream` under its id, replacing (and releasing) an entry already there.
    void StoreStream(std::unique_ptr<StreamInfoData> stream);
};

// Station ids in directory order.
using StationIdList = std::vector<std::int32_t>;

// The unit MP3 data travels in.
struct Mp3DataBlock {
    static constexpr std::size_t kCapacity = 4096;
    std::uint8_t data[kCapacity];
    std::uint16_t fill = 0;
};
