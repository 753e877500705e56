// Windows has no session bus.
#include "platform/DesktopBusProbe.h"

namespace platform {

std::unique_ptr<DesktopBusProbe> CreateDesktopBusProbe() {
    return nullptr;
}

} // namespace platform
