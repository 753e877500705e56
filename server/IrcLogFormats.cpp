// The text of ZNC, HexChat, Quassel and The Lounge log lines, after their timestamps, as chat events.

#include "IrcLog.h"
#include "IrcLogParts.h"

#include "Text.h"
#include "records/CatalogueRecords.h"

namespace station {
using namespace irclog;

namespace {

// "nick (host) rest" → the nick and "rest"; the host part may be missing.
void NickHostRest(std::string_view text, std::string& nick, std::string_view& rest) {
    NickAndRest(text, '(', ')', nick, rest);
}

// The first word of `text`, and the rest after it.
std::string_view FirstWord(std::string_view text, std::string_view& rest) {
    const std::size_t space = text.find(' ');
    rest = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    return text.substr(0, space);
}

// "... (reason)" at the end: the reason, or empty.
std::string TrailingReason(std::string_view text) {
    return Reason(text, '(', ')');
}

// "--> nick (host) has joined #chan" and "<-- nick (host) has left #chan (reason)" / "has quit (reason)",
// the arrows HexChat and Quassel share.
bool Arrival(std::string_view arrow, std::string_view text, IrcEvent& event) {
    std::string nick;
    std::string_view rest;
    NickHostRest(text, nick, rest);
    if (arrow == "-->" && StartsWith(rest, "has joined ")) {
        Set(event, StreamChatRowKind_Join, {nick});
        return true;
    }
    if (arrow == "<--" && StartsWith(rest, "has left ")) {
        Set(event, StreamChatRowKind_Leave, WithReason({nick}, TrailingReason(rest.substr(9))));
        return true;
    }
    if (arrow == "<--" && StartsWith(rest, "has quit")) {
        Set(event, StreamChatRowKind_Quit, WithReason({nick}, TrailingReason(rest.substr(8))));
        return true;
    }
    return false;
}

} // namespace

void ParseZncBody(std::string_view bodyRaw, IrcEvent& event) {
    const std::string cleaned = CleanIrcText(bodyRaw);
    const std::string_view body = Trim(cleaned);
    if (StartsWith(body, "*** ")) {
        if (!MircEvent(body.substr(4), event))
            Plain(event, body.substr(4));
        return;
    }
    ParseMircBody(body, event);
}

void ParseHexChatBody(std::string_view leftRaw, std::string_view rightRaw, IrcEvent& event) {
    const std::string leftText = CleanIrcText(leftRaw);
    const std::string rightText = CleanIrcText(rightRaw);
    const std::string_view left = Trim(leftText);
    const std::string_view right = Trim(rightText);
    std::string nick;
    std::string_view rest;
    if (StartsWith(left, "<") && EndsWith(left, ">") && left.size() > 2) {
        nick = Nick(left.substr(1, left.size() - 2));
        if (right.empty())
            Set(event, StreamChatRowKind_Plain, {nick, ""});
        else
            Set(event, StreamChatRowKind_Message, {nick, std::string(right)});
        return;
    }
    if (left == "*") {
        Action(right, event);
        return;
    }
    if (Arrival(left, right, event))
        return;
    if (left == "<--") {
        NickHostRest(right, nick, rest);
        if (StartsWith(rest, "has kicked ")) {
            std::string_view after;
            const std::string victim = Nick(FirstWord(rest.substr(11), after));
            Set(event, StreamChatRowKind_Kick, WithReason({nick, victim}, TrailingReason(after)));
            return;
        }
    } else if (left == "---") {
        if (NickChange(right, event))
            return;
        if (const std::size_t at = right.find(" has changed the topic to: "); at != std::string_view::npos) {
            Set(event, StreamChatRowKind_TopicChange,
                {Nick(right.substr(0, at)), std::string(right.substr(at + 27))});
            return;
        }
        // Mode changes, raw ("sets mode +n #chan") or in words ("gives channel operator status to x").
        struct Worded {
            std::string_view words;
            std::string_view mode;
        };
        static constexpr Worded kWorded[] = {{" gives channel operator status to ", "+o"},
                                             {" removes channel operator status from ", "-o"},
                                             {" gives voice to ", "+v"},
                                             {" removes voice from ", "-v"},
                                             {" sets ban on ", "+b"},
                                             {" removes ban on ", "-b"}};
        for (const Worded& worded : kWorded) {
            if (const std::size_t at = right.find(worded.words); at != std::string_view::npos) {
                Set(event, StreamChatRowKind_ModeChange,
                    ModeArgs(Nick(right.substr(0, at)),
                             std::string(worded.mode) + " " +
                                 std::string(right.substr(at + worded.words.size()))));
                return;
            }
        }
        if (const std::size_t at = right.find(" sets mode "); at != std::string_view::npos) {
            Set(event, StreamChatRowKind_ModeChange,
                ModeArgs(Nick(right.substr(0, at)), right.substr(at + 11)));
            return;
        }
    } else if (StartsWith(left, "-") && EndsWith(left, "-") && left.size() > 2) {
        // A notice: "-nick-" or "-nick/#chan-".
        const std::string_view sender = left.substr(1, left.size() - 2);
        Set(event, StreamChatRowKind_Plain, {Nick(sender.substr(0, sender.find('/'))), std::string(right)});
        return;
    }
    Plain(event, right.empty() ? left : right);
}

void ParseQuasselBody(std::string_view bodyRaw, IrcEvent& event) {
    const std::string cleaned = CleanIrcText(bodyRaw);
    const std::string_view body = Trim(cleaned);
    std::string_view text;
    const std::string_view sender = FirstWord(body, text);
    if (sender == "-*-") {
        Action(text, event);
        return;
    }
    if (Arrival(sender, text, event))
        return;
    if (sender == "<->") {
        if (NickChange(text, event))
            return;
    } else if (sender == "<-*") {
        if (const std::size_t at = text.find(" has kicked "); at != std::string_view::npos) {
            std::string_view after;
            const std::string victim = Nick(FirstWord(text.substr(at + 12), after));
            Set(event, StreamChatRowKind_Kick,
                WithReason({Nick(text.substr(0, at)), victim}, TrailingReason(after)));
            return;
        }
    } else if (sender == "***") {
        // "Mode #chan +o nick by op".
        if (StartsWith(text, "Mode ")) {
            const std::size_t by = text.rfind(" by ");
            if (by != std::string_view::npos && by > 5) {
                std::string_view modes;
                FirstWord(text.substr(5, by - 5), modes);
                Set(event, StreamChatRowKind_ModeChange, ModeArgs(Nick(text.substr(by + 4)), modes));
                return;
            }
        }
    } else if (sender == "*") {
        if (const std::size_t at = text.find(" has changed topic for "); at != std::string_view::npos) {
            const std::size_t to = text.find(" to: ", at);
            if (to != std::string_view::npos) {
                std::string_view topic = Trim(text.substr(to + 5));
                if (topic.size() >= 2 && StartsWith(topic, "\"") && EndsWith(topic, "\""))
                    topic = topic.substr(1, topic.size() - 2);
                Set(event, StreamChatRowKind_TopicChange, {Nick(text.substr(0, at)), std::string(topic)});
                return;
            }
        }
    } else if (StartsWith(sender, "[") && EndsWith(sender, "]") && sender.size() > 2) {
        Set(event, StreamChatRowKind_Plain, {Nick(sender.substr(1, sender.size() - 2)), std::string(text)});
        return;
    }
    // Checked last: "<->", "<--" and "<-*" start like a nick in angle brackets.
    if (Message(body, event))
        return;
    Plain(event, body);
}

void ParseLoungeBody(std::string_view bodyRaw, IrcEvent& event) {
    const std::string cleaned = CleanIrcText(bodyRaw);
    const std::string_view body = Trim(cleaned);
    if (Message(body, event))
        return;
    if (StartsWith(body, "* ")) {
        Action(body.substr(2), event);
        return;
    }
    if (Notice(body, event))
        return;
    if (!StartsWith(body, "*** ")) {
        Plain(event, body);
        return;
    }
    const std::string_view text = body.substr(4);
    std::string nick;
    std::string_view rest;
    NickHostRest(text, nick, rest);
    if (rest == "joined") {
        Set(event, StreamChatRowKind_Join, {nick});
        return;
    }
    if (StartsWith(rest, "left")) {
        Set(event, StreamChatRowKind_Leave, WithReason({nick}, TrailingReason(rest.substr(4))));
        return;
    }
    if (StartsWith(rest, "quit")) {
        Set(event, StreamChatRowKind_Quit, WithReason({nick}, TrailingReason(rest.substr(4))));
        return;
    }
    if (const std::size_t at = text.find(" was kicked by "); at != std::string_view::npos) {
        std::string_view after;
        const std::string kicker = Nick(FirstWord(text.substr(at + 15), after));
        Set(event, StreamChatRowKind_Kick,
            WithReason({kicker, Nick(text.substr(0, at))}, TrailingReason(after)));
        return;
    }
    if (const std::size_t at = text.find(" set mode "); at != std::string_view::npos) {
        Set(event, StreamChatRowKind_ModeChange, ModeArgs(Nick(text.substr(0, at)), text.substr(at + 10)));
        return;
    }
    if (const std::size_t at = text.find(" changed nick to "); at != std::string_view::npos) {
        Set(event, StreamChatRowKind_NickChange, {Nick(text.substr(0, at)), Nick(text.substr(at + 17))});
        return;
    }
    if (const std::size_t at = text.find(" changed topic to "); at != std::string_view::npos) {
        std::string_view topic = Trim(text.substr(at + 18));
        if (topic.size() >= 2 && StartsWith(topic, "'") && EndsWith(topic, "'"))
            topic = topic.substr(1, topic.size() - 2);
        else if (StartsWith(topic, ": "))
            topic.remove_prefix(2);
        Set(event, StreamChatRowKind_TopicChange, {Nick(text.substr(0, at)), std::string(topic)});
        return;
    }
    Plain(event, text);
}

} // namespace station
