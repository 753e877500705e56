#pragma once
// A published accessibility tree as the AT-SPI side reads it: nodes by id, each node's children, AT-SPI's
// role numbers, names and state words, and hit testing. Pure data: no bus. Linux backend only.

#include "platform/Accessibility.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform::atspi {

// AT-SPI's coordinate types.
enum CoordType : std::uint32_t { kScreen = 0, kWindow = 1, kParent = 2 };

std::uint32_t RoleNumber(AccessibleRole role);
const char* RoleName(AccessibleRole role);
// The two 32-bit words of AT-SPI's state set for `node`.
std::array<std::uint32_t, 2> StateWords(const AccessibleNode& node);

struct Extents {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

class Snapshot {
public:
    void Assign(AccessibleTree tree);
    const AccessibleTree& tree() const { return tree_; }
    const AccessibleNode* Find(std::uint32_t id) const;
    const AccessibleNode* Parent(const AccessibleNode& node) const;
    // The ids of a node's children in order; of the application (id 0): the window.
    const std::vector<std::uint32_t>& Children(std::uint32_t id) const;
    std::int32_t IndexInParent(const AccessibleNode& node) const;
    // The node's box in `coordType` coordinates.
    Extents ExtentsOf(const AccessibleNode& node, std::uint32_t coordType) const;
    // The deepest node under `id` (itself excluded) whose box holds the point, or 0.
    std::uint32_t ChildAtPoint(std::uint32_t id, std::int32_t x, std::int32_t y,
                               std::uint32_t coordType) const;
    // The id of the node that holds the focus, or 0.
    std::uint32_t Focused() const;

private:
    AccessibleTree tree_;
    std::unordered_map<std::uint32_t, std::size_t> index_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> children_;
    std::vector<std::uint32_t> none_;
};

} // namespace platform::atspi
