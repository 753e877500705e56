#include "panels/MyStreamChatListBoxRow.h"

#include "ui/MySurface.h"

#include <algorithm>

namespace {

// Drawing a piece wider than the space left costs layout time for characters nobody sees; beyond
// this many UTF-16 units per pixel of room the rest is cut before drawing (combining marks stack
// several units on one glyph, hence more than one).
constexpr std::size_t kUnitsPerPixel = 4;
constexpr std::size_t kSpareUnits = 16;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}

// `piece` cut to what can show in `room` pixels, without splitting a surrogate pair.
std::u16string_view CutToRoom(std::u16string_view piece, std::int32_t room) {
    const std::size_t keep = static_cast<std::size_t>(std::max(room, 0)) * kUnitsPerPixel + kSpareUnits;
    if (piece.size() <= keep)
        return piece;
    std::size_t cut = keep;
    if (IsHighSurrogate(piece[cut - 1]))
        --cut;
    return piece.substr(0, cut);
}

} // namespace

std::vector<ChatToken> SplitChatTokens(std::u16string_view text) {
    std::vector<ChatToken> tokens;
    const std::size_t n = std::min<std::size_t>(text.size(), 0xFFFF);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t start = i;
        if (text[i] == u' ') {
            ++i;
        } else {
            while (i < n && text[i] != u' ')
                ++i;
            if (i < n)
                ++i; // the one blank that follows the word
        }
        tokens.push_back({static_cast<std::uint16_t>(start), static_cast<std::uint16_t>(i - start)});
    }
    return tokens;
}

MyStreamChatListBoxRow::MyStreamChatListBoxRow(std::int32_t time, std::u16string text, Font* font,
                                               COLORREF textColour)
    : time(time), text(std::move(text)), font(font), textColour(textColour) {}

void MeasureChatTokens(Font* font, std::u16string_view text, const std::vector<ChatToken>& tokens,
                       std::uint16_t* widths) {
    platform::Font* measurer = font ? font->get() : nullptr;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        bool additive = false;
        const std::int32_t measured =
            measurer ? measurer->MeasureWidth(text.substr(tokens[i].start, tokens[i].length), &additive) : 0;
        const auto w = static_cast<std::uint16_t>(std::clamp<std::int32_t>(measured, 0, kChatTokenWidthMask));
        widths[i] = static_cast<std::uint16_t>(w | (additive ? kChatTokenAdditive : 0));
    }
}

std::uint16_t WrapChatTokens(const std::uint16_t* widths, std::uint16_t count, std::int32_t width) {
    std::int32_t lines = 1;
    std::int32_t x = MyStreamChatListBoxRow::kFirstIndent;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::int32_t t = widths[i] & kChatTokenWidthMask;
        if (width < x + t) {
            ++lines;
            x = MyStreamChatListBoxRow::kHangingIndent;
        }
        x += t;
    }
    return static_cast<std::uint16_t>(
        std::min<std::int32_t>(MyStreamChatListBoxRow::kLineHeight * lines, 0xFFFF));
}

void MyStreamChatListBoxRow::ShowLine(std::int32_t lineTime, std::u16string_view lineText, COLORREF colour,
                                      const std::uint16_t* widths, std::uint16_t count) {
    time = lineTime;
    text.assign(lineText);
    textColour = colour;
    tokensBuilt_ = false;
    tokenCount_ = 0;
    TakeTokenWidths(widths, count);
}

void MyStreamChatListBoxRow::TakeTokenWidths(const std::uint16_t* widths, std::uint16_t count) {
    if (tokensBuilt_ || !widths)
        return;
    const std::vector<ChatToken> split = SplitChatTokens(text);
    if (split.size() != count)
        return; // not this line's tokens: measured again on first use
    tokensBuilt_ = true;
    tokenCount_ = count;
    tokens_ = std::make_unique<std::uint16_t[]>(3 * static_cast<std::size_t>(count));
    for (std::uint16_t i = 0; i < count; ++i) {
        tokens_[i] = split[i].start;
        tokens_[count + i] = split[i].length;
        tokens_[2 * count + i] = widths[i];
    }
}

void MyStreamChatListBoxRow::BuildTokens() {
    const std::vector<ChatToken> split = SplitChatTokens(text);
    std::vector<std::uint16_t> widths(split.size());
    MeasureChatTokens(font, text, split, widths.data());
    TakeTokenWidths(widths.data(), static_cast<std::uint16_t>(split.size()));
}

std::uint16_t MyStreamChatListBoxRow::MeasureHeight(std::int32_t width) {
    if (hidden)
        return 0;
    if (!tokensBuilt_ && font)
        BuildTokens();
    return WrapChatTokens(tokens_.get() + 2 * tokenCount_, tokenCount_, width);
}

void MyStreamChatListBoxRow::DrawRun(Dc& dc, std::uint16_t first, std::uint16_t end, bool additive,
                                     std::int32_t atX, std::int32_t lineTop) {
    if (first >= end || lineTop + kLineHeight <= 0 || lineTop >= surface->height)
        return; // nothing of this line lies in the surface
    const std::size_t from = tokenStart(first);
    const std::size_t to = static_cast<std::size_t>(tokenStart(end - 1)) + tokenLength(end - 1);
    const std::u16string_view whole = std::u16string_view(text).substr(from, to - from);
    if (!additive && end - first > 1) {
        // Shaped neighbours (right-to-left words above all) go in one piece only when that piece is
        // exactly as wide as its tokens: then the words keep their places as a whole and read in
        // their own direction. Otherwise each is drawn where the wrap put it.
        std::int32_t sum = 0;
        for (std::uint16_t i = first; i < end; ++i)
            sum += tokenWidth(i);
        if (font->get()->MeasureWidth(whole, nullptr) != sum) {
            std::int32_t x = atX;
            for (std::uint16_t i = first; i < end; ++i) {
                DrawRun(dc, i, static_cast<std::uint16_t>(i + 1), false, x, lineTop);
                x += tokenWidth(i);
            }
            return;
        }
    }
    const std::u16string_view piece = CutToRoom(whole, bounds.right - atX);
    RECT area{atX, lineTop, bounds.right, bounds.bottom};
    DrawTextW(dc, piece, &area, DT_NOPREFIX | DT_SINGLELINE);
}

void MyStreamChatListBoxRow::Paint() {
    if (!font || !surface)
        return;
    if (!tokensBuilt_)
        BuildTokens();
    Dc& dc = surface->dc;
    FillRect(dc, bounds, CreateSolidBrush(backColour));
    const SavedDcState saved(dc);
    SelectObject(dc, font);
    SetTextColor(dc, reached ? textColour : kChatNotReached);
    SetBkColor(dc, backColour);

    const std::int32_t left = bounds.left;
    const std::int32_t right = bounds.right;
    std::int32_t x = left + kFirstIndent;
    std::int32_t lineTop = bounds.top;
    // Neighbouring tokens on one line whose widths add up are drawn in one piece; the characters land
    // exactly where token-by-token drawing would put them. Neighbouring shaped tokens form pieces of
    // their own (see DrawRun).
    std::uint16_t runFirst = 0;
    std::uint16_t runEnd = 0;
    std::int32_t runX = x;
    bool runAdditive = false;
    auto flush = [&] {
        DrawRun(dc, runFirst, runEnd, runAdditive, runX, lineTop);
        runFirst = runEnd;
    };
    for (std::uint16_t i = 0; i < tokenCount_; ++i) {
        const std::int32_t t = tokenWidth(i);
        if (x == left + kFirstIndent && right < x + t) {
            // The first word alone is too wide: the line's start, cut with an ellipsis.
            flush();
            if (lineTop + kLineHeight > 0 && lineTop < surface->height) {
                RECT area{x, lineTop, right, bounds.bottom};
                const std::u16string_view whole = CutToRoom(text, right - x);
                DrawTextW(dc, whole, &area, DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE);
            }
            lineTop += kLineHeight;
            x = left + kHangingIndent;
            runFirst = runEnd = static_cast<std::uint16_t>(i + 1);
            runX = x;
            continue;
        }
        if (right < x + t) {
            flush();
            lineTop += kLineHeight;
            x = left + kHangingIndent;
            runX = x;
        }
        const bool additive = tokenAdditive(i);
        if (runEnd > runFirst && additive != runAdditive) {
            flush();
            runX = x;
        }
        if (runEnd == runFirst) {
            runFirst = i;
            runX = x;
            runAdditive = additive;
        }
        runEnd = static_cast<std::uint16_t>(i + 1);
        x += t;
    }
    flush();
    if (!highlights.empty())
        PaintHighlights(dc);
}

void MyStreamChatListBoxRow::PaintHighlights(Dc& dc) {
    // The tokens' places as Paint's wrap put them; a first word cut with an ellipsis gets none.
    const std::int32_t left = bounds.left;
    const std::int32_t right = bounds.right;
    std::int32_t x = left + kFirstIndent;
    std::int32_t lineTop = bounds.top;
    platform::Font* measure = font->get();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kHighlightText);
    for (std::uint16_t i = 0; i < tokenCount_; ++i) {
        const std::int32_t t = tokenWidth(i);
        const bool cut = x == left + kFirstIndent && right < x + t;
        if (cut || right < x + t) {
            if (cut) {
                lineTop += kLineHeight;
                x = left + kHangingIndent;
                continue;
            }
            lineTop += kLineHeight;
            x = left + kHangingIndent;
        }
        const std::size_t start = tokenStart(i), end = start + tokenLength(i);
        for (const auto& [from, to] : highlights) {
            const std::size_t a = std::max(from, start), b = std::min(to, end);
            if (a >= b)
                continue;
            const std::u16string_view view(text);
            const std::int32_t before =
                a > start ? measure->MeasureWidth(view.substr(start, a - start), nullptr) : 0;
            const std::u16string_view part = view.substr(a, b - a);
            const std::int32_t wide = measure->MeasureWidth(part, nullptr);
            RECT mark{x + before, lineTop, std::min(x + before + wide, right), lineTop + kLineHeight};
            FillRect(dc, mark, CreateSolidBrush(kHighlightBack));
            RECT area{x + before, lineTop, right, lineTop + kLineHeight};
            DrawTextW(dc, part, &area, DT_NOPREFIX | DT_SINGLELINE);
        }
        x += t;
    }
}
