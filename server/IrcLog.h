#pragma once
// Chat logs as IRC clients write them, turned into chat events with UTC times:
//   irssi:   "HH:MM[:SS] <nick> text", " * nick action", "-!- nick [user@host] has joined #chan", ...
//            with "--- Log opened <date>" and "--- Day changed <date>" lines;
//   WeeChat: "YYYY-MM-DD HH:MM:SS<TAB>prefix<TAB>message" ("-->" joins, "<--" parts, quits and kicks,
//            "--" nick, topic and mode changes, " *" actions);
//   mIRC:    "[HH:MM[:SS]] <nick> text", "* nick action", "* Joins: nick (user@host)", ... with
//            "Session Start: <date>" lines;
//   ZNC:     its log module's "[HH:MM:SS] <nick> text", "[HH:MM:SS] * nick action", "[HH:MM:SS] *** Joins:
//            nick (ident@host)", "*** Quits: nick (ident@host) (reason)", "*** nick sets mode: +o x", ...
//            (told from mIRC by its "***" lines; the date is the file's, so the lines go near the start);
//   HexChat: "Mar 03 20:00:01 <nick>\ttext", "... *\tnick action", "... -->\tnick (user@host) has joined
//            #chan", "<--" parts, quits and kicks, "---" nick, topic and mode changes, with "**** BEGIN
//            LOGGING AT Sun Mar  3 20:00:00 2024" lines giving the year;
//   Quassel: exported as "[YYYY-MM-DD HH:MM:SS] <nick> text", "-*- nick action", "--> nick (host) has
//            joined #chan", "<-- ... has left/quit", "<-> old is now known as new", "<-* op has kicked x from
//            #chan (reason)", "*** Mode #chan +o x by op", "* nick has changed topic for #chan to: "...",
//            "[nick] notice";
//   The Lounge: "[YYYY-MM-DDTHH:MM:SS.mmmZ] <nick> text" (UTC), "* nick action", "*** nick (host)
//            joined", "*** nick (host) left (reason)", "*** nick (host) quit (reason)", "*** x was kicked
//            by op (reason)", "*** nick set mode +o x", "*** old changed nick to new", "*** nick changed
//            topic to 'topic'", "-nick- notice".
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

enum class IrcFormat { Auto, Irssi, WeeChat, Mirc, Znc, HexChat, Quassel, Lounge };

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
// (in IrcLogFormats.cpp)
void ParseZncBody(std::string_view body, IrcEvent& event);
void ParseHexChatBody(std::string_view left, std::string_view right, IrcEvent& event);
void ParseQuasselBody(std::string_view body, IrcEvent& event);
void ParseLoungeBody(std::string_view body, IrcEvent& event);
// Removes mIRC colour and formatting codes and other control bytes; tabs become blanks.
std::string CleanIrcText(std::string_view text);

} // namespace station
