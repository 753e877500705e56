#pragma once
// Our IRC client: connects, registers (finding a free nick), joins the channel, answers PINGs, keeps
// the connection alive with PINGs of its own, follows the channel and hands its events on; reconnects
// with back-off whenever the server drops us, and joins again after a kick. Driven by the recorder's
// loop: Interest and Deadline say what to wait for, OnReady and Tick do the work. Never blocks.

#include "Backoff.h"
#include "IrcMessage.h"
#include "Socket.h"

#include <functional>
#include <optional>
#include <string>

namespace station::record {

struct IrcOptions {
    std::string host;
    std::uint16_t port = 6667;
    std::string channel;
    std::string nick = "vantri";
    std::string password; // server password (PASS), when the server wants one
};

class IrcClient {
public:
    using ChatHandler = std::function<void(const ChatEvent&)>;
    using LogHandler = std::function<void(const std::string&)>;

    IrcClient(IrcOptions options, ChatHandler chat, LogHandler log);

    Waited Interest() const;
    Clock::time_point Deadline() const;
    void OnReady(const Waited& waited, Clock::time_point now);
    void Tick(Clock::time_point now);

    bool joined() const { return channel_.joined(); }
    const std::string& nick() const { return channel_.ownNick(); }

    // Sent back and forth to keep a quiet connection alive, and how long silence may last (tests may
    // shorten them).
    std::chrono::milliseconds keepAlive{60000};
    std::chrono::milliseconds silenceLimit{150000};

private:
    void Connect(Clock::time_point now);
    void Drop(const std::string& why, Clock::time_point now);
    void Send(const std::string& line);
    void Flush(Clock::time_point now);
    void Handle(const IrcMessage& message, Clock::time_point now);

    IrcOptions options_;
    ChatHandler chat_;
    LogHandler log_;
    IrcChannelLog channel_;
    TcpConnection connection_;
    enum class State { Waiting, Connecting, Registering, Registered } state_ = State::Waiting;
    Backoff backoff_{std::chrono::milliseconds(500), std::chrono::milliseconds(30000)};
    Clock::time_point retryAt_{};
    Clock::time_point lastHeard_{};
    Clock::time_point pingedAt_{};
    bool pinged_ = false;
    std::optional<Clock::time_point> joinAt_;
    int nickTries_ = 0;
    std::string in_;
    std::string out_;
};

} // namespace station::record
