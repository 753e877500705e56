#include "platform/Environment.h"

#include <cstdlib>
#include <ctime>

namespace platform {

// The C runtime's copy of the environment, which getenv and the time-zone functions read.
std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

bool SetEnv(const std::string& name, const std::string& value) {
    // _putenv would take an empty value as a removal; _putenv_s keeps the C runtime's copy in step.
    if (name.empty() || name.find('=') != std::string::npos)
        return false;
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

bool UnsetEnv(const std::string& name) {
    if (name.empty() || name.find('=') != std::string::npos)
        return false;
    return _putenv_s(name.c_str(), "") == 0;
}

void ReloadTimeZone() {
    _tzset();
}

} // namespace platform
