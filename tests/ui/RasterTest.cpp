#include "ui/Gdi.h"
#include "ui/MySurface.h"

#include <gtest/gtest.h>

namespace {

// A surface of w x h filled with `fill` (a pixel word).
struct Canvas {
    Canvas(int w, int h, std::uint32_t fill = 0) {
        surface.ResizeSurface(nullptr, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                surface.bitmap->row(y)[x] = fill;
    }
    std::uint32_t& at(int x, int y) { return surface.bitmap->row(y)[x]; }
    Dc& dc() { return surface.dc; }
    // Counts pixels equal to `value`.
    int Count(std::uint32_t value) {
        int n = 0;
        for (int y = 0; y < surface.height; ++y)
            for (int x = 0; x < surface.width; ++x)
                n += at(x, y) == value;
        return n;
    }
    MySurface surface;
};

// A source whose pixel (x, y) is 0x00XXYY, so every copied pixel tells where it came from.
void Number(Canvas& c, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            c.at(x, y) = static_cast<std::uint32_t>((x << 8) | y);
}

TEST(BitBlt, CopiesAndClipsAtEveryDestinationEdge) {
    Canvas src(8, 8);
    Number(src, 8, 8);
    struct Case {
        int x, y;
    };
    for (Case c : {Case{-3, 1}, Case{1, -3}, Case{7, 2}, Case{2, 7}, Case{-3, -3}, Case{7, 7}}) {
        Canvas dst(10, 10, 0xFFFFFFFF);
        ASSERT_TRUE(BitBlt(dst.dc(), c.x, c.y, 6, 6, src.dc(), 1, 1, SRCCOPY));
        int copied = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= c.x && x < c.x + 6 && y >= c.y && y < c.y + 6;
                if (inside) {
                    ++copied;
                    EXPECT_EQ(dst.at(x, y), static_cast<std::uint32_t>(((x - c.x + 1) << 8) | (y - c.y + 1)))
                        << c.x << "," << c.y << " at " << x << "," << y;
                } else {
                    EXPECT_EQ(dst.at(x, y), 0xFFFFFFFFu);
                }
            }
        EXPECT_GT(copied, 0);
    }
}

TEST(BitBlt, ReadsOnlyInsideTheSource) {
    Canvas src(4, 4);
    Number(src, 4, 4);
    Canvas dst(10, 10, 0xFFFFFFFF);
    // The source rectangle starts left of and above the source bitmap and runs past its right and bottom.
    BitBlt(dst.dc(), 2, 2, 8, 8, src.dc(), -2, -1, SRCCOPY);
    EXPECT_EQ(dst.at(2, 2), 0xFFFFFFFFu);       // from (-2, -1): nothing there
    EXPECT_EQ(dst.at(4, 3), 0x0000u);           // from (0, 0)
    EXPECT_EQ(dst.at(7, 6), (3u << 8) | 3u);    // from (3, 3)
    EXPECT_EQ(dst.at(8, 6), 0xFFFFFFFFu);       // from (4, 3): past the right edge
    EXPECT_EQ(dst.Count(0xFFFFFFFF), 100 - 16); // exactly the 4 x 4 source arrived
}

TEST(BitBlt, AndAndPaintCombineBits) {
    Canvas src(2, 1);
    src.at(0, 0) = 0x00F0F0F0;
    src.at(1, 0) = 0x000F0F0F;
    Canvas dst(2, 1, 0x00FF00FF);
    BitBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, SRCAND);
    EXPECT_EQ(dst.at(0, 0), 0x00F000F0u);
    EXPECT_EQ(dst.at(1, 0), 0x000F000Fu);
    BitBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, SRCPAINT);
    EXPECT_EQ(dst.at(0, 0), 0x00F0F0F0u);
    EXPECT_EQ(dst.at(1, 0), 0x000F0F0Fu);
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapKeepsTheImage) {
    Canvas c(6, 6);
    Number(c, 6, 6);
    BitBlt(c.dc(), 1, 1, 5, 5, c.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(c.at(5, 5), (4u << 8) | 4u);
    EXPECT_EQ(c.at(1, 1), 0u);
    BitBlt(c.dc(), 0, 0, 5, 5, c.dc(), 1, 1, SRCCOPY);
    EXPECT_EQ(c.at(0, 0), 0u);
    EXPECT_EQ(c.at(4, 4), (4u << 8) | 4u);
}

TEST(StretchBlt, StretchesOneColumnAndOneRow) {
    Canvas src(4, 4);
    Number(src, 4, 4);
    Canvas dst(10, 10, 0xFFFFFFFF);
    StretchBlt(dst.dc(), 2, 0, 5, 10, src.dc(), 3, 0, 1, 1, SRCCOPY);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(dst.at(x, y), x >= 2 && x < 7 ? (3u << 8) : 0xFFFFFFFFu);
    }
    // Clipped at the right and bottom edges without touching anything outside.
    Canvas small(3, 3, 0xFFFFFFFF);
    StretchBlt(small.dc(), 1, 1, 20, 20, src.dc(), 0, 2, 1, 1, SRCCOPY);
    EXPECT_EQ(small.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(small.at(2, 2), 2u);
    EXPECT_EQ(small.Count(2u), 4);
}

TEST(StretchBlt, NegativeWidthMirrors) {
    Canvas src(4, 1);
    Number(src, 4, 1);
    Canvas dst(4, 1);
    // Destination from x 3 leftwards over 4 pixels: the image reversed.
    StretchBlt(dst.dc(), 3, 0, -4, 1, src.dc(), 0, 0, 4, 1, SRCCOPY);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(dst.at(x, 0), static_cast<std::uint32_t>((3 - x) << 8));
}

TEST(StretchBlt, DoublingRepeatsEachPixel) {
    Canvas src(2, 1);
    Number(src, 2, 1);
    Canvas dst(4, 1);
    StretchBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, 2, 1, SRCCOPY);
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(1, 0), 0u);
    EXPECT_EQ(dst.at(2, 0), 1u << 8);
    EXPECT_EQ(dst.at(3, 0), 1u << 8);
}

TEST(AlphaBlend, PerPixelAlphaAsGdiComputesIt) {
    Canvas sprite(4, 1);
    sprite.at(0, 0) = 0xFF102030; // opaque: the source replaces the destination
    sprite.at(1, 0) = 0x00000000; // transparent and black: the destination stays
    sprite.at(2, 0) = 0x80404040; // a half-transparent edge, premultiplied
    sprite.at(3, 0) = 0x80C8C8C8; // a half-transparent edge that is not premultiplied
    Canvas dst(4, 1, 0x00646464); // grey 100
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(dst.dc(), 0, 0, 4, 1, sprite.dc(), 0, 0, 4, 1, blend));
    EXPECT_EQ(dst.at(0, 0) & 0xFFFFFF, 0x102030u);
    EXPECT_EQ(dst.at(1, 0) & 0xFFFFFF, 0x646464u);
    // 0x40 + round(100 * 127 / 255) = 64 + 50 = 114.
    EXPECT_EQ(dst.at(2, 0) & 0xFFFFFF, 0x727272u);
    // 200 + 50 = 250: an unpremultiplied colour adds to the destination.
    EXPECT_EQ(dst.at(3, 0) & 0xFFFFFF, 0xFAFAFAu);
    // Over white the sum would pass 255; it is held there instead of running into the next channel.
    Canvas white(1, 1, 0x00FFFFFF);
    AlphaBlend(white.dc(), 0, 0, 1, 1, sprite.dc(), 3, 0, 1, 1, blend);
    EXPECT_EQ(white.at(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(AlphaBlend, ConstantAlphaWithoutPerPixelAlpha) {
    Canvas src(1, 1, 0x00FFFFFF);
    Canvas dst(1, 1, 0x00000000);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 51, 0};
    AlphaBlend(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, 1, 1, blend);
    EXPECT_EQ(dst.at(0, 0) & 0xFFFFFF, 0x333333u); // 255 * 51 / 255
}

TEST(AlphaBlend, ClipsAtTheDestinationEdges) {
    Canvas src(4, 4, 0xFF0000FF);
    Canvas dst(4, 4, 0);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dst.dc(), -2, 2, 4, 4, src.dc(), 0, 0, 4, 4, blend);
    EXPECT_EQ(dst.Count(0xFF0000FF), 4);
    EXPECT_EQ(dst.at(0, 2), 0xFF0000FFu);
    EXPECT_EQ(dst.at(2, 2), 0u);
}

TEST(FillRect, FillsClippedRectangleWithoutAlpha) {
    Canvas c(5, 5, 0xFFFFFFFF);
    FillRect(c.dc(), RECT{-2, 3, 2, 9}, CreateSolidBrush(RGB(0x11, 0x22, 0x33)));
    EXPECT_EQ(c.Count(0x00112233), 4); // columns 0-1, rows 3-4
    EXPECT_EQ(c.at(1, 4), 0x00112233u);
    EXPECT_EQ(c.at(2, 4), 0xFFFFFFFFu);
    EXPECT_EQ(GetPixel(c.dc(), 0, 3), RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(GetPixel(c.dc(), 5, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(c.dc(), -1, 0), CLR_INVALID);
}

TEST(Rectangle, OnePixelPenOutlinesTheOuterPixels) {
    Canvas c(6, 6, 0);
    SelectObject(c.dc(), CreatePen(PS_SOLID, 1, 0x0000FF));
    SelectObject(c.dc(), CreateSolidBrush(0x00FF00));
    Rectangle(c.dc(), 1, 1, 5, 5);
    EXPECT_EQ(c.Count(0x00FF0000), 12); // the 4 x 4 ring
    EXPECT_EQ(c.Count(0x0000FF00), 4);  // the 2 x 2 inside
    EXPECT_EQ(c.at(1, 1), 0x00FF0000u);
    EXPECT_EQ(c.at(4, 4), 0x00FF0000u);
    EXPECT_EQ(c.at(5, 5), 0u);
}

TEST(Rectangle, WidePenFramesTheBoundsExactly) {
    for (int w : {2, 3, 4}) {
        Canvas c(12, 10, 0);
        SelectObject(c.dc(), CreatePen(PS_SOLID, w, 0x0000FF));
        SelectObject(c.dc(), CreateSolidBrush(0xFFFFFF));
        const int h = w / 2;
        Rectangle(c.dc(), 0 + h, 0 + h, 12 - h, 10 - h);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool border = x < w || y < w || x >= 12 - w || y >= 10 - w;
                EXPECT_EQ(c.at(x, y), border ? 0x00FF0000u : 0x00FFFFFFu)
                    << "pen " << w << " at " << x << "," << y;
            }
    }
}

TEST(Lines, LineToStopsBeforeTheEndPoint) {
    Canvas c(6, 6, 0);
    SelectObject(c.dc(), CreatePen(PS_SOLID, 1, 0xFFFFFF));
    MoveToEx(c.dc(), 0, 5, nullptr);
    LineTo(c.dc(), 0, 1);
    LineTo(c.dc(), 5, 1);
    EXPECT_EQ(c.Count(0x00FFFFFF), 9); // (0,5)..(0,2) and (0,1)..(4,1)
    EXPECT_EQ(c.at(0, 1), 0x00FFFFFFu);
    EXPECT_EQ(c.at(5, 1), 0u);
    POINT where;
    MoveToEx(c.dc(), 0, 0, &where);
    EXPECT_EQ(where, (POINT{5, 1}));
    // A line running off the bitmap is clipped, not written outside.
    LineTo(c.dc(), -40, 40);
    LineTo(c.dc(), 100, 3);
}

TEST(DibSection, PositiveHeightIsBottomUp) {
    std::uint32_t* bits = nullptr;
    auto bitmap = CreateDIBSection(nullptr, 3, 2, &bits);
    ASSERT_TRUE(bitmap);
    Dc dc;
    SelectObject(dc, bitmap.get());
    bits[0] = 0x00AABBCC; // the first word is the bottom row's first pixel
    EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
    auto topDown = CreateDIBSection(nullptr, 3, -2, &bits);
    SelectObject(dc, topDown.get());
    bits[0] = 0x00AABBCC;
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0xAA, 0xBB, 0xCC));
    EXPECT_FALSE(CreateDIBSection(nullptr, 0, 5, &bits));
}

TEST(Surfaces, EmptySurfaceDrawsNothingAndFailedLoadLeavesItEmpty) {
    MySurface skin;
    EXPECT_FALSE(skin.LoadSkin(nullptr, 999, nullptr));
    EXPECT_TRUE(skin.empty());
    Canvas dst(4, 4, 0x12345678);
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 4, 4, skin.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.Count(0x12345678), 16);
    EXPECT_FALSE(skin.ResizeSurface(nullptr, 0, 10));
    EXPECT_TRUE(skin.empty());
}

TEST(SavedDcState, PutsBackEveryDrawingStateButTheBitmapAndThePosition) {
    Canvas c(8, 8, 0x123456);
    Dc& dc = c.dc();
    Font font(nullptr);
    Bitmap* bitmap = dc.bitmap;
    SetTextColor(dc, 0x0000FF);
    SetBkMode(dc, TRANSPARENT);
    {
        const SavedDcState saved(dc);
        SelectObject(dc, &font);
        SetTextColor(dc, 0x00FF00);
        SetBkColor(dc, 0x111111);
        SetBkMode(dc, OPAQUE);
        SelectObject(dc, CreatePen(PS_SOLID, 3, 0x222222));
        SelectObject(dc, HollowBrush());
        MoveToEx(dc, 5, 6, nullptr);
        // Drawing inside uses the new state: an opaque brushless rectangle leaves its inside alone.
        Rectangle(dc, 0, 0, 8, 8);
        EXPECT_EQ(c.at(4, 4), 0x123456u);
    }
    EXPECT_EQ(dc.font, nullptr);
    EXPECT_EQ(dc.textColour, 0x0000FFu);
    EXPECT_EQ(dc.backgroundColour, 0xFFFFFFu);
    EXPECT_EQ(dc.backgroundMode, TRANSPARENT);
    EXPECT_EQ(dc.pen.width, 1);
    EXPECT_EQ(dc.pen.colour, 0u);
    EXPECT_FALSE(dc.brush.null);
    EXPECT_EQ(dc.bitmap, bitmap);
    EXPECT_EQ(dc.position.x, 5);
    EXPECT_EQ(dc.position.y, 6);
}

} // namespace
