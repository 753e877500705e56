#include "panels/MyInfoTabPanel.h"

#include "platform/MessageBox.h"

std::unique_ptr<MyStationComboPanel> MakeStationPage(MyAppContext* appContext, MySurface* skin) {
    return std::make_unique<MyStationComboPanel>(appContext, skin);
}

template <typename Page>
Page* MyInfoTabPanel::AttachPage(std::unique_ptr<Page> page, std::int32_t left, std::int32_t top,
                                 std::int32_t pageWidth, std::int32_t pageHeight, bool shown) {
    page->Create(windowContext, left, top, pageWidth, pageHeight);
    page->visible = shown;
    return AddChild(std::move(page));
}

MyTabButton* MyInfoTabPanel::AttachTab(std::int32_t left, std::int32_t tabWidth, const char16_t* text) {
    auto tab = std::make_unique<MyTabButton>(&skin);
    tab->Create(windowContext, left, 5, tabWidth, 38);
    MyTabButton* attached = AddChild(std::move(tab));
    attached->SetText(text); // after attaching, so that the text is drawn centred
    return attached;
}

void MyInfoTabPanel::OnCreate() {
    if (!skin.LoadSkin(backBuffer, kSkinResource, instance))
        platform::ShowMessageBox(u"PanelGraphics->LoadBitmap FAILED!", u"Fel!");
    const std::int32_t right = width;
    stationsTab = AttachTab(5, 70, u"Stations");
    settingsTab = AttachTab(right - 120, 70, u"Settings");
    aboutTab = AttachTab(right - 43, 38, u"?");
    aboutTab->accessibleName = u"About";

    chatPage = AttachPage(std::make_unique<MyChatPanel>(appContext), 0, kTabBarHeight, width,
                          height - kTabBarHeight, true);
    stationPage = AttachPage(MakeStationPage(appContext, &skin), 0, kTabBarHeight, 600, height - 88, false);
    if (stationPage->listBox) {
        stationPage->listBox->backgroundColour = kStationListBackground;
        stationPage->listBox->dirty = true;
        stationPage->listBox->Redraw();
    }
    settingsPage = AttachPage(std::make_unique<MySettingsPanel>(appContext, &skin), right - 550,
                              kTabBarHeight, 500, 196, false);
    tracksPage =
        AttachPage(std::make_unique<MyStreamInfoPanel>(appContext, &skin), 0, 88, 600, height - 88, false);
    tracksPage->listBox->backgroundColour = kTrackListBackground;
    tracksPage->listBox->dirty = true;
    tracksPage->listBox->Redraw();
    aboutPage = AttachPage(std::make_unique<MyAboutPanel>(appContext, &skin), width / 2 - 300, kTabBarHeight,
                           600, 300, false);
}

void MyInfoTabPanel::Paint() {
    if (!backBuffer)
        return;
    Dc& dc = *backBuffer;
    if (const MyPalette palette = PaletteOf(*this); palette.highContrast) {
        FillRect(dc, RECT{x, y, x + width, y + kTabBarHeight}, CreateSolidBrush(palette.background));
        return;
    }
    BitBlt(dc, x, y, 1, kTabBarHeight, skin.dc, 0, 0, SRCCOPY);
    StretchBlt(dc, x + 1, y, width - 2, kTabBarHeight, skin.dc, 1, 0, 1, kTabBarHeight, SRCCOPY);
    BitBlt(dc, x + width - 1, y, 1, kTabBarHeight, skin.dc, 2, 0, SRCCOPY);
}

void MyInfoTabPanel::OnBoundsChanged(const RECT&) {
    const std::int32_t w = width;
    const std::int32_t h = height;
    if (settingsTab)
        settingsTab->SetBounds(RECT{x + w - 118, y + 5, x + w - 48, y + 43});
    if (aboutTab)
        aboutTab->SetBounds(RECT{x + w - 43, y + 5, x + w - 5, y + 43});
    if (chatPage)
        chatPage->SetBounds(RECT{x, y + 48, x + w, y + h});
    if (stationPage)
        stationPage->SetBounds(RECT{x, y + 48, x + 600, y + h - 40});
    if (settingsPage)
        settingsPage->SetBounds(RECT{x + w - 550, y + 48, x + w - 50, y + 244});
    if (tracksPage)
        tracksPage->SetBounds(RECT{x, y + 88, x + 600, y + h});
    if (aboutPage)
        aboutPage->SetBounds(RECT{x + w / 2 - 300, y + 48, x + w / 2 + 300, y + 348});
}
