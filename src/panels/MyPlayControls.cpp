#include "panels/MyPlayControls.h"

#include "panels/ChatActivityStrip.h"
#include "panels/PlayControlSkin.h"
#include "platform/WindowMessages.h"

#include <algorithm>
#include <cmath>
#include <optional>

using namespace playskin;

namespace {

// The step a slider key asks for: -1 back (Left, Down), +1 on (Right, Up), -2 to the start (Home), +2 to
// the end (End), 0 for a key that only the slider swallows (Space and Enter must not press it in the
// middle), or nullopt for a key it leaves.
std::optional<int> SliderStep(int virtualKey) {
    using namespace platform;
    switch (virtualKey) {
    case VK_LEFT:
    case VK_DOWN:
        return -1;
    case VK_RIGHT:
    case VK_UP:
        return 1;
    case VK_HOME:
        return -2;
    case VK_END:
        return 2;
    case VK_SPACE:
    case VK_RETURN:
        return 0;
    default:
        return std::nullopt;
    }
}

// The slider value after `step` of size `size`, within 0..1.
float SteppedValue(float value, int step, float size) {
    if (step == -2 || step == 2)
        return step < 0 ? 0.0f : 1.0f;
    return std::clamp(value + static_cast<float>(step) * size, 0.0f, 1.0f);
}

// Where a press at `pointX` puts a slider's knob, for a bar at `left` of `width` whose knob is
// 2 * `halfKnob` wide: its offset along the track, clamped to the ends, and the matching value from 0 to 1.
void KnobFromPoint(std::int32_t pointX, std::int32_t left, std::int32_t width, std::int32_t halfKnob,
                   std::int32_t& knobOffset, float& value) {
    const std::int32_t track = width - 2 * halfKnob;
    std::int32_t k;
    if (pointX < left + halfKnob)
        k = 0;
    else if (pointX > left + width - halfKnob)
        k = track;
    else
        k = pointX - (left + halfKnob);
    knobOffset = k;
    if (k < 0 || track <= 0)
        value = 0;
    else if (k > track)
        value = 1;
    else
        value = static_cast<float>(k) / static_cast<float>(track);
}

// Draws a frame of the 24-row field pieces into `dc`: left column, middle stretched, right column.
void DrawFieldFrame(Dc& dc, const MySurface* skin, std::int32_t x, std::int32_t y, std::int32_t width) {
    if (!skin || width <= 0)
        return;
    StretchBlt(dc, x, y, 1, 24, skin->dc, kFrameLeftColumn, kFrame24Top, 1, 24, SRCCOPY);
    StretchBlt(dc, x + 1, y, width - 2, 24, skin->dc, kFrameMiddleColumn, kFrame24Top, 1, 24, SRCCOPY);
    StretchBlt(dc, x + width - 1, y, 1, 24, skin->dc, kFrameRightColumn, kFrame24Top, 1, 24, SRCCOPY);
}

// A cached surface of the control's size; false when the window has no back buffer yet or the size is empty.
// Nothing is cached, and so nothing copied, while the skin is missing: the control then draws nothing.
bool MakeCache(std::unique_ptr<MySurface>& cache, const MySurface* skin, const Dc* reference,
               std::int32_t width, std::int32_t height) {
    if (cache)
        return true;
    if (!skin || skin->empty())
        return false;
    auto made = std::make_unique<MySurface>();
    if (!made->ResizeSurface(reference, width, height))
        return false;
    cache = std::move(made);
    return true;
}

bool SizeChanged(const RECT& oldRect, const RECT& bounds) {
    return oldRect.right - oldRect.left != bounds.right - bounds.left ||
           oldRect.bottom - oldRect.top != bounds.bottom - bounds.top;
}

} // namespace

// ---- MyPlayTextBar ------------------------------------------------------------------------------------

void MyPlayTextBar::SetTextBarText(const std::u16string& newText, bool newCentred) {
    if (newText == text)
        return;
    text = newText;
    centred = newCentred;
    Redraw();
}

void MyPlayTextBar::OnBoundsChanged(const RECT& oldRect) {
    if (SizeChanged(oldRect, bounds))
        frame.reset();
}

void MyPlayTextBar::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    const MyPalette palette = PaletteOf(*this);
    if (palette.highContrast) {
        FillRect(dc, bounds, CreateSolidBrush(palette.border));
        FillRect(dc, RECT{bounds.left + 1, bounds.top + 1, bounds.right - 1, bounds.bottom - 1},
                 CreateSolidBrush(palette.background));
    } else {
        if (!frame && MakeCache(frame, skin, backBuffer, width, height))
            DrawFieldFrame(frame->dc, skin, 0, 0, width);
        if (frame)
            BitBlt(dc, x, y, width, height, frame->dc, 0, 0, SRCCOPY);
    }
    if (!font)
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
    const SavedDcState saved(dc);
    SetTextColor(dc, palette.highContrast ? palette.text : 0x000000);
    SetBkMode(dc, TRANSPARENT);
    SelectObject(dc, font.get());
    RECT area{bounds.left + 5, bounds.top, bounds.right - 5, bounds.bottom};
    // A text longer than the bar ends in an ellipsis rather than being cut mid-letter.
    DrawTextW(dc, text, &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | (centred ? DT_CENTER : 0u));
}

// ---- MyPlayVolumeBar ----------------------------------------------------------------------------------

void MyPlayVolumeBar::SetVolumeValue(float newValue) {
    if (newValue == value)
        return;
    value = newValue;
    knobOffset = static_cast<std::int32_t>(value * static_cast<float>(width - 14));
    Redraw();
}

bool MyPlayVolumeBar::OnKeyDown(int virtualKey) {
    const std::optional<int> step = SliderStep(virtualKey);
    if (!step)
        return false;
    if (*step != 0 && !dragging) {
        // Whole steps of 5 %, so that keys from any value reach 0 and 1 exactly.
        const float stepped = SteppedValue(value, *step, 0.05f);
        const float rounded = std::round(stepped * 20.0f) / 20.0f;
        SetVolumeValue(rounded);
        VolumeChangedCallback(callbackTarget, value);
    }
    return true;
}

void MyPlayVolumeBar::PositionFromPoint(std::int32_t pointX) {
    KnobFromPoint(pointX, x, width, 7, knobOffset, value);
}

void MyPlayVolumeBar::OnLButtonDown(POINT point) {
    dragging = true;
    PositionFromPoint(point.x);
    Redraw();
    VolumeChangedCallback(callbackTarget, value);
}

void MyPlayVolumeBar::OnMouseDrag(POINT point) {
    if (dragging)
        OnLButtonDown(point);
}

void MyPlayVolumeBar::OnLButtonUp(POINT) {
    if (!dragging)
        return;
    dragging = false;
    Redraw();
}

void MyPlayVolumeBar::OnBoundsChanged(const RECT& oldRect) {
    if (SizeChanged(oldRect, bounds))
        frame.reset();
    knobOffset = static_cast<std::int32_t>(static_cast<float>(width - 14) * value);
}

void MyPlayVolumeBar::Paint() {
    if (!backBuffer)
        return;
    if (!frame && MakeCache(frame, skin, backBuffer, width, height) && skin) {
        Dc& f = frame->dc;
        BitBlt(f, 0, 0, kVolumeEndWidth, kVolumeHeight, skin->dc, kVolumeEndX, kVolumeTop, SRCCOPY);
        StretchBlt(f, kVolumeEndWidth, 0, width - 2 * kVolumeEndWidth, kVolumeHeight, skin->dc,
                   kVolumeMiddleColumn, kVolumeTop, 1, kVolumeHeight, SRCCOPY);
        // The right end is the left end mirrored, its last column at width - 1.
        StretchBlt(f, width - 1, 0, -kVolumeEndWidth, kVolumeHeight, skin->dc, kVolumeEndX, kVolumeTop,
                   kVolumeEndWidth, kVolumeHeight, SRCCOPY);
    }
    if (frame)
        BitBlt(*backBuffer, x, y, width, height, frame->dc, 0, 0, SRCCOPY);
    if (skin)
        BitBlt(*backBuffer, x + 4 + knobOffset, y + 3, kVolumeKnobWidth, kVolumeKnobHeight, skin->dc,
               kVolumeKnobX, kVolumeKnobY, SRCCOPY);
}

// ---- MyMuteButton -------------------------------------------------------------------------------------

void MyMuteButton::OnLButtonDown(POINT) {
    muted = !muted;
    Redraw();
    MuteChangedCallback(callbackTarget, muted);
}

void MyMuteButton::Paint() {
    if (backBuffer && skin)
        BitBlt(*backBuffer, x, y, kMuteWidth, kMuteHeight, skin->dc, muted ? kMutedX : kMuteX, kMuteY,
               SRCCOPY);
}

// ---- MyPlayPosBar -------------------------------------------------------------------------------------

void MyPlayPosBar::SetPosition(float position) {
    if (dragging)
        return;
    // Also catches a position that is not a number, which compares false both ways.
    position = position > 0 ? std::min(position, 1.0f) : 0.0f;
    if (position == value)
        return;
    value = position;
    knobOffset = static_cast<std::int32_t>(value * static_cast<float>(width - 12));
    Redraw();
}

bool MyPlayPosBar::OnKeyDown(int virtualKey) {
    const std::optional<int> step = SliderStep(virtualKey);
    if (!step)
        return false;
    const std::uint32_t duration = markStream ? markStream->duration : 0;
    if (*step != 0 && !dragging && duration > 0) {
        SetPosition(SteppedValue(value, *step, 10.0f / static_cast<float>(duration)));
        PosReleasedCallback(callbackTarget, value);
    }
    return true;
}

void MyPlayPosBar::PositionFromPoint(std::int32_t pointX) {
    KnobFromPoint(pointX, x, width, 6, knobOffset, value);
}

void MyPlayPosBar::OnLButtonDown(POINT point) {
    dragging = true;
    PositionFromPoint(point.x);
    Redraw();
    PosChangedCallback(callbackTarget, value);
}

void MyPlayPosBar::OnMouseDrag(POINT point) {
    if (!dragging)
        return;
    PositionFromPoint(point.x);
    Redraw();
    PosChangedCallback(callbackTarget, value);
}

void MyPlayPosBar::OnLButtonUp(POINT) {
    if (!dragging)
        return;
    dragging = false;
    Redraw();
    PosReleasedCallback(callbackTarget, value);
}

void MyPlayPosBar::OnBoundsChanged(const RECT& oldRect) {
    if (SizeChanged(oldRect, bounds))
        bar.reset();
    knobOffset = static_cast<std::int32_t>(static_cast<float>(width - 12) * value);
}

std::int32_t MyPlayPosBar::MarkAt(std::int32_t start, std::uint32_t duration, std::int32_t trackLength) {
    // A stream without a duration has nothing to scale by: every mark stands at the start. A track said
    // to start past the end is marked at the end, so no segment leaves the bar.
    if (duration == 0)
        return 0;
    const float fraction =
        static_cast<float>(static_cast<std::uint32_t>(start)) / static_cast<float>(duration);
    const float mark = std::trunc(fraction * static_cast<float>(trackLength));
    return static_cast<std::int32_t>(std::clamp(mark, 0.0f, static_cast<float>(std::max(trackLength, 0))));
}

void MyPlayPosBar::DrawSegment(std::int32_t from, std::int32_t to, std::int32_t style,
                               std::int32_t trackLength) {
    Dc& dc = bar->dc;
    const Dc& src = skin->dc;
    const std::int32_t shift = kBarStyleStep * style;
    // Track pixel t is drawn at bar x t + 6. Left zone: t < 6.
    const std::int32_t leftEnd = std::min(to, kBarZoneWidth);
    if (from < leftEnd)
        BitBlt(dc, from + kBarFixedLeftWidth, 0, leftEnd - from, kBarHeight, src,
               kBarLeftZoneColumn + shift + from, kBarTop, SRCCOPY);
    // Middle: 6 <= t < L - 6, one column stretched.
    const std::int32_t rightZone = std::max(trackLength - kBarZoneWidth, kBarZoneWidth);
    const std::int32_t midFrom = std::max(from, kBarZoneWidth);
    const std::int32_t midTo = std::min(to, rightZone);
    if (midFrom < midTo)
        StretchBlt(dc, midFrom + kBarFixedLeftWidth, 0, midTo - midFrom, kBarHeight, src,
                   kBarMiddleColumn + shift, kBarTop, 1, kBarHeight, SRCCOPY);
    // Right zone: t >= L - 6 (and past the left zone).
    const std::int32_t rightFrom = std::max(from, rightZone);
    if (rightFrom < to)
        BitBlt(dc, rightFrom + kBarFixedLeftWidth, 0, to - rightFrom, kBarHeight, src,
               kBarRightZoneColumn + shift + (rightFrom - (trackLength - kBarZoneWidth)), kBarTop, SRCCOPY);
}

void MyPlayPosBar::RenderBar() {
    if (!MakeCache(bar, skin, backBuffer, width, height) || !skin)
        return;
    Dc& dc = bar->dc;
    const Dc& src = skin->dc;
    if (!marks || !markStream) {
        BitBlt(dc, 0, 0, kBarPlainEndWidth, kBarHeight, src, kBarPlainLeftX, kBarTop, SRCCOPY);
        StretchBlt(dc, kBarPlainEndWidth, 0, width - 2 * kBarPlainEndWidth, kBarHeight, src,
                   kBarPlainMiddleColumn, kBarTop, 1, kBarHeight, SRCCOPY);
        BitBlt(dc, width - kBarPlainEndWidth, 0, kBarPlainEndWidth, kBarHeight, src, kBarPlainRightX, kBarTop,
               SRCCOPY);
        return;
    }
    const std::int32_t trackLength = width - 12;
    BitBlt(dc, 0, 0, kBarFixedLeftWidth, kBarHeight, src, kBarPlainLeftX, kBarTop, SRCCOPY);
    std::int32_t previous = 0;
    std::int32_t style = 1;
    for (const TrackInfo& track : *marks) {
        const std::int32_t mark = MarkAt(track.start, markStream->duration, trackLength);
        if (mark == previous)
            continue;
        style = 1 - style;
        DrawSegment(previous, mark, style, trackLength);
        previous = mark;
    }
    style = 1 - style;
    DrawSegment(previous, trackLength, style, trackLength);
    BitBlt(dc, width - kBarZoneWidth, 0, kBarZoneWidth, kBarHeight, src,
           kBarRightEndX + kBarStyleStep * style, kBarTop, SRCCOPY);
}

void MyPlayPosBar::Paint() {
    if (!backBuffer)
        return;
    if (!bar) {
        RenderBar();
        if (bar && showChatActivity && activityRows && markStream)
            DrawChatActivityStrip(*bar, CountChatMessages(*activityRows, markStream->duration, width - 12),
                                  6);
    }
    if (bar)
        BitBlt(*backBuffer, x, y, width, height, bar->dc, 0, 0, SRCCOPY);
    if (enabled && skin) {
        BitBlt(*backBuffer, x + 2 + knobOffset, y, kKnobWidth, kKnobHeight, skin->dc, kKnobMaskX, kKnobY,
               SRCAND);
        BitBlt(*backBuffer, x + 2 + knobOffset, y, kKnobWidth, kKnobHeight, skin->dc, kKnobImageX, kKnobY,
               SRCPAINT);
    }
}

// ---- MyPlayButton -------------------------------------------------------------------------------------

void MyPlayButton::Paint() {
    if (!backBuffer || !skin)
        return;
    const std::int32_t sourceY = (pressed ? kButtonPressedY : kButtonNormalY) + (lit ? kButtonLitStep : 0);
    BitBlt(*backBuffer, x, y, ButtonWidth(kind), kButtonHeight, skin->dc, ButtonX(kind), sourceY, SRCCOPY);
}

namespace {

// "1:02:03" or "2:03": how a reader hears a time of the show.
std::u16string SpokenTime(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(0, seconds);
    const std::int64_t h = seconds / 3600;
    const std::int64_t m = seconds / 60 % 60;
    const std::int64_t s = seconds % 60;
    std::string text = h > 0 ? std::to_string(h) + ":" + (m < 10 ? "0" : "") : "";
    text += std::to_string(m) + ":" + (s < 10 ? "0" : "") + std::to_string(s);
    return std::u16string(text.begin(), text.end());
}

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace

bool MyPlayTextBar::Describe(platform::AccessibleNode& node) {
    node.role = platform::AccessibleRole::Label;
    node.name = text;
    node.clickable = static_cast<bool>(LClickCallback) && callbackTarget;
    return true;
}

bool MyPlayVolumeBar::Describe(platform::AccessibleNode& node) {
    node.role = platform::AccessibleRole::Slider;
    node.name = u"Volume";
    node.hasValue = true;
    node.value = std::round(std::clamp(value, 0.0f, 1.0f) * 100.0f);
    node.minimum = 0;
    node.maximum = 100;
    node.step = 5;
    node.valueText = Ascii(std::to_string(static_cast<int>(node.value)) + " %");
    return true;
}

bool MyMuteButton::Describe(platform::AccessibleNode& node) {
    node.role = platform::AccessibleRole::ToggleButton;
    node.name = u"Mute";
    node.clickable = true;
    node.states |= platform::kAccessibleCheckable | (muted ? platform::kAccessibleChecked : 0u);
    return true;
}

bool MyPlayPosBar::Describe(platform::AccessibleNode& node) {
    node.role = platform::AccessibleRole::Slider;
    node.name = u"Position";
    const std::uint32_t duration = markStream ? markStream->duration : 0;
    node.hasValue = true;
    node.value = std::floor(std::clamp(value, 0.0f, 1.0f) * static_cast<double>(duration));
    node.minimum = 0;
    node.maximum = duration;
    node.step = 10;
    node.valueText = duration > 0
                         ? SpokenTime(static_cast<std::int64_t>(node.value)) + u" of " + SpokenTime(duration)
                         : u"";
    return true;
}

bool MyPlayButton::Describe(platform::AccessibleNode& node) {
    static constexpr const char16_t* kNames[] = {u"Previous", u"Pause", u"Play", u"Next"};
    node.role = platform::AccessibleRole::PushButton;
    node.name = kind >= 0 && kind < 4 ? kNames[kind] : u"";
    node.clickable = true;
    return true;
}
