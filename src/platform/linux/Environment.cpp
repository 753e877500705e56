#include "platform/Environment.h"

#include <cstdlib>
#include <time.h>

namespace platform {

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

bool SetEnv(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnv(const std::string& name) {
    return unsetenv(name.c_str()) == 0;
}

void ReloadTimeZone() {
    tzset();
}

} // namespace platform
