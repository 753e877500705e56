#pragma once
// One replayed chat line in the chat list: "[H:MM:SS] " and the event in words, in the event's colour
// (or dark grey while the play position has not reached it). The line wraps at its blanks with a
// hanging indent: the first line starts 3 pixels in, continuation lines 20.

#include "panels/ChatLine.h"
#include "ui/MyListBoxV2.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Where the tokens of a line start and how long they are, in UTF-16 units. A token is a run of
// non-blank characters with the one blank that follows it, or a single blank that follows a blank (or
// starts the line).
struct ChatToken {
    std::uint16_t start = 0;
    std::uint16_t length = 0;
};
std::vector<ChatToken> SplitChatTokens(std::u16string_view text);

class MyStreamChatListBoxRow : public MyListBoxV2ItemBase {
public:
    static constexpr std::int32_t kLineHeight = 16;    // pixels
    static constexpr std::int32_t kFirstIndent = 3;    // pixels
    static constexpr std::int32_t kHangingIndent = 20; // pixels

    MyStreamChatListBoxRow(std::int32_t time, std::u16string text, Font* font, COLORREF textColour);

    // Builds the tokens on first use (measuring each once), then wraps them into `width`.
    std::uint16_t MeasureHeight(std::int32_t width) override;
    void Paint() override;

    std::uint16_t tokenCount() const { return tokenCount_; }
    std::uint16_t tokenStart(std::uint16_t i) const { return tokens_[3 * i]; }
    std::uint16_t tokenLength(std::uint16_t i) const { return tokens_[3 * i + 1]; }
    std::int32_t tokenWidth(std::uint16_t i) const { return tokens_[3 * i + 2] & kWidthMask; }

    bool reached = true;
    // Left out of the view (a quiet join or part): the row takes no space until shown again.
    bool hidden = false;
    std::int32_t time;
    std::u16string text;
    Font* font; // the panel's, shared by every row
    COLORREF textColour;
    COLORREF backColour = 0;

private:
    static constexpr std::uint16_t kWidthMask = 0x7FFF;
    // Set on a token whose characters may be drawn together with its additive neighbours.
    static constexpr std::uint16_t kAdditive = 0x8000;

    void BuildTokens();
    bool tokenAdditive(std::uint16_t i) const { return (tokens_[3 * i + 2] & kAdditive) != 0; }
    // Draws tokens [first, end), all additive or all not, at `atX` on the line whose top is `lineTop`.
    void DrawRun(Dc& dc, std::uint16_t first, std::uint16_t end, bool additive, std::int32_t atX,
                 std::int32_t lineTop);

    bool tokensBuilt_ = false;
    std::uint16_t tokenCount_ = 0;
    // Start, length and width of each token, one block of 3 × `tokenCount_` numbers.
    std::unique_ptr<std::uint16_t[]> tokens_;
};
