#include "ui/Gdi.h"
#include "ui/MySurface.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(surface.ResizeSurface(nullptr, 300, 60));
        Clear();
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
        ASSERT_TRUE(font);
        SelectObject(surface.dc, font.get());
        SetBkMode(surface.dc, TRANSPARENT);
        SetTextColor(surface.dc, 0x000000);
    }
    void Clear() { FillRect(surface.dc, RECT{0, 0, 300, 60}, CreateSolidBrush(0xFFFFFF)); }
    bool Ink(int x, int y) { return (surface.bitmap->row(y)[x] & 0xFFFFFF) != 0xFFFFFF; }
    // The bounding box of every pixel that is not white.
    RECT InkBox() {
        RECT box{300, 60, -1, -1};
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x)
                if (Ink(x, y)) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }
    int CalcWidth(std::u16string_view text) {
        RECT r{10, 5, 10, 5};
        DrawTextW(surface.dc, text, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return r.right - r.left;
    }
    std::vector<std::uint32_t> Pixels() {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < 60; ++y)
            out.insert(out.end(), surface.bitmap->row(y), surface.bitmap->row(y) + 300);
        return out;
    }

    MySurface surface;
    std::unique_ptr<Font> font;
};

TEST_F(TextTest, CellHeightIsTheRequestedHeight) {
    EXPECT_EQ(font->get()->cellHeight(), 14);
    RECT r{0, 0, 0, 0};
    EXPECT_EQ(DrawTextW(surface.dc, u"Hg", &r, DT_CALCRECT | DT_SINGLELINE), 14);
    EXPECT_EQ(r.bottom, 14);
    RECT lines{0, 0, 0, 0};
    EXPECT_EQ(DrawTextW(surface.dc, u"one\r\ntwo\r\nthree", &lines, DT_CALCRECT | DT_NOPREFIX), 42);
    EXPECT_EQ(lines.right, CalcWidth(u"three"));
}

TEST_F(TextTest, CalcRectWidthGrowsWithTheTextAndDrawsNothing) {
    const int one = CalcWidth(u"Radio");
    const int two = CalcWidth(u"Radio Radio");
    EXPECT_GT(one, 20);
    EXPECT_GT(two, one * 2 - 4);
    EXPECT_EQ(CalcWidth(u""), 0);
    EXPECT_EQ(InkBox().right, -1);
}

TEST_F(TextTest, EllipsisAppearsExactlyWhenTheTextDoesNotFit) {
    const std::u16string text = u"Evening show with guests";
    const int width = CalcWidth(text);
    bool ellipsized = true;
    font->get()->Layout(text, width, -1, &ellipsized);
    EXPECT_FALSE(ellipsized);
    font->get()->Layout(text, width - 1, -1, &ellipsized);
    EXPECT_TRUE(ellipsized);

    // Drawn in a box of exactly its width it looks as drawn without the ellipsis format.
    RECT fits{10, 0, 10 + width, 30};
    DrawTextW(surface.dc, text, &fits, DT_SINGLELINE | DT_NOPREFIX);
    const auto plain = Pixels();
    Clear();
    DrawTextW(surface.dc, text, &fits, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    EXPECT_EQ(Pixels(), plain);
    // In a narrower box it changes and stays inside the box.
    Clear();
    RECT narrow{10, 0, 10 + width / 2, 30};
    DrawTextW(surface.dc, text, &narrow, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    const RECT ink = InkBox();
    EXPECT_LE(ink.right, narrow.right);
    EXPECT_GT(ink.right, narrow.right - 12);
}

TEST_F(TextTest, TextIsClippedToItsRectangle) {
    RECT r{10, 10, 40, 20};
    DrawTextW(surface.dc, u"A long line that runs on", &r, DT_SINGLELINE | DT_NOPREFIX);
    const RECT ink = InkBox();
    EXPECT_GE(ink.left, 10);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.right, 40);
    EXPECT_LE(ink.bottom, 20);
}

TEST_F(TextTest, VerticalAndHorizontalCentring) {
    RECT box{0, 0, 300, 60};
    DrawTextW(surface.dc, u"HHHH", &box, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_CENTER);
    const RECT ink = InkBox();
    ASSERT_GT(ink.right, ink.left);
    // Capital letters sit above the baseline, so their ink is centred on the cell's upper part.
    const int cellTop = (60 - 14) / 2;
    EXPECT_GE(ink.top, cellTop);
    EXPECT_LE(ink.bottom, cellTop + 14);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 150.0, 1.5);
    // Without DT_VCENTER and DT_CENTER the same text starts at the top left.
    Clear();
    DrawTextW(surface.dc, u"HHHH", &box, DT_SINGLELINE | DT_NOPREFIX);
    const RECT topLeft = InkBox();
    EXPECT_LT(topLeft.top, 14);
    EXPECT_LT(topLeft.left, 4);
}

TEST_F(TextTest, OpaqueBackgroundFillsTheTextCell) {
    SetBkMode(surface.dc, OPAQUE);
    SetBkColor(surface.dc, RGB(0xDD, 0xDD, 0xDD));
    RECT r{20, 10, 200, 40};
    DrawTextW(surface.dc, u"Label", &r, DT_SINGLELINE | DT_NOPREFIX);
    const int width = CalcWidth(u"Label");
    EXPECT_EQ(surface.bitmap->row(10)[20] & 0xFFFFFF, 0xDDDDDDu);
    EXPECT_EQ(surface.bitmap->row(23)[20 + width - 1] & 0xFFFFFF, 0xDDDDDDu);
    EXPECT_EQ(surface.bitmap->row(24)[20] & 0xFFFFFF, 0xFFFFFFu); // below the 14-pixel cell
    EXPECT_EQ(surface.bitmap->row(10)[20 + width] & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(TextTest, OtherScriptsRenderRealGlyphs) {
    // Boxes for missing glyphs would look alike; real glyphs differ from each other.
    auto render = [&](std::u16string_view text) {
        Clear();
        RECT r{0, 0, 300, 60};
        DrawTextW(surface.dc, text, &r, DT_SINGLELINE | DT_NOPREFIX);
        int ink = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 300; ++x)
                ink += Ink(x, y);
        return std::make_pair(ink, Pixels());
    };
    const auto han = render(u"漢");
    const auto zi = render(u"字");
    const auto cyrillic = render(u"Жизнь");
    EXPECT_GT(han.first, 20);
    EXPECT_GT(zi.first, 20);
    EXPECT_NE(han.second, zi.second);
    EXPECT_GT(cyrillic.first, 20);
    EXPECT_GT(CalcWidth(u"漢字"), CalcWidth(u"漢"));
}

TEST_F(TextTest, PrefixMarksAreRemovedUnlessNoPrefix) {
    EXPECT_EQ(CalcWidth(u"Rock & Roll"), CalcWidth(u"Rock & Roll"));
    RECT a{0, 0, 0, 0};
    DrawTextW(surface.dc, u"&File", &a, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(a.right, CalcWidth(u"File"));
    RECT b{0, 0, 0, 0};
    DrawTextW(surface.dc, u"A&&B", &b, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(b.right, CalcWidth(u"A&B"));
}

TEST_F(TextTest, DrawsIntoBottomUpBitmaps) {
    std::uint32_t* bits = nullptr;
    auto dib = CreateDIBSection(nullptr, 100, 20, &bits);
    std::fill(bits, bits + 2000, 0x00FFFFFFu);
    Dc dc;
    SelectObject(dc, dib.get());
    SelectObject(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    RECT r{0, 0, 100, 20};
    DrawTextW(dc, u"Top", &r, DT_SINGLELINE | DT_NOPREFIX);
    int topInk = 0, bottomInk = 0;
    for (int x = 0; x < 100; ++x) {
        for (int y = 0; y < 10; ++y)
            topInk += (dib->row(y)[x] & 0xFFFFFF) != 0xFFFFFF;
        for (int y = 16; y < 20; ++y)
            bottomInk += (dib->row(y)[x] & 0xFFFFFF) != 0xFFFFFF;
    }
    EXPECT_GT(topInk, 10);
    EXPECT_EQ(bottomInk, 0);
}

} // namespace
