// Fuzzes the station server's request-target parser: it must never crash, and a target it accepts
// must name a prefix that is a leading part of the target ending in "/" and hold no zero byte, sent as
// it is or escaped.

#include "RequestTarget.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view target(reinterpret_cast<const char*>(data), size);
    const station::RequestParse parse = station::ParseRequestTarget(target);
    if (parse.ok) {
        if (target.find('\0') != std::string_view::npos || target.find("%00") != std::string_view::npos)
            std::abort();
        const std::string_view prefix = parse.request.prefix;
        if (prefix.empty() || prefix.back() != '/' || target.substr(0, prefix.size()) != prefix)
            std::abort();
    } else if (parse.status != 400 && parse.status != 404 && parse.status != 414) {
        std::abort();
    }
    return 0;
}
