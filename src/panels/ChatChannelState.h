#pragma once
// The chat channel as it stood at some row of a show's chat: its topic, who was present and the channel
// modes set, rebuilt from the rows before. Joins, parts, quits, nick changes and kicks keep the names
// right; someone who speaks is present even when the log never saw them join (they were there before it
// began). Nicks compare without regard to ASCII case, as chat servers compare them.
//
// ChatChannelIndex reads a chat once, turning every row into a small operation on numbered nicks, and
// keeps the whole state at every kCheckpointRows-th row, so that the state at any row costs one copy and
// at most kCheckpointRows - 1 small steps, however long the show.

#include "records/CatalogueRecords.h"

#include <cstdint>
#include <string>
#include <vector>

struct ChatChannelState {
    std::u16string topic;
    std::vector<std::u16string> names; // present nicks, sorted without regard to case
    std::u16string modes;              // channel modes set, such as "+mnt"; empty when none
    bool empty() const { return topic.empty() && names.empty() && modes.empty(); }
};

// The pinned line that sums a state up: "Topic: Friday mix night · 23 here · +nt". Empty for an empty
// state.
std::u16string FormatChannelStateLine(const ChatChannelState& state);

class ChatChannelIndex {
public:
    static constexpr std::int32_t kCheckpointRows = 4096;

    // Reads `rows` (null: none). The rows must outlive the index and stay unchanged.
    void Build(const StreamChatRowList* rows);
    // The state after rows 0 to `lastRow`, both included; -1 (or less) gives the empty state, and an index
    // past the end the state after the last row.
    ChatChannelState StateAfter(std::int32_t lastRow) const;
    std::int32_t rowCount() const { return static_cast<std::int32_t>(ops_.size()); }

private:
    enum Op : std::uint8_t { Op_None, Op_Present, Op_Leave, Op_Rename, Op_Topic, Op_Mode };
    struct RowOp {
        Op op = Op_None;
        std::int32_t a = -1; // nick number (joins, talk, leaves, kicks) or old nick (renames)
        std::int32_t b = -1; // new nick number (renames)
    };
    struct Working {
        std::vector<std::uint8_t> present; // by nick number
        // By nick number: where the nick was last written, row × 2 + argument (0 or 1), -1 for never.
        std::vector<std::int32_t> spelledAt;
        std::int32_t count = 0;
        std::int32_t topicRow = -1; // the row that set the topic last, -1 for none
        std::u16string modes;       // mode letters set, in the order they were set
    };

    void Apply(Working& state, std::int32_t row) const;
    ChatChannelState Describe(const Working& state) const;

    const StreamChatRowList* rows_ = nullptr;
    std::vector<RowOp> ops_;
    std::int32_t nickCount_ = 0;
    std::vector<Working> checkpoints_; // checkpoint k: the state before row k × kCheckpointRows
};

// Applies one mode change ("+nt-m", with its arguments) to the channel mode letters `modes`. Modes that
// name a person (o, v, h, a, q) or a mask list (b, e, I) are not channel modes and are skipped with their
// argument.
void ApplyChannelModes(std::u16string& modes, std::u16string_view change);
