#pragma once
// The strip of play controls along the bottom of the main window: the time and status text bars, the
// mute button and volume slider, the position slider and the previous, pause, play and next buttons,
// all drawn from skin bitmap 104. The panel owns the skin; its children are owned through the control
// tree and reached through the fields below. The main window connects their callbacks.

#include "panels/MyPlayControls.h"
#include "ui/MyControlBase.h"
#include "ui/MySurface.h"

struct MyAppContext;

class MyPlayControlPanel : public MyControlBase {
public:
    static constexpr std::int32_t kHeight = 72;     // pixels
    static constexpr std::int32_t kSpeedWidth = 38; // pixels

    MyPlayControlPanel(MyWindowContext* windowContext, MyAppContext* appContext)
        : windowContext(windowContext), appContext(appContext) {}

    void OnCreate() override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;

    MyWindowContext* windowContext;
    MyAppContext* appContext;
    std::unique_ptr<MySurface> PanelGraphics;
    MyPlayTextBar* statusTextBar = nullptr;
    MyPlayTextBar* timeTextBar = nullptr;
    // The playback speed, over the right end of the status bar; a click opens the speed menu.
    MyPlayTextBar* speedTextBar = nullptr;
    MyPlayVolumeBar* volumeBar = nullptr;
    MyMuteButton* muteButton = nullptr;
    MyPlayPosBar* posBar = nullptr;
    MyPlayButton* playButtons[4] = {};

    // The skin resource OnCreate loads; only a test changes it, to see a skin that fails to load.
    int skinResource = 104;
};
