// Keyboard use of the control tree: Tab order, pressing by keys, the focus ring, and the list's keys.
#include "UiFixture.h"

#include "platform/WindowMessages.h"
#include "ui/KeyboardFocus.h"
#include "ui/MyPressable.h"

using namespace platform;
using namespace uitest;

namespace {

class StopControl : public SolidControl {
public:
    StopControl() { tabStop = true; }
};

class KeyboardFocusTest : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        for (int i = 0; i < 4; ++i) {
            auto control = std::make_unique<StopControl>();
            control->Create(&owner.context, 10 + i * 60, 10, 50, 30);
            recorder.Wire(*control, i);
            stops.push_back(Attach(std::move(control)));
        }
    }
    void Key(int key, bool shift = false) { PressKey(key, shift); }
    // Pixels of the ring colour along the upper edge of `control`.
    int RingPixels(const MyControlBase& control) {
        int found = 0;
        for (std::int32_t x = control.bounds.left; x < control.bounds.right; ++x)
            found += BackPixel(x, control.bounds.top) == ColourToPixel(owner.context.palette.focusRing);
        return found;
    }
    std::vector<StopControl*> stops;
};

TEST_F(KeyboardFocusTest, TabWalksTheShownEnabledStopsInTreeOrderRoundTheEnds) {
    stops[2]->enabled = false;
    // A hidden parent hides its tab stops as well.
    auto hidden = std::make_unique<SolidControl>();
    hidden->Create(&owner.context, 10, 100, 100, 50);
    auto inner = std::make_unique<StopControl>();
    inner->Create(&owner.context, 0, 0, 20, 20);
    MyControlBase* innerStop = hidden->AddChild(std::move(inner));
    MyControlBase* hiddenParent = Attach(std::move(hidden));
    hiddenParent->visible = false;

    std::vector<MyControlBase*> seen;
    for (int i = 0; i < 4; ++i) {
        Key(VK_TAB);
        seen.push_back(owner.context.keyboardFocus);
    }
    EXPECT_EQ(seen, (std::vector<MyControlBase*>{stops[0], stops[1], stops[3], stops[0]}));
    Key(VK_TAB, true);
    EXPECT_EQ(owner.context.keyboardFocus, stops[3]);

    hiddenParent->visible = true;
    Key(VK_TAB);
    EXPECT_EQ(owner.context.keyboardFocus, innerStop);
}

TEST_F(KeyboardFocusTest, ALaterTabOrderPutsASiblingAfterTheOthers) {
    stops[0]->tabOrder = 1;
    std::vector<MyControlBase*> seen;
    for (int i = 0; i < 4; ++i) {
        Key(VK_TAB);
        seen.push_back(owner.context.keyboardFocus);
    }
    EXPECT_EQ(seen, (std::vector<MyControlBase*>{stops[1], stops[2], stops[3], stops[0]}));
}

TEST_F(KeyboardFocusTest, SpaceAndEnterClickTheFocusedStopAndTheMenuKeysRightClickIt) {
    Key(VK_TAB);
    Key(VK_TAB);
    Key(VK_SPACE);
    Key(VK_RETURN);
    Key(VK_APPS);
    Key(VK_F1 + 9, true);
    Key(VK_F1 + 9); // F10 alone is no menu key
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"down 1 at 95,25", "released 1", "click 1", "down 1 at 95,25",
                                        "released 1", "click 1", "rdown 1 at 95,25", "rreleased 1",
                                        "rclick 1", "rdown 1 at 95,25", "rreleased 1", "rclick 1"}));
    EXPECT_EQ(owner.context.leftCapture, nullptr);
    EXPECT_FALSE(owner.context.keyboardPressing);
}

TEST_F(KeyboardFocusTest, KeysGoToTheRootWhenNoStopHasTheFocus) {
    Key(VK_SPACE);
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(KeyboardFocusTest, TheRingFollowsTheKeyboardAndAMousePressHidesIt) {
    Pump();
    EXPECT_EQ(RingPixels(*stops[0]), 0);
    Key(VK_TAB);
    EXPECT_EQ(RingPixels(*stops[0]), 50);
    Key(VK_TAB);
    EXPECT_EQ(RingPixels(*stops[0]), 0) << "the ring left the first stop";
    EXPECT_EQ(RingPixels(*stops[1]), 50);

    // A press anywhere hides the ring; the mouse never shows one.
    native->InjectButton(0, true, 300, 200);
    native->InjectButton(0, false, 300, 200);
    Pump();
    EXPECT_EQ(RingPixels(*stops[1]), 0);
    EXPECT_FALSE(owner.context.focusVisible);
    native->InjectButton(0, true, 20, 20);
    native->InjectButton(0, false, 20, 20);
    Pump();
    EXPECT_EQ(RingPixels(*stops[0]), 0);
}

class ClickRow : public TestRow {
public:
    ClickRow(Recorder& recorder, std::int32_t id) : TestRow(20) { recorder.Wire(*this, id); }
};

class ListKeysTest : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(&owner.context, 0, 0, 200, 100);
        list = Attach(std::move(made));
        for (int i = 0; i < 30; ++i) {
            auto row = std::make_unique<ClickRow>(recorder, 100 + i);
            // Row 5 takes no space: the keyboard steps over it.
            if (i == 5)
                row->rowHeight = 0;
            list->AddRow(std::move(row));
        }
        list->Redraw();
        Pump();
        Key(VK_TAB);
    }
    void Key(int key, bool shift = false) { PressKey(key, shift); }
    bool InView(std::int32_t index) const {
        return list->RowTop(index) >= list->scrollOffset &&
               list->RowTop(index) + list->RowHeight(index) <= list->scrollOffset + list->height;
    }
    MyListBoxV2* list = nullptr;
};

TEST_F(ListKeysTest, ArrowsPagesAndEndsMoveTheCurrentRowAndKeepItInView) {
    ASSERT_EQ(owner.context.keyboardFocus, list);
    Key(VK_DOWN);
    EXPECT_EQ(list->keyboardRow, 0) << "the first key picks the row at the top of the view";
    for (int i = 0; i < 5; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(list->keyboardRow, 6) << "row 5 takes no space and is stepped over";
    EXPECT_TRUE(InView(6));
    Key(VK_END);
    EXPECT_EQ(list->keyboardRow, 29);
    EXPECT_TRUE(InView(29));
    Key(VK_DOWN);
    EXPECT_EQ(list->keyboardRow, 29) << "no wrap at the end";
    Key(VK_PRIOR);
    EXPECT_EQ(list->keyboardRow, 24) << "a page of five rows of 20 pixels in a view of 100";
    EXPECT_TRUE(InView(24));
    Key(VK_HOME);
    EXPECT_EQ(list->keyboardRow, 0);
    EXPECT_EQ(list->scrollOffset, 0);
    Key(VK_NEXT);
    EXPECT_EQ(list->keyboardRow, 6);
}

TEST_F(ListKeysTest, EnterClicksTheCurrentRowAndTheMenuKeyRightClicksIt) {
    Key(VK_END);
    Key(VK_RETURN);
    Key(VK_APPS);
    ASSERT_EQ(recorder.log.size(), 6u);
    EXPECT_EQ(recorder.log[2], "click 129");
    EXPECT_EQ(recorder.log[5], "rclick 129");
    // The row was pressed inside its own rectangle in the list's surface, at its left end.
    EXPECT_EQ(recorder.log[0], "down 129 at 4,90");
}

TEST_F(ListKeysTest, TheListRingsItsCurrentRowInItsSurface) {
    const std::uint32_t ring = ColourToPixel(owner.context.palette.focusRing);
    list->Redraw();
    Pump();
    EXPECT_EQ(BackPixel(100, 0), ring) << "the whole view is ringed before a row is current";
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(BackPixel(100, 20), ring) << "row 1's upper edge";
    EXPECT_EQ(BackPixel(100, 0), 0x00FF00u) << "row 0 is plain again";
    EXPECT_EQ(BackPixel(100, 10), 0x00FF00u);
    // Cleared, the list starts again at the top.
    list->Clear();
    EXPECT_EQ(list->keyboardRow, -1);
}

} // namespace
