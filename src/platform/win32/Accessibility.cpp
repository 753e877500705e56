#include "platform/Accessibility.h"

// Windows has no backend yet (UI Automation would be its place): a reader sees the window only.

namespace platform {

namespace {

class NoAccessibility final : public Accessibility {
public:
    bool available() const override { return false; }
    void Publish(AccessibleTree) override {}
    void Announce(std::uint32_t, const std::u16string&) override {}
};

} // namespace

std::unique_ptr<Accessibility> CreateAccessibility(PostTarget*, std::uint32_t) {
    return std::make_unique<NoAccessibility>();
}

} // namespace platform
