// The track list: shades from the skin, the highlight, presses, seeking and the copy-link menu.

#include "InfoPagesFixture.h"

#include "panels/MyStreamInfoPanel.h"
#include "platform/Utf.h"
#include "ui/MySurface.h"

using namespace infotest;

namespace {

class TrackList : public InfoPagesFixture {
protected:
    void SetUp() override {
        Open(700, 400);
        ASSERT_TRUE(skin.LoadSkin(&owner.backBuffer.dc, 106, &system));
        auto made = std::make_unique<MyStreamInfoPanel>(&app, &skin);
        made->Create(&owner.context, 0, 0, 600, 300);
        panel = Attach(std::move(made));
        panel->listBox->backgroundColour = 0xCECECE;
        StartMedia();
        stream.stationId = 7;
        stream.streamId = 9;
        stream.duration = 300;
        tracks = {Track(0, u"Artist", u"Opening"), Track(65, u"Band", u"Same start"),
                  Track(65, u"Other", u"Too"), Track(-5, u"Early", u"Bird"), Track(120, u"", u"No artist")};
    }
    static TrackInfo Track(std::int32_t start, std::u16string text1, std::u16string text2) {
        TrackInfo t;
        t.start = start;
        t.text1 = std::move(text1);
        t.text2 = std::move(text2);
        return t;
    }
    MyStreamInfoListBoxRow* Row(int i) {
        return static_cast<MyStreamInfoListBoxRow*>(panel->listBox->RowAt(i));
    }
    int RowY(int i) { return 1 + 16 * i; }
    // The row's shade, between its time and its texts, against the skin column's pixel.
    std::uint32_t Shade(int i) { return BackPixel(53, RowY(i) + 1); }
    std::uint32_t SkinShade(int column) {
        return GetPixel(skin.dc, column, 1) == CLR_INVALID ? 0 : ColourToPixel(GetPixel(skin.dc, column, 1));
    }

    MySurface skin;
    MyStreamInfoPanel* panel = nullptr;
    StreamInfoData stream;
    TrackInfoList tracks;
};

TEST_F(TrackList, RowsAlternateFromTheEvenShadeAndShowHighlightAndPress) {
    panel->SetTracks(&tracks, &stream);
    ASSERT_NE(SkinShade(48), SkinShade(49));
    EXPECT_EQ(Shade(0), SkinShade(48));
    EXPECT_EQ(Shade(1), SkinShade(49));
    EXPECT_EQ(Shade(2), SkinShade(48));
    EXPECT_EQ(Shade(3), SkinShade(49));
    EXPECT_EQ(BackPixel(53, RowY(5) + 2), 0xCECECEu) << "below the last row: the list's background";

    panel->currentTrack = 2;
    panel->listBox->SelectRow(2);
    EXPECT_EQ(Shade(2), SkinShade(51));
    panel->listBox->SelectRow(-1); // changes nothing
    EXPECT_EQ(Shade(2), SkinShade(51));

    native->InjectButton(0, true, 200, RowY(1) + 8);
    Pump();
    EXPECT_EQ(Shade(1), SkinShade(50));
    native->InjectButton(0, false, 200, RowY(1) + 8);
    Pump();
    EXPECT_EQ(Shade(1), SkinShade(49));
}

TEST_F(TrackList, TimesAndTextsOfEachRow) {
    panel->SetTracks(&tracks, &stream);
    EXPECT_EQ(Utf16ToUtf8(Row(0)->timeText), "0:00:00");
    EXPECT_EQ(Utf16ToUtf8(*Row(0)->trackText), "Artist - Opening");
    EXPECT_EQ(Utf16ToUtf8(Row(1)->timeText), "0:01:05");
    EXPECT_EQ(Utf16ToUtf8(Row(3)->timeText), "-0:00:05");
    EXPECT_FALSE(Row(4)->trackText.has_value()) << "a track without both texts shows only its time";
    EXPECT_EQ(Row(1)->controlId, 65);
    // Text is drawn in black on the shade.
    bool black = false;
    for (int px = 5; px < 50; ++px)
        black |= BackPixel(px, RowY(1) + 8) == 0;
    EXPECT_TRUE(black);
}

TEST_F(TrackList, ClicksSeekToTheTrackStart) {
    panel->SetTracks(&tracks, &stream);
    Click(200, RowY(1) + 8);
    Click(200, RowY(2) + 8);
    Click(200, RowY(0) + 8);
    Click(200, RowY(3) + 8); // before the stream's start: its beginning
    const std::vector<float> seeks = media->SeeksAfterFence();
    ASSERT_EQ(seeks.size(), 4u);
    EXPECT_FLOAT_EQ(seeks[0], 65.0f / 300.0f);
    EXPECT_EQ(seeks[0], seeks[1]) << "two tracks with the same start seek to the same place";
    EXPECT_EQ(seeks[2], 0.0f);
    EXPECT_EQ(seeks[3], 0.0f);
}

TEST_F(TrackList, AReleaseOutsideThePressedRowDoesNotSeek) {
    panel->SetTracks(&tracks, &stream);
    native->InjectButton(0, true, 200, RowY(1) + 8);
    native->InjectButton(0, false, 200, RowY(3) + 8);
    native->InjectButton(0, true, 200, RowY(2) + 8);
    native->InjectButton(0, false, 650, RowY(2) + 8);
    Pump();
    EXPECT_TRUE(media->SeeksAfterFence().empty());
    EXPECT_FALSE(Row(1)->pressed);
    EXPECT_FALSE(Row(2)->pressed);
}

TEST_F(TrackList, AStreamWithoutDurationOrWithoutStreamSendsNothing) {
    panel->SetTracks(&tracks, nullptr);
    Click(200, RowY(1) + 8);
    Click(200, RowY(1) + 8, 1);
    EXPECT_TRUE(media->SeeksAfterFence().empty());
    EXPECT_TRUE(app.menuLink.empty());
    stream.duration = 0;
    panel->SetTracks(&tracks, &stream);
    Click(200, RowY(1) + 8);
    EXPECT_TRUE(media->SeeksAfterFence().empty());
}

TEST_F(TrackList, ARightClickStoresTheTrackLinkAndRaisesTheWindowForTheMenu) {
    panel->SetTracks(&tracks, &stream);
    const int raised = native->raised();
    Click(200, RowY(2) + 8, 1);
    EXPECT_EQ(app.menuLink.Get().stationId, 7);
    EXPECT_EQ(app.menuLink.Get().streamId, 9);
    EXPECT_EQ(app.menuLink.Get().seconds, 65);
    EXPECT_EQ(native->raised(), raised + 1);
    EXPECT_TRUE(media->SeeksAfterFence().empty()) << "a right click does not seek";
}

TEST_F(TrackList, NewTracksReplaceTheOldAndClearTheHighlightAndScroll) {
    TrackInfoList many;
    for (int i = 0; i < 100; ++i)
        many.push_back(Track(i * 10, u"A", u"B"));
    panel->SetTracks(&many, &stream);
    panel->currentTrack = 50;
    panel->listBox->SelectRow(50);
    panel->listBox->ScrollTo(400);
    EXPECT_EQ(panel->listBox->scrollOffset, 400);
    panel->SetTracks(&tracks, &stream);
    EXPECT_EQ(panel->currentTrack, -1);
    EXPECT_EQ(panel->listBox->scrollOffset, 0);
    EXPECT_EQ(panel->listBox->rows.size(), 5u);
    EXPECT_EQ(Shade(0), SkinShade(48));
}

TEST(TrackSeek, FractionsOfTheStream) {
    EXPECT_FALSE(TrackSeekFraction(10, 0).has_value());
    EXPECT_FLOAT_EQ(*TrackSeekFraction(150, 300), 0.5f);
    EXPECT_EQ(*TrackSeekFraction(-1, 300), 0.0f);
    EXPECT_EQ(*TrackSeekFraction(400, 300), 1.0f);
}

} // namespace
