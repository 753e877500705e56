#pragma once
// A published accessibility tree as the MSAA side reads it: nodes by id, each node's children and
// parent, the roles, states, default actions and values MSAA reports, hit testing, and the live label
// that carries polite announcements. Pure data: no window and no COM. Windows backend only.

#include "platform/Accessibility.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::msaa {

// The id of the label that announcements are read from: a child of the window node, made by the
// backend, never an id the control tree hands out (it counts up from 1).
constexpr std::uint32_t kLiveLabelId = 0x7FFFFFFFu;

// MSAA's role (ROLE_SYSTEM_...), state bits (STATE_SYSTEM_...) and default action ("Press"; empty for
// none) for a node.
long RoleOf(const AccessibleNode& node);
long StateOf(const AccessibleNode& node);
std::u16string DefaultActionOf(const AccessibleNode& node);
// What accValue answers: a slider's value text (its number when it has none), an entry's text; false for
// nodes without a value.
bool ValueOf(const AccessibleNode& node, std::u16string& value);

class Tree {
public:
    void Assign(AccessibleTree tree);
    const AccessibleTree& tree() const { return tree_; }
    // The window node; null while there is none.
    const AccessibleNode* Root() const { return tree_.nodes.empty() ? nullptr : &tree_.nodes.front(); }
    const AccessibleNode* Find(std::uint32_t id) const;
    const AccessibleNode* Parent(const AccessibleNode& node) const;
    // The ids of a node's children in order.
    const std::vector<std::uint32_t>& Children(std::uint32_t id) const;
    // The node's box in screen pixels.
    void ScreenBox(const AccessibleNode& node, long& left, long& top, long& width, long& height) const;
    // The deepest node under `id` (itself excluded) whose box holds the screen point, or 0.
    std::uint32_t ChildAtPoint(std::uint32_t id, long x, long y) const;
    // The id of the node that holds the focus, or 0.
    std::uint32_t Focused() const;
    // Whether `id` is `ancestor` or lies under it.
    bool Within(std::uint32_t id, std::uint32_t ancestor) const;

    // The text last announced, read from the live label under the window node (at `source`'s place);
    // the label is there from the first announcement on.
    void SetAnnouncement(std::u16string text, std::uint32_t source);
    bool hasLiveLabel() const { return liveLabel_; }
    // Takes the live label and its text from the tree published before (before Assign).
    void KeepLiveLabel(const Tree& before) {
        liveLabel_ = before.liveLabel_;
        announcement_ = before.announcement_;
        announcementSource_ = before.announcementSource_;
    }

private:
    void AddLiveLabel();

    AccessibleTree tree_;
    std::unordered_map<std::uint32_t, std::size_t> index_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> children_;
    std::vector<std::uint32_t> none_;
    bool liveLabel_ = false;
    std::u16string announcement_;
    std::uint32_t announcementSource_ = 0;
};

} // namespace platform::msaa
