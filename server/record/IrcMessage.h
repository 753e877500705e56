#pragma once
// IRC protocol lines (RFC 1459 / 2812, with IRCv3 message tags skipped) and what the recorder makes of
// the ones about its channel: chat events of the kinds chat.txt keeps.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace station::record {

struct IrcMessage {
    std::string prefix;  // "nick!user@host" or a server name; empty when none
    std::string command; // upper case ("PRIVMSG", "001")
    std::vector<std::string> params;
};

// One line without its CR LF. Text that is not valid UTF-8 is read as Latin-1 (Windows-1252), line by
// line. Nothing when the line holds no command.
std::optional<IrcMessage> ParseIrcLine(std::string_view line);
// The nick of a "nick!user@host" prefix (the whole prefix when it is a server name).
std::string NickOf(std::string_view prefix);
// Nicks and channel names compared as IRC servers do (RFC 1459 case mapping).
std::string IrcFold(std::string_view name);

struct ChatEvent {
    std::uint8_t kind = 0; // StreamChatRowKind
    std::vector<std::string> args;
};

// Follows one channel: who is in it (from NAMES, joins, parts, kicks, quits and nick changes) so that
// quits and nick changes, which name no channel, are kept only for its members; and turns what happens
// there into chat events. Our own joins, parts and nick changes are left out.
class IrcChannelLog {
public:
    IrcChannelLog(std::string channel, std::string ownNick);

    void SetOwnNick(std::string nick) { ownNick_ = std::move(nick); }
    const std::string& ownNick() const { return ownNick_; }
    // Forgets the members (the connection ended; NAMES tells them again after the next join).
    void Reset();
    // The events `message` makes in the channel (none for most messages).
    std::vector<ChatEvent> Take(const IrcMessage& message);
    bool joined() const { return joined_; }
    // True after the message that removed us from the channel (a kick): the client joins again.
    bool kicked() const { return kicked_; }
    void ClearKicked() { kicked_ = false; }
    std::size_t members() const { return members_.size(); }

private:
    bool IsChannel(std::string_view name) const;
    bool IsOwn(std::string_view nick) const;

    std::string channel_;
    std::string folded_;
    std::string ownNick_;
    std::set<std::string> members_; // folded nicks
    bool joined_ = false;
    bool kicked_ = false;
};

} // namespace station::record
