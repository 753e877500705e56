#pragma once
// Shared by the desktop tests of the panels: a window's root holding the station chooser above the play
// controls (72 pixels high), with one station whose show is listed.

#include "ui/UiFixture.h"

#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboPanel.h"

#include <memory>
#include <string>

namespace paneltest {

struct ChooserAndControlsWindow {
    // Builds the panels, `width` by `height`, in `owner` on a root of `background`, with the owner's
    // palette as it is; false when the chooser's skin does not load.
    bool Build(uitest::TestOwner& owner, const platform::WindowSystem* system, std::int32_t width,
               std::int32_t height, COLORREF background, std::u16string stationName) {
        auto base = std::make_unique<MyWindowBase>();
        base->backgroundColour = background;
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
        if (!infoSkin.LoadSkin(&owner.backBuffer.dc, 106, system))
            return false;
        auto chooser = std::make_unique<MyStationComboPanel>(&app, &infoSkin);
        chooser->Create(&owner.context, 0, 0, width, height - 72);
        stations = root->AddChild(std::move(chooser));
        auto controls = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
        controls->Create(&owner.context, 0, height - 72, width, 72);
        play = root->AddChild(std::move(controls));

        station.name = std::move(stationName);
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 3;
        stream->streamId = 30;
        stream->startTime = 1700000000;
        stream->text1 = u"Morning show";
        station.StoreStream(std::move(stream));
        stations->AddStation(&station);
        stations->expandedStations.insert(3);
        return true;
    }

    MyAppContext app;
    MySurface infoSkin;
    StationInfoData station{3};
    MyWindowBase* root = nullptr;
    MyStationComboPanel* stations = nullptr;
    MyPlayControlPanel* play = nullptr;
};

} // namespace paneltest
