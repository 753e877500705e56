#include "platform/Resources.h"
#include "ui/BitmapFile.h"

#include <gtest/gtest.h>

namespace {

TEST(Resources, SkinsAreBuiltInAtTheirSizes) {
    struct Expected {
        int id, width, height;
    };
    for (Expected e : {Expected{104, 157, 176}, Expected{106, 87, 250}, Expected{107, 64, 33}}) {
        DecodedImage image;
        ASSERT_TRUE(DecodeBmp(platform::FindResource(e.id), image)) << e.id;
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
    }
    for (int size : {16, 32, 48}) {
        DecodedImage icon;
        ASSERT_TRUE(DecodeIco(platform::FindResource(108), size, icon));
        EXPECT_EQ(icon.width, size);
        EXPECT_EQ(icon.pixels[static_cast<std::size_t>(size / 2) * size + size / 2] >> 24, 255u)
            << "opaque centre";
        EXPECT_EQ(icon.pixels[0] >> 24, 0u) << "transparent corner";
    }
    EXPECT_TRUE(platform::FindResource(555).empty());
}

TEST(Resources, SkinPiecesThatMustMatchDoMatch) {
    DecodedImage panel;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(104), panel));
    auto at = [&](int x, int y) {
        return panel.pixels[static_cast<std::size_t>(y) * panel.width + x] & 0xFFFFFF;
    };
    // The position knob's mask is black inside and white outside; its image is black outside.
    for (int y = 48; y < 80; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t mask = at(149 + x, y);
            EXPECT_TRUE(mask == 0 || mask == 0xFFFFFF);
            if (mask == 0xFFFFFF) {
                EXPECT_EQ(at(141 + x, y), 0u);
            }
        }
    // The corner behind the buttons continues the lower strip row by row.
    for (int y = 0; y < 48; ++y)
        EXPECT_EQ(at(3, y), at(142, 80 + y)) << y;
    DecodedImage info;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(106), info));
    auto at106 = [&](int x, int y) {
        return info.pixels[static_cast<std::size_t>(y) * info.width + x] & 0xFFFFFF;
    };
    // The header's plain buttons are where the view buttons read their plain state.
    EXPECT_NE(at106(8 + 17, 114 + 16), at106(2, 114 + 16)) << "an icon is drawn at the stations button";
}

TEST(BitmapFiles, RoundTripAndRejectBrokenFiles) {
    DecodedImage image;
    image.width = 3;
    image.height = 2;
    image.pixels = {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
    const auto file = EncodeBmp24(image);
    DecodedImage back;
    ASSERT_TRUE(DecodeBmp(file, back));
    EXPECT_EQ(back.pixels, image.pixels);
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{53}, file.size() - 1}) {
        DecodedImage partial;
        EXPECT_FALSE(DecodeBmp(std::span(file).first(cut), partial)) << cut;
    }
    auto bad = file;
    bad[28] = 8; // 8 bits per pixel is not supported
    EXPECT_FALSE(DecodeBmp(bad, back));
    auto huge = file;
    huge[18] = 0xFF;
    huge[19] = 0xFF;
    huge[20] = 0xFF; // width far beyond the data
    EXPECT_FALSE(DecodeBmp(huge, back));
}

} // namespace
