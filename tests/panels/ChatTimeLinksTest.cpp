// Show times written in chat lines are links: underlined in the line's colour, a click on one tells the
// list's target that second; the line's own stamp, times past the show's end and lines not yet reached
// are no links.

#include "ChatPanelFixture.h"

using namespace infotest;

namespace {

class ChatTimeLinks : public ChatPanelFixture {
protected:
    void SetUp() override {
        OpenChatPanel();
        list->timeTarget = &clicked;
        list->TimeClickCallback = &Clicked::At;
        list->lastSecond = 3 * 3600;
        rows.push_back(Message(1, u"alice", u"no time in here"));
        rows.push_back(Message(2, u"bob", u"the interview was at 1:23:45 I think"));
        rows.push_back(Message(3, u"carol", u"and again at 4:00:00, past the end"));
        rows.push_back(Message(4, u"dave", u"replay from 12:30 please"));
        panel->SetChatRows(&rows);
        list->SetCurrentRow(3);
        Pump();
    }
    // The longest run of pixels of exactly `colour` on one screen row of chat row `index`: an underline
    // is one, glyphs are not. Answers {y, first x, length}.
    std::tuple<std::int32_t, std::int32_t, std::int32_t> LongestRun(std::int32_t index,
                                                                    std::uint32_t colour) {
        std::tuple<std::int32_t, std::int32_t, std::int32_t> best{0, 0, 0};
        const auto [top, bottom] = RowBand(index);
        for (std::int32_t py = top; py < bottom; ++py) {
            std::int32_t run = 0;
            for (std::int32_t px = list->x; px < list->x + list->width - list->scrollbarWidth; ++px) {
                run = BackPixel(px, py) == colour ? run + 1 : 0;
                if (run > std::get<2>(best))
                    best = {py, px - run + 1, run};
            }
        }
        return best;
    }
    // Messages are yellow.
    static constexpr std::uint32_t Yellow() { return ColourToPixel(kChatYellow); }

    struct Clicked : MyCallbackTarget {
        void At(std::int32_t second, std::int32_t) { seconds.push_back(second); }
        std::vector<std::int32_t> seconds;
    } clicked;
    StreamChatRowList rows;
};

TEST_F(ChatTimeLinks, ATimeInALineIsUnderlinedAndAClickOnItSeeksThere) {
    const auto [lineY, lineX, length] = LongestRun(1, Yellow());
    // "1:23:45" is wider than any run a glyph of the font draws.
    ASSERT_GE(length, 25) << "no underline under the time";
    const std::int32_t plain = std::get<2>(LongestRun(0, Yellow()));
    EXPECT_LT(plain, 12) << "a line without a time has no underline";
    EXPECT_LT(std::get<2>(LongestRun(2, Yellow())), 12) << "a time past the show's end is no link";

    // A click on the time's text, just above its underline.
    Click(lineX + length / 2, lineY - 5);
    EXPECT_EQ(clicked.seconds, std::vector<std::int32_t>{5025});
    // A click on the line beside the time is no seek.
    Click(lineX + length + 30, lineY - 5);
    Click(list->x + 5, lineY - 5); // the line's own "[0:00:02]" stamp
    EXPECT_EQ(clicked.seconds.size(), 1u);

    const auto [y2, x2, length2] = LongestRun(3, Yellow());
    ASSERT_GE(length2, 20);
    Click(x2 + 2, y2 - 5);
    EXPECT_EQ(clicked.seconds.back(), 750);
}

TEST_F(ChatTimeLinks, ALineNotYetReachedKeepsItsTimeToItself) {
    list->SetShowBeyond(true);
    list->SetCurrentRow(0);
    Pump();
    const auto [lineY, lineX, length] = LongestRun(1, ColourToPixel(kChatNotReached));
    ASSERT_GE(length, 25) << "the time shows as a link in the line's grey";
    Click(lineX + length / 2, lineY - 5);
    EXPECT_TRUE(clicked.seconds.empty());
}

} // namespace
