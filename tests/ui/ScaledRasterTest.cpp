// Drawing at a device scale: logical coordinates land on the device pixels they cover, skins are scaled
// once (whole scales pixel-exact, fractional ones smooth), and text is drawn sharp at the device size
// where the logical layout puts it.

#include "ui/Gdi.h"
#include "ui/MySurface.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using platform::DeviceScale;

constexpr DeviceScale kTwo = DeviceScale::FromQuarters(8);
constexpr DeviceScale kOneAndAHalf = DeviceScale::FromQuarters(6);

std::uint32_t At(const MySurface& s, int x, int y) {
    return s.bitmap->row(y)[x] & 0xFFFFFFu;
}

TEST(ScaledRaster, ASurfaceHoldsItsLogicalSizeInDevicePixelsAndFillsWhatARectangleCovers) {
    MySurface s;
    ASSERT_TRUE(s.ResizeSurface(kTwo, 10, 6));
    EXPECT_EQ(s.width, 10);
    EXPECT_EQ(s.height, 6);
    EXPECT_EQ(s.bitmap->width(), 20);
    EXPECT_EQ(s.bitmap->height(), 12);
    // Compatible bitmaps take the reference's scale.
    MySurface child;
    ASSERT_TRUE(child.ResizeSurface(&s.dc, 3, 3));
    EXPECT_EQ(child.bitmap->scale(), kTwo);
    EXPECT_EQ(child.bitmap->width(), 6);

    FillRect(s.dc, RECT{1, 1, 3, 2}, CreateSolidBrush(RGB(255, 0, 0)));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(At(s, x, y), (x >= 2 && x < 6 && y >= 2 && y < 4) ? 0xFF0000u : 0u) << x << "," << y;
    EXPECT_EQ(GetPixel(s.dc, 2, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(s.dc, 3, 1), 0u);
    EXPECT_EQ(GetPixel(s.dc, 10, 0), CLR_INVALID);

    // A one-pixel pen is one logical pixel wide: two device pixels.
    SelectObject(s.dc, CreatePen(PS_SOLID, 1, RGB(0, 0, 255)));
    MoveToEx(s.dc, 0, 5, nullptr);
    LineTo(s.dc, 3, 5);
    EXPECT_EQ(At(s, 0, 10), 0x0000FFu);
    EXPECT_EQ(At(s, 5, 11), 0x0000FFu);
    EXPECT_EQ(At(s, 6, 10), 0u);
}

TEST(ScaledRaster, AtAFractionalScaleNeighbouringRectanglesTileWithoutGapOrOverlap) {
    MySurface s;
    ASSERT_TRUE(s.ResizeSurface(kOneAndAHalf, 4, 1));
    ASSERT_EQ(s.bitmap->width(), 6);
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    for (int i = 0; i < 4; ++i)
        FillRect(s.dc, RECT{i, 0, i + 1, 1}, CreateSolidBrush(colours[i]));
    // Edges 0, 1, 2, 3, 4 map to device 0, 2, 3, 5, 6.
    const std::uint32_t expected[] = {0xFF0000, 0xFF0000, 0x00FF00, 0x0000FF, 0x0000FF, 0xFFFF00};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(At(s, x, 0), expected[x]) << x;
}

TEST(ScaledRaster, AWholeScaleSkinIsTheSkinWithEachPixelRepeated) {
    MySurface plain;
    ASSERT_TRUE(plain.LoadSkin(nullptr, 104, nullptr));
    MySurface reference;
    ASSERT_TRUE(reference.ResizeSurface(kTwo, 1, 1));
    MySurface skin;
    ASSERT_TRUE(skin.LoadSkin(&reference.dc, 104, nullptr));
    EXPECT_EQ(skin.width, plain.width);
    EXPECT_EQ(skin.height, plain.height);
    ASSERT_EQ(skin.bitmap->width(), 2 * plain.width);
    for (int y = 0; y < skin.bitmap->height(); ++y)
        for (int x = 0; x < skin.bitmap->width(); ++x)
            ASSERT_EQ(At(skin, x, y), At(plain, x / 2, y / 2)) << x << "," << y;

    // A piece copied at 2x is the 1x copy with each pixel repeated, stretched columns included.
    MySurface once, twice;
    ASSERT_TRUE(once.ResizeSurface(nullptr, 40, 24));
    ASSERT_TRUE(twice.ResizeSurface(kTwo, 40, 24));
    BitBlt(once.dc, 0, 0, 8, 24, plain.dc, 0, 48, SRCCOPY);
    StretchBlt(once.dc, 8, 0, 32, 24, plain.dc, 10, 48, 1, 24, SRCCOPY);
    BitBlt(twice.dc, 0, 0, 8, 24, skin.dc, 0, 48, SRCCOPY);
    StretchBlt(twice.dc, 8, 0, 32, 24, skin.dc, 10, 48, 1, 24, SRCCOPY);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(At(twice, x, y), At(once, x / 2, y / 2)) << x << "," << y;
}

TEST(ScaledRaster, AFractionalScaleSkinIsSmoothAndKeepsItsPlainAreas) {
    MySurface plain;
    ASSERT_TRUE(plain.LoadSkin(nullptr, 104, nullptr));
    MySurface reference;
    ASSERT_TRUE(reference.ResizeSurface(kOneAndAHalf, 1, 1));
    MySurface skin;
    ASSERT_TRUE(skin.LoadSkin(&reference.dc, 104, nullptr));
    ASSERT_EQ(skin.bitmap->width(), kOneAndAHalf.ToDevice(plain.width));
    ASSERT_EQ(skin.bitmap->height(), kOneAndAHalf.ToDevice(plain.height));
    // Colours that are in no pixel of the skin appear (blends between neighbours), and a device pixel
    // inside a 3x3 block of one colour keeps that colour.
    std::vector<std::uint32_t> palette;
    for (int y = 0; y < plain.height; ++y)
        for (int x = 0; x < plain.width; ++x)
            palette.push_back(At(plain, x, y));
    std::sort(palette.begin(), palette.end());
    int blends = 0, plainChecked = 0;
    for (int y = 0; y < skin.bitmap->height(); ++y) {
        for (int x = 0; x < skin.bitmap->width(); ++x) {
            blends += !std::binary_search(palette.begin(), palette.end(), At(skin, x, y));
            const int sx = x * 2 / 3, sy = y * 2 / 3;
            if (sx < 1 || sy < 1 || sx + 1 >= plain.width || sy + 1 >= plain.height)
                continue;
            bool uniform = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    uniform = uniform && At(plain, sx + dx, sy + dy) == At(plain, sx, sy);
            if (uniform) {
                ++plainChecked;
                ASSERT_EQ(At(skin, x, y), At(plain, sx, sy)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(blends, 100);
    EXPECT_GT(plainChecked, 1000);
}

TEST(ScaledRaster, AColumnSpreadFromAFractionalScaleSkinKeepsItsExactColours) {
    MySurface plain;
    ASSERT_TRUE(plain.LoadSkin(nullptr, 104, nullptr));
    MySurface reference;
    ASSERT_TRUE(reference.ResizeSurface(kOneAndAHalf, 1, 1));
    MySurface skin;
    ASSERT_TRUE(skin.LoadSkin(&reference.dc, 104, nullptr));
    MySurface target;
    ASSERT_TRUE(target.ResizeSurface(kOneAndAHalf, 20, 24));
    // The frame's middle column between its dark edges, spread over 20 logical pixels: every device pixel
    // of a row is the column's own colour, never a blend with the edge beside it in the skin.
    StretchBlt(target.dc, 0, 0, 20, 24, skin.dc, 142, 128, 1, 24, SRCCOPY);
    for (int y = 0; y < target.bitmap->height(); ++y)
        for (int x = 0; x < target.bitmap->width(); ++x)
            ASSERT_EQ(At(target, x, y), At(plain, 142, 128 + kOneAndAHalf.ToLogical(y))) << x << "," << y;
}

TEST(ScaledRaster, ASourceAtAnotherScaleIsStretchedToTheDestinationsPixels) {
    MySurface source, target;
    ASSERT_TRUE(source.ResizeSurface(nullptr, 2, 1));
    source.bitmap->row(0)[0] = 0x112233;
    source.bitmap->row(0)[1] = 0x445566;
    ASSERT_TRUE(target.ResizeSurface(kTwo, 2, 1));
    BitBlt(target.dc, 0, 0, 2, 1, source.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(At(target, 0, 1), 0x112233u);
    EXPECT_EQ(At(target, 1, 0), 0x112233u);
    EXPECT_EQ(At(target, 2, 1), 0x445566u);
    EXPECT_EQ(At(target, 3, 0), 0x445566u);
}

// Text drawn black on white at a scale; the ink's bounding box in device pixels.
struct TextImage {
    TextImage(DeviceScale scale, std::u16string_view text) {
        EXPECT_TRUE(surface.ResizeSurface(scale, 120, 24));
        FillRect(surface.dc, RECT{0, 0, 120, 24}, CreateSolidBrush(0xFFFFFF));
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
        SelectObject(surface.dc, font.get());
        SetBkMode(surface.dc, TRANSPARENT);
        RECT r{4, 2, 116, 22};
        DrawTextW(surface.dc, text, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        box = RECT{1 << 20, 1 << 20, -1, -1};
        for (int y = 0; y < surface.bitmap->height(); ++y)
            for (int x = 0; x < surface.bitmap->width(); ++x)
                if (At(surface, x, y) != 0xFFFFFF) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
    }
    MySurface surface;
    std::unique_ptr<Font> font;
    RECT box;
};

TEST(ScaledRaster, TextAtTwiceTheScaleIsDrawnSharpWhereTheLogicalLayoutPutsIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows windows stay at scale 1: its text backend draws at the logical size";
#endif
    const TextImage once(DeviceScale{}, u"Vantri plays 0:12:34");
    const TextImage twice(kTwo, u"Vantri plays 0:12:34");
    ASSERT_GT(once.box.right, once.box.left);
    // The same ink position, in device pixels: twice the logical one, give or take an antialiased edge.
    EXPECT_NEAR(twice.box.left, 2 * once.box.left, 2);
    EXPECT_NEAR(twice.box.top, 2 * once.box.top, 2);
    EXPECT_NEAR(twice.box.right, 2 * once.box.right, 2);
    EXPECT_NEAR(twice.box.bottom, 2 * once.box.bottom, 2);
    // Not the 1x text stretched: stretched text has every 2 x 2 block of one colour, and differs from
    // the sharp text in many pixels.
    int mixedBlocks = 0, differing = 0;
    for (int y = 0; y + 1 < 48; y += 2) {
        for (int x = 0; x + 1 < 240; x += 2) {
            const std::uint32_t a = At(twice.surface, x, y);
            mixedBlocks += a != At(twice.surface, x + 1, y) || a != At(twice.surface, x, y + 1) ||
                           a != At(twice.surface, x + 1, y + 1);
        }
    }
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 240; ++x)
            differing += At(twice.surface, x, y) != At(once.surface, x / 2, y / 2);
    EXPECT_GT(mixedBlocks, 50);
    EXPECT_GT(differing, 200);
}

TEST(ScaledRaster, TextMeasuresTheSameLogicalWidthAtEveryScale) {
    for (DeviceScale scale : {DeviceScale{}, kOneAndAHalf, kTwo}) {
        TextImage image(scale, u"x");
        RECT r{0, 0, 0, 0};
        DrawTextW(image.surface.dc, u"Moments of the show", &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        RECT plain{0, 0, 0, 0};
        TextImage reference(DeviceScale{}, u"x");
        DrawTextW(reference.surface.dc, u"Moments of the show", &plain,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        EXPECT_EQ(r.right, plain.right) << scale.factor();
        EXPECT_EQ(r.bottom, 14);
    }
}

} // namespace
