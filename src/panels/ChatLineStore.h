#pragma once
// The chat list's lines in compact form. A show's chat has tens of thousands of lines, and only the few
// in view need a row control; every line keeps one small record here, its text in one buffer shared by
// all lines and, once measured, its token widths in another. The buffers grow in blocks, so that
// filling them with a long show's chat never holds a second copy. A line made from one of the show's
// chat rows keeps no text at all: its text is composed from the row whenever it is asked for, so the
// show's chat is held once, in its rows.

#include "panels/ChunkedBuffer.h"
#include "records/CatalogueRecords.h"
#include "ui/Gdi.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ChatLineStore {
public:
    // Longer lines are cut to this many UTF-16 units.
    static constexpr std::size_t kMaxLength = 0xFFFF;

    struct Line {
        std::uint32_t textStart = 0;
        // The first of the line's token widths in the widths buffer, once `measured`.
        std::uint32_t widthsStart = 0;
        std::int32_t time = 0;
        COLORREF colour = 0;
        std::uint16_t textLength = 0;
        std::uint16_t tokenCount = 0;
        bool measured = false;
        // Left out of the view: the line takes no space.
        bool hidden = false;
        // Composed from chat row `textStart` of the rows given to SetRows.
        bool fromRow = false;
    };

    void Clear();
    void Reserve(std::size_t lines);
    void Add(std::int32_t time, std::u16string_view text, COLORREF colour);
    // The chat rows that lines added by AddRowLine read as, cut to `maxLength` units; they must outlive
    // those lines.
    void SetRows(const StreamChatRowList* rows, std::size_t maxLength);
    void AddRowLine(std::size_t row, std::int32_t time, COLORREF colour);
    // Gives back the room the buffers keep for growth.
    void Compact();

    std::size_t size() const { return lines_.size(); }
    const Line& operator[](std::size_t i) const { return lines_[i]; }
    // The line's text; for a line made from a chat row the view holds until the next call.
    std::u16string_view Text(std::size_t i) const;
    // The line's token widths (as MeasureChatTokens writes them), or null before it is measured.
    const std::uint16_t* Widths(std::size_t i) const;
    // Answers whether that changed the line.
    bool SetHidden(std::size_t i, bool hidden);
    // The line's height wrapped into `width`, measuring its tokens with `font` the first time. A hidden
    // line is 0 high and is not measured.
    std::uint16_t Height(std::size_t i, std::int32_t width, Font* font);
    // The bytes the lines' text takes.
    std::size_t TextBytes() const { return text_.CapacityBytes(); }

private:
    std::vector<Line> lines_;
    const StreamChatRowList* rows_ = nullptr;
    std::size_t rowTextLength_ = kMaxLength;
    mutable std::u16string composed_; // the text of the last line composed from a row
    // Blocks hold more than the longest line (kMaxLength), and a line has at most one token a unit.
    ChunkedBuffer<char16_t, 1 << 17> text_;
    ChunkedBuffer<std::uint16_t, 1 << 16> widths_;
    static_assert(decltype(text_)::kMaxRun >= kMaxLength && decltype(widths_)::kMaxRun >= kMaxLength);
};
