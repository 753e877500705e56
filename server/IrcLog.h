#pragma once
// Chat logs as IRC clients write them, turned into chat events with UTC times:
//   irssi:   "HH:MM[:SS] <nick> text", " * nick action", "-!- nick [user@host] has joined #chan", ...
//            with "--- Log opened <date>" and "--- Day changed <date>" lines;
//   WeeChat: "YYYY-MM-DD HH:MM:SS<TAB>prefix<TAB>message" ("-->" joins, "<--" parts, quits and kicks,
//            "--" nick, topic and mode changes, " *" actions);
//   mIRC:    "[HH:MM[:SS]] <nick> text", "* nick action", "* Joins: nick (user@host)", ... with
//            "Session Start: <date>" lines.
// Every line needs the format's timestamp; a line with a timestamp whose text is not a known event is
// kept as a plain line. Lines that are not valid UTF-8 are read as Windows-1252; mIRC colour and
// formatting codes are removed.

#include "Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace station {

enum class IrcFormat { Auto, Irssi, WeeChat, Mirc };

std::optional<IrcFormat> IrcFormatFromName(std::string_view name);

struct IrcEvent {
    std::int64_t time = 0; // UTC seconds since 1970-01-01
    std::uint8_t kind = 0; // StreamChatRowKind
    std::vector<std::string> args;
    int line = 0;
};

struct IrcLogOptions {
    IrcFormat format = IrcFormat::Auto;
    // The log's clock: seconds east of UTC.
    std::int64_t utcOffset = 0;
    // UTC time near the log's first line (the broadcast start); a log whose lines carry only a time of
    // day is placed on the date that puts its first line nearest to it.
    std::int64_t reference = 0;
};

Result<std::vector<IrcEvent>> ParseIrcLog(std::string_view text, const std::string& file,
                                          const IrcLogOptions& options);

// Turns the text after a format's timestamp into an event kind and arguments (in IrcLogEvents.cpp).
void ParseIrssiBody(std::string_view body, IrcEvent& event);
void ParseWeeChatBody(std::string_view prefix, std::string_view message, IrcEvent& event);
void ParseMircBody(std::string_view body, IrcEvent& event);
// Removes mIRC colour and formatting codes and other control bytes; tabs become blanks.
std::string CleanIrcText(std::string_view text);

} // namespace station
