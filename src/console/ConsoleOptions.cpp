#include "console/ConsoleOptions.h"

#include <charconv>
#include <cmath>

std::optional<ConsoleOptions> ParseConsoleOptions(std::span<const std::string_view> arguments,
                                                  std::string& error) {
    ConsoleOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--events") {
            options.events = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--seconds") {
            if (i + 1 >= arguments.size()) {
                error = "--seconds needs a number of seconds";
                return std::nullopt;
            }
            const std::string_view text = arguments[++i];
            double value = 0;
            const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (code != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
                value < 0) {
                error = "--seconds needs a number of seconds, not '" + std::string(text) + "'";
                return std::nullopt;
            }
            options.seconds = value;
        } else if (argument.starts_with("--")) {
            error = "unknown option '" + std::string(argument) + "'";
            return std::nullopt;
        } else if (options.link) {
            error = "more than one link given";
            return std::nullopt;
        } else {
            options.link = ParseNarrowLink(argument);
            if (!options.link) {
                error = "'" + std::string(argument) + "' is not a link";
                return std::nullopt;
            }
        }
    }
    return options;
}

std::string ConsoleUsage() {
    return "usage: vantri-console [--events] [--seconds N] [LINK]\n"
           "  LINK         vantri:track-STATION-STREAM-SECONDS, vantri:stream-STATION-STREAM,\n"
           "               vantri:station-STATION or a web link; without one the newest stream plays\n"
           "  --events     print one line per callback, for scripts\n"
           "  --seconds N  end once the play position is N seconds past where playing started\n"
           "keys: space pause/continue, left/right seek 10 s, n/p next/previous track, q quit\n"
           "The station directory is VANTRI_DIRECTORY (host[:port]).\n";
}
