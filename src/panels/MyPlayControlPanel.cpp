#include "panels/MyPlayControlPanel.h"

#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "app/PlaySpeeds.h"
#include "panels/PlayControlSkin.h"
#include "platform/MessageBox.h"

using namespace playskin;

void MyPlayControlPanel::OnCreate() {
    PanelGraphics = std::make_unique<MySurface>();
    if (!PanelGraphics->LoadSkin(backBuffer, skinResource, instance))
        platform::ShowMessageBox(u"PanelGraphics->LoadBitmap FAILED!", u"Fel!");
    MySurface* skin = PanelGraphics.get();
    const std::int32_t w = width;
    const std::int32_t h = height;

    auto time = std::make_unique<MyPlayTextBar>(skin);
    time->Create(context, 0, 0, 54, 24);
    timeTextBar = AddChild(std::move(time));

    auto status = std::make_unique<MyPlayTextBar>(skin);
    status->Create(context, 54, 0, w - 152, 24);
    status->text = u"Init ok.";
    statusTextBar = AddChild(std::move(status));

    auto speed = std::make_unique<MyPlayTextBar>(skin);
    speed->Create(context, w - 98 - kSpeedWidth, 0, kSpeedWidth, 24);
    speed->text = FormatPlaySpeed(MyPlaySpeeds::kNormalTenths);
    speed->centred = true;
    speedTextBar = AddChild(std::move(speed));

    const MySettings* settings = appContext ? appContext->settings : nullptr;
    auto volume = std::make_unique<MyPlayVolumeBar>(skin);
    volume->Create(context, w - 72, 0, 64, 24);
    volumeBar = AddChild(std::move(volume));
    if (settings)
        volumeBar->SetVolumeValue(settings->volume);

    auto mute = std::make_unique<MyMuteButton>(skin);
    mute->Create(context, w - 92, 0, 14, 24);
    // Tab reaches the mute button first: it stands left of the volume slider.
    mute->tabOrder = -1;
    muteButton = AddChild(std::move(mute));
    const bool muted = settings && settings->HasFlag(SettingsFlag_Muted);
    if (muted != muteButton->muted) {
        muteButton->muted = muted;
        muteButton->Redraw();
    }

    auto pos = std::make_unique<MyPlayPosBar>(skin);
    pos->Create(context, 8, 32, w - 174, 32);
    pos->enabled = false;
    posBar = AddChild(std::move(pos));

    std::int32_t buttonX = w - 149;
    for (std::int32_t kind = 0; kind < 4; ++kind) {
        auto button = std::make_unique<MyPlayButton>(skin, kind);
        button->Create(context, buttonX, h - 40, ButtonWidth(kind), kButtonHeight);
        buttonX += ButtonWidth(kind);
        playButtons[kind] = AddChild(std::move(button));
    }
}

void MyPlayControlPanel::OnBoundsChanged(const RECT&) {
    if (!timeTextBar)
        return;
    const std::int32_t l = bounds.left;
    const std::int32_t t = bounds.top;
    const std::int32_t w = width;
    timeTextBar->SetBounds(RECT{l, t, l + 54, t + 24});
    statusTextBar->SetBounds(RECT{l + 54, t, l + 54 + (w - 152), t + 24});
    speedTextBar->SetBounds(RECT{l + w - 98 - kSpeedWidth, t, l + w - 98, t + 24});
    volumeBar->SetBounds(RECT{l + w - 72, t, l + w - 72 + 64, t + 24});
    muteButton->SetBounds(RECT{l + w - 92, t, l + w - 92 + 14, t + 24});
    posBar->SetBounds(RECT{l + 8, t + 32, l + 8 + (w - 174), t + 32 + 32});
    std::int32_t buttonX = bounds.right - 149;
    for (MyPlayButton* button : playButtons) {
        button->Offset(buttonX, bounds.bottom - 40, true);
        buttonX = button->bounds.right;
    }
}

void MyPlayControlPanel::Paint() {
    if (!backBuffer || !PanelGraphics)
        return;
    Dc& dc = *backBuffer;
    const Dc& skin = PanelGraphics->dc;
    // Top frame behind the mute button and volume slider.
    const std::int32_t frameX = bounds.right - 152;
    StretchBlt(dc, frameX, y, 1, 24, skin, kFrameLeftColumn, kFrame24Top, 1, 24, SRCCOPY);
    StretchBlt(dc, frameX + 1, y, 150, 24, skin, kFrameMiddleColumn, kFrame24Top, 1, 24, SRCCOPY);
    StretchBlt(dc, frameX + 151, y, 1, 24, skin, kFrameRightColumn, kFrame24Top, 1, 24, SRCCOPY);
    // Lower strip under the text bars, left of the corner image.
    const std::int32_t stripWidth = width - kCornerWidth;
    if (stripWidth > 0) {
        StretchBlt(dc, x, y + 24, 1, 48, skin, kFrameLeftColumn, kFrame48Top, 1, 48, SRCCOPY);
        StretchBlt(dc, x + 1, y + 24, stripWidth - 2, 48, skin, kFrameMiddleColumn, kFrame48Top, 1, 48,
                   SRCCOPY);
        StretchBlt(dc, x + stripWidth - 1, y + 24, 1, 48, skin, kFrameRightColumn, kFrame48Top, 1, 48,
                   SRCCOPY);
    }
    BitBlt(dc, bounds.right - kCornerWidth, bounds.bottom - kCornerHeight, kCornerWidth, kCornerHeight, skin,
           0, 0, SRCCOPY);
}
