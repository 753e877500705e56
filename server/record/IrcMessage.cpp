#include "IrcMessage.h"

#include "IrcLog.h"
#include "IrcLogParts.h"
#include "Text.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

namespace station::record {
namespace {

// The setter, then every word of the modes and their arguments.
std::vector<std::string> ModeArgs(std::string setter, const std::vector<std::string>& params) {
    std::string modes;
    for (std::size_t i = 1; i < params.size(); ++i)
        modes += params[i] + " ";
    return irclog::ModeArgs(std::move(setter), modes);
}

// Appends a reason when there is one.
std::vector<std::string> WithReason(std::vector<std::string> args, std::string_view reason) {
    const std::string cleaned = std::string(Trim(CleanIrcText(reason)));
    if (!cleaned.empty())
        args.push_back(cleaned);
    return args;
}

// The nick without the channel-status signs NAMES puts before it ("@op", "+voice").
std::string_view WithoutStatus(std::string_view nick) {
    while (!nick.empty() && (nick.front() == '@' || nick.front() == '+' || nick.front() == '%' ||
                             nick.front() == '&' || nick.front() == '~' || nick.front() == '!'))
        nick.remove_prefix(1);
    return nick;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

} // namespace

std::optional<IrcMessage> ParseIrcLine(std::string_view raw) {
    const std::string text = RepairUtf8(raw);
    std::string_view line = text;
    if (StartsWith(line, "@")) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        line.remove_prefix(space + 1);
    }
    while (StartsWith(line, " "))
        line.remove_prefix(1);
    IrcMessage message;
    if (StartsWith(line, ":")) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        message.prefix = std::string(line.substr(1, space - 1));
        line.remove_prefix(space + 1);
    }
    while (StartsWith(line, " "))
        line.remove_prefix(1);
    const std::size_t space = line.find(' ');
    message.command = Upper(line.substr(0, space));
    if (message.command.empty())
        return std::nullopt;
    line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    while (!line.empty()) {
        if (line.front() == ' ') {
            line.remove_prefix(1);
            continue;
        }
        if (line.front() == ':') {
            message.params.emplace_back(line.substr(1));
            break;
        }
        const std::size_t next = line.find(' ');
        message.params.emplace_back(line.substr(0, next));
        line = next == std::string_view::npos ? std::string_view() : line.substr(next + 1);
    }
    return message;
}

std::string NickOf(std::string_view prefix) {
    const std::size_t bang = prefix.find_first_of("!@");
    return std::string(prefix.substr(0, bang));
}

std::string IrcFold(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '[')
            c = '{';
        else if (c == ']')
            c = '}';
        else if (c == '\\')
            c = '|';
        else if (c == '~')
            c = '^';
    }
    return folded;
}

IrcChannelLog::IrcChannelLog(std::string channel, std::string ownNick)
    : channel_(std::move(channel)), folded_(IrcFold(channel_)), ownNick_(std::move(ownNick)) {}

void IrcChannelLog::Reset() {
    members_.clear();
    joined_ = false;
    kicked_ = false;
}

bool IrcChannelLog::IsChannel(std::string_view name) const {
    return IrcFold(name) == folded_;
}

bool IrcChannelLog::IsOwn(std::string_view nick) const {
    return IrcFold(nick) == IrcFold(ownNick_);
}

std::vector<ChatEvent> IrcChannelLog::Take(const IrcMessage& message) {
    const std::string nick = NickOf(message.prefix);
    const std::vector<std::string>& p = message.params;
    const std::string& command = message.command;
    std::vector<ChatEvent> events;
    if (command == "353" && p.size() >= 4 && IsChannel(p[2])) {
        // RPL_NAMREPLY: "me = #chan :@op +voice plain".
        for (std::string_view name : Split(p[3], ' ')) {
            const std::string_view bare = WithoutStatus(name);
            if (!bare.empty())
                members_.insert(IrcFold(NickOf(bare)));
        }
        return events;
    }
    if (command == "JOIN" && !p.empty() && IsChannel(p[0])) {
        members_.insert(IrcFold(nick));
        if (IsOwn(nick)) {
            joined_ = true;
            kicked_ = false;
        } else {
            events.push_back({StreamChatRowKind_Join, {nick}});
        }
        return events;
    }
    if (command == "PART" && !p.empty() && IsChannel(p[0])) {
        members_.erase(IrcFold(nick));
        if (IsOwn(nick)) {
            Reset();
            return events;
        }
        events.push_back({StreamChatRowKind_Leave, WithReason({nick}, p.size() > 1 ? p[1] : "")});
        return events;
    }
    if (command == "KICK" && p.size() >= 2 && IsChannel(p[0])) {
        members_.erase(IrcFold(p[1]));
        events.push_back({StreamChatRowKind_Kick, WithReason({nick, p[1]}, p.size() > 2 ? p[2] : "")});
        if (IsOwn(p[1])) {
            Reset();
            kicked_ = true;
        }
        return events;
    }
    if (command == "QUIT") {
        if (members_.erase(IrcFold(nick)) != 0 && !IsOwn(nick))
            events.push_back({StreamChatRowKind_Quit, WithReason({nick}, p.empty() ? "" : p[0])});
        return events;
    }
    if (command == "NICK" && !p.empty()) {
        const bool own = IsOwn(nick);
        if (own)
            ownNick_ = p[0];
        if (members_.erase(IrcFold(nick)) != 0) {
            members_.insert(IrcFold(p[0]));
            if (!own)
                events.push_back({StreamChatRowKind_NickChange, {nick, p[0]}});
        }
        return events;
    }
    if (command == "TOPIC" && !p.empty() && IsChannel(p[0])) {
        events.push_back({StreamChatRowKind_TopicChange,
                          {nick, std::string(Trim(CleanIrcText(p.size() > 1 ? p[1] : "")))}});
        return events;
    }
    if (command == "MODE" && p.size() >= 2 && IsChannel(p[0])) {
        events.push_back({StreamChatRowKind_ModeChange, ModeArgs(nick, p)});
        return events;
    }
    if ((command == "PRIVMSG" || command == "NOTICE") && p.size() >= 2 && IsChannel(p[0]) && !nick.empty()) {
        std::string_view text = p[1];
        if (StartsWith(text, "\x01")) {
            // CTCP: only ACTION is chat; VERSION, PING and the like are not.
            text.remove_prefix(1);
            if (EndsWith(text, "\x01"))
                text.remove_suffix(1);
            if (command == "PRIVMSG" && (text == "ACTION" || StartsWith(text, "ACTION ")))
                events.push_back(
                    {StreamChatRowKind_Action, {nick, std::string(Trim(CleanIrcText(text.substr(6))))}});
            return events;
        }
        const std::string cleaned = CleanIrcText(text);
        if (command == "NOTICE")
            events.push_back({StreamChatRowKind_Plain, {nick, cleaned}});
        else if (!Trim(cleaned).empty())
            events.push_back({StreamChatRowKind_Message, {nick, cleaned}});
        return events;
    }
    return events;
}

} // namespace station::record
