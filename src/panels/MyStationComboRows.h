#pragma once
// The rows of the station chooser's list: a station (its name on a bar; pressing it expands or collapses
// its streams) and a stream (date, headline and details on a plate; clicking it plays the stream). Both
// draw from the info panel skin (bitmap 106), which they point to and do not own, and are 32 pixels high.

#include "ui/MyListBoxV2.h"

#include <memory>
#include <string>

class MySurface;

class MyStationComboStationListBoxRow : public MyListBoxV2ItemBase {
public:
    static constexpr std::uint16_t kHeight = 32; // pixels

    MyStationComboStationListBoxRow(MySurface* skin, std::u16string stationName, std::int32_t stationId)
        : skin(skin), stationName(std::move(stationName)), stationId(stationId) {}

    std::uint16_t MeasureHeight(std::int32_t width) override;
    void Paint() override;

    MySurface* skin;
    std::u16string stationName;
    std::unique_ptr<Font> font;
    std::int32_t stationId;
};

class MyStationComboStreamListBoxRow : public MyListBoxV2ItemBase {
public:
    static constexpr std::uint16_t kHeight = 32; // pixels

    MyStationComboStreamListBoxRow(MySurface* skin, std::int32_t stationId, std::int32_t streamId)
        : skin(skin), stationId(stationId), streamId(streamId) {}

    std::uint16_t MeasureHeight(std::int32_t width) override;
    void Paint() override;
    void OnLButtonDown(POINT point) override;
    void OnLButtonUp(POINT point) override;
    void OnRButtonDown(POINT point) override;
    void OnRButtonUp(POINT point) override;

    MySurface* skin;
    // An absent text is empty; the " - " between two texts is drawn either way.
    std::u16string dateText;
    std::u16string headline;
    std::u16string detailLeft;
    std::u16string detailRight;
    std::unique_ptr<Font> boldFont;
    std::unique_ptr<Font> normalFont;
    bool pressed = false;
    std::int32_t stationId;
    std::int32_t streamId;
};
