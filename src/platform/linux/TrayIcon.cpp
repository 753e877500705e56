#include "platform/TrayIcon.h"

namespace platform {
namespace {

// A desktop without a notification area: nothing is shown and no click ever arrives.
class NoTrayIcon final : public TrayIcon {
public:
    bool available() const override { return false; }
    bool Add(const IconImage&, const std::u16string&, PostTarget*, std::uint32_t) override { return false; }
    bool Balloon(const std::u16string&, const std::u16string&, std::uint32_t) override { return false; }
    void Remove() override {}
};

} // namespace

std::unique_ptr<TrayIcon> CreateTrayIcon() {
    return std::make_unique<NoTrayIcon>();
}

} // namespace platform
