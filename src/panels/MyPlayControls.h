#pragma once
// The controls of the play control panel, all drawn from the panel's skin (bitmap 104), which they point
// to and do not own: the text bars, the volume slider, the mute button, the position slider with the
// stream's track boundaries drawn into it, and the four push buttons. They hold only what they show
// and report the user's actions through callbacks on `callbackTarget`.

#include "records/CatalogueRecords.h"
#include "ui/MyControlBase.h"
#include "ui/MyPressable.h"
#include "ui/MySurface.h"

#include <memory>
#include <string>

// A framed 24-pixel field with a bold single-line text, left-aligned or centred.
class MyPlayTextBar : public MyControlBase {
public:
    explicit MyPlayTextBar(MySurface* skin) : skin(skin) {}

    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    // Stores a different text with its alignment and redraws; the same text again changes nothing, its
    // alignment included.
    void SetTextBarText(const std::u16string& newText, bool newCentred);
    // A label with its text, which can be clicked when a click does something.
    bool Describe(platform::AccessibleNode& node) override;

    MySurface* skin;
    std::unique_ptr<MySurface> frame; // the framed field, made on the first paint at the control's size
    std::u16string text;
    std::unique_ptr<Font> font;
    bool centred = false;
};

// The volume slider: a groove with a knob, value 0 to 1.
class MyPlayVolumeBar : public MyControlBase {
public:
    explicit MyPlayVolumeBar(MySurface* skin) : skin(skin) { tabStop = true; }

    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnMouseDrag(POINT point) override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    // Stores a different value, moves the knob and redraws. Not clamped, and not blocked by a drag.
    void SetVolumeValue(float newValue);
    // Left/Down and Right/Up move the volume by 5 %, Home and End to its ends.
    bool OnKeyDown(int virtualKey) override;
    // The slider "Volume", 0 to 100 %.
    bool Describe(platform::AccessibleNode& node) override;

    MySurface* skin;
    std::unique_ptr<MySurface> frame;
    bool dragging = false;
    float value = 0;
    std::int32_t knobOffset = 0; // pixels from the start of the track
    MyCallback<float> VolumeChangedCallback;

private:
    void PositionFromPoint(std::int32_t pointX);
};

// The mute button; it toggles on the press.
class MyMuteButton : public MyControlBase {
public:
    explicit MyMuteButton(MySurface* skin) : skin(skin) { tabStop = true; }

    void OnLButtonDown(POINT point) override;
    void Paint() override;
    // The toggle button "Mute", checked while muted.
    bool Describe(platform::AccessibleNode& node) override;

    MySurface* skin;
    bool muted = false;
    MyCallback<bool> MuteChangedCallback;
};

// The play position slider. Its bar, with the segments of the stream's tracks, is rendered once per size
// and track list into a surface of its own; the knob is drawn over it while the slider is enabled.
class MyPlayPosBar : public MyControlBase {
public:
    explicit MyPlayPosBar(MySurface* skin) : skin(skin) { tabStop = true; }

    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnMouseDrag(POINT point) override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    // Moves the knob to a play position (clamped to 0..1); ignored while the user drags the knob.
    void SetPosition(float position);
    // Left/Down and Right/Up seek 10 s back or on, Home to the start: as a released drag would.
    bool OnKeyDown(int virtualKey) override;
    // The slider "Position", in seconds of the show from 0 to its length.
    bool Describe(platform::AccessibleNode& node) override;
    // Forgets the rendered bar, so that the next paint draws the current marks.
    void DropCache() { bar.reset(); }

    // The track pixel (0 to width - 12) at which a track starting at `start` seconds is marked.
    static std::int32_t MarkAt(std::int32_t start, std::uint32_t duration, std::int32_t trackLength);

    MySurface* skin;
    std::unique_ptr<MySurface> bar;
    bool dragging = false;
    float value = 0;
    std::int32_t knobOffset = 0;
    const TrackInfoList* marks = nullptr;
    const StreamInfoData* markStream = nullptr;
    // The chat whose activity the bar shades along its lower edge while `showChatActivity` is on (the
    // duration comes from `markStream`); drop the cache after changing either.
    const StreamChatRowList* activityRows = nullptr;
    bool showChatActivity = false;
    MyCallback<float> PosReleasedCallback;
    MyCallback<float> PosChangedCallback;

private:
    void PositionFromPoint(std::int32_t pointX);
    void RenderBar();
    void DrawSegment(std::int32_t from, std::int32_t to, std::int32_t style, std::int32_t trackLength);
};

// A push button: 0 previous, 1 pause, 2 play, 3 next. `lit` marks the current play state.
class MyPlayButton : public MyPressable<MyControlBase> {
public:
    MyPlayButton(MySurface* skin, std::int32_t kind) : skin(skin), kind(kind) { tabStop = true; }

    void Paint() override;
    // The push button "Previous", "Pause", "Play" or "Next".
    bool Describe(platform::AccessibleNode& node) override;

    MySurface* skin;
    std::int32_t kind;
    bool lit = false;
};
