#pragma once
// Facts about the system the program runs on, and its environment variables.

#include <optional>
#include <string>

namespace platform {

// The operating system's name as the program writes it in its User-Agent line: "Linux" or "Windows".
const char* OperatingSystemName();

// The value of environment variable `name` (UTF-8), or nothing when it is not set.
std::optional<std::string> GetEnvironmentVariable(const char* name);

} // namespace platform
