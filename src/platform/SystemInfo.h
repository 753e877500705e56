#pragma once
// Facts about the system the program runs on.

namespace platform {

// The operating system's name as the program writes it in its User-Agent line: "Linux" or "Windows".
const char* OperatingSystemName();

} // namespace platform
