// The chat activity strip along the position bar's lower edge: it follows where the chat was busy, and
// with the option off the bar is exactly the plain one.

#include "support/ScratchFolder.h"
#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/ChatActivityStrip.h"
#include "panels/MyPlayControlPanel.h"

using namespace uitest;

namespace {

constexpr std::int32_t kWindowWidth = 586; // a bar of 412 pixels: 400 track pixels
constexpr std::int32_t kWindowHeight = 200;

class ChatActivityStrip : public UiFixture {
protected:
    void SetUp() override {
        Open(kWindowWidth, kWindowHeight);
        auto made = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
        made->Create(&owner.context, 0, kWindowHeight - MyPlayControlPanel::kHeight, kWindowWidth,
                     MyPlayControlPanel::kHeight);
        panel = Attach(std::move(made));
        bar = panel->posBar;
        stream.duration = 4000;
        // A quiet show with a burst of chat from second 2000 to 2100 and a few lines elsewhere.
        for (int t = 0; t < 4000; t += 400)
            rows.push_back(StreamChatRow(t, StreamChatRowKind_Message, {u"a", u"hi"}));
        for (int t = 2000; t < 2100; ++t)
            for (int k = 0; k < 5; ++k)
                rows.push_back(StreamChatRow(t, StreamChatRowKind_Message, {u"b", u"wow"}));
        // Joins are not talk.
        for (int t = 1000; t < 1100; ++t)
            rows.push_back(StreamChatRow(t, StreamChatRowKind_Join, {u"c"}));
        std::stable_sort(rows.begin(), rows.end(),
                         [](const StreamChatRow& a, const StreamChatRow& b) { return a.time < b.time; });
        root->Redraw();
        Pump();
    }
    std::vector<std::uint32_t> BarPixels() {
        std::vector<std::uint32_t> out;
        for (int py = bar->bounds.top; py < bar->bounds.bottom; ++py)
            for (int px = bar->bounds.left; px < bar->bounds.right; ++px)
                out.push_back(BackPixel(px, py));
        return out;
    }
    void Repaint() {
        bar->DropCache();
        bar->Redraw();
        Pump();
    }
    std::uint32_t StripPixel(std::int32_t trackPixel) {
        return BackPixel(bar->x + 6 + trackPixel, bar->y + kActivityStripTop + 1);
    }

    MyAppContext app;
    MyPlayControlPanel* panel = nullptr;
    MyPlayPosBar* bar = nullptr;
    StreamInfoData stream;
    StreamChatRowList rows;
};

TEST_F(ChatActivityStrip, CountsFallIntoTheSpansOfTheShow) {
    const std::vector<std::uint32_t> counts = CountChatMessages(rows, 4000, 400);
    ASSERT_EQ(counts.size(), 400u);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[200], 5u * 10 + 1); // seconds 2000..2009 and the line at 2000
    EXPECT_EQ(counts[100], 0u);          // joins only
    EXPECT_EQ(counts[399], 0u);
    // Times outside the show fall into the first and last spans; no duration, no counts.
    StreamChatRowList odd;
    odd.push_back(StreamChatRow(-50, StreamChatRowKind_Action, {u"a", u"x"}));
    odd.push_back(StreamChatRow(99999, StreamChatRowKind_Message, {u"a", u"x"}));
    EXPECT_EQ(CountChatMessages(odd, 4000, 10), (std::vector<std::uint32_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(CountChatMessages(odd, 0, 3), (std::vector<std::uint32_t>{0, 0, 0}));
}

TEST_F(ChatActivityStrip, OffTheBarEqualsThePlainBarAndOnItsLowerEdgeFollowsTheBurst) {
    ASSERT_EQ(bar->width - 12, 400);
    bar->markStream = &stream;
    const TrackInfoList tracks;
    bar->marks = &tracks;
    Repaint();
    const std::vector<std::uint32_t> plain = BarPixels();

    // Rows given but the option off: not one pixel changes.
    bar->activityRows = &rows;
    Repaint();
    EXPECT_EQ(BarPixels(), plain);

    bar->showChatActivity = true;
    Repaint();
    const std::vector<std::uint32_t> shaded = BarPixels();
    ASSERT_NE(shaded, plain);
    // Only the strip's rows changed.
    for (int py = 0; py < bar->height; ++py) {
        if (py >= kActivityStripTop && py < kActivityStripTop + kActivityStripHeight)
            continue;
        for (int px = 0; px < bar->width; ++px)
            ASSERT_EQ(shaded[py * bar->width + px], plain[py * bar->width + px]) << px << "," << py;
    }
    // The burst is the busiest span: full orange; a lone line is a light tint; spans of joins only and
    // of silence are untouched.
    EXPECT_EQ(StripPixel(200), ColourToPixel(kActivityColour) & 0xFFFFFF);
    const std::uint32_t lone = StripPixel(40);
    EXPECT_NE(lone, StripPixel(205));
    EXPECT_NE(lone, plain[(kActivityStripTop + 1) * bar->width + 6 + 40]);
    EXPECT_EQ(StripPixel(105), plain[(kActivityStripTop + 1) * bar->width + 6 + 105]);
    EXPECT_EQ(StripPixel(300), plain[(kActivityStripTop + 1) * bar->width + 6 + 300]);
    // Redder (less blue) where busier: the shading grows with the count.
    EXPECT_LT(StripPixel(205) & 0xFF, lone & 0xFF);

    bar->showChatActivity = false;
    Repaint();
    EXPECT_EQ(BarPixels(), plain);
}

} // namespace
