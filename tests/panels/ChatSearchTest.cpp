// Search in the chat: the bar over the chat, the rows that hold the query whatever its case and
// accents (rows beyond the play position too), their highlights on the pixels, stepping through them,
// what is shown of a match not yet reached, Enter and Escape. The lines' search index over many rows.

#include "ChatPanelFixture.h"

#include "panels/MyChatSearchBar.h"
#include "platform/Utf.h"

using namespace infotest;

namespace {

class ChatSearch : public ChatPanelFixture {
protected:
    void SetUp() override {
        OpenChatPanel();
        panel->searchTarget = &played;
        panel->SearchPlayCallback = &Played::Play;
        // One line a second; the interview comes up at 3, 7 and 25 in different cases and accents.
        for (int i = 0; i < 40; ++i) {
            std::u16string text = u"line " + Utf8ToUtf16(std::to_string(i));
            if (i == 3)
                text = u"is the interview today?";
            if (i == 7)
                text = u"the INTERVIEW was great";
            if (i == 25)
                text = u"another intérview later";
            rows.push_back(Message(i, i == 12 ? u"Interviewer" : u"alice", text));
        }
        panel->SetChatRows(&rows);
        list->SetCurrentRow(10);
        Pump();
    }
    void Type(std::u16string_view text) {
        native->InjectText(text);
        Pump();
    }
    void Key(int key) {
        native->InjectKey(key, true);
        native->InjectKey(key, false);
        Pump();
    }
    // How many pixels of `colour` lie in screen rows [top, bottom) of the list's rows area.
    int Count(std::uint32_t colour, std::int32_t top, std::int32_t bottom) {
        int n = 0;
        for (std::int32_t py = std::max(top, list->y); py < std::min(bottom, list->y + list->height); ++py)
            for (std::int32_t px = list->x; px < list->x + list->width - list->scrollbarWidth; ++px)
                n += BackPixel(px, py) == colour;
        return n;
    }
    // How many pixels other than black.
    int Ink(std::int32_t top, std::int32_t bottom) {
        int n = 0;
        for (std::int32_t py = std::max(top, list->y); py < std::min(bottom, list->y + list->height); ++py)
            for (std::int32_t px = list->x; px < list->x + list->width - list->scrollbarWidth; ++px)
                n += BackPixel(px, py) != 0;
        return n;
    }
    static constexpr std::uint32_t Amber() { return ColourToPixel(MyStreamChatListBoxRow::kHighlightBack); }
    static constexpr std::uint32_t ShownBack() { return ColourToPixel(MyChatListBox::kShownMatchBack); }

    struct Played : MyCallbackTarget {
        void Play(std::int32_t time, std::int32_t) { times.push_back(time); }
        std::vector<std::int32_t> times;
    } played;
    StreamChatRowList rows;
};

TEST_F(ChatSearch, TheBarOpensOverTheChatWithTheKeyboardAndCloses) {
    EXPECT_FALSE(panel->searchOpen());
    EXPECT_EQ(list->y, 0);
    panel->OpenSearch();
    ASSERT_TRUE(panel->searchOpen());
    EXPECT_TRUE(panel->searchBar->input->hasFocus());
    EXPECT_EQ(list->y, MyChatSearchBar::kHeight) << "the list moves below the bar";
    EXPECT_EQ(BackPixel(300, 2), ColourToPixel(MyChatSearchBar::kBackColour));
    EXPECT_EQ(BackPixel(300, MyChatSearchBar::kHeight - 1), ColourToPixel(MyChatSearchBar::kRuleColour));
    // The input in the chat's colours: a frame while focused, black inside.
    const RECT input = panel->searchBar->input->bounds;
    EXPECT_EQ(BackPixel(input.left, input.top), ColourToPixel(MyChatSearchBar::InputStyle().focusedBorder));
    Key(platform::VK_ESCAPE);
    EXPECT_FALSE(panel->searchOpen());
    EXPECT_FALSE(panel->searchBar->input->hasFocus());
    EXPECT_EQ(list->y, 0);
}

TEST_F(ChatSearch, MatchesIgnoreCaseAndAccentsAndReachBeyondThePlayPosition) {
    panel->OpenSearch();
    Type(u"Interview");
    // Row 12 only has the word in its sender's name, which is part of the line's text.
    EXPECT_EQ(panel->searchMatches(), (std::vector<std::int32_t>{3, 7, 12, 25}));
    // The newest match the play position has reached (row 10) is shown first.
    ASSERT_EQ(panel->shownMatch(), 1);
    EXPECT_EQ(panel->searchBar->status, u"2 of 4");
    // Its word on amber, its row on the shown match's background; row 3's word on amber too.
    const auto seven = RowBand(7);
    EXPECT_GT(Count(Amber(), seven.first, seven.second), 40);
    EXPECT_GT(Count(ShownBack(), seven.first, seven.second), 100);
    const auto three = RowBand(3);
    EXPECT_GT(Count(Amber(), three.first, three.second), 40);
    EXPECT_EQ(Count(ShownBack(), three.first, three.second), 0);
    // Rows 8 to 10 hold no match and are not marked; nothing at all shows past the reached row 10.
    EXPECT_EQ(Count(Amber(), RowBand(8).first, RowBand(10).second), 0);
    EXPECT_EQ(Ink(RowBand(11).first, list->y + list->height), 0);

    // No match at all.
    panel->searchBar->input->state.SelectAll();
    Type(u"zebra");
    EXPECT_TRUE(panel->searchMatches().empty());
    EXPECT_EQ(panel->searchBar->status, u"No match");
    EXPECT_EQ(Count(Amber(), list->y, list->y + list->height), 0);
}

TEST_F(ChatSearch, StepsRoundTheEndsAndAMatchNotReachedShowsOnlyItsTime) {
    panel->OpenSearch();
    Type(u"INTÉRVIEW");
    ASSERT_EQ(panel->searchMatches().size(), 4u);
    panel->StepSearch(1);
    EXPECT_EQ(panel->shownMatch(), 2);
    panel->StepSearch(1);
    EXPECT_EQ(panel->shownMatch(), 3);
    // Row 25 lies beyond the play position and the chat beyond it is not shown: its time, not its text.
    EXPECT_EQ(panel->searchBar->status, u"4 of 4 \u00B7 later, at 0:00:25");
    EXPECT_EQ(list->visibleEnd, list->RowTop(10) + list->RowHeight(10));
    EXPECT_EQ(Count(ShownBack(), list->y, list->y + list->height), 0);
    panel->StepSearch(1);
    EXPECT_EQ(panel->shownMatch(), 0) << "past the last match comes the first";
    panel->StepSearch(-1);
    EXPECT_EQ(panel->shownMatch(), 3) << "before the first comes the last";

    // With the chat beyond shown, the same match shows (in grey, marked) and is scrolled into view.
    list->SetShowBeyond(true);
    panel->StepSearch(-1);
    panel->StepSearch(1);
    EXPECT_EQ(panel->searchBar->status, u"4 of 4");
    const auto band = RowBand(25);
    EXPECT_GE(band.first, list->y);
    EXPECT_LE(band.second, list->y + list->height);
    EXPECT_GT(Count(Amber(), band.first, band.second), 40);
    EXPECT_GT(Count(ShownBack(), band.first, band.second), 100);
}

TEST_F(ChatSearch, EnterPlaysFromTheMatchAndEscapeReturnsToThePlayPosition) {
    // Many rows, so that showing an early match scrolls the view away from the play position.
    rows.clear();
    for (int i = 0; i < 300; ++i)
        rows.push_back(Message(i * 2, u"bob", i == 4 ? u"where is the interview" : u"nothing here"));
    panel->SetChatRows(&rows);
    list->SetCurrentRow(290);
    Pump();
    ASSERT_TRUE(list->follow);
    panel->OpenSearch();
    Type(u"interview");
    ASSERT_EQ(panel->searchMatches(), (std::vector<std::int32_t>{4}));
    EXPECT_FALSE(list->follow) << "the view went back to the match";
    const auto band = RowBand(4);
    EXPECT_GE(band.first, list->y);
    Key(platform::VK_RETURN);
    EXPECT_EQ(played.times, (std::vector<std::int32_t>{8}));
    Key(platform::VK_ESCAPE);
    EXPECT_TRUE(list->follow);
    const auto current = RowBand(290);
    EXPECT_LE(current.second, list->y + list->height) << "the play position's row is in view again";
    EXPECT_EQ(Count(Amber(), list->y, list->y + list->height), 0);
}

TEST_F(ChatSearch, NewRowsWhileTheBarIsOpenAreSearchedAgain) {
    panel->OpenSearch();
    Type(u"interview");
    ASSERT_EQ(panel->searchMatches().size(), 4u);
    StreamChatRowList other;
    other.push_back(Message(1, u"x", u"no interview here"));
    other.push_back(Message(2, u"x", u"nothing"));
    panel->SetChatRows(&other);
    EXPECT_EQ(panel->searchMatches(), (std::vector<std::int32_t>{0}));
    // Timestamps are not searched: "0:00:01" is in every line's stamp.
    panel->searchBar->input->state.SelectAll();
    Type(u"0:00:0");
    EXPECT_TRUE(panel->searchMatches().empty());
}

TEST(ChatSearchIndex, FindsEachLineOnceAndNeverAcrossTwoLines) {
    ChatLineStore lines;
    lines.Add(0, u"[0:00:00] <a> ab", 0);
    lines.Add(1, u"[0:00:01] <b> cab cab", 0);
    lines.Add(2, u"[0:00:02] <c> abc", 0);
    ChatSearchIndex index;
    EXPECT_FALSE(index.built());
    index.Build(lines);
    EXPECT_EQ(index.lineCount(), 3u);
    EXPECT_EQ(index.Find(SearchPattern(u"ab")), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(index.Find(SearchPattern(u"cab")), (std::vector<std::int32_t>{1}));
    // "ab" at the end of one line and "c" at the start of the next are not "abc" together.
    EXPECT_EQ(index.Find(SearchPattern(u"ab<b")), (std::vector<std::int32_t>{}));
    EXPECT_EQ(index.Find(SearchPattern(u"abc")), (std::vector<std::int32_t>{2}));
    EXPECT_TRUE(index.Find(SearchPattern(u"")).empty());
    EXPECT_EQ(ChatSearchIndex::SearchedFrom(u"[-1:00:00] x"), 11u);
    EXPECT_EQ(ChatSearchIndex::SearchedFrom(u"no stamp"), 0u);
}

} // namespace
