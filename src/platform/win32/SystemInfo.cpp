#include "platform/SystemInfo.h"

namespace platform {

const char* OperatingSystemName() {
    return "Windows";
}

} // namespace platform
