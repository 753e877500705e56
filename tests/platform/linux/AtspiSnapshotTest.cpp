// The published tree as the AT-SPI backend reads it: children, states in AT-SPI's words, coordinates of
// each kind and hit testing.
#include "platform/linux/AtspiSnapshot.h"

#include <gtest/gtest.h>

using namespace platform;
using namespace platform::atspi;

namespace {

AccessibleNode Node(std::uint32_t id, std::int32_t parent, AccessibleRole role, std::int32_t left,
                    std::int32_t top, std::int32_t width, std::int32_t height) {
    AccessibleNode node;
    node.id = id;
    node.parent = parent;
    node.role = role;
    node.left = left, node.top = top, node.width = width, node.height = height;
    node.states = kAccessibleEnabled | kAccessibleShowing | kAccessibleVisible;
    return node;
}

Snapshot Sample() {
    AccessibleTree tree;
    tree.clientLeft = 100;
    tree.clientTop = 50;
    tree.nodes.push_back(Node(7, -1, AccessibleRole::Frame, 0, 0, 800, 600));
    tree.nodes.push_back(Node(3, 0, AccessibleRole::List, 0, 100, 200, 100));
    tree.nodes.push_back(Node(9, 1, AccessibleRole::ListItem, 0, 100, 176, 20));
    tree.nodes.push_back(Node(4, 1, AccessibleRole::ListItem, 0, 120, 176, 20));
    tree.nodes.push_back(Node(5, 0, AccessibleRole::ToggleButton, 700, 0, 14, 24));
    tree.nodes.back().states |= kAccessibleCheckable | kAccessibleChecked | kAccessibleFocused;
    Snapshot snapshot;
    snapshot.Assign(std::move(tree));
    return snapshot;
}

TEST(AtspiSnapshotTest, ChildrenFollowTheirParentsInOrderUnderTheApplication) {
    const Snapshot s = Sample();
    EXPECT_EQ(s.Children(0), std::vector<std::uint32_t>{7}) << "the application holds the window";
    EXPECT_EQ(s.Children(7), (std::vector<std::uint32_t>{3, 5}));
    EXPECT_EQ(s.Children(3), (std::vector<std::uint32_t>{9, 4}));
    EXPECT_TRUE(s.Children(9).empty());
    EXPECT_EQ(s.IndexInParent(*s.Find(4)), 1);
    EXPECT_EQ(s.Parent(*s.Find(4))->id, 3u);
    EXPECT_EQ(s.Find(42), nullptr);
    EXPECT_EQ(s.Focused(), 5u);
}

TEST(AtspiSnapshotTest, StatesAndRolesInAtspisNumbers) {
    const Snapshot s = Sample();
    const auto words = StateWords(*s.Find(5));
    // enabled 8, checked 4, showing 25, sensitive 24, visible 30, focused 12; checkable 41 in the second
    // word.
    EXPECT_EQ(words[0], (1u << 4) | (1u << 8) | (1u << 12) | (1u << 24) | (1u << 25) | (1u << 30));
    EXPECT_EQ(words[1], 1u << (41 - 32));
    EXPECT_TRUE(StateWords(*s.Find(7))[0] & (1u << 1)) << "the window is active";
    EXPECT_EQ(RoleNumber(AccessibleRole::ToggleButton), 62u);
    EXPECT_EQ(RoleNumber(AccessibleRole::Entry), 79u);
    EXPECT_STREQ(RoleName(AccessibleRole::CheckBox), "check box");
}

TEST(AtspiSnapshotTest, ExtentsInScreenWindowAndParentCoordinatesAndHitTests) {
    const Snapshot s = Sample();
    const Extents screen = s.ExtentsOf(*s.Find(4), kScreen);
    EXPECT_EQ((std::vector<std::int32_t>{screen.x, screen.y, screen.width, screen.height}),
              (std::vector<std::int32_t>{100, 170, 176, 20}));
    const Extents window = s.ExtentsOf(*s.Find(4), kWindow);
    EXPECT_EQ(window.y, 120);
    const Extents parent = s.ExtentsOf(*s.Find(4), kParent);
    EXPECT_EQ(parent.y, 20);

    EXPECT_EQ(s.ChildAtPoint(7, 10, 125, kWindow), 4u) << "the deepest node holding the point";
    EXPECT_EQ(s.ChildAtPoint(7, 110, 175, kScreen), 4u);
    EXPECT_EQ(s.ChildAtPoint(7, 190, 150, kWindow), 3u) << "beside the rows: the list";
    EXPECT_EQ(s.ChildAtPoint(7, 400, 400, kWindow), 0u) << "nothing there";
    EXPECT_EQ(s.ChildAtPoint(3, 10, 105, kParent), 9u) << "relative to the list's parent, the window";
}

} // namespace
