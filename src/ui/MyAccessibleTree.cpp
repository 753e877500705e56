#include "ui/MyAccessibleTree.h"

#include "ui/KeyboardFocus.h"
#include "ui/MyListBoxV2.h"

#include <algorithm>
#include <vector>

using namespace platform;

namespace {

void PlaceNode(AccessibleNode& node, const RECT& rect) {
    node.left = rect.left;
    node.top = rect.top;
    node.width = std::max(0, rect.right - rect.left);
    node.height = std::max(0, rect.bottom - rect.top);
}

// A control's children in the order the keyboard walks them, so that a reader meets them in that order.
std::vector<MyControlBase*> InTabOrder(MyControlBase& control) {
    std::vector<MyControlBase*> children;
    for (auto& child : control.children)
        children.push_back(child.get());
    std::stable_sort(children.begin(), children.end(), [](const MyControlBase* a, const MyControlBase* b) {
        return a->tabOrder < b->tabOrder;
    });
    return children;
}

std::u16string NewLinesText(std::int32_t count) {
    const std::string digits = std::to_string(count);
    return std::u16string(digits.begin(), digits.end()) + u" new lines";
}

} // namespace

AccessibleTree MyAccessibleTree::Describe(MyControlBase& root, const std::u16string& windowName,
                                          Clock::time_point now) {
    AccessibleTree tree = Collect(root, windowName);
    NoteArrivals(now);
    return tree;
}

AccessibleTree MyAccessibleTree::Collect(MyControlBase& root, const std::u16string& windowName) {
    AccessibleTree tree;
    context_ = root.context;
    rowsSeen_.clear();
    targets_.clear();
    focusedList_ = nullptr;
    focusedListId_ = 0;
    AccessibleNode frame;
    frame.id = IdOf(root);
    frame.role = AccessibleRole::Frame;
    frame.name = windowName;
    frame.states = kAccessibleEnabled | kAccessibleShowing | kAccessibleVisible;
    PlaceNode(frame, root.bounds);
    tree.nodes.push_back(std::move(frame));
    for (MyControlBase* child : InTabOrder(root))
        Walk(*child, 0, root.enabled, tree);
    // Rows gone from view since the last description give up their ids.
    rowIds_.swap(rowsSeen_);
    return tree;
}

std::uint32_t MyAccessibleTree::NewId() {
    const std::uint32_t id = nextId_++;
    if (nextId_ == 0)
        nextId_ = 1;
    return id;
}

std::uint32_t MyAccessibleTree::IdOf(MyControlBase& control) {
    if (control.accessibleId == 0)
        control.accessibleId = NewId();
    targets_[control.accessibleId] = {&control, -1};
    return control.accessibleId;
}

std::uint32_t MyAccessibleTree::RowIdOf(MyControlBase& list, std::int32_t row) {
    const RowKey key{IdOf(list), row};
    const auto found = rowIds_.find(key);
    const std::uint32_t id = found != rowIds_.end() ? found->second : NewId();
    rowsSeen_[key] = id;
    targets_[id] = {&list, row};
    return id;
}

void MyAccessibleTree::Walk(MyControlBase& control, std::int32_t parent, bool enabledAbove,
                            AccessibleTree& tree) {
    // A hidden control and everything in it is off the screen: a reader does not meet it.
    if (!control.visible)
        return;
    const bool enabled = enabledAbove && control.enabled;
    std::int32_t self = parent;
    AccessibleNode node;
    if (control.Describe(node)) {
        node.id = IdOf(control);
        node.parent = parent;
        node.states |= kAccessibleShowing | kAccessibleVisible | (enabled ? kAccessibleEnabled : 0u);
        if (control.tabStop || control.acceptsFocus)
            node.states |= kAccessibleFocusable;
        auto* list = dynamic_cast<MyListBoxV2*>(&control);
        const bool focused = context_ && context_->keyboardFocus == &control;
        // A list with a current row in view hands the focus on to that row.
        bool rowFocused = false;
        if (list && focused) {
            const auto [first, end] = list->RowsInView();
            rowFocused = list->keyboardRow >= first && list->keyboardRow < end;
            focusedList_ = list;
            focusedListId_ = node.id;
        }
        if (focused && !rowFocused)
            node.states |= kAccessibleFocused;
        PlaceNode(node, control.bounds);
        self = static_cast<std::int32_t>(tree.nodes.size());
        tree.nodes.push_back(std::move(node));
        if (list)
            AddRows(*list, self, enabled, tree);
    }
    for (MyControlBase* child : InTabOrder(control))
        Walk(*child, self, enabled, tree);
}

void MyAccessibleTree::AddRows(MyListBoxV2& list, std::int32_t parent, bool enabled, AccessibleTree& tree) {
    const auto [first, end] = list.RowsInView();
    const bool focused = context_ && context_->keyboardFocus == &list;
    const std::int32_t right =
        list.bounds.right - (list.scrollbar && list.scrollbar->visible ? list.scrollbarWidth : 0);
    for (std::int32_t index = first; index < end; ++index) {
        const std::int32_t rowHeight = list.RowHeight(index);
        const std::int32_t top = list.y + list.RowTop(index) - list.scrollOffset;
        if (rowHeight <= 0 || top + rowHeight <= list.bounds.top)
            continue;
        AccessibleNode node;
        if (!list.DescribeRow(index, node))
            continue;
        node.id = RowIdOf(list, index);
        node.parent = parent;
        node.role = AccessibleRole::ListItem;
        node.clickable = true;
        node.states |= kAccessibleShowing | kAccessibleVisible | kAccessibleFocusable |
                       (enabled ? kAccessibleEnabled : 0u) |
                       (focused && list.keyboardRow == index ? kAccessibleFocused : 0u);
        PlaceNode(node, RECT{list.bounds.left, std::max(top, list.bounds.top), right,
                             std::min(top + rowHeight, list.bounds.bottom)});
        tree.nodes.push_back(std::move(node));
    }
}

void MyAccessibleTree::NoteArrivals(Clock::time_point now) {
    const std::int32_t count = focusedList_ ? focusedList_->ArrivedRowCount() : -1;
    if (count < 0) {
        liveList_ = nullptr;
        return;
    }
    // The rows there when the list takes the focus are not news.
    if (focusedList_ != liveList_ || focusedListId_ != liveId_) {
        liveList_ = focusedList_;
        liveId_ = focusedListId_;
        liveCount_ = count;
        return;
    }
    // A list filled again, or moved back to an earlier moment, counts from there.
    if (count < liveCount_) {
        liveCount_ = count;
        return;
    }
    if (count == liveCount_ || now - lastAnnounced_ < kAnnounceInterval)
        return;
    // Rows left out of the view (quiet joins and parts) are no news; a jump over very many rows (a seek)
    // is told by its size without reading them all.
    const std::int32_t arrived = count - liveCount_;
    std::int32_t shown = 0;
    std::u16string text;
    if (arrived > kMaxRowsRead) {
        shown = arrived;
    } else {
        for (std::int32_t index = liveCount_; index < count; ++index) {
            AccessibleNode row;
            if (!liveList_->DescribeRow(index, row))
                continue;
            if (++shown == 1)
                text = std::move(row.name);
        }
    }
    liveCount_ = count;
    if (shown == 0)
        return;
    if (shown > 1)
        text = NewLinesText(shown);
    lastAnnounced_ = now;
    announcement_ = {liveId_, std::move(text)};
}

std::pair<std::uint32_t, std::u16string> MyAccessibleTree::TakeAnnouncement() {
    return std::exchange(announcement_, {});
}

bool MyAccessibleTree::Perform(MyControlBase& root, std::uint32_t id, AccessibleAction action) {
    // A fresh walk makes every control the ids point to one that exists now.
    Collect(root, u"");

    const auto found = targets_.find(id);
    if (found == targets_.end())
        return false;
    MyControlBase* control = found->second.first;
    const std::int32_t row = found->second.second;
    MyWindowContext* context = control->context;
    if (row >= 0) {
        auto* list = static_cast<MyListBoxV2*>(control);
        if (action == AccessibleAction::Click)
            return list->ClickRow(row);
        SetKeyboardFocus(context, list);
        list->keyboardRow = row;
        list->Redraw();
        return true;
    }
    if (action == AccessibleAction::Focus) {
        if (!control->tabStop && !control->acceptsFocus)
            return false;
        SetKeyboardFocus(context, control);
        return true;
    }
    AccessibleNode node;
    if (!control->Describe(node) || !node.clickable || !control->enabled)
        return false;
    const RECT& b = control->bounds;
    PressByKeyboard(*control, POINT{b.left + (b.right - b.left) / 2, b.top + (b.bottom - b.top) / 2}, false);
    return true;
}
