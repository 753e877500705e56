#pragma once
// The rows of the station chooser's list: a station (its name on a bar; pressing it expands or collapses
// its streams) and a stream (date, headline and details on a plate; clicking it plays the stream). Both
// draw from the info panel skin (bitmap 106), which they point to and do not own, and are 32 pixels high.

#include "ui/MyListBoxV2.h"
#include "ui/MyPressable.h"

#include <memory>
#include <string>

class MySurface;

// The rows' fonts, made on the first paint that needs each and shared by every row of one panel: a
// rebuilt list does not make its fonts again.
struct MyStationComboFonts {
    Font* Station(); // Arial 17, bold: station names
    Font* Bold();    // Arial 14, bold: a stream's first line
    Font* Normal();  // Arial 14, normal: a stream's second line

    std::unique_ptr<Font> station;
    std::unique_ptr<Font> bold;
    std::unique_ptr<Font> normal;
};

class MyStationComboStationListBoxRow : public MyListBoxV2ItemBase {
public:
    static constexpr std::uint16_t kHeight = 32; // pixels

    MyStationComboStationListBoxRow(MySurface* skin, MyStationComboFonts* fonts, std::u16string stationName,
                                    std::int32_t stationId)
        : skin(skin), fonts(fonts), stationName(std::move(stationName)), stationId(stationId) {}

    std::uint16_t MeasureHeight(std::int32_t width) override;
    void Paint() override;
    // Named by the station's name.
    bool Describe(platform::AccessibleNode& node) override {
        node.name = stationName;
        return true;
    }

    MySurface* skin;
    MyStationComboFonts* fonts;
    std::u16string stationName;
    Font* font = nullptr; // from `fonts`, on the first paint
    std::int32_t stationId;
};

class MyStationComboStreamListBoxRow : public MyPressable<MyListBoxV2ItemBase, PressButtons::LeftAndRight> {
public:
    static constexpr std::uint16_t kHeight = 32; // pixels

    MyStationComboStreamListBoxRow(MySurface* skin, MyStationComboFonts* fonts, std::int32_t stationId,
                                   std::int32_t streamId, std::int32_t startTime)
        : skin(skin), fonts(fonts), stationId(stationId), streamId(streamId), startTime(startTime) {}

    std::uint16_t MeasureHeight(std::int32_t width) override;
    void Paint() override;
    // Named by its first line as drawn (date and headline), described by its second.
    bool Describe(platform::AccessibleNode& node) override {
        node.name = DateText() + u" - " + headline;
        node.description = detailLeft + u" - " + detailRight;
        return true;
    }
    // The stream's start in local time, "YYYY-MM-DD HH:MM" (empty when it cannot be converted). Written
    // on first use: a list of many streams formats only the dates it shows.
    const std::u16string& DateText();
    // Puts `text` in place of the stream's start date.
    void SetDateText(std::u16string text) {
        dateText = std::move(text);
        dateTextMade_ = true;
    }

    MySurface* skin;
    MyStationComboFonts* fonts;
    // An absent text is empty; the " - " between two texts is drawn either way.
    std::u16string dateText;
    std::u16string headline;
    std::u16string detailLeft;
    std::u16string detailRight;
    Font* boldFont = nullptr;   // from `fonts`, on the first paint
    Font* normalFont = nullptr; // from `fonts`, on the first paint
    std::int32_t stationId;
    std::int32_t streamId;
    std::int32_t startTime;
    // Where a click plays from, seconds into the stream: 0, or a found track's start.
    std::int32_t startSecond = 0;

private:
    bool dateTextMade_ = false;
};

// A saved moment under the chooser's "Moments" entry, drawn as a stream row: its time in the show and the
// show's headline, then the track playing and the note. Clicking it plays the show from that second.
class MyStationComboMomentListBoxRow : public MyStationComboStreamListBoxRow {
public:
    MyStationComboMomentListBoxRow(MySurface* skin, MyStationComboFonts* fonts, std::int32_t stationId,
                                   std::int32_t streamId, std::int32_t second, std::int32_t momentIndex)
        : MyStationComboStreamListBoxRow(skin, fonts, stationId, streamId, 0), second(second),
          momentIndex(momentIndex) {}

    std::int32_t second;
    std::int32_t momentIndex; // in the moments list the panel shows
};

// A show under the chooser's "Continue listening" entry, drawn as a stream row: where it was left and the
// show's headline, then how long the show is and its details. Clicking it plays the show from there.
class MyStationComboRecentListBoxRow : public MyStationComboMomentListBoxRow {
public:
    MyStationComboRecentListBoxRow(MySurface* skin, MyStationComboFonts* fonts, std::int32_t stationId,
                                   std::int32_t streamId, std::int32_t second)
        : MyStationComboMomentListBoxRow(skin, fonts, stationId, streamId, second, -1) {}
};
