#pragma once
// The process environment. Texts are UTF-8, as the system holds them on Linux. Changing the environment
// is not safe while other threads read it; the program does it only in tests and at start-up.

#include <optional>
#include <string>

namespace platform {

// The value of variable `name`, or nothing when it is not set.
std::optional<std::string> GetEnv(const std::string& name);

// Sets variable `name` to `value`; false when the system refused (an invalid name).
bool SetEnv(const std::string& name, const std::string& value);

// Removes variable `name`; false when the system refused.
bool UnsetEnv(const std::string& name);

// Makes the time-zone rules follow the environment's TZ again after it changed.
void ReloadTimeZone();

} // namespace platform
