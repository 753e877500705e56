#include "platform/win32/MsaaTree.h"

#include <windows.h>

#include <oleacc.h>

#include <cmath>
#include <cstdio>

namespace platform::msaa {

long RoleOf(const AccessibleNode& node) {
    switch (node.role) {
    case AccessibleRole::Frame:
        // The client area: the system's own window object above it is the frame.
        return ROLE_SYSTEM_CLIENT;
    case AccessibleRole::Panel:
        return ROLE_SYSTEM_GROUPING;
    case AccessibleRole::Label:
        return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::PushButton:
        return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::ToggleButton:
    case AccessibleRole::CheckBox:
        // MSAA has no toggle button: one that stays in reads as a check button, checked while in.
        return ROLE_SYSTEM_CHECKBUTTON;
    case AccessibleRole::Slider:
        return ROLE_SYSTEM_SLIDER;
    case AccessibleRole::List:
        return ROLE_SYSTEM_LIST;
    case AccessibleRole::ListItem:
        return ROLE_SYSTEM_LISTITEM;
    case AccessibleRole::Entry:
        return ROLE_SYSTEM_TEXT;
    case AccessibleRole::PageTab:
        return ROLE_SYSTEM_PAGETAB;
    }
    return ROLE_SYSTEM_CLIENT;
}

long StateOf(const AccessibleNode& node) {
    const std::uint32_t s = node.states;
    long state = 0;
    if (!(s & kAccessibleEnabled))
        state |= STATE_SYSTEM_UNAVAILABLE;
    if (!(s & kAccessibleShowing) || !(s & kAccessibleVisible))
        state |= STATE_SYSTEM_INVISIBLE;
    if (s & kAccessibleFocusable)
        state |= STATE_SYSTEM_FOCUSABLE;
    if (s & kAccessibleFocused)
        state |= STATE_SYSTEM_FOCUSED;
    if (s & kAccessibleChecked)
        state |= STATE_SYSTEM_CHECKED;
    if (s & kAccessibleSelectable)
        state |= STATE_SYSTEM_SELECTABLE;
    if (s & kAccessibleSelected)
        state |= STATE_SYSTEM_SELECTED;
    if (node.role == AccessibleRole::Entry && !(s & kAccessibleEditable))
        state |= STATE_SYSTEM_READONLY;
    if (node.role == AccessibleRole::Label)
        state |= STATE_SYSTEM_READONLY;
    return state;
}

std::u16string DefaultActionOf(const AccessibleNode& node) {
    if (!node.clickable)
        return {};
    switch (node.role) {
    case AccessibleRole::PushButton:
        return u"Press";
    case AccessibleRole::ToggleButton:
    case AccessibleRole::CheckBox:
        return (node.states & kAccessibleChecked) ? u"Uncheck" : u"Check";
    case AccessibleRole::PageTab:
        return u"Switch";
    case AccessibleRole::ListItem:
        // What Windows' own list views offer: the row acts as a double click (Enter) does.
        return u"Double Click";
    default:
        return u"Click";
    }
}

bool ValueOf(const AccessibleNode& node, std::u16string& value) {
    if (node.role == AccessibleRole::Entry) {
        value = node.text;
        return true;
    }
    if (!node.hasValue)
        return false;
    if (!node.valueText.empty()) {
        value = node.valueText;
        return true;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%g", node.value);
    value.assign(digits, digits + std::char_traits<char>::length(digits));
    return true;
}

void Tree::Assign(AccessibleTree tree) {
    tree_ = std::move(tree);
    if (liveLabel_)
        AddLiveLabel();
    index_.clear();
    children_.clear();
    for (std::size_t i = 0; i < tree_.nodes.size(); ++i) {
        const AccessibleNode& node = tree_.nodes[i];
        index_[node.id] = i;
        if (node.parent >= 0 && static_cast<std::size_t>(node.parent) < i)
            children_[tree_.nodes[static_cast<std::size_t>(node.parent)].id].push_back(node.id);
    }
}

void Tree::SetAnnouncement(std::u16string text, std::uint32_t source) {
    announcement_ = std::move(text);
    announcementSource_ = source;
    if (!liveLabel_) {
        liveLabel_ = true;
        Assign(std::move(tree_));
        return;
    }
    for (AccessibleNode& node : tree_.nodes)
        if (node.id == kLiveLabelId) {
            node.name = announcement_;
            if (const AccessibleNode* from = Find(source)) {
                node.left = from->left;
                node.top = from->top;
                node.width = from->width;
                node.height = from->height;
            }
        }
}

void Tree::AddLiveLabel() {
    if (tree_.nodes.empty())
        return;
    AccessibleNode label;
    label.id = kLiveLabelId;
    label.parent = 0;
    label.role = AccessibleRole::Label;
    label.name = announcement_;
    label.states = kAccessibleEnabled | kAccessibleShowing | kAccessibleVisible;
    // Where the news came from (the chat), else over the whole window.
    const AccessibleNode* from = &tree_.nodes.front();
    for (const AccessibleNode& node : tree_.nodes)
        if (node.id == announcementSource_)
            from = &node;
    label.left = from->left;
    label.top = from->top;
    label.width = from->width;
    label.height = from->height;
    tree_.nodes.push_back(std::move(label));
}

const AccessibleNode* Tree::Find(std::uint32_t id) const {
    const auto found = index_.find(id);
    return found == index_.end() ? nullptr : &tree_.nodes[found->second];
}

const AccessibleNode* Tree::Parent(const AccessibleNode& node) const {
    if (node.parent < 0 || static_cast<std::size_t>(node.parent) >= tree_.nodes.size())
        return nullptr;
    return &tree_.nodes[static_cast<std::size_t>(node.parent)];
}

const std::vector<std::uint32_t>& Tree::Children(std::uint32_t id) const {
    const auto found = children_.find(id);
    return found == children_.end() ? none_ : found->second;
}

void Tree::ScreenBox(const AccessibleNode& node, long& left, long& top, long& width, long& height) const {
    left = node.left + tree_.clientLeft;
    top = node.top + tree_.clientTop;
    width = node.width;
    height = node.height;
}

std::uint32_t Tree::ChildAtPoint(std::uint32_t id, long x, long y) const {
    x -= tree_.clientLeft;
    y -= tree_.clientTop;
    std::uint32_t found = 0;
    std::uint32_t at = id;
    for (;;) {
        std::uint32_t next = 0;
        // Later children lie on top, as the control tree hit-tests them; the live label is no control.
        const std::vector<std::uint32_t>& children = Children(at);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const AccessibleNode* child = Find(*it);
            if (child && child->id != kLiveLabelId && x >= child->left && x < child->left + child->width &&
                y >= child->top && y < child->top + child->height) {
                next = child->id;
                break;
            }
        }
        if (next == 0)
            return found;
        found = at = next;
    }
}

std::uint32_t Tree::Focused() const {
    for (const AccessibleNode& node : tree_.nodes)
        if (node.states & kAccessibleFocused)
            return node.id;
    return 0;
}

bool Tree::Within(std::uint32_t id, std::uint32_t ancestor) const {
    for (const AccessibleNode* node = Find(id); node; node = Parent(*node))
        if (node->id == ancestor)
            return true;
    return false;
}

} // namespace platform::msaa
