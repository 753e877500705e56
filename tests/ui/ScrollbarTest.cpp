#include "UiFixture.h"

#include "platform/Resources.h"
#include "support/RecordingMessageBoxes.h"
#include "ui/BitmapFile.h"

using namespace uitest;

namespace {

class Scrollbar : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(&owner.context, 0, 0, 300, 200);
        list = Attach(std::move(made));
        for (int i = 0; i < 10; ++i) {
            auto row = std::make_unique<TestRow>(100);
            row->Create(&owner.context, 0, 0, 0, 0);
            list->AddRow(std::move(row));
        }
        list->Redraw(); // 1000 pixels of content in a 200-pixel view
        bar = list->scrollbar;
    }
    void Drag(int fromY, int toY) {
        native->InjectButton(0, true, 285, fromY);
        Pump(); // the press takes the capture, so the pointer may leave the window
        native->InjectMouseMove(285, toY);
        native->InjectButton(0, false, 285, toY);
        Pump();
    }
    MyListBoxV2* list = nullptr;
    MyScrollbar* bar = nullptr;
};

TEST_F(Scrollbar, ThumbGeometryFollowsPageAndPosition) {
    EXPECT_EQ(bar->bounds, (RECT{276, 0, 300, 200}));
    EXPECT_EQ(bar->ThumbLength(), 32 + 200 * (200 - 32) / 1000); // 65
    EXPECT_EQ(bar->ThumbTop(), 0);
    list->ScrollTo(800);
    EXPECT_EQ(bar->ThumbTop(), 200 - 65);
    list->ScrollTo(400);
    EXPECT_EQ(bar->ThumbTop(), 135 * 400 / 800);
    EXPECT_TRUE(bar->thumbSurface);
}

TEST_F(Scrollbar, PressGrabsTheThumbWhereItIs) {
    native->InjectButton(0, true, 285, 150); // below the thumb (0..65)
    Pump();
    EXPECT_TRUE(bar->dragging);
    EXPECT_EQ(bar->dragAnchor, 150);
    EXPECT_EQ(list->scrollOffset, 0) << "the thumb does not jump to the pointer";
    native->InjectMouseMove(285, 160);
    native->InjectButton(0, false, 285, 160);
    Pump();
    EXPECT_EQ(bar->dragOffset, 0);
    EXPECT_FALSE(bar->dragging);
    EXPECT_EQ(list->scrollOffset, static_cast<int>(10.0 / 135 * 800 + 0.5));
}

TEST_F(Scrollbar, DraggingPastEitherEndPinsTheThumb) {
    Drag(10, 5000);
    EXPECT_EQ(list->scrollOffset, 800);
    EXPECT_EQ(bar->position, 800);
    Drag(bar->ThumbTop() + 10, -5000);
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_EQ(bar->position, 0);
}

TEST_F(Scrollbar, NoDragWhenEverythingFits) {
    list->Clear();
    auto row = std::make_unique<TestRow>(50);
    row->Create(&owner.context, 0, 0, 0, 0);
    list->AddRow(std::move(row));
    list->Redraw();
    native->InjectButton(0, true, 285, 10);
    Pump();
    EXPECT_FALSE(bar->dragging);
    EXPECT_FALSE(bar->thumbSurface);
}

TEST_F(Scrollbar, SpritesTakeAlphaFromTheMaskAndColourFromTheImage) {
    DecodedImage skin;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(107), skin));
    ASSERT_EQ(skin.width, 64);
    ASSERT_EQ(skin.height, 33);
    for (int row : {0, 5, 17}) {
        for (int col : {0, 4, 10}) {
            const std::uint32_t image = skin.pixels[static_cast<std::size_t>(row) * 64 + 24 + col];
            const std::uint32_t mask = skin.pixels[static_cast<std::size_t>(row) * 64 + 44 + col];
            const std::uint32_t sprite = bar->thumbTop.bitmap->row(row)[col];
            EXPECT_EQ(sprite >> 24, (mask >> 16) & 0xFF) << row << "," << col;
            EXPECT_EQ(sprite & 0xFFFFFF, image & 0xFFFFFF);
        }
    }
    EXPECT_EQ(bar->thumbBottom.height, 14);
    EXPECT_EQ(bar->thumbBottom.bitmap->row(0)[10] & 0xFFFFFF, skin.pixels[19 * 64 + 34] & 0xFFFFFF);
}

TEST_F(Scrollbar, PaintsTrackAndThumbFromTheSkin) {
    DecodedImage skin;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(107), skin));
    auto skinPixel = [&](int x, int y) {
        return skin.pixels[static_cast<std::size_t>(y) * 64 + x] & 0xFFFFFF;
    };
    list->ScrollTo(800);                                      // thumb at 135..200
    EXPECT_EQ(BackPixel(276 + 1, 5), skinPixel(1, 5));        // track top end
    EXPECT_EQ(BackPixel(276 + 1, 100), skinPixel(1, 17));     // stretched middle
    EXPECT_EQ(BackPixel(276 + 1, 195), skinPixel(1, 19 + 7)); // bottom end
    EXPECT_EQ(BackPixel(276 + 12, 100), skinPixel(12, 17));   // no thumb over the middle now
    // Inside the thumb body the opaque thumb image replaces the track.
    EXPECT_EQ(BackPixel(276 + 2 + 10, 135 + 30), skinPixel(24 + 10, 17));
}

TEST(ScrollbarSkin, MissingSkinShowsTheBoxAndGoesOn) {
    testsupport::RecordingMessageBoxes boxes;
    struct NoSkin : MyScrollbar {
        void OnCreate() override {
            if (!skin.LoadSkin(backBuffer, 1234, instance))
                platform::ShowMessageBox(u"ScrollbarGraphics->LoadBitmap FAILED!", u"Fel!");
        }
    } bar;
    bar.Create(nullptr, 0, 0, 24, 100);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.utf8()[0], "ScrollbarGraphics->LoadBitmap FAILED!");
    // The real scrollbar loads its skin without a box.
    MyScrollbar real;
    real.Create(nullptr, 0, 0, 24, 100);
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_FALSE(real.skin.empty());
}

} // namespace
