#pragma once
// The pieces the IRC log readers share (in IrcLogEvents.cpp): how a nick, a reason or a mode change is
// read out of a line's text, and the events the usual wordings make.

#include "IrcLog.h"

#include <string>
#include <string_view>
#include <vector>

namespace station::irclog {

using Args = std::vector<std::string>;

void Set(IrcEvent& event, std::uint8_t kind, Args args);
void Plain(IrcEvent& event, std::string_view text);
// A nick without the channel-mode sign clients put before it ("@op", "+voice").
std::string Nick(std::string_view text);
// "nick [user@host] rest" (or with parentheses): the nick and the rest; the host part may be missing.
void NickAndRest(std::string_view text, char open, char close, std::string& nick, std::string_view& rest);
// The text inside a trailing "[...]" or "(...)" of `text`, or empty.
std::string Reason(std::string_view text, char open, char close);
Args WithReason(Args args, std::string reason);
// The setter, then every word of the modes (at most 20 arguments).
Args ModeArgs(std::string setter, std::string_view modes);
// "<nick> text".
bool Message(std::string_view body, IrcEvent& event);
// "old is now known as new".
bool NickChange(std::string_view text, IrcEvent& event);
// "nick text" of an action line.
void Action(std::string_view text, IrcEvent& event);
// "-nick- text", a notice.
bool Notice(std::string_view body, IrcEvent& event);
// mIRC's (and ZNC's) wording of joins, parts, quits, nick, topic and mode changes and kicks.
bool MircEvent(std::string_view text, IrcEvent& event);

} // namespace station::irclog
