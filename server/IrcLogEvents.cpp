// The text of one IRC log line, after its timestamp, as a chat event.

#include "IrcLog.h"
#include "IrcLogParts.h"

#include "Text.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

#include <cctype>

namespace station {
namespace irclog {

void Set(IrcEvent& event, std::uint8_t kind, Args args) {
    event.kind = kind;
    event.args = std::move(args);
}

void Plain(IrcEvent& event, std::string_view text) {
    Set(event, StreamChatRowKind_Plain, {std::string(text)});
}

// A nick without the channel-mode sign clients put before it ("@op", "+voice", " plain").
std::string Nick(std::string_view text) {
    text = Trim(text);
    while (!text.empty() &&
           (text.front() == '@' || text.front() == '+' || text.front() == '%' || text.front() == '&' ||
            text.front() == '~' || text.front() == '!' || text.front() == ' '))
        text.remove_prefix(1);
    return std::string(text);
}

// "nick [user@host] rest" (or with parentheses): the nick and the rest; the host part may be missing.
void NickAndRest(std::string_view text, char open, char close, std::string& nick, std::string_view& rest) {
    const std::size_t space = text.find(' ');
    nick = Nick(text.substr(0, space));
    rest = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    if (StartsWith(rest, std::string_view(&open, 1))) {
        const std::size_t end = rest.find(close);
        rest = end == std::string_view::npos ? std::string_view() : Trim(rest.substr(end + 1));
    }
}

// The text inside a trailing "[...]" or "(...)" of `text`, or empty.
std::string Reason(std::string_view text, char open, char close) {
    text = Trim(text);
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos || !EndsWith(text, std::string_view(&close, 1)))
        return {};
    return std::string(Trim(text.substr(start + 1, text.size() - start - 2)));
}

// Appends the reason, if any, as the last argument.
Args WithReason(Args args, std::string reason) {
    if (!reason.empty())
        args.push_back(std::move(reason));
    return args;
}

// "setter" and "+o nick nick2" as mode arguments: the setter, then every word of the modes (at most 20
// arguments; the rest join the last one).
Args ModeArgs(std::string setter, std::string_view modes) {
    Args args = {std::move(setter)};
    for (std::string_view word : Split(Trim(modes), ' ')) {
        if (word.empty())
            continue;
        if (args.size() < kMaxChatArgs)
            args.emplace_back(word);
        else
            args.back() += " " + std::string(word);
    }
    if (args.size() < 2)
        args.emplace_back("");
    return args;
}

// "<nick> text": a message, or a plain line when the text is empty.
bool Message(std::string_view body, IrcEvent& event) {
    if (!StartsWith(body, "<"))
        return false;
    const std::size_t close = body.find('>');
    if (close == std::string_view::npos)
        return false;
    const std::string nick = Nick(body.substr(1, close - 1));
    std::string_view text = body.substr(close + 1);
    if (StartsWith(text, " "))
        text.remove_prefix(1);
    if (nick.empty())
        return false;
    if (text.empty())
        Set(event, StreamChatRowKind_Plain, {nick, ""});
    else
        Set(event, StreamChatRowKind_Message, {nick, std::string(text)});
    return true;
}

// "old is now known as new".
bool NickChange(std::string_view text, IrcEvent& event) {
    const std::size_t at = text.find(" is now known as ");
    if (at == std::string_view::npos)
        return false;
    Set(event, StreamChatRowKind_NickChange, {Nick(text.substr(0, at)), Nick(text.substr(at + 17))});
    return true;
}

// "nick text" of an action line.
void Action(std::string_view text, IrcEvent& event) {
    const std::size_t space = text.find(' ');
    const std::string nick = Nick(text.substr(0, space));
    const std::string rest =
        space == std::string_view::npos ? std::string() : std::string(text.substr(space + 1));
    if (nick.empty())
        Plain(event, text);
    else
        Set(event, StreamChatRowKind_Action, {nick, rest});
}

// "-nick- text" or "-nick(user@host)- text", a notice: a plain line with its sender.
bool Notice(std::string_view body, IrcEvent& event) {
    if (!StartsWith(body, "-") || StartsWith(body, "-!-"))
        return false;
    const std::size_t close = body.find("- ", 1);
    if (close == std::string_view::npos)
        return false;
    std::string_view sender = body.substr(1, close - 1);
    sender = sender.substr(0, sender.find('('));
    if (sender.empty())
        return false;
    Set(event, StreamChatRowKind_Plain, {Nick(sender), std::string(body.substr(close + 2))});
    return true;
}

void IrssiStatus(std::string_view text, IrcEvent& event) {
    std::string nick;
    std::string_view rest;
    NickAndRest(text, '[', ']', nick, rest);
    if (StartsWith(rest, "has joined ")) {
        Set(event, StreamChatRowKind_Join, {nick});
        return;
    }
    if (StartsWith(rest, "has left ")) {
        Set(event, StreamChatRowKind_Leave, WithReason({nick}, Reason(rest.substr(9), '[', ']')));
        return;
    }
    if (StartsWith(rest, "has quit")) {
        Set(event, StreamChatRowKind_Quit, WithReason({nick}, Reason(rest.substr(8), '[', ']')));
        return;
    }
    if (NickChange(text, event))
        return;
    if (const std::size_t at = text.find(" changed the topic of "); at != std::string_view::npos) {
        const std::size_t to = text.find(" to: ", at);
        if (to != std::string_view::npos) {
            Set(event, StreamChatRowKind_TopicChange,
                {Nick(text.substr(0, at)), std::string(text.substr(to + 5))});
            return;
        }
    }
    if (StartsWith(ToLower(text.substr(0, 11)), "servermode/") || StartsWith(text, "mode/")) {
        const std::size_t open = text.find(" [");
        const std::size_t by = text.rfind("] by ");
        if (open != std::string_view::npos && by != std::string_view::npos && by > open) {
            Set(event, StreamChatRowKind_ModeChange,
                ModeArgs(Nick(text.substr(by + 5)), text.substr(open + 2, by - open - 2)));
            return;
        }
    }
    if (const std::size_t at = text.find(" was kicked from "); at != std::string_view::npos) {
        const std::size_t by = text.find(" by ", at + 17);
        if (by != std::string_view::npos) {
            std::string_view after = text.substr(by + 4);
            const std::size_t space = after.find(' ');
            Set(event, StreamChatRowKind_Kick,
                WithReason({Nick(after.substr(0, space)), Nick(text.substr(0, at))},
                           space == std::string_view::npos ? std::string()
                                                           : Reason(after.substr(space), '[', ']')));
            return;
        }
    }
    Plain(event, text);
}

bool MircEvent(std::string_view text, IrcEvent& event) {
    std::string nick;
    std::string_view rest;
    if (StartsWith(text, "Joins: ")) {
        NickAndRest(text.substr(7), '(', ')', nick, rest);
        Set(event, StreamChatRowKind_Join, {nick});
        return true;
    }
    if (StartsWith(text, "Parts: ") || StartsWith(text, "Quits: ")) {
        NickAndRest(text.substr(7), '(', ')', nick, rest);
        Set(event, StartsWith(text, "Parts") ? StreamChatRowKind_Leave : StreamChatRowKind_Quit,
            WithReason({nick}, Reason(rest, '(', ')')));
        return true;
    }
    NickAndRest(text, '(', ')', nick, rest);
    if (StartsWith(rest, "has joined ")) {
        Set(event, StreamChatRowKind_Join, {nick});
        return true;
    }
    if (StartsWith(rest, "has left ")) {
        Set(event, StreamChatRowKind_Leave, WithReason({nick}, Reason(rest.substr(9), '(', ')')));
        return true;
    }
    if (StartsWith(rest, "Quit") && text.find(" (") != std::string_view::npos) {
        Set(event, StreamChatRowKind_Quit, WithReason({nick}, Reason(rest.substr(4), '(', ')')));
        return true;
    }
    if (NickChange(text, event))
        return true;
    if (const std::size_t at = text.find(" changes topic to '");
        at != std::string_view::npos && EndsWith(text, "'")) {
        Set(event, StreamChatRowKind_TopicChange,
            {Nick(text.substr(0, at)), std::string(text.substr(at + 19, text.size() - at - 20))});
        return true;
    }
    if (const std::size_t at = text.find(" sets mode: "); at != std::string_view::npos) {
        Set(event, StreamChatRowKind_ModeChange, ModeArgs(Nick(text.substr(0, at)), text.substr(at + 12)));
        return true;
    }
    if (const std::size_t at = text.find(" was kicked by "); at != std::string_view::npos) {
        std::string_view after = text.substr(at + 15);
        const std::size_t space = after.find(' ');
        Set(event, StreamChatRowKind_Kick,
            WithReason({Nick(after.substr(0, space)), Nick(text.substr(0, at))},
                       space == std::string_view::npos ? std::string()
                                                       : Reason(after.substr(space), '(', ')')));
        return true;
    }
    return false;
}

} // namespace irclog

using namespace irclog;

std::string CleanIrcText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\x03') {
            // Colour: up to two digits, then optionally a comma and up to two digits.
            std::size_t digits = 0;
            while (digits < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                ++i, ++digits;
            if (digits > 0 && i + 2 < text.size() && text[i + 1] == ',' && text[i + 2] >= '0' &&
                text[i + 2] <= '9') {
                ++i;
                digits = 0;
                while (digits < 2 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9')
                    ++i, ++digits;
            }
        } else if (c == '\x04') {
            // Hexadecimal colour: six digits, optionally a comma and six more.
            std::size_t skip = 0;
            while (skip < 6 && i + 1 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])))
                ++i, ++skip;
        } else if (c == '\t') {
            out.push_back(' ');
        } else if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') {
            // Bold, italics, underline, reverse, reset and other control bytes.
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void ParseIrssiBody(std::string_view bodyRaw, IrcEvent& event) {
    const std::string cleaned = CleanIrcText(bodyRaw);
    std::string_view body = cleaned;
    if (Message(body, event))
        return;
    const std::string_view trimmed = Trim(body);
    if (StartsWith(trimmed, "* ")) {
        Action(trimmed.substr(2), event);
        return;
    }
    if (StartsWith(trimmed, "-!- ")) {
        IrssiStatus(trimmed.substr(4), event);
        return;
    }
    if (Notice(trimmed, event))
        return;
    Plain(event, trimmed);
}

void ParseMircBody(std::string_view bodyRaw, IrcEvent& event) {
    const std::string cleaned = CleanIrcText(bodyRaw);
    std::string_view body = cleaned;
    if (Message(body, event))
        return;
    const std::string_view trimmed = Trim(body);
    if (StartsWith(trimmed, "* ")) {
        if (!MircEvent(trimmed.substr(2), event))
            Action(trimmed.substr(2), event);
        return;
    }
    if (Notice(trimmed, event))
        return;
    Plain(event, trimmed);
}

void ParseWeeChatBody(std::string_view prefixRaw, std::string_view messageRaw, IrcEvent& event) {
    const std::string prefixText = CleanIrcText(prefixRaw);
    const std::string messageText = CleanIrcText(messageRaw);
    const std::string_view prefix = Trim(prefixText);
    const std::string_view message = messageText;
    std::string nick;
    std::string_view rest;
    if (prefix == "-->") {
        NickAndRest(message, '(', ')', nick, rest);
        if (StartsWith(rest, "has joined ")) {
            Set(event, StreamChatRowKind_Join, {nick});
            return;
        }
    } else if (prefix == "<--") {
        NickAndRest(message, '(', ')', nick, rest);
        if (StartsWith(rest, "has left ")) {
            Set(event, StreamChatRowKind_Leave, WithReason({nick}, Reason(rest.substr(9), '(', ')')));
            return;
        }
        if (StartsWith(rest, "has quit")) {
            Set(event, StreamChatRowKind_Quit, WithReason({nick}, Reason(rest.substr(8), '(', ')')));
            return;
        }
        if (const std::size_t at = message.find(" has kicked "); at != std::string_view::npos) {
            std::string_view after = message.substr(at + 12);
            const std::size_t space = after.find(' ');
            Set(event, StreamChatRowKind_Kick,
                WithReason({Nick(message.substr(0, at)), Nick(after.substr(0, space))},
                           space == std::string_view::npos ? std::string()
                                                           : Reason(after.substr(space), '(', ')')));
            return;
        }
    } else if (prefix == "--") {
        if (NickChange(message, event))
            return;
        if (const std::size_t at = message.find(" has changed topic for "); at != std::string_view::npos) {
            // `... from "old" to "new"` or `... to "new"`: the new topic is the last quoted text.
            const std::size_t to = message.rfind(" to \"");
            if (to != std::string_view::npos && EndsWith(message, "\"")) {
                Set(event, StreamChatRowKind_TopicChange,
                    {Nick(message.substr(0, at)),
                     std::string(message.substr(to + 5, message.size() - to - 6))});
                return;
            }
        }
        if (const std::size_t at = message.find(" has unset topic for "); at != std::string_view::npos) {
            Set(event, StreamChatRowKind_TopicChange, {Nick(message.substr(0, at)), ""});
            return;
        }
        if (StartsWith(message, "Mode ")) {
            const std::size_t open = message.find(" [");
            const std::size_t by = message.rfind("] by ");
            if (open != std::string_view::npos && by != std::string_view::npos && by > open) {
                Set(event, StreamChatRowKind_ModeChange,
                    ModeArgs(Nick(message.substr(by + 5)), message.substr(open + 2, by - open - 2)));
                return;
            }
        }
    } else if (prefix == "*") {
        Action(message, event);
        return;
    } else if (!prefix.empty() && prefix != "=!=" && prefix.find(' ') == std::string_view::npos) {
        nick = Nick(prefix);
        if (!nick.empty()) {
            if (message.empty())
                Set(event, StreamChatRowKind_Plain, {nick, ""});
            else
                Set(event, StreamChatRowKind_Message, {nick, std::string(message)});
            return;
        }
    }
    Plain(event, message);
}

} // namespace station
