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
    timesFound_ = false;
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
    const MyPalette palette = PaletteOf(*this);
    const COLORREF back = ShownBack(palette);
    const COLORREF fore = ShownText(palette);
    FillRect(dc, bounds, CreateSolidBrush(back));
    const SavedDcState saved(dc);
    SelectObject(dc, font);
    SetTextColor(dc, fore);
    SetBkColor(dc, back);

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
    if (!Times().empty())
        PaintTimeLinks(dc, fore);
    if (!highlights.empty())
        PaintHighlights(dc, palette);
}

COLORREF MyStreamChatListBoxRow::ShownBack(const MyPalette& palette) const {
    if (!palette.highContrast)
        return backColour;
    return backColour != 0 ? palette.selectionBackground : palette.background;
}

COLORREF MyStreamChatListBoxRow::ShownText(const MyPalette& palette) const {
    if (!palette.highContrast)
        return reached ? textColour : kChatNotReached;
    if (backColour != 0)
        return palette.selectionText;
    if (!reached)
        return palette.dimText;
    return ContrastRatio(textColour, palette.background) >= 7.0 ? textColour : palette.text;
}

template <typename Place> void MyStreamChatListBoxRow::ForEachTokenPlace(Place&& place) const {
    const std::int32_t left = bounds.left;
    const std::int32_t right = bounds.right;
    std::int32_t x = left + kFirstIndent;
    std::int32_t lineTop = bounds.top;
    for (std::uint16_t i = 0; i < tokenCount_; ++i) {
        const std::int32_t t = tokenWidth(i);
        if (right < x + t) {
            const bool cut = x == left + kFirstIndent;
            lineTop += kLineHeight;
            x = left + kHangingIndent;
            if (cut)
                continue;
        }
        place(i, x, lineTop);
        x += t;
    }
}

RECT MyStreamChatListBoxRow::SpanBox(std::uint16_t token, std::size_t from, std::size_t to, std::int32_t x,
                                     std::int32_t lineTop) const {
    platform::Font* measure = font->get();
    const std::u16string_view view(text);
    const std::size_t start = tokenStart(token);
    const std::int32_t before =
        from > start ? measure->MeasureWidth(view.substr(start, from - start), nullptr) : 0;
    const std::int32_t wide = measure->MeasureWidth(view.substr(from, to - from), nullptr);
    return RECT{x + before, lineTop, std::min(x + before + wide, bounds.right), lineTop + kLineHeight};
}

void MyStreamChatListBoxRow::PaintHighlights(Dc& dc, const MyPalette& palette) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, palette.highContrast ? palette.selectionText : kHighlightText);
    const COLORREF markBack = palette.highContrast ? palette.link : kHighlightBack;
    ForEachTokenPlace([&](std::uint16_t i, std::int32_t x, std::int32_t lineTop) {
        const std::size_t start = tokenStart(i), end = start + tokenLength(i);
        for (const auto& [from, to] : highlights) {
            const std::size_t a = std::max(from, start), b = std::min(to, end);
            if (a >= b)
                continue;
            const RECT mark = SpanBox(i, a, b, x, lineTop);
            FillRect(dc, mark, CreateSolidBrush(markBack));
            RECT area{mark.left, lineTop, bounds.right, lineTop + kLineHeight};
            DrawTextW(dc, std::u16string_view(text).substr(a, b - a), &area, DT_NOPREFIX | DT_SINGLELINE);
        }
    });
}

const std::vector<TimeInText>& MyStreamChatListBoxRow::Times() {
    if (!timesFound_) {
        // The line's own "[H:MM:SS] " stamp is no link: only what was said counts.
        const std::size_t close = text.rfind(u"] ", 12);
        const std::size_t from =
            !text.empty() && text[0] == u'[' && close != std::u16string::npos ? close + 2 : 0;
        times_ = FindTimesInText(std::u16string_view(text).substr(from), lastSecond);
        for (TimeInText& found : times_)
            found.start += from;
        timesFound_ = true;
    }
    return times_;
}

void MyStreamChatListBoxRow::PaintTimeLinks(Dc& dc, COLORREF colour) {
    ForEachTokenPlace([&](std::uint16_t i, std::int32_t x, std::int32_t lineTop) {
        const std::size_t start = tokenStart(i), end = start + tokenLength(i);
        for (const TimeInText& found : times_) {
            if (found.start < start || found.start + found.length > end)
                continue;
            RECT line = SpanBox(i, found.start, found.start + found.length, x, lineTop);
            line.top = lineTop + kLineHeight - 2;
            line.bottom = line.top + 1;
            FillRect(dc, line, CreateSolidBrush(colour));
        }
    });
}

std::int32_t MyStreamChatListBoxRow::TimeAt(POINT point) {
    if (!font || !tokensBuilt_ || Times().empty())
        return -1;
    std::int32_t second = -1;
    ForEachTokenPlace([&](std::uint16_t i, std::int32_t x, std::int32_t lineTop) {
        const std::size_t start = tokenStart(i), end = start + tokenLength(i);
        for (const TimeInText& found : times_) {
            if (found.start < start || found.start + found.length > end)
                continue;
            if (PtInRect(SpanBox(i, found.start, found.start + found.length, x, lineTop), point))
                second = found.seconds;
        }
    });
    return second;
}

void MyStreamChatListBoxRow::OnLButtonUp(POINT point) {
    MyListBoxV2ItemBase::OnLButtonUp(point);
    if (!reached)
        return; // a line not heard yet gives nothing away, not even where it points
    const std::int32_t second = TimeAt(point);
    if (second >= 0)
        TimeClickCallback(callbackTarget, second, controlId);
}
