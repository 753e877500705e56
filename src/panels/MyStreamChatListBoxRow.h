#pragma once
// One replayed chat line in the chat list: "[H:MM:SS] " and the event in words, in the event's colour
// (or dark grey while the play position has not reached it). The line wraps at its blanks with a
// hanging indent: the first line starts 3 pixels in, continuation lines 20.

#include "app/TimesInText.h"
#include "panels/ChatLine.h"
#include "ui/MyListBoxV2.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Where the tokens of a line start and how long they are, in UTF-16 units. A token is a run of
// non-blank characters with the one blank that follows it, or a single blank that follows a blank (or
// starts the line).
struct ChatToken {
    std::uint16_t start = 0;
    std::uint16_t length = 0;
};
std::vector<ChatToken> SplitChatTokens(std::u16string_view text);

// Token widths as lines keep them: the width in pixels in the low 15 bits, and the top bit set on a token
// whose characters may be drawn together with its additive neighbours.
constexpr std::uint16_t kChatTokenWidthMask = 0x7FFF;
constexpr std::uint16_t kChatTokenAdditive = 0x8000;
// Measures each of `tokens` of `text` once with `font` into `widths` (one number a token, as above).
void MeasureChatTokens(Font* font, std::u16string_view text, const std::vector<ChatToken>& tokens,
                       std::uint16_t* widths);
// The height of a line whose tokens have `widths`, wrapped into `width` pixels: 16 a line, the first
// starting 3 pixels in and each further one 20.
std::uint16_t WrapChatTokens(const std::uint16_t* widths, std::uint16_t count, std::int32_t width);

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
    std::uint16_t tokenStart(std::uint16_t i) const { return tokens_[i]; }
    std::uint16_t tokenLength(std::uint16_t i) const { return tokens_[tokenCount_ + i]; }
    std::int32_t tokenWidth(std::uint16_t i) const {
        return tokens_[2 * tokenCount_ + i] & kChatTokenWidthMask;
    }

    // Shows another line: `text` with `count` token widths measured before (none: measured on first
    // use), in `colour`.
    void ShowLine(std::int32_t lineTime, std::u16string_view lineText, COLORREF colour,
                  const std::uint16_t* widths, std::uint16_t count);
    // Takes the widths of the line's tokens, measured elsewhere, when it has none yet.
    void TakeTokenWidths(const std::uint16_t* widths, std::uint16_t count);
    bool tokensBuilt() const { return tokensBuilt_; }

    // Parts of `text` to mark as found, [start, end) in UTF-16 units: painted in black on amber.
    std::vector<std::pair<std::size_t, std::size_t>> highlights;
    static constexpr COLORREF kHighlightBack = RGB(0xFF, 0xC8, 0x40);
    static constexpr COLORREF kHighlightText = 0x000000;

    // Show times written in the line ("at 1:23:45") are links: drawn underlined, and a click on one
    // tells TimeClickCallback its second (and the control id) on `callbackTarget`. Times past
    // `lastSecond`, when it is not negative, point past the show's end and stay plain text.
    void OnLButtonUp(POINT point) override;
    const std::vector<TimeInText>& Times();
    // The second of the time link under `point`, or -1.
    std::int32_t TimeAt(POINT point);
    MyCallback<std::int32_t, std::int32_t> TimeClickCallback;
    void SetLastSecond(std::int32_t second) {
        if (second != lastSecond)
            timesFound_ = false;
        lastSecond = second;
    }
    std::int32_t lastSecond = -1;

    bool reached = true;
    // Left out of the view (a quiet join or part): the row takes no space until shown again.
    bool hidden = false;
    std::int32_t time;
    std::u16string text;
    Font* font; // the panel's, shared by every row
    COLORREF textColour;
    COLORREF backColour = 0;

private:
    void BuildTokens();
    void PaintHighlights(Dc& dc, const MyPalette& palette);
    void PaintTimeLinks(Dc& dc, COLORREF colour);
    // The row's fill and text colour in `palette`: the line's own in the default palette; in high contrast
    // the palette's background (a shown search match: its selection), and the line's colour only where it
    // stands out from that background by 7:1.
    COLORREF ShownBack(const MyPalette& palette) const;
    COLORREF ShownText(const MyPalette& palette) const;
    // Calls `place(token, x, lineTop)` for each token where Paint's wrap puts it; a first word cut with
    // an ellipsis gets none.
    template <typename Place> void ForEachTokenPlace(Place&& place) const;
    // The box of text [from, to) of token `token` placed at (x, lineTop).
    RECT SpanBox(std::uint16_t token, std::size_t from, std::size_t to, std::int32_t x,
                 std::int32_t lineTop) const;
    bool tokenAdditive(std::uint16_t i) const {
        return (tokens_[2 * tokenCount_ + i] & kChatTokenAdditive) != 0;
    }
    // Draws tokens [first, end), all additive or all not, at `atX` on the line whose top is `lineTop`.
    void DrawRun(Dc& dc, std::uint16_t first, std::uint16_t end, bool additive, std::int32_t atX,
                 std::int32_t lineTop);

    bool tokensBuilt_ = false;
    bool timesFound_ = false;
    std::vector<TimeInText> times_;
    std::uint16_t tokenCount_ = 0;
    // The starts, then the lengths, then the widths of the tokens: one block of 3 × `tokenCount_`.
    std::unique_ptr<std::uint16_t[]> tokens_;
};
