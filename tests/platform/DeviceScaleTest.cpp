// The device scale: its edge mapping, and how it is read from what the desktop says.

#include "platform/DeviceScale.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

using platform::DeviceScale;

TEST(DeviceScale, EdgesMapExactlyAndPointsFallInTheLogicalPixelThatHoldsThem) {
    const DeviceScale one{};
    for (int v : {-7, -1, 0, 1, 13, 32767}) {
        EXPECT_EQ(one.ToDevice(v), v);
        EXPECT_EQ(one.ToLogical(v), v);
        EXPECT_EQ(one.ToLogicalEdge(v), v);
    }
    const DeviceScale two = DeviceScale::FromQuarters(8);
    EXPECT_EQ(two.ToDevice(-3), -6);
    EXPECT_EQ(two.ToDevice(835), 1670);
    // Device pixels 2x and 2x + 1 both lie in logical pixel x, on either side of zero.
    EXPECT_EQ(two.ToLogical(20), 10);
    EXPECT_EQ(two.ToLogical(21), 10);
    EXPECT_EQ(two.ToLogical(-1), -1);
    EXPECT_EQ(two.ToLogical(-2), -1);
    EXPECT_EQ(two.ToLogicalEdge(1671), 836);

    const DeviceScale half = DeviceScale::FromQuarters(6); // 1.5x: halves round up
    EXPECT_EQ(half.ToDevice(1), 2);
    EXPECT_EQ(half.ToDevice(2), 3);
    EXPECT_EQ(half.ToDevice(3), 5);
    EXPECT_EQ(half.ToDevice(-1), -1);
    // Every device pixel belongs to the logical pixel whose mapped span holds it.
    for (int d = -20; d < 40; ++d) {
        const int l = half.ToLogical(d);
        EXPECT_LE(half.ToDevice(l), d) << d;
        EXPECT_GT(half.ToDevice(l + 1), d) << d;
    }
    // At 1.5x a logical size covers the device size it was made from.
    for (int d = 1; d < 40; ++d)
        EXPECT_GE(half.ToDevice(half.ToLogicalEdge(d)), d) << d;
    // At every scale an edge taken to the device and back is the edge it was: a window's saved place and
    // size do not creep from one start to the next.
    for (int q = DeviceScale::kMinQuarters; q <= DeviceScale::kMaxQuarters; ++q) {
        const DeviceScale s = DeviceScale::FromQuarters(q);
        for (int l = -50; l < 2000; ++l)
            ASSERT_EQ(s.ToLogicalEdge(s.ToDevice(l)), l) << q << " " << l;
    }
    // Far edges are held to 32 bits rather than wrapping.
    EXPECT_EQ(two.ToDevice(-2147483647), INT32_MIN);
    EXPECT_EQ(two.ToDevice(2147483647), INT32_MAX);
}

TEST(DeviceScale, FactorsRoundToAQuarterWithinOneToFour) {
    EXPECT_EQ(DeviceScale::FromFactor(1.5)->quarters(), 6);
    EXPECT_EQ(DeviceScale::FromFactor(1.3)->quarters(), 5);
    EXPECT_EQ(DeviceScale::FromFactor(1.125)->quarters(), 5); // halves up
    EXPECT_EQ(DeviceScale::FromFactor(0.5)->quarters(), 4);   // never below 1x
    EXPECT_EQ(DeviceScale::FromFactor(9)->quarters(), 16);
    EXPECT_FALSE(DeviceScale::FromFactor(0));
    EXPECT_FALSE(DeviceScale::FromFactor(-2));
    EXPECT_FALSE(DeviceScale::FromFactor(std::nan("")));
}

TEST(DeviceScale, TextsAreDecimalNumbersOrNothing) {
    EXPECT_EQ(platform::ParseDeviceScale("2")->quarters(), 8);
    EXPECT_EQ(platform::ParseDeviceScale(" 1.75 ")->quarters(), 7);
    for (const char* bad : {"", "two", "1,5", "2x", "-1", "0", "inf", "nan"})
        EXPECT_FALSE(platform::ParseDeviceScale(bad)) << bad;
}

TEST(DeviceScale, XftDpiComesFromItsOwnLineOfTheResourceDatabase) {
    EXPECT_EQ(platform::ScaleFromResources("Xft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n")->quarters(),
              6);
    EXPECT_EQ(platform::ScaleFromResources("Xft.dpi: 192")->quarters(), 8);
    EXPECT_EQ(platform::ScaleFromResources("Xft.dpi:\t96\r\n")->quarters(), 4);
    EXPECT_FALSE(platform::ScaleFromResources("Xft.hinting:\t1\n"));
    EXPECT_FALSE(platform::ScaleFromResources("Xft.dpi:\tlarge\n"));
    EXPECT_FALSE(platform::ScaleFromResources("XXft.dpi:\t192\n"));
}

TEST(DeviceScale, TheUsersChoiceComesFirstThenWaylandThenGdkThenXftDpi) {
    platform::DesktopScaleSources sources;
    EXPECT_TRUE(platform::ChooseDeviceScale(sources).identity());
    sources.resourceText = "Xft.dpi:\t120\n";
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 5);
    sources.gdkScale = "2";
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 8);
    sources.outputScale = 3.0;
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 12);
    sources.vantriScale = "1.5";
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 6);
    // A choice that is no number passes the word to the next source.
    sources.vantriScale = "big";
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 12);
    sources.outputScale.reset();
    sources.gdkScale = "";
    EXPECT_EQ(platform::ChooseDeviceScale(sources).quarters(), 5);
}

} // namespace
