#pragma once
// The track list of the stream being played: one 16-pixel row per track, its start time and its two
// texts, in alternating shades with the track under the play position highlighted. A click seeks to
// the track's start; a right click opens the copy-link menu for the track or its stream.

#include "records/CatalogueRecords.h"
#include "ui/MyListBoxV2.h"
#include "ui/MyPressable.h"

#include <memory>
#include <optional>
#include <string>

struct MyAppContext;
class MySurface;

class MyStreamInfoListBoxRow : public MyPressable<MyListBoxV2ItemBase, PressButtons::LeftAndRight> {
public:
    static constexpr std::int32_t kRowHeight = 16; // pixels
    // Skin columns of the row shades.
    static constexpr std::int32_t kEvenColumn = 48;
    static constexpr std::int32_t kOddColumn = 49;
    static constexpr std::int32_t kPressedColumn = 50;
    static constexpr std::int32_t kHighlightColumn = 51;

    MyStreamInfoListBoxRow(MySurface* skin, std::u16string timeText, std::optional<std::u16string> trackText,
                           bool oddRow)
        : skin(skin), timeText(std::move(timeText)), trackText(std::move(trackText)), oddRow(oddRow) {}

    std::uint16_t MeasureHeight(std::int32_t) override { return kRowHeight; }
    void Paint() override;
    // Named by the track's texts ("artist - title"), or its start time when it has none; the start time
    // is its description.
    bool Describe(platform::AccessibleNode& node) override {
        node.name = trackText ? *trackText : timeText;
        node.description = timeText;
        return true;
    }

    MySurface* skin;
    std::u16string timeText;
    std::optional<std::u16string> trackText; // absent when either text of the track is
    bool oddRow;
    std::unique_ptr<Font> font;
};

class MyStreamInfoPanel : public MyControlBase {
public:
    static constexpr std::int32_t kTrackMenu = 113;

    MyStreamInfoPanel(MyAppContext* appContext, MySurface* skin) : appContext(appContext), skin(skin) {}

    void OnCreate() override;
    void OnBoundsChanged(const RECT& oldRect) override;
    void Paint() override;

    // Replaces the rows with `tracks` (null: none) of `stream`; no row is highlighted afterwards.
    void SetTracks(const TrackInfoList* tracks, const StreamInfoData* stream);
    // Row callbacks; `id` is the track's start in seconds.
    void SeekToTrack(std::int32_t id);
    void TrackMenu(std::int32_t id);

    MyAppContext* appContext;
    MySurface* skin;
    const StreamInfoData* streamInfo = nullptr;
    const TrackInfoList* tracks = nullptr;
    std::int32_t currentTrack = -1;
    MyListBoxV2* listBox = nullptr;
};

// The fraction of the stream at which a track starting at `start` seconds begins, for a stream of
// `duration` seconds; none for a stream without a duration. A start before the stream's beginning
// seeks to its beginning, one past its end to its end.
std::optional<float> TrackSeekFraction(std::int32_t start, std::uint32_t duration);
