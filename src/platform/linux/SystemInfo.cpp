#include "platform/SystemInfo.h"

namespace platform {

const char* OperatingSystemName() {
    return "Linux";
}

} // namespace platform
