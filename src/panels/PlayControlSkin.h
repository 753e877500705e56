#pragma once
// Where each piece of the play control panel's skin (bitmap 104, 157 x 176) lies. The panel and its
// controls read the pieces through these names only.

#include <cstdint>

namespace playskin {

constexpr int kResource = 104;

// Corner image behind the buttons: (0, 0), 157 x 48.
constexpr std::int32_t kCornerWidth = 157;
constexpr std::int32_t kCornerHeight = 48;

// Volume slider: left end (8, 8) 8 x 24 (mirrored for the right end), middle column 16, knob (17, 11) 6 x 18.
constexpr std::int32_t kVolumeEndX = 8;
constexpr std::int32_t kVolumeTop = 8;
constexpr std::int32_t kVolumeEndWidth = 8;
constexpr std::int32_t kVolumeHeight = 24;
constexpr std::int32_t kVolumeMiddleColumn = 16;
constexpr std::int32_t kVolumeKnobX = 17;
constexpr std::int32_t kVolumeKnobY = 11;
constexpr std::int32_t kVolumeKnobWidth = 6;
constexpr std::int32_t kVolumeKnobHeight = 18;

// Mute button: not muted (23, 8), muted (37, 8), 14 x 24.
constexpr std::int32_t kMuteX = 23;
constexpr std::int32_t kMutedX = 37;
constexpr std::int32_t kMuteY = 8;
constexpr std::int32_t kMuteWidth = 14;
constexpr std::int32_t kMuteHeight = 24;

// Position bar, rows 8..39. Plain: left end (51, 8) 12 wide, middle column 59, right end (64, 8) 12 wide.
// Segment style s: left zone from column 57 + 25s, middle column 63 + 25s, right zone from 64 + 25s, right
// end (70 + 25s, 8) 6 wide. The fixed left end is (51, 8) 6 wide.
constexpr std::int32_t kBarTop = 8;
constexpr std::int32_t kBarHeight = 32;
constexpr std::int32_t kBarPlainLeftX = 51;
constexpr std::int32_t kBarPlainEndWidth = 12;
constexpr std::int32_t kBarPlainMiddleColumn = 59;
constexpr std::int32_t kBarPlainRightX = 64;
constexpr std::int32_t kBarFixedLeftWidth = 6;
constexpr std::int32_t kBarStyleStep = 25;
constexpr std::int32_t kBarLeftZoneColumn = 57;
constexpr std::int32_t kBarMiddleColumn = 63;
constexpr std::int32_t kBarRightZoneColumn = 64;
constexpr std::int32_t kBarRightEndX = 70;
constexpr std::int32_t kBarZoneWidth = 6;

// Position knob: image (141, 48) and mask (149, 48), 8 x 32.
constexpr std::int32_t kKnobImageX = 141;
constexpr std::int32_t kKnobMaskX = 149;
constexpr std::int32_t kKnobY = 48;
constexpr std::int32_t kKnobWidth = 8;
constexpr std::int32_t kKnobHeight = 32;

// Play buttons: x 0 for kind 0 (36 wide), 35 * kind + 1 for kinds 1..3 (35 wide); y 48 normal, 80
// pressed, 64 more when lit; 32 high.
constexpr std::int32_t kButtonNormalY = 48;
constexpr std::int32_t kButtonPressedY = 80;
constexpr std::int32_t kButtonLitStep = 64;
constexpr std::int32_t kButtonHeight = 32;
constexpr std::int32_t ButtonX(std::int32_t kind) {
    return kind == 0 ? 0 : 35 * kind + 1;
}
constexpr std::int32_t ButtonWidth(std::int32_t kind) {
    return kind == 0 ? 36 : 35;
}

// Frames: left, middle and right columns 141, 142, 143; 48 high from row 80, 24 high from row 128.
constexpr std::int32_t kFrameLeftColumn = 141;
constexpr std::int32_t kFrameMiddleColumn = 142;
constexpr std::int32_t kFrameRightColumn = 143;
constexpr std::int32_t kFrame48Top = 80;
constexpr std::int32_t kFrame24Top = 128;

} // namespace playskin
