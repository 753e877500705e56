#pragma once
// The User-Agent line every request carries; it names the system the program runs on.

#include "platform/SystemInfo.h"

#include <string>

namespace testsupport {

inline std::string UserAgentLine() {
    return std::string("User-Agent: Vantri/6 (") + platform::OperatingSystemName() + ") Vantri/0.19\r\n";
}

} // namespace testsupport
