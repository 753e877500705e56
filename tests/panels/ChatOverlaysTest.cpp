// What lies over the chat replay: the pinned line of the channel's state after a start or seek, the chat
// sync offset badge, and the view without quiet joins and parts. Pixels are read back from the window's
// back buffer.

#include "InfoPagesFixture.h"

#include "panels/MyChatOverlays.h"
#include "panels/MyChatPanel.h"
#include "platform/Utf.h"

using namespace infotest;

namespace {

constexpr std::int32_t kWidth = 400;
constexpr std::int32_t kHeight = 160;

class ChatOverlays : public InfoPagesFixture {
protected:
    void SetUp() override {
        Open(600, 400);
        auto made = std::make_unique<MyChatPanel>(&app);
        made->Create(&owner.context, 0, 0, kWidth, kHeight);
        panel = Attach(std::move(made));
        list = panel->listBox;
    }
    // Reaches chat second `second`: the current row as the main window finds it, then the position.
    void Reach(std::int32_t second) {
        std::int32_t index = -1;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].time <= second)
                index = static_cast<std::int32_t>(i);
        list->SetCurrentRow(index);
        panel->SetChatPosition(second, index);
        Pump();
    }
    int Count(RECT area, std::uint32_t pixel) {
        int n = 0;
        for (int py = area.top; py < area.bottom; ++py)
            for (int px = area.left; px < area.right; ++px)
                n += BackPixel(px, py) == pixel;
        return n;
    }
    std::vector<std::uint32_t> Snapshot(RECT area) {
        std::vector<std::uint32_t> out;
        for (int py = area.top; py < area.bottom; ++py)
            for (int px = area.left; px < area.right; ++px)
                out.push_back(BackPixel(px, py));
        return out;
    }
    MyStreamChatListBoxRow* RowAt(int i) { return static_cast<MyStreamChatListBoxRow*>(list->RowAt(i)); }

    StreamChatRowList rows;
    MyChatPanel* panel = nullptr;
    MyChatListBox* list = nullptr;
};

StreamChatRow Join(std::int32_t t, std::u16string_view nick) {
    return StreamChatRow(t, StreamChatRowKind_Join, {nick});
}
StreamChatRow Topic(std::int32_t t, std::u16string_view text) {
    return StreamChatRow(t, StreamChatRowKind_TopicChange, {u"op", text});
}

TEST_F(ChatOverlays, ASeekPinsTheChannelStateInSilverAndAStartFromTheBeginningDoesNot) {
    rows.push_back(Topic(0, u"Friday mix night"));
    rows.push_back(Join(1, u"anna"));
    rows.push_back(Join(2, u"bob"));
    for (int t = 3; t < 200; ++t)
        rows.push_back(Message(t, u"anna", u"line " + Utf8ToUtf16(std::to_string(t))));
    rows.push_back(StreamChatRow(200, StreamChatRowKind_Quit, {u"bob"}));
    rows.push_back(Message(201, u"anna", u"still here"));
    panel->SetChatRows(&rows);
    Pump();
    const RECT top{0, 0, kWidth - 24, MyChatStateLine::kHeight - 1};

    // Playing from the start, second by second: the chat unfolds on its own, nothing is pinned.
    for (int s = 0; s <= 8; ++s)
        Reach(s);
    EXPECT_FALSE(panel->stateLine->visible);
    EXPECT_EQ(list->y, 0);

    // A seek into the middle pins the channel as it stood, and the list moves down beneath it.
    Reach(150);
    ASSERT_TRUE(panel->stateLine->visible);
    EXPECT_EQ(Utf16ToUtf8(panel->stateLine->text), "Topic: Friday mix night \u00B7 2 here");
    EXPECT_EQ(list->y, MyChatStateLine::kHeight);
    EXPECT_GT(Count(top, 0xC0C0C0), 20) << "silver text at the top";
    // The newest reached line is still at the bottom of the view.
    EXPECT_LE(RowAt(150)->top + RowAt(150)->height, list->scrollOffset + list->height);

    // Playing on keeps the line current.
    Reach(200);
    EXPECT_EQ(Utf16ToUtf8(panel->stateLine->text), "Topic: Friday mix night \u00B7 1 here");
    // Back and forth: the same line at the same second.
    Reach(150);
    EXPECT_EQ(Utf16ToUtf8(panel->stateLine->text), "Topic: Friday mix night \u00B7 2 here");
    const std::vector<std::uint32_t> first = Snapshot(top);
    Reach(30);
    Reach(150);
    EXPECT_EQ(Snapshot(top), first);

    // Back before the first row: nothing to pin, and the list has the whole panel again.
    list->SetCurrentRow(-1);
    panel->SetChatPosition(-5, -1);
    Pump();
    EXPECT_FALSE(panel->stateLine->visible);
    EXPECT_EQ(list->y, 0);
    EXPECT_EQ(Count(top, 0xC0C0C0), 0);

    // Another show starts over: from its beginning nothing is pinned.
    Reach(150);
    EXPECT_TRUE(panel->stateLine->visible);
    panel->ForgetChatPosition();
    panel->SetChatRows(&rows);
    Reach(0);
    Reach(1);
    Reach(3);
    EXPECT_FALSE(panel->stateLine->visible);
}

TEST_F(ChatOverlays, RowsArrivingLateNeitherPinAStartFromTheBeginningNorLoseAStartInTheMiddle) {
    rows.push_back(Topic(0, u"Friday mix night"));
    for (int t = 1; t < 200; ++t)
        rows.push_back(Message(t, u"anna", u"line"));
    // Playing from the start before the rows are there: positions without rows.
    for (int s = 0; s < 12; ++s)
        panel->SetChatPosition(s, -1);
    panel->SetChatRows(&rows);
    Reach(12);
    EXPECT_FALSE(panel->stateLine->visible);

    // A start at 0:02:30 whose rows come a few seconds later still pins the line.
    panel->ForgetChatPosition();
    panel->SetChatRows(nullptr);
    panel->SetChatPosition(150, -1);
    panel->SetChatPosition(151, -1);
    panel->SetChatRows(&rows);
    Reach(152);
    ASSERT_TRUE(panel->stateLine->visible);
    EXPECT_EQ(Utf16ToUtf8(panel->stateLine->text), "Topic: Friday mix night \u00B7 1 here");
}

TEST_F(ChatOverlays, TheOffsetBadgeAppearsInTheTopRightCornerAndGoesAtZero) {
    for (int t = 0; t < 20; ++t)
        rows.push_back(
            Message(t, u"anna", u"a long line of chat that reaches the right-hand side of the list"));
    panel->SetChatRows(&rows);
    for (int s = 0; s <= 19; ++s)
        Reach(s);
    const RECT corner{kWidth - 24 - 90, 0, kWidth - 24, 30};
    const std::vector<std::uint32_t> plain = Snapshot(corner);
    EXPECT_EQ(Count(corner, 0x505050), 0);

    panel->SetOffsetBadge(3);
    Pump();
    ASSERT_TRUE(panel->offsetBadge->visible);
    EXPECT_EQ(Utf16ToUtf8(panel->offsetBadge->text), "chat +3 s");
    const RECT& b = panel->offsetBadge->bounds;
    EXPECT_EQ(b.right, kWidth - 24 - MyChatOffsetBadge::kMargin);
    EXPECT_EQ(b.top, MyChatOffsetBadge::kMargin);
    EXPECT_GT(Count(corner, 0x505050), 100) << "the badge's ground";
    EXPECT_GT(Count(b, 0xFFFFFF), 5) << "the badge's white text";
    EXPECT_EQ(native->ScreenPixel(b.left + 1, b.top + 1), 0x505050u);

    panel->SetOffsetBadge(-10);
    Pump();
    EXPECT_EQ(Utf16ToUtf8(panel->offsetBadge->text), "chat -10 s");

    panel->SetOffsetBadge(0);
    Pump();
    EXPECT_FALSE(panel->offsetBadge->visible);
    EXPECT_EQ(Snapshot(corner), plain) << "the chat shows again where the badge was";
}

TEST_F(ChatOverlays, HidingQuietJoinsRefiltersTheViewAtOnceAndShowingThemBringsThemBack) {
    rows.push_back(Join(0, u"talker")); // talks within 10 minutes: stays
    rows.push_back(Join(5, u"lurker")); // never talks: hidden
    rows.push_back(Message(60, u"talker", u"hello"));
    rows.push_back(StreamChatRow(70, StreamChatRowKind_Leave, {u"talker"})); // after talk: stays
    rows.push_back(StreamChatRow(80, StreamChatRowKind_Quit, {u"lurker"}));  // hidden
    rows.push_back(Message(90, u"other", u"bye"));
    panel->SetChatRows(&rows);
    for (int s = 0; s <= 90; s += 5)
        Reach(s);
    ASSERT_FALSE(panel->stateLine->visible);
    auto shownHeights = [&] {
        std::vector<int> h;
        for (std::size_t i = 0; i < rows.size(); ++i)
            h.push_back(RowAt(static_cast<int>(i))->height);
        return h;
    };
    EXPECT_EQ(shownHeights(), (std::vector<int>{16, 16, 16, 16, 16, 16}));
    EXPECT_EQ(list->visibleEnd, 96);

    panel->SetHideQuietJoins(true);
    Pump();
    EXPECT_EQ(shownHeights(), (std::vector<int>{16, 0, 16, 16, 0, 16}));
    EXPECT_EQ(list->visibleEnd, 64);
    EXPECT_EQ(rows.size(), 6u) << "the rows stay in the store";
    // Four lines of ink, then black.
    auto inkInRow = [&](int line) {
        for (int py = line * 16; py < line * 16 + 16; ++py)
            for (int px = 0; px < kWidth - 24; ++px)
                if (BackPixel(px, py))
                    return true;
        return false;
    };
    EXPECT_TRUE(inkInRow(3));
    EXPECT_FALSE(inkInRow(4));

    panel->SetHideQuietJoins(false);
    Pump();
    EXPECT_EQ(shownHeights(), (std::vector<int>{16, 16, 16, 16, 16, 16}));
    EXPECT_TRUE(inkInRow(5));
}

} // namespace
