// Fuzzes the recorder's IRC client side: each input line parsed as the server sent it and followed in a
// channel; no crash, every chat event of a kind from 0 to 9, all its texts valid UTF-8.

#include "Text.h"
#include "record/IrcMessage.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    station::record::IrcChannelLog log("#radio", "recorder");
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : station::Split(input, '\n')) {
        const auto message = station::record::ParseIrcLine(line);
        if (!message)
            continue;
        for (const auto& event : log.Take(*message)) {
            if (event.kind > 9 || event.args.empty())
                std::abort();
            for (const auto& arg : event.args)
                if (!IsValidUtf8(arg))
                    std::abort();
        }
    }
    return 0;
}
