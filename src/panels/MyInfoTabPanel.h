#pragma once
// The upper area of the main window: a 48-pixel tab bar with the "Stations", "Settings" and "?" tabs,
// and five pages below it: the chat replay underneath, and over it the station chooser, the settings,
// the track list and the about page. It loads the panel skin that every page shares. Which page shows
// and which tab is selected is the main window's decision, made through `visible` and `selected`.

#include "panels/MyAboutPanel.h"
#include "panels/MyChatPanel.h"
#include "panels/MySettingsPanel.h"
#include "panels/MyStationComboPanel.h"
#include "panels/MyStreamInfoPanel.h"
#include "ui/MySurface.h"
#include "ui/MyTabButton.h"

struct MyAppContext;

class MyInfoTabPanel : public MyControlBase {
public:
    static constexpr int kSkinResource = 106;
    static constexpr std::int32_t kTabBarHeight = 48; // pixels
    static constexpr COLORREF kStationListBackground = 0xE5E5E5;
    static constexpr COLORREF kTrackListBackground = 0xCECECE;

    MyInfoTabPanel(MyWindowContext* windowContext, MyAppContext* appContext)
        : windowContext(windowContext), appContext(appContext) {}

    void OnCreate() override;
    void Paint() override;
    void OnBoundsChanged(const RECT& oldRect) override;

    MyWindowContext* windowContext;
    MyAppContext* appContext;
    MySurface skin;
    MyTabButton* stationsTab = nullptr;
    MyTabButton* settingsTab = nullptr;
    MyTabButton* aboutTab = nullptr;
    MyStationComboPanel* stationPage = nullptr;
    MyChatPanel* chatPage = nullptr;
    MyStreamInfoPanel* tracksPage = nullptr;
    MySettingsPanel* settingsPage = nullptr;
    MyAboutPanel* aboutPage = nullptr;

private:
    // Makes a page hidden or shown, creates it at (left, top) relative to the panel and attaches it.
    template <typename Page>
    Page* AttachPage(std::unique_ptr<Page> page, std::int32_t left, std::int32_t top, std::int32_t pageWidth,
                     std::int32_t pageHeight, bool shown);
    MyTabButton* AttachTab(std::int32_t left, std::int32_t tabWidth, const char16_t* text);
};

// The station chooser page; the one place that names its construction.
std::unique_ptr<MyStationComboPanel> MakeStationPage(MyAppContext* appContext, MySurface* skin);
