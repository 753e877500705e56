#include "UiFixture.h"

using namespace uitest;

namespace {

class ListBox : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(&owner.context, 0, 0, 300, 200);
        made->backgroundColour = RGB(0x10, 0x20, 0x30);
        list = Attach(std::move(made));
    }
    // Appends rows of the given heights, each wired to the recorder with its index as id.
    void AddRows(std::initializer_list<int> heights) {
        for (int h : heights) {
            auto row = std::make_unique<TestRow>(static_cast<std::uint16_t>(h));
            row->Create(&owner.context, 0, 0, 0, 0);
            recorder.Wire(*row, static_cast<std::int32_t>(list->rows.size()));
            list->AddRow(std::move(row));
        }
    }
    TestRow* Row(int i) { return static_cast<TestRow*>(list->RowAt(i)); }
    void Click(int x, int y) {
        native->InjectButton(0, true, x, y);
        native->InjectButton(0, false, x, y);
        Pump();
    }
    MyListBoxV2* list = nullptr;
};

TEST_F(ListBox, EmptyListPaintsItsBackgroundAndNoThumb) {
    list->Redraw();
    EXPECT_EQ(BackPixel(10, 10), 0x102030u);
    EXPECT_EQ(BackPixel(275, 199), 0x102030u);
    EXPECT_FALSE(list->scrollbar->thumbSurface);
    list->ScrollTo(50);
    EXPECT_EQ(list->scrollOffset, 0);
}

TEST_F(ListBox, RowsStackWithoutGapsAndTheRestIsBackground) {
    AddRows({30, 50, 20});
    list->Redraw();
    EXPECT_EQ(list->contentHeight, 100);
    EXPECT_EQ(Row(1)->top, 30);
    EXPECT_EQ(Row(2)->bounds, (RECT{0, 80, 276, 100}));
    EXPECT_EQ(BackPixel(10, 99), 0x00FF00u);
    EXPECT_EQ(BackPixel(10, 100), 0x102030u);
    EXPECT_EQ(list->FindRowAt(79), Row(1));
    EXPECT_EQ(list->FindRowAt(100), nullptr);
    EXPECT_EQ(list->RowAt(3), nullptr);
    EXPECT_EQ(list->RowAt(-1), nullptr);
    // Content shorter than the view: no scrolling and no thumb.
    list->ScrollTo(40);
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_FALSE(list->scrollbar->thumbSurface);
}

TEST_F(ListBox, OnlyDirtyPaintsRenderRows) {
    AddRows({30, 30});
    list->Redraw();
    const int paints = Row(0)->paints;
    list->Redraw();
    EXPECT_EQ(Row(0)->paints, paints) << "a plain redraw only copies the surface";
    list->SelectRow(1);
    EXPECT_EQ(Row(0)->paints, paints + 1);
    EXPECT_TRUE(Row(1)->selected);
    EXPECT_EQ(BackPixel(10, 40), 0x000000u);
    list->SelectRow(5);
    EXPECT_TRUE(Row(1)->selected);
}

TEST_F(ListBox, ZeroHeightRowsTakeNoSpaceAndNeverReceiveClicks) {
    AddRows({40, 0, 0, 40, 0});
    list->Redraw();
    EXPECT_EQ(list->contentHeight, 80);
    EXPECT_EQ(list->FindRowAt(40), Row(3));
    EXPECT_EQ(Row(1)->paints, 0);
    EXPECT_EQ(Row(4)->paints, 0);
    Click(10, 45);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 3 at 10,45", "released 3", "click 3"}));
}

TEST_F(ListBox, PressesGoToRowsInListCoordinates) {
    auto moved = std::make_unique<MyListBoxV2>();
    moved->Create(&owner.context, 50, 20, 200, 100);
    list = Attach(std::move(moved));
    AddRows({30, 30, 30, 30, 30});
    list->Redraw();
    list->ScrollTo(25);
    Click(60, 30); // content y 25 + (30 - 20) = 35: row 1, at list-local (10, 10)
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 10,10", "released 1", "click 1"}));
}

TEST_F(ListBox, PressBelowTheLastRowStartsNothing) {
    AddRows({30, 30});
    list->Redraw();
    native->InjectButton(0, true, 10, 150);
    Pump();
    EXPECT_EQ(list->leftPressedRow, nullptr);
    native->InjectMouseMove(10, 10);
    native->InjectButton(0, false, 10, 10); // released over a row: still ignored
    Pump();
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(ListBox, RightButtonWorksTheSameWay) {
    AddRows({30, 30});
    list->Redraw();
    native->InjectButton(1, true, 10, 35);
    native->InjectButton(1, false, 10, 35);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"rdown 1 at 10,35", "rreleased 1", "rclick 1"}));
}

TEST_F(ListBox, WheelScrollsTwentyFourPixelsPerNotchAndClampsAtBothEnds) {
    AddRows({100, 100, 100, 100}); // 400 pixels in a 200-pixel view
    list->Redraw();
    native->InjectWheel(10, 10, 120);
    Pump();
    EXPECT_EQ(list->scrollOffset, 0) << "at the top the wheel up stays at 0";
    native->InjectWheel(10, 10, -120);
    Pump();
    EXPECT_EQ(list->scrollOffset, 24);
    EXPECT_EQ(list->scrollbar->position, 24);
    for (int i = 0; i < 20; ++i)
        native->InjectWheel(10, 10, -120);
    Pump();
    EXPECT_EQ(list->scrollOffset, 200) << "at the bottom it stays at content minus view";
    native->InjectWheel(10, 10, 60); // half a notch: 60 / 5 = 12 pixels
    Pump();
    EXPECT_EQ(list->scrollOffset, 188);
    // The row at the top of the view is drawn from its inner offset.
    EXPECT_EQ(Row(1)->bounds.top, 100 - 188);
}

TEST_F(ListBox, NarrowingKeepsTheTopRowInPlace) {
    // Rows grow as the list narrows: 20 pixels plus 2000 / width.
    for (int i = 0; i < 30; ++i) {
        auto row = std::make_unique<TestRow>(20, 0x00FF00, 20);
        row->Create(&owner.context, 0, 0, 0, 0);
        list->AddRow(std::move(row));
    }
    list->Redraw();
    const int before = Row(0)->height; // 20 + 2000 / 276 = 27
    EXPECT_EQ(before, 27);
    list->ScrollTo(Row(10)->top + 5);
    list->SetBounds(RECT{0, 0, 124, 200}); // rows 100 wide: 20 + 20 = 40 high
    list->Redraw();
    EXPECT_EQ(Row(0)->height, 40);
    EXPECT_EQ(list->scrollOffset, Row(10)->top + 5) << "the same row, at the same inner offset";
    EXPECT_EQ(list->FindRowAt(list->scrollOffset), Row(10));
    EXPECT_EQ(list->scrollbar->bounds, (RECT{100, 0, 124, 200}));
}

TEST_F(ListBox, ClearEmptiesEverythingAndDropsPresses) {
    AddRows({100, 100, 100});
    list->Redraw();
    list->ScrollTo(60);
    native->InjectButton(0, true, 10, 10);
    Pump();
    EXPECT_NE(list->leftPressedRow, nullptr);
    list->Clear();
    EXPECT_EQ(list->leftPressedRow, nullptr);
    EXPECT_EQ(list->scrollOffset, 0);
    EXPECT_EQ(list->scrollbar->contentSize, 0);
    EXPECT_TRUE(list->scrollbar->needsRebuild);
    native->InjectButton(0, false, 10, 10);
    Pump();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 0 at 10,10"}));
    list->Redraw();
    EXPECT_EQ(BackPixel(10, 10), 0x102030u);
}

TEST_F(ListBox, RowThatRebuildsTheListDuringItsPressIsNotTouchedAfterwards) {
    struct Rebuilder : MyCallbackTarget {
        void Toggle(POINT, std::int32_t) {
            list->Clear();
            auto row = std::make_unique<TestRow>(30);
            row->Create(nullptr, 0, 0, 0, 0);
            list->AddRow(std::move(row));
        }
        MyListBoxV2* list;
    } rebuilder;
    rebuilder.list = list;
    AddRows({30});
    Row(0)->callbackTarget = &rebuilder;
    Row(0)->LButtonDownCallback = &Rebuilder::Toggle;
    list->Redraw();
    native->InjectButton(0, true, 10, 10);
    native->InjectButton(0, false, 10, 10);
    Pump(); // the sanitizer build catches any use of the deleted row
    EXPECT_EQ(list->rows.size(), 1u);
    EXPECT_EQ(Row(0)->paints, 1) << "the new row is painted once after the press; the release is ignored";
}

} // namespace

namespace {

// A list that keeps no row controls: its rows are numbers, and it answers one reused control for
// whichever row it is asked for, coloured by the row's index.
class RowsByIndexList : public MyListBoxV2 {
public:
    std::int32_t RowCount() const override { return static_cast<std::int32_t>(heights.size()); }
    MyListBoxV2ItemBase* RowAt(std::int32_t index) const override {
        if (index < 0 || index >= RowCount())
            return nullptr;
        ++asked;
        shown->index = index;
        shown->colour = index % 2 ? 0x0000FF : 0x00FF00;
        return shown.get();
    }
    std::vector<std::uint16_t> heights;
    std::unique_ptr<TestRow> shown = std::make_unique<TestRow>(0);
    mutable int asked = 0;
    int measured = 0;

protected:
    std::uint16_t LayOutRow(std::int32_t index, std::int32_t, std::int32_t) override {
        ++measured;
        return heights[static_cast<std::size_t>(index)];
    }
};

TEST_F(ListBox, AListMayAnswerItsRowsByIndexWithoutKeepingAControlForEach) {
    auto made = std::make_unique<RowsByIndexList>();
    made->Create(&owner.context, 0, 0, 300, 200);
    made->backgroundColour = RGB(0x10, 0x20, 0x30);
    RowsByIndexList* byIndex = Attach(std::move(made));
    struct Presses : MyCallbackTarget {
        void Down(POINT, std::int32_t) { rows.push_back(list->shown->index); }
        RowsByIndexList* list = nullptr;
        std::vector<std::int32_t> rows;
    } presses;
    presses.list = byIndex;
    byIndex->shown->parent = byIndex;
    byIndex->shown->callbackTarget = &presses;
    byIndex->shown->LButtonDownCallback = &Presses::Down;
    byIndex->heights.assign(10000, 30);
    byIndex->heights[1] = 0; // takes no space
    byIndex->relayoutNeeded = true;
    byIndex->Redraw();
    EXPECT_EQ(byIndex->measured, 10000);
    EXPECT_EQ(byIndex->contentHeight, 9999 * 30);
    EXPECT_EQ(byIndex->asked, 7) << "only the rows in view are asked for: 0, then 2 to 7";
    EXPECT_EQ(BackPixel(10, 5), 0x00FF00u);  // row 0
    EXPECT_EQ(BackPixel(10, 35), 0x00FF00u); // row 2: row 1 takes no space
    EXPECT_EQ(BackPixel(10, 65), 0xFF0000u); // row 3
    EXPECT_EQ(byIndex->FindRowIndexAt(30), 2);
    EXPECT_EQ(byIndex->RowTop(5000), 4999 * 30);
    EXPECT_EQ(byIndex->RowHeight(1), 0);
    EXPECT_EQ(byIndex->RowHeight(9999), 30);
    // Deep in the list: found by its top, drawn and pressed through the answered control.
    byIndex->ScrollTo(5000 * 30 + 10);
    EXPECT_EQ(BackPixel(10, 5), 0xFF0000u);  // row 5001, 10 pixels in
    EXPECT_EQ(BackPixel(10, 25), 0x00FF00u); // row 5002
    Click(10, 25);
    EXPECT_EQ(presses.rows, (std::vector<std::int32_t>{5002}));
}

} // namespace
