// The chat replay: lines, their colours and wrapping, and how the view unfolds and follows the play
// position. Pixels are read back from the window's back buffer.

#include "InfoPagesFixture.h"

#include "panels/MyChatPanel.h"
#include "platform/Utf.h"
#include "ui/MySurface.h"
#include "ui/Palette.h"

#include <set>

using namespace infotest;

namespace {

constexpr std::int32_t kRowWidth = 400 - 24;

class ChatPanel : public InfoPagesFixture {
protected:
    void SetUp() override {
        Open(600, 400);
        auto made = std::make_unique<MyChatPanel>(&app);
        made->Create(&owner.context, 0, 0, 400, 160);
        panel = Attach(std::move(made));
        list = panel->listBox;
    }
    // `count` one-line messages "[0:00:0n] <n> hi".
    void FillShortRows(int count) {
        for (int i = 0; i < count; ++i)
            rows.push_back(Message(i, u"n" + Utf8ToUtf16(std::to_string(i)), u"hi"));
        panel->SetChatRows(&rows);
    }
    MyStreamChatListBoxRow* Row(int i) { return static_cast<MyStreamChatListBoxRow*>(list->RowAt(i)); }
    // Pixel colours (0xRRGGBB) other than black in screen rows [top, bottom) of the list.
    std::set<std::uint32_t> Ink(int top, int bottom, int left = 0, int right = kRowWidth) {
        std::set<std::uint32_t> found;
        for (int py = std::max(top, 0); py < std::min(bottom, 160); ++py)
            for (int px = left; px < right; ++px)
                if (std::uint32_t p = BackPixel(px, py))
                    found.insert(p);
        return found;
    }
    bool HasInk(int top, int bottom) { return !Ink(top, bottom).empty(); }
    // Leftmost column with ink in screen rows [top, bottom), or -1.
    int LeftmostInk(int top, int bottom) {
        for (int px = 0; px < kRowWidth; ++px)
            for (int py = top; py < bottom; ++py)
                if (BackPixel(px, py))
                    return px;
        return -1;
    }

    StreamChatRowList rows;
    MyChatPanel* panel = nullptr;
    MyChatListBox* list = nullptr;
};

TEST(ChatTokens, EachWordCarriesOneBlankAndFurtherBlanksStandAlone) {
    auto split = [](std::u16string_view text) {
        std::vector<std::string> out;
        for (const ChatToken& t : SplitChatTokens(text))
            out.push_back(Utf16ToUtf8(text.substr(t.start, t.length)));
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(split(u"ab cd"), (V{"ab ", "cd"}));
    EXPECT_EQ(split(u"ab  cd"), (V{"ab ", " ", "cd"}));
    EXPECT_EQ(split(u" ab"), (V{" ", "ab"}));
    EXPECT_EQ(split(u"ab   "), (V{"ab ", " ", " "}));
    EXPECT_EQ(split(u"N sets mode to:  +o X"), (V{"N ", "sets ", "mode ", "to: ", " ", "+o ", "X"}));
    EXPECT_TRUE(split(u"").empty());
}

TEST(ChatText, ControlsAndFormattingCodesAreDroppedAndLongLinesCut) {
    const std::u16string dirty = u"\x02"
                                 u"bold\x02 \x03"
                                 u"04,12red\x03 x\ty\x7f\x1b[31m\x0f.";
    EXPECT_EQ(Utf16ToUtf8(CleanChatText(dirty, 100)), "bold red x y[31m.");
    const std::u16string lone{u'a', char16_t(0xD83D), u'b', char16_t(0xDE00)};
    EXPECT_EQ(CleanChatText(lone, 100), (std::u16string{u'a', 0xFFFD, u'b', 0xFFFD}));
    // A cut never leaves half a surrogate pair.
    EXPECT_EQ(CleanChatText(u"ab😀", 3), u"ab");
    EXPECT_EQ(CleanChatText(u"ab😀", 4), u"ab😀");
}

TEST_F(ChatPanel, LinesAreComposedAndColouredByKind) {
    rows.push_back(Message(75, u"A", u"B"));
    rows.push_back(StreamChatRow(80, StreamChatRowKind_Leave, {u"N"}));
    rows.push_back(StreamChatRow(90, StreamChatRowKind_Kick, {u"K", u"N", u"R"}));
    rows.push_back(StreamChatRow(-5, StreamChatRowKind_Join, {u"A", u"surplus"}));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(3);
    EXPECT_EQ(Utf16ToUtf8(Row(0)->text), "[0:01:15] <A> B");
    EXPECT_EQ(Utf16ToUtf8(Row(1)->text), "[0:01:20] N has left");
    EXPECT_EQ(Utf16ToUtf8(Row(2)->text), "[0:01:30] N was kicked by K (R)");
    EXPECT_EQ(Utf16ToUtf8(Row(3)->text), "[-0:00:05] [UNKNOWN TYPE]");
    EXPECT_EQ(Row(0)->time, 75);
    // Each line shows its own colour at full strength, and nothing of the others.
    const std::uint32_t colours[] = {0xFFFF00, 0xFF0000, 0xFF0080, 0xFF00FF}; // as pixels
    for (int i = 0; i < 4; ++i) {
        const auto ink = Ink(16 * i, 16 * i + 16);
        EXPECT_TRUE(ink.count(colours[i])) << "row " << i;
        for (int j = 0; j < 4; ++j)
            if (j != i) {
                EXPECT_FALSE(ink.count(colours[j])) << "row " << i << " shows colour of row " << j;
            }
    }
}

TEST_F(ChatPanel, LongLinesWrapAtBlanksWithAHangingIndent) {
    rows.push_back(
        Message(0, u"someone",
                u"a long message that needs more than one line in a list this narrow, wrapped at its "
                u"blanks and never inside a word"));
    rows.push_back(Message(1, u"x", u"short"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(1);
    MyStreamChatListBoxRow* row = Row(0);
    const int lines = row->height / 16;
    ASSERT_GE(lines, 2);
    EXPECT_EQ(Row(1)->top, row->height);
    // The first line starts 3 pixels in, the others 20, and no line runs past the row's right edge.
    const int first = LeftmostInk(0, 16);
    EXPECT_GE(first, 3);
    EXPECT_LE(first, 5);
    for (int line = 1; line < lines; ++line) {
        const int left = LeftmostInk(16 * line, 16 * line + 16);
        EXPECT_GE(left, 20) << "line " << line;
        EXPECT_LE(left, 22) << "line " << line;
    }
    // Every token lies on the line the wrap rule gives it: the sum of the widths never passes the edge.
    std::int32_t x = 3;
    int counted = 1;
    for (std::uint16_t i = 0; i < row->tokenCount(); ++i) {
        if (kRowWidth < x + row->tokenWidth(i)) {
            ++counted;
            x = 20;
        }
        x += row->tokenWidth(i);
    }
    EXPECT_EQ(counted, lines);
}

TEST_F(ChatPanel, AFirstWordWiderThanTheListIsCutWithAnEllipsisAndTheRowIsALineTaller) {
    // A row made directly: composed lines always start with their short time stamp.
    panel->SetChatRows(nullptr); // makes the font
    auto row = std::make_unique<MyStreamChatListBoxRow>(
        0, u"Pneumonoultramicroscopicsilicovolcanoconiosis-and-then-some-more-of-it-too next words",
        panel->font.get(), 0x00FFFF);
    row->Create(&owner.context, 0, 0, 0, 0);
    list->AddRow(std::move(row));
    list->SetBounds(RECT{0, 0, 224, 160}); // rows 200 pixels wide
    list->SetShowBeyond(true);
    list->SetCurrentRow(0);
    root->Redraw();
    ASSERT_GT(Row(0)->tokenWidth(0), 200);
    // Measured: the word on line 2 past the indent pushes the rest to line 3. Painted: the words after
    // the cut start line 2, and line 3 stays empty.
    EXPECT_EQ(Row(0)->height, 48);
    const int firstLeft = LeftmostInk(0, 16);
    EXPECT_GE(firstLeft, 3);
    EXPECT_LE(firstLeft, 5);
    int rightmost = 0;
    for (int px = 0; px < 200; ++px)
        if (!Ink(0, 16, px, px + 1).empty())
            rightmost = px;
    EXPECT_GE(rightmost, 190) << "the cut word with its ellipsis fills the line";
    const int secondLeft = LeftmostInk(16, 32);
    EXPECT_GE(secondLeft, 20);
    EXPECT_LE(secondLeft, 22);
    EXPECT_TRUE(Ink(32, 48, 0, 200).empty());
}

TEST_F(ChatPanel, WithShowBeyondOffOnlyReachedRowsShowAndGoingBackHidesLaterOnes) {
    FillShortRows(30);
    root->Redraw();
    EXPECT_FALSE(HasInk(0, 160)) << "nothing shows before the play position reaches a row";
    list->SetCurrentRow(4);
    EXPECT_EQ(list->visibleEnd, 80);
    EXPECT_TRUE(HasInk(64, 80));
    EXPECT_FALSE(HasInk(80, 160));

    list->SetCurrentRow(25);
    EXPECT_EQ(list->visibleEnd, 416);
    EXPECT_TRUE(list->follow);
    EXPECT_EQ(list->scrollOffset, 416 + 1 - 160) << "the newest line sits at the bottom";
    EXPECT_EQ(list->scrollbar->contentSize, 417);

    // Back to an earlier row: later rows disappear and the view comes up with the current row at its
    // bottom.
    list->SetCurrentRow(12);
    EXPECT_EQ(list->visibleEnd, 208);
    EXPECT_EQ(list->scrollOffset, 208 + 1 - 160);
    const int rowTwelve = 192 - list->scrollOffset;
    EXPECT_TRUE(HasInk(rowTwelve, rowTwelve + 16));
    EXPECT_FALSE(HasInk(rowTwelve + 16, 160));
    EXPECT_EQ(list->scrollbar->position, list->scrollOffset);
}

TEST_F(ChatPanel, WithShowBeyondOnLaterRowsAreDarkGrey) {
    FillShortRows(8);
    list->SetShowBeyond(true);
    list->SetCurrentRow(2);
    for (int i = 0; i < 8; ++i) {
        const auto ink = Ink(16 * i, 16 * i + 16);
        EXPECT_EQ(ink.count(0x404040), i > 2 ? 1u : 0u) << "row " << i;
        EXPECT_EQ(ink.count(0xFFFF00), i > 2 ? 0u : 1u) << "row " << i;
    }
    EXPECT_FALSE(HasInk(128, 160));
    // Off again: the rows after the current one go.
    list->SetShowBeyond(false);
    EXPECT_EQ(list->visibleEnd, 48);
    EXPECT_FALSE(HasInk(48, 160));
}

TEST_F(ChatPanel, InHighContrastFaintColoursTurnWhiteAndLaterRowsSilver) {
    owner.context.palette = HighContrastPalette();
    rows.push_back(Message(75, u"A", u"B"));                            // yellow: 19:1 on black, kept
    rows.push_back(StreamChatRow(80, StreamChatRowKind_Leave, {u"N"})); // red: 5:1, white instead
    rows.push_back(StreamChatRow(90, StreamChatRowKind_Kick, {u"K", u"N", u"R"})); // pink: 5.6:1
    rows.push_back(Message(95, u"C", u"D"));
    panel->SetChatRows(&rows);
    list->SetShowBeyond(true);
    list->SetCurrentRow(2);
    const std::uint32_t white = 0xFFFFFF, silver = 0xC0C0C0;
    EXPECT_TRUE(Ink(0, 16).count(0xFFFF00));
    for (int i : {1, 2}) {
        const auto ink = Ink(16 * i, 16 * i + 16);
        EXPECT_TRUE(ink.count(white)) << "row " << i;
        EXPECT_FALSE(ink.count(0xFF0000) || ink.count(0xFF0080)) << "row " << i;
    }
    // Beyond the play position: silver (11:1) rather than the dark grey (2:1).
    const auto later = Ink(48, 64);
    ASSERT_FALSE(later.empty());
    EXPECT_EQ(*later.rbegin(), silver) << "silver is the brightest ink of the row";
    EXPECT_GE(ContrastRatio(RGB(0xC0, 0xC0, 0xC0), RGB(0, 0, 0)), 7.0);
}

TEST_F(ChatPanel, ScrollingTheCurrentRowOutOfViewStopsFollowingAndBackResumes) {
    FillShortRows(40);
    list->SetShowBeyond(true);
    list->SetCurrentRow(5);            // top 80
    native->InjectWheel(100, 80, 120); // up at the top: stays, still following
    Pump();
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_TRUE(list->follow);
    for (int notch = 0; notch < 4; ++notch)
        native->InjectWheel(100, 80, -120);
    Pump();
    EXPECT_EQ(list->scrollOffset, 96);
    EXPECT_FALSE(list->follow) << "row 5 (80 to 96) is above the view";
    list->SetCurrentRow(20); // not followed: the view stays
    EXPECT_EQ(list->scrollOffset, 96);
    EXPECT_FALSE(list->follow);
    native->InjectWheel(100, 80, -120 * 8); // row 20 (320) comes into view
    Pump();
    EXPECT_TRUE(list->follow);
    list->SetCurrentRow(39); // followed again: the newest row's bottom at the view's bottom
    EXPECT_EQ(list->scrollOffset, 640 - 160 + 1);
    // No current row: a following view returns to the top.
    list->SetCurrentRow(-1);
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_EQ(list->currentTop, 0);
    EXPECT_EQ(list->currentHeight, 0);
}

TEST_F(ChatPanel, NarrowingRewrapsAndKeepsTheFollowedRowAtTheBottom) {
    for (int i = 0; i < 30; ++i)
        rows.push_back(
            Message(i, u"talker", u"a sentence of several words that wraps once the list is narrow"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(29);
    const std::int32_t wideHeight = list->contentHeight;
    panel->SetBounds(RECT{0, 0, 250, 160});
    root->Redraw();
    EXPECT_GT(list->contentHeight, wideHeight);
    EXPECT_EQ(list->visibleEnd, list->contentHeight);
    EXPECT_EQ(list->currentTop + list->currentHeight, list->visibleEnd);
    EXPECT_EQ(list->scrollOffset, list->visibleEnd + 1 - 160);
}

TEST_F(ChatPanel, StrangersTextStaysInsideItsOwnRow) {
    rows.push_back(Message(1, u"a", std::u16string(2000, u'x')));
    rows.push_back(Message(2, u"b", u"\u202Ereversed\u202C text \u2067isolate and more words"));
    rows.push_back(Message(3, u"c",
                           u"\x03"
                           u"04coloured\x0f and \x01"
                           u"ACTION\x01 with emoji 😀👍🏽 and 漢字"));
    rows.push_back(Message(4, u"d", u"plain"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(3);
    // The blankless line: the time stamp and nick, then the long word alone on a clipped line.
    EXPECT_EQ(Row(0)->height, 32);
    EXPECT_EQ(Row(1)->top, 32);
    EXPECT_EQ(Row(1)->height, 16);
    EXPECT_EQ(Row(2)->top, 48);
    EXPECT_EQ(Utf16ToUtf8(Row(2)->text).find('\x03'), std::string::npos);
    EXPECT_EQ(Row(3)->top, 48 + Row(2)->height);
    // The last row shows its own yellow, clean of other rows' ink.
    const int last = Row(3)->top;
    EXPECT_TRUE(Ink(last, last + 16).count(0xFFFF00));
    EXPECT_FALSE(HasInk(last + 16, 160));
}

TEST_F(ChatPanel, AHiddenPageMeasuresAndPaintsNothing) {
    panel->visible = false;
    FillShortRows(50);
    list->SetCurrentRow(10);
    EXPECT_EQ(Row(0)->tokenCount(), 0) << "no row measured while hidden";
    EXPECT_TRUE(list->relayoutNeeded);
    panel->visible = true;
    root->Redraw();
    EXPECT_FALSE(list->relayoutNeeded);
    EXPECT_EQ(list->visibleEnd, 176);
    EXPECT_TRUE(HasInk(0, 16));
}

TEST_F(ChatPanel, NewRowsReplaceTheOldOnesAndKeepTheCurrentIndex) {
    FillShortRows(20);
    list->SetCurrentRow(15);
    StreamChatRowList other;
    other.push_back(Message(0, u"z", u"first of another show"));
    panel->SetChatRows(&other);
    EXPECT_EQ(list->RowCount(), 1);
    EXPECT_EQ(list->currentIndex, 15);
    EXPECT_EQ(list->scrollOffset, 0);
    root->Redraw();
    EXPECT_EQ(list->visibleEnd, 0) << "the kept index names no row of the new show";
    EXPECT_FALSE(HasInk(0, 160));
    list->SetCurrentRow(0);
    EXPECT_TRUE(HasInk(0, 16));
}

} // namespace

namespace {

// Draws `row`'s tokens one at a time, as the wrap rule places them, into a fresh black surface.
void DrawTokenByToken(MyStreamChatListBoxRow& row, MySurface& target, std::int32_t rowWidth) {
    FillRect(target.dc, RECT{0, 0, target.width, target.height}, CreateSolidBrush(0));
    SelectObject(target.dc, row.font);
    SetTextColor(target.dc, row.textColour);
    SetBkColor(target.dc, 0);
    std::int32_t x = 3;
    std::int32_t top = 0;
    for (std::uint16_t i = 0; i < row.tokenCount(); ++i) {
        const std::int32_t t = row.tokenWidth(i);
        if (rowWidth < x + t) {
            top += 16;
            x = 20;
        }
        RECT area{x, top, rowWidth, target.height};
        DrawTextW(target.dc, std::u16string_view(row.text).substr(row.tokenStart(i), row.tokenLength(i)),
                  &area, DT_NOPREFIX | DT_SINGLELINE);
        x += t;
    }
}

TEST_F(ChatPanel, LinesDrawnInPiecesMatchTokenByTokenDrawingPixelForPixel) {
    rows.push_back(Message(3725, u"Ж-listener",
                           u"Tyrannosaurus AVAWAY fjord «quotes» — Жёлтый Ωmega 漢字 and 😀 mixed: "
                           u"To be, or not to be; that is the question. ¿Qué? Ça va."));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(0);
    MyStreamChatListBoxRow* row = Row(0);
    ASSERT_GE(row->height, 32);
    MySurface reference;
    ASSERT_TRUE(reference.ResizeSurface(nullptr, kRowWidth, row->height));
    DrawTokenByToken(*row, reference, kRowWidth);
    int differing = 0;
    for (int py = 0; py < row->height; ++py)
        for (int px = 0; px < kRowWidth; ++px)
            differing += (reference.bitmap->row(py)[px] & 0xFFFFFF) != BackPixel(px, py);
    EXPECT_EQ(differing, 0);
}

} // namespace

namespace {

TEST_F(ChatPanel, RightToLeftWordsOnALineReadInTheirOwnOrder) {
    rows.push_back(Message(0, u"n", u"שלום עולם"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(0);
    MyStreamChatListBoxRow* row = Row(0);
    ASSERT_EQ(row->tokenCount(), 4);
    const std::u16string prefix = u"[0:00:00] <n> ";
    const std::int32_t prefixWidth = row->tokenWidth(0) + row->tokenWidth(1);
    MySurface reference;
    ASSERT_TRUE(reference.ResizeSurface(nullptr, kRowWidth, 16));
    FillRect(reference.dc, RECT{0, 0, kRowWidth, 16}, CreateSolidBrush(0));
    SelectObject(reference.dc, row->font);
    SetTextColor(reference.dc, row->textColour);
    SetBkColor(reference.dc, 0);
    RECT left{3, 0, kRowWidth, 16};
    DrawTextW(reference.dc, prefix, &left, DT_NOPREFIX | DT_SINGLELINE);
    RECT right{3 + prefixWidth, 0, kRowWidth, 16};
    DrawTextW(reference.dc, u"שלום עולם", &right, DT_NOPREFIX | DT_SINGLELINE);
    int differing = 0;
    for (int py = 0; py < 16; ++py)
        for (int px = 0; px < kRowWidth; ++px)
            differing += (reference.bitmap->row(py)[px] & 0xFFFFFF) != BackPixel(px, py);
    EXPECT_EQ(differing, 0) << "the two Hebrew words are drawn as one right-to-left piece";
}

} // namespace

namespace {

TEST_F(ChatPanel, NarrowingKeepsTheTopRowOfAViewThatNoLongerFollows) {
    for (int i = 0; i < 60; ++i)
        rows.push_back(
            Message(i, u"talker", u"a sentence of several words that wraps once the list is narrow"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(40);
    list->ScrollTo(Row(30)->top + 5); // row 30, 5 pixels in; the current row lies below the view
    ASSERT_FALSE(list->follow);
    const std::int32_t wideEnd = list->visibleEnd;
    panel->SetBounds(RECT{0, 0, 250, 160});
    root->Redraw();
    ASSERT_GT(Row(30)->top + 5, wideEnd + 1 - 160) << "the row's new place lies past the old end";
    MyListBoxV2ItemBase* top = list->FindRowAt(list->scrollOffset);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->index, 30);
    EXPECT_EQ(list->scrollOffset - top->top, 5);
}

} // namespace
