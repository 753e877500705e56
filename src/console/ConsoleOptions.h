#pragma once
// The command line of vantri-console:
//
//   vantri-console [--events] [--seconds N] [LINK]
//
// LINK is any text the link parser accepts (a vantri: link, a web link, "track-1-2-w4"); without one the
// newest stream of the directory plays. --events prints one line per callback instead of the player's
// view, for scripts; --seconds N ends once the play position is N seconds past where playing started.

#include "app/Links.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

struct ConsoleOptions {
    bool events = false;
    std::optional<double> seconds; // seconds of play position; nothing: until q or the end of input
    std::optional<ParsedLink> link;
    bool help = false;
};

// Parses the arguments after the program name; nothing, with `error` set, when they are not valid.
std::optional<ConsoleOptions> ParseConsoleOptions(std::span<const std::string_view> arguments,
                                                  std::string& error);

// The usage text shown for --help and after a wrong command line.
std::string ConsoleUsage();
