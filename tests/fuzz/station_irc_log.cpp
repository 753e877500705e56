// Fuzzes the IRC log reader in every format (the first byte picks it): no crash, every event has a
// chat kind from 0 to 9 and at most 20 arguments, all valid UTF-8.

#include "IrcLog.h"
#include "Text.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    station::IrcLogOptions options;
    options.format = static_cast<station::IrcFormat>(data[0] % 8);
    options.utcOffset = (static_cast<int>(data[0]) - 128) * 900;
    options.reference = 1709496000;
    auto events = station::ParseIrcLog(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1),
                                       "fuzz.log", options);
    if (!events.ok())
        return 0;
    for (const auto& event : *events) {
        if (event.kind > 9 || event.args.size() > 20 || event.args.empty())
            std::abort();
        for (const auto& arg : event.args)
            if (!IsValidUtf8(arg))
                std::abort();
    }
    return 0;
}
