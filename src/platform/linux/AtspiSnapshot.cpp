#include "platform/linux/AtspiSnapshot.h"

namespace platform::atspi {

std::uint32_t RoleNumber(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::Frame:
        return 23;
    case AccessibleRole::Panel:
        return 39;
    case AccessibleRole::Label:
        return 29;
    case AccessibleRole::PushButton:
        return 43;
    case AccessibleRole::ToggleButton:
        return 62;
    case AccessibleRole::CheckBox:
        return 7;
    case AccessibleRole::Slider:
        return 51;
    case AccessibleRole::List:
        return 31;
    case AccessibleRole::ListItem:
        return 32;
    case AccessibleRole::Entry:
        return 79;
    case AccessibleRole::PageTab:
        return 37;
    }
    return 67; // unknown
}

const char* RoleName(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::Frame:
        return "frame";
    case AccessibleRole::Panel:
        return "panel";
    case AccessibleRole::Label:
        return "label";
    case AccessibleRole::PushButton:
        return "push button";
    case AccessibleRole::ToggleButton:
        return "toggle button";
    case AccessibleRole::CheckBox:
        return "check box";
    case AccessibleRole::Slider:
        return "slider";
    case AccessibleRole::List:
        return "list";
    case AccessibleRole::ListItem:
        return "list item";
    case AccessibleRole::Entry:
        return "entry";
    case AccessibleRole::PageTab:
        return "page tab";
    }
    return "unknown";
}

std::array<std::uint32_t, 2> StateWords(const AccessibleNode& node) {
    // AT-SPI's state numbers.
    enum : std::uint32_t {
        kActive = 1,
        kChecked = 4,
        kEditable = 7,
        kEnabled = 8,
        kFocusable = 11,
        kFocused = 12,
        kHorizontal = 14,
        kSelectable = 22,
        kSelected = 23,
        kSensitive = 24,
        kShowing = 25,
        kSingleLine = 26,
        kVisible = 30,
        kCheckable = 41,
    };
    std::array<std::uint32_t, 2> words{};
    auto set = [&](std::uint32_t state) { words[state / 32] |= 1u << (state % 32); };
    const std::uint32_t s = node.states;
    if (s & kAccessibleEnabled) {
        set(kEnabled);
        set(kSensitive);
    }
    if (s & kAccessibleShowing)
        set(kShowing);
    if (s & kAccessibleVisible)
        set(kVisible);
    if (s & kAccessibleFocusable)
        set(kFocusable);
    if (s & kAccessibleFocused)
        set(kFocused);
    if (s & kAccessibleCheckable)
        set(kCheckable);
    if (s & kAccessibleChecked)
        set(kChecked);
    if (s & kAccessibleSelectable)
        set(kSelectable);
    if (s & kAccessibleSelected)
        set(kSelected);
    if (s & kAccessibleEditable)
        set(kEditable);
    if (node.role == AccessibleRole::Entry)
        set(kSingleLine);
    if (node.role == AccessibleRole::Slider)
        set(kHorizontal);
    // The window is the one the program shows: a reader takes its focus events.
    if (node.role == AccessibleRole::Frame)
        set(kActive);
    return words;
}

void Snapshot::Assign(AccessibleTree tree) {
    tree_ = std::move(tree);
    index_.clear();
    children_.clear();
    for (std::size_t i = 0; i < tree_.nodes.size(); ++i) {
        const AccessibleNode& node = tree_.nodes[i];
        index_[node.id] = i;
        const std::uint32_t parent =
            node.parent >= 0 && static_cast<std::size_t>(node.parent) < i ? tree_.nodes[node.parent].id : 0;
        children_[parent].push_back(node.id);
    }
}

const AccessibleNode* Snapshot::Find(std::uint32_t id) const {
    const auto found = index_.find(id);
    return found == index_.end() ? nullptr : &tree_.nodes[found->second];
}

const AccessibleNode* Snapshot::Parent(const AccessibleNode& node) const {
    if (node.parent < 0 || static_cast<std::size_t>(node.parent) >= tree_.nodes.size())
        return nullptr;
    return &tree_.nodes[static_cast<std::size_t>(node.parent)];
}

const std::vector<std::uint32_t>& Snapshot::Children(std::uint32_t id) const {
    const auto found = children_.find(id);
    return found == children_.end() ? none_ : found->second;
}

std::int32_t Snapshot::IndexInParent(const AccessibleNode& node) const {
    const AccessibleNode* parent = Parent(node);
    const std::vector<std::uint32_t>& siblings = Children(parent ? parent->id : 0);
    for (std::size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i] == node.id)
            return static_cast<std::int32_t>(i);
    return -1;
}

Extents Snapshot::ExtentsOf(const AccessibleNode& node, std::uint32_t coordType) const {
    Extents e{node.left, node.top, node.width, node.height};
    if (coordType == kScreen) {
        e.x += tree_.clientLeft;
        e.y += tree_.clientTop;
    } else if (coordType == kParent) {
        if (const AccessibleNode* parent = Parent(node)) {
            e.x -= parent->left;
            e.y -= parent->top;
        }
    }
    return e;
}

std::uint32_t Snapshot::ChildAtPoint(std::uint32_t id, std::int32_t x, std::int32_t y,
                                     std::uint32_t coordType) const {
    const AccessibleNode* self = Find(id);
    // The point in client coordinates.
    if (coordType == kScreen) {
        x -= tree_.clientLeft;
        y -= tree_.clientTop;
    } else if (coordType == kParent && self) {
        if (const AccessibleNode* parent = Parent(*self)) {
            x += parent->left;
            y += parent->top;
        }
    }
    std::uint32_t found = 0;
    std::uint32_t at = id;
    for (;;) {
        std::uint32_t next = 0;
        // Later children lie on top, as the control tree hit-tests them.
        const std::vector<std::uint32_t>& children = Children(at);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const AccessibleNode* child = Find(*it);
            if (child && x >= child->left && x < child->left + child->width && y >= child->top &&
                y < child->top + child->height) {
                next = child->id;
                break;
            }
        }
        if (next == 0)
            return found;
        found = at = next;
    }
}

std::uint32_t Snapshot::Focused() const {
    for (const AccessibleNode& node : tree_.nodes)
        if (node.states & kAccessibleFocused)
            return node.id;
    return 0;
}

} // namespace platform::atspi
