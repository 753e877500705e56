// The control tree as a screen reader sees it: which controls are nodes and under which parent, their
// states, the rows in view as list items, ids that last, actions performed as the keyboard would, the news
// of arriving rows, and the window publishing it all after a paint. No bus: the backend is a recorder.
#include "UiFixture.h"

#include "platform/WindowMessages.h"
#include "ui/MyAccessibleTree.h"

#include <algorithm>

using namespace platform;
using namespace uitest;

namespace {

using namespace std::chrono_literals;

class Button : public SolidControl {
public:
    explicit Button(std::u16string label) : label(std::move(label)) { tabStop = true; }
    bool Describe(AccessibleNode& node) override {
        node.role = AccessibleRole::PushButton;
        node.name = label;
        node.clickable = true;
        return true;
    }
    std::u16string label;
};

class NamedRow : public TestRow {
public:
    explicit NamedRow(std::u16string label) : TestRow(20), label(std::move(label)) {}
    bool Describe(AccessibleNode& node) override {
        node.name = label;
        return true;
    }
    std::u16string label;
};

// A list whose rows arrive as `arrived` grows, as the chat's lines do while the show plays.
class ArrivingList : public MyListBoxV2 {
public:
    std::int32_t ArrivedRowCount() const override { return arrived; }
    std::int32_t arrived = 0;
};

class AccessibleTreeTest : public UiFixture {
protected:
    void SetUp() override {
        Open(400, 300);
        play = Place(std::make_unique<Button>(u"Play"), 10, 10, 40, 30);
        // A plain container is no node; what it holds hangs under the window.
        SolidControl* group = Place(std::make_unique<SolidControl>(0x00FF00), 60, 10, 100, 50);
        next = Place(std::make_unique<Button>(u"Next"), 0, 0, 40, 30, group);
        next->enabled = false;
        hidden = Place(std::make_unique<SolidControl>(0x00FF00), 200, 10, 100, 50);
        Place(std::make_unique<Button>(u"Hidden"), 0, 0, 40, 30, hidden);
        hidden->visible = false;
        auto made = std::make_unique<ArrivingList>();
        made->accessibleName = u"Lines";
        made->Create(&owner.context, 0, 100, 200, 100);
        list = Attach(std::move(made));
        for (int i = 0; i < 30; ++i) {
            auto row = std::make_unique<NamedRow>(u"row " + Number(i));
            recorder.Wire(*row, 100 + i);
            list->AddRow(std::move(row));
        }
        list->tabStop = true;
        list->Redraw();
        Pump();
    }
    template <typename T>
    T* Place(std::unique_ptr<T> made, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
             MyControlBase* parent = nullptr) {
        made->Create(&owner.context, x, y, w, h);
        recorder.Wire(*made, 1);
        return Attach(std::move(made), parent);
    }
    static std::u16string Number(int i) {
        const std::string digits = std::to_string(i);
        return std::u16string(digits.begin(), digits.end());
    }
    AccessibleTree Describe(MyAccessibleTree::Clock::time_point now = {}) {
        return tree.Describe(*root, u"Window", now);
    }
    static const AccessibleNode* Named(const AccessibleTree& t, const std::u16string& name) {
        const auto found = std::find_if(t.nodes.begin(), t.nodes.end(),
                                        [&](const AccessibleNode& n) { return n.name == name; });
        return found == t.nodes.end() ? nullptr : &*found;
    }
    static std::vector<std::u16string> Items(const AccessibleTree& t) {
        std::vector<std::u16string> names;
        for (const AccessibleNode& n : t.nodes)
            if (n.role == AccessibleRole::ListItem)
                names.push_back(n.name);
        return names;
    }

    MyAccessibleTree tree;
    Button* play = nullptr;
    Button* next = nullptr;
    SolidControl* hidden = nullptr;
    ArrivingList* list = nullptr;
};

TEST_F(AccessibleTreeTest, ControlsHangUnderTheirNearestDescribedAncestorWithTheirStatesAndBounds) {
    const AccessibleTree t = Describe();
    ASSERT_FALSE(t.nodes.empty());
    EXPECT_EQ(t.nodes[0].role, AccessibleRole::Frame);
    EXPECT_EQ(t.nodes[0].name, u"Window");
    EXPECT_EQ(t.nodes[0].parent, -1);

    const AccessibleNode* p = Named(t, u"Play");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->parent, 0);
    EXPECT_EQ(p->role, AccessibleRole::PushButton);
    EXPECT_EQ(p->states, kAccessibleEnabled | kAccessibleShowing | kAccessibleVisible | kAccessibleFocusable);
    EXPECT_EQ((std::vector<std::int32_t>{p->left, p->top, p->width, p->height}),
              (std::vector<std::int32_t>{10, 10, 40, 30}));

    const AccessibleNode* n = Named(t, u"Next");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->parent, 0) << "the plain container between is left out";
    EXPECT_EQ(n->states & kAccessibleEnabled, 0u) << "disabled";
    EXPECT_EQ(n->left, 60) << "placed in the window's coordinates";

    EXPECT_EQ(Named(t, u"Hidden"), nullptr) << "a hidden control's subtree is not on screen";
    for (std::size_t i = 1; i < t.nodes.size(); ++i)
        EXPECT_LT(t.nodes[i].parent, static_cast<std::int32_t>(i)) << "parents come first";
}

TEST_F(AccessibleTreeTest, SiblingsComeInTheKeyboardsOrder) {
    play->tabOrder = 1;
    const AccessibleTree t = Describe();
    std::vector<std::u16string> order;
    for (const AccessibleNode& n : t.nodes)
        if (n.parent == 0)
            order.push_back(n.name);
    EXPECT_EQ(order, (std::vector<std::u16string>{u"Next", u"Lines", u"Play"}));
}

TEST_F(AccessibleTreeTest, ControlsKeepTheirIdsAndNewControlsGetNewOnes) {
    const AccessibleTree first = Describe();
    const std::uint32_t playId = Named(first, u"Play")->id;
    const std::uint32_t nextId = Named(first, u"Next")->id;
    const AccessibleTree second = Describe();
    EXPECT_EQ(Named(second, u"Play")->id, playId);

    // The group with "Next" goes; a control made afterwards never takes an id a reader may still hold.
    root->children.erase(root->children.begin() + 1);
    Place(std::make_unique<Button>(u"Later"), 300, 10, 40, 30);
    const AccessibleTree third = Describe();
    EXPECT_EQ(Named(third, u"Next"), nullptr);
    ASSERT_NE(Named(third, u"Later"), nullptr);
    EXPECT_NE(Named(third, u"Later")->id, nextId);
    EXPECT_NE(Named(third, u"Later")->id, playId);
    EXPECT_FALSE(tree.Perform(*root, nextId, AccessibleAction::Click)) << "a gone control's id does nothing";
}

TEST_F(AccessibleTreeTest, TheRowsInViewAreTheListsItemsAndTheCurrentRowHoldsTheFocus) {
    AccessibleTree t = Describe();
    const AccessibleNode* lines = Named(t, u"Lines");
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->role, AccessibleRole::List);
    EXPECT_EQ(Items(t), (std::vector<std::u16string>{u"row 0", u"row 1", u"row 2", u"row 3", u"row 4"}))
        << "five rows of 20 pixels in a view of 100";
    const AccessibleNode* row1 = Named(t, u"row 1");
    EXPECT_EQ(row1->top, 120);
    EXPECT_EQ(row1->width, 200 - MyListBoxV2::kScrollbarWidth) << "the scrollbar is not the row's";
    EXPECT_TRUE(row1->clickable);
    EXPECT_EQ(t.nodes[static_cast<std::size_t>(row1->parent)].name, u"Lines");
    const std::uint32_t row3 = Named(t, u"row 3")->id;

    list->ScrollTo(30);
    Pump();
    t = Describe();
    EXPECT_EQ(Items(t),
              (std::vector<std::u16string>{u"row 1", u"row 2", u"row 3", u"row 4", u"row 5", u"row 6"}))
        << "row 1 shows in part";
    EXPECT_EQ(Named(t, u"row 1")->top, 100) << "cut at the list's top";
    EXPECT_EQ(Named(t, u"row 1")->height, 10);
    EXPECT_EQ(Named(t, u"row 3")->id, row3);

    SetKeyboardFocus(&owner.context, list);
    t = Describe();
    EXPECT_TRUE(Named(t, u"Lines")->states & kAccessibleFocused)
        << "no current row yet: the list has the focus";
    list->keyboardRow = 4;
    t = Describe();
    EXPECT_FALSE(Named(t, u"Lines")->states & kAccessibleFocused);
    EXPECT_TRUE(Named(t, u"row 4")->states & kAccessibleFocused) << "the current row holds it";
}

TEST_F(AccessibleTreeTest, ActionsPressAndFocusAsTheKeyboardDoes) {
    const AccessibleTree t = Describe();
    EXPECT_TRUE(tree.Perform(*root, Named(t, u"Play")->id, AccessibleAction::Click));
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"down 1 at 30,25", "released 1", "click 1"}))
        << "pressed at its middle";
    recorder.log.clear();
    EXPECT_FALSE(tree.Perform(*root, Named(t, u"Next")->id, AccessibleAction::Click)) << "disabled";
    EXPECT_TRUE(recorder.log.empty());

    EXPECT_TRUE(tree.Perform(*root, Named(t, u"row 2")->id, AccessibleAction::Click));
    EXPECT_EQ(list->keyboardRow, 2) << "the row clicked is the current row, as Enter leaves it";
    ASSERT_EQ(recorder.log.size(), 3u);
    EXPECT_EQ(recorder.log[2], "click 102");

    EXPECT_TRUE(tree.Perform(*root, Named(t, u"Play")->id, AccessibleAction::Focus));
    EXPECT_EQ(owner.context.keyboardFocus, play);
    EXPECT_TRUE(tree.Perform(*root, Named(t, u"row 3")->id, AccessibleAction::Focus));
    EXPECT_EQ(owner.context.keyboardFocus, list);
    EXPECT_EQ(list->keyboardRow, 3);
    EXPECT_FALSE(tree.Perform(*root, 999999, AccessibleAction::Click)) << "no such node";
}

TEST_F(AccessibleTreeTest, ArrivingRowsOfTheFocusedListAreToldAtMostOnceASecond) {
    const auto t0 = MyAccessibleTree::Clock::time_point{} + 100s;
    list->arrived = 3;
    Describe(t0);
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty()) << "not focused: no news";
    SetKeyboardFocus(&owner.context, list);
    Describe(t0);
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty())
        << "the rows there when it takes the focus are no news";

    list->arrived = 4;
    Describe(t0 + 100ms);
    auto [id, text] = tree.TakeAnnouncement();
    EXPECT_EQ(text, u"row 3") << "one new row: its text";
    EXPECT_EQ(id, Named(Describe(t0 + 100ms), u"Lines")->id);

    list->arrived = 7;
    Describe(t0 + 600ms);
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty()) << "within a second of the last";
    Describe(t0 + 1200ms);
    EXPECT_EQ(tree.TakeAnnouncement().second, u"3 new lines");
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty()) << "taken once";

    list->arrived = 2;
    Describe(t0 + 3s);
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty()) << "moved back: nothing new";
    list->arrived = 3;
    Describe(t0 + 5s);
    EXPECT_EQ(tree.TakeAnnouncement().second, u"row 2") << "counted from where it went back to";

    SetKeyboardFocus(&owner.context, play);
    list->arrived = 9;
    Describe(t0 + 9s);
    EXPECT_TRUE(tree.TakeAnnouncement().second.empty()) << "the focus left the list";
}

// A backend that keeps what the window publishes.
class RecordingAccessibility : public Accessibility {
public:
    bool available() const override { return true; }
    void Publish(AccessibleTree tree) override { trees.push_back(std::move(tree)); }
    void Announce(std::uint32_t, const std::u16string& text) override { said.push_back(text); }
    std::vector<AccessibleTree> trees;
    std::vector<std::u16string> said;
};

TEST_F(AccessibleTreeTest, TheWindowPublishesAfterAPaintAndPerformsThePostedActions) {
    auto backend = std::make_unique<RecordingAccessibility>();
    RecordingAccessibility* recording = backend.get();
    owner.EnableAccessibility(std::move(backend), u"Vantri");
    ASSERT_EQ(recording->trees.size(), 1u) << "published at once";
    EXPECT_EQ(recording->trees[0].applicationName, u"Vantri");
    EXPECT_EQ(recording->trees[0].nodes[0].name, u"Test") << "the window by its title";
    EXPECT_EQ(recording->trees[0].clientLeft, 100);

    play->label = u"Play now";
    play->Redraw();
    Pump();
    ASSERT_GE(recording->trees.size(), 2u) << "a paint publishes again";
    EXPECT_NE(Named(recording->trees.back(), u"Play now"), nullptr);

    const std::uint32_t id = Named(recording->trees.back(), u"Play now")->id;
    ASSERT_TRUE(native->Post(
        {MyOwnerWindowBase::kAccessibilityMessage, id, static_cast<std::intptr_t>(AccessibleAction::Click)}));
    Pump();
    EXPECT_EQ(recorder.log.back(), "click 1");
}

} // namespace
