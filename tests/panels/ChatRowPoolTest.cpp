// The chat list's compact lines and the few row controls it makes for the lines in view: the lines it
// keeps, the controls bound to the right line wherever the view goes, and presses on a row while the view
// moves on.

#include "InfoPagesFixture.h"

#include "panels/MyChatPanel.h"
#include "platform/Utf.h"

using namespace infotest;

namespace {

constexpr std::int32_t kRowWidth = 400 - 24;
constexpr std::int32_t kViewHeight = 160;

class ChatRowPool : public InfoPagesFixture {
protected:
    void SetUp() override {
        Open(600, 400);
        auto made = std::make_unique<MyChatPanel>(&app);
        made->Create(&owner.context, 0, 0, 400, kViewHeight);
        panel = Attach(std::move(made));
        list = panel->listBox;
    }
    // `count` one-line rows, messages (yellow) at even indices and joins (green) at odd ones.
    void FillAlternating(int count) {
        for (int i = 0; i < count; ++i) {
            const std::u16string nick = u"n" + Utf8ToUtf16(std::to_string(i));
            if (i % 2 == 0)
                rows.push_back(Message(i, nick, u"hi"));
            else
                rows.push_back(StreamChatRow(i, StreamChatRowKind_Join, {nick}));
        }
        panel->SetChatRows(&rows);
    }
    MyStreamChatListBoxRow* Row(int i) { return static_cast<MyStreamChatListBoxRow*>(list->RowAt(i)); }
    // Whether screen rows [top, bottom) of the list show `pixel` (0xRRGGBB).
    bool Shows(int top, int bottom, std::uint32_t pixel) {
        for (int py = std::max(top, 0); py < std::min(bottom, kViewHeight); ++py)
            for (int px = 0; px < kRowWidth; ++px)
                if (BackPixel(px, py) == pixel)
                    return true;
        return false;
    }

    StreamChatRowList rows;
    MyChatPanel* panel = nullptr;
    MyChatListBox* list = nullptr;
};

constexpr std::uint32_t kYellowPixel = 0xFFFF00;
constexpr std::uint32_t kGreenPixel = 0x00FF00;

TEST_F(ChatRowPool, EveryPartOfALongChatShowsItsOwnLinesFromAFewRowControls) {
    FillAlternating(2000);
    list->SetShowBeyond(true);
    list->SetCurrentRow(1999);
    const std::size_t pool = kViewHeight / 16 + 8;
    for (std::int32_t offset : {0, 16 * 700, 16 * 1990, 16 * 333 + 7, 16 * 40, 16 * 1500 + 9}) {
        list->ScrollTo(offset);
        ASSERT_EQ(list->scrollOffset, std::min(offset, list->contentHeight + 1 - kViewHeight));
        // Each line shows its own colour, wherever the row controls were used before.
        for (int band = -(list->scrollOffset % 16); band < kViewHeight; band += 16) {
            const int index = (list->scrollOffset + band) / 16;
            const bool yellow = index % 2 == 0;
            const int top = std::max(band, 0);
            const int bottom = std::min(band + 16, kViewHeight);
            if (bottom - top < 12)
                continue; // too little of the line in view to be sure of its ink
            EXPECT_TRUE(Shows(top, bottom, yellow ? kYellowPixel : kGreenPixel))
                << "offset " << offset << " line " << index;
            EXPECT_FALSE(Shows(top, bottom, yellow ? kGreenPixel : kYellowPixel))
                << "offset " << offset << " line " << index;
        }
        EXPECT_LE(list->RowControlCount(), pool);
    }
    EXPECT_GT(list->RowControlCount(), 0u);
    EXPECT_LE(list->RowControlCount(), pool) << "row controls only for a view's worth of lines";
}

TEST_F(ChatRowPool, RowsAskedForByIndexReadAsTheirLinesAndTwoAtOnceStayApart) {
    FillAlternating(500);
    list->SetCurrentRow(499);
    root->Redraw();
    MyStreamChatListBoxRow* early = Row(6);
    MyStreamChatListBoxRow* late = Row(401);
    ASSERT_NE(early, late);
    EXPECT_EQ(Utf16ToUtf8(early->text), "[0:00:06] <n6> hi");
    EXPECT_EQ(Utf16ToUtf8(late->text), "[0:06:41] n401 has joined");
    EXPECT_EQ(early->index, 6);
    EXPECT_EQ(early->top, 96);
    EXPECT_EQ(early->height, 16);
    EXPECT_EQ(late->textColour, 0x00FF00u);
    EXPECT_EQ(late->time, 401);
    EXPECT_EQ(list->FindRowAt(16 * 250 + 3)->index, 250);
    EXPECT_EQ(list->RowAt(500), nullptr);
    EXPECT_EQ(list->RowAt(-1), nullptr);
    // Every line, asked for in turn, reads as its own.
    for (int i = 0; i < 500; i += 37) {
        EXPECT_EQ(Row(i)->index, i);
        EXPECT_EQ(Row(i)->time, i);
        EXPECT_EQ(Row(i)->top, 16 * i);
    }
    EXPECT_LE(list->RowControlCount(), static_cast<std::size_t>(kViewHeight / 16 + 8));
}

TEST_F(ChatRowPool, TheListMeasuresLinesExactlyAsARowDoesOnItsOwn) {
    rows.push_back(Message(3725, u"Ж-listener",
                           u"Tyrannosaurus AVAWAY fjord «quotes» — Жёлтый Ωmega 漢字 and 😀 mixed:  "
                           u"two blanks, שלום עולם, and e\u0301 with a mark"));
    rows.push_back(StreamChatRow(9, StreamChatRowKind_ModeChange, {u"N", u"+o", u"X"}));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(1);
    root->Redraw();
    for (int i = 0; i < 2; ++i) {
        MyStreamChatListBoxRow* kept = Row(i);
        MyStreamChatListBoxRow alone(kept->time, kept->text, panel->font.get(), kept->textColour);
        EXPECT_EQ(alone.MeasureHeight(kRowWidth), kept->height) << "line " << i;
        ASSERT_EQ(alone.tokenCount(), kept->tokenCount()) << "line " << i;
        for (std::uint16_t t = 0; t < alone.tokenCount(); ++t) {
            EXPECT_EQ(alone.tokenStart(t), kept->tokenStart(t)) << "line " << i << " token " << t;
            EXPECT_EQ(alone.tokenLength(t), kept->tokenLength(t)) << "line " << i << " token " << t;
            EXPECT_EQ(alone.tokenWidth(t), kept->tokenWidth(t)) << "line " << i << " token " << t;
        }
        EXPECT_EQ(alone.MeasureHeight(120),
                  list->lines.Height(static_cast<std::size_t>(i), 120, panel->font.get()));
    }
}

TEST_F(ChatRowPool, APressedRowKeepsItsLineWhileTheViewMovesOnUntilTheRelease) {
    FillAlternating(300);
    list->SetCurrentRow(299);
    list->ScrollTo(0);
    Pump();
    native->InjectButton(0, true, 50, 40); // line 2
    Pump();
    auto* pressed = dynamic_cast<MyStreamChatListBoxRow*>(list->leftPressedRow);
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(pressed->index, 2);
    // The view moves far on; every row control but the pressed one goes to other lines.
    list->ScrollTo(16 * 200);
    list->ScrollTo(16 * 100);
    EXPECT_EQ(list->leftPressedRow, pressed);
    EXPECT_EQ(pressed->index, 2);
    EXPECT_EQ(Utf16ToUtf8(pressed->text), "[0:00:02] <n2> hi");
    native->InjectButton(0, false, 50, 40);
    Pump();
    EXPECT_EQ(list->leftPressedRow, nullptr);
    EXPECT_TRUE(Shows(0, 16, kYellowPixel)) << "line 100 at the top";
    EXPECT_TRUE(Shows(16, 32, kGreenPixel));
    // New rows while a row is pressed: the press is forgotten with the old rows.
    native->InjectButton(0, true, 50, 40);
    Pump();
    ASSERT_NE(list->leftPressedRow, nullptr);
    FillAlternating(3);
    EXPECT_EQ(list->leftPressedRow, nullptr);
    native->InjectButton(0, false, 50, 40);
    Pump();
    EXPECT_EQ(list->RowCount(), 303);
}

TEST(ChatLines, TextTimeAndColourAreKeptAndOverLongLinesCutBetweenCharacters) {
    ChatLineStore lines;
    lines.Add(-5, u"first", 0x00FFFF);
    lines.Add(7, u"", 0xFF00FF);
    std::u16string huge(ChatLineStore::kMaxLength - 1, u'x');
    huge += u"😀"; // a pair across the cut
    lines.Add(9, huge, 0);
    lines.Compact();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.Text(0), u"first");
    EXPECT_EQ(lines[0].time, -5);
    EXPECT_EQ(lines[0].colour, 0x00FFFFu);
    EXPECT_EQ(lines.Text(1), u"");
    EXPECT_EQ(lines.Text(2).size(), ChatLineStore::kMaxLength - 1);
    // Without a font nothing is measured: one line high.
    EXPECT_EQ(lines.Height(0, 300, nullptr), 16);
    EXPECT_EQ(lines.Widths(0), nullptr);
    // A hidden line takes no space and is not measured.
    EXPECT_TRUE(lines.SetHidden(0, true));
    EXPECT_FALSE(lines.SetHidden(0, true));
    EXPECT_EQ(lines.Height(0, 300, nullptr), 0);
    lines.Clear();
    EXPECT_EQ(lines.size(), 0u);
    EXPECT_EQ(lines.TextBytes(), 0u);
}

} // namespace
