#include "platform/SystemInfo.h"

#include <cstdlib>

namespace platform {

const char* OperatingSystemName() {
    return "Linux";
}

std::optional<std::string> GetEnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

} // namespace platform
