#include "IrcClient.h"

#include "Text.h"

namespace station::record {
namespace {

// Longest line taken: 512 bytes of message and 8191 of IRCv3 tags, with room to spare.
constexpr std::size_t kMaxLineBytes = 9000;
// How long registration and the connection itself may take.
constexpr std::chrono::seconds kRegistrationTime{30};
// After a kick, the wait before joining again.
constexpr std::chrono::seconds kRejoinWait{2};

std::string Seconds(std::chrono::milliseconds wait) {
    const auto tenths = wait.count() / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

} // namespace

IrcClient::IrcClient(IrcOptions options, ChatHandler chat, LogHandler log)
    : options_(std::move(options)), chat_(std::move(chat)), log_(std::move(log)),
      channel_(options_.channel, options_.nick) {}

Waited IrcClient::Interest() const {
    Waited waited;
    if (!connection_.open())
        return waited;
    waited.handle = connection_.handle();
    waited.wantRead = state_ != State::Connecting;
    waited.wantWrite = state_ == State::Connecting || !out_.empty();
    return waited;
}

Clock::time_point IrcClient::Deadline() const {
    switch (state_) {
    case State::Waiting:
        return retryAt_;
    case State::Connecting:
    case State::Registering:
        return lastHeard_ + kRegistrationTime;
    case State::Registered: {
        Clock::time_point next = pinged_ ? lastHeard_ + silenceLimit : lastHeard_ + keepAlive;
        if (joinAt_ && *joinAt_ < next)
            next = *joinAt_;
        return next;
    }
    }
    return retryAt_;
}

void IrcClient::Connect(Clock::time_point now) {
    auto connection = TcpConnection::Start(options_.host, options_.port);
    lastHeard_ = now;
    if (!connection) {
        Drop(connection.failure().message, now);
        return;
    }
    connection_ = std::move(*connection);
    state_ = State::Connecting;
}

void IrcClient::Drop(const std::string& why, Clock::time_point now) {
    const bool wasJoined = channel_.joined();
    connection_.Close();
    channel_.Reset();
    channel_.SetOwnNick(options_.nick);
    in_.clear();
    out_.clear();
    pinged_ = false;
    joinAt_.reset();
    nickTries_ = 0;
    state_ = State::Waiting;
    const auto wait = backoff_.Next();
    retryAt_ = now + wait;
    log_("irc: " + std::string(wasJoined ? "left " + options_.channel + ": " : "") + why +
         "; trying again in " + Seconds(wait));
}

void IrcClient::Send(const std::string& line) {
    out_ += line;
    out_ += "\r\n";
}

void IrcClient::Flush(Clock::time_point now) {
    while (!out_.empty()) {
        const IoResult sent = connection_.Write(out_);
        if (sent.kind == IoResult::WouldBlock)
            return;
        if (sent.kind != IoResult::Bytes) {
            Drop("cannot send to " + options_.host + ": " + sent.error, now);
            return;
        }
        out_.erase(0, sent.bytes);
    }
}

void IrcClient::Tick(Clock::time_point now) {
    switch (state_) {
    case State::Waiting:
        if (now >= retryAt_)
            Connect(now);
        return;
    case State::Connecting:
    case State::Registering:
        if (now >= lastHeard_ + kRegistrationTime)
            Drop("no welcome from " + options_.host + " within 30 s", now);
        return;
    case State::Registered:
        if (joinAt_ && now >= *joinAt_) {
            joinAt_.reset();
            Send("JOIN " + options_.channel);
        }
        if (pinged_ && now >= lastHeard_ + silenceLimit) {
            Drop("the server stopped answering", now);
            return;
        }
        if (!pinged_ && now >= lastHeard_ + keepAlive) {
            Send("PING :vantri");
            pinged_ = true;
        }
        Flush(now);
        return;
    }
}

void IrcClient::OnReady(const Waited& waited, Clock::time_point now) {
    if (!connection_.open() || waited.handle != connection_.handle())
        return;
    if (state_ == State::Connecting) {
        if (!waited.writable && !waited.readable)
            return;
        if (const std::string problem = connection_.Established(); !problem.empty()) {
            Drop("cannot connect to " + options_.host + " port " + std::to_string(options_.port) + ": " +
                     problem,
                 now);
            return;
        }
        state_ = State::Registering;
        if (!options_.password.empty())
            Send("PASS " + options_.password);
        Send("NICK " + options_.nick);
        Send("USER " + options_.nick + " 0 * :Vantri station recorder");
    }
    if (waited.writable)
        Flush(now);
    if (!connection_.open() || !waited.readable)
        return;
    char buffer[16384];
    for (int reads = 0; reads < 16; ++reads) {
        const IoResult got = connection_.Read(buffer, sizeof buffer);
        if (got.kind == IoResult::WouldBlock)
            break;
        if (got.kind == IoResult::Closed) {
            Drop(options_.host + " closed the connection", now);
            return;
        }
        if (got.kind == IoResult::Error) {
            Drop("lost the connection to " + options_.host + ": " + got.error, now);
            return;
        }
        lastHeard_ = now;
        pinged_ = false;
        in_.append(buffer, got.bytes);
        std::size_t start = 0;
        for (std::size_t end; (end = in_.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string_view line(in_.data() + start, end - start);
            if (EndsWith(line, "\r"))
                line.remove_suffix(1);
            if (line.size() <= kMaxLineBytes)
                if (auto message = ParseIrcLine(line))
                    Handle(*message, now);
            if (!connection_.open())
                return;
        }
        in_.erase(0, start);
        if (in_.size() > kMaxLineBytes)
            in_.clear(); // a line past any limit: drop it
    }
    Flush(now);
}

void IrcClient::Handle(const IrcMessage& message, Clock::time_point now) {
    const std::string& command = message.command;
    const auto& p = message.params;
    if (command == "PING") {
        Send("PONG :" + (p.empty() ? std::string() : p.back()));
        return;
    }
    if (command == "ERROR") {
        Drop(options_.host + " ended the connection: " + EscapedForLog(p.empty() ? "" : p.back()), now);
        return;
    }
    if (state_ == State::Registering) {
        if (command == "001") {
            state_ = State::Registered;
            backoff_.Reset();
            if (!p.empty())
                channel_.SetOwnNick(p[0]);
            log_("irc: registered on " + options_.host + " as " + channel_.ownNick());
            Send("JOIN " + options_.channel);
            return;
        }
        if (command == "433" || command == "432" || command == "436" || command == "437") {
            // The nick is taken (or refused): try another one.
            ++nickTries_;
            const std::string next =
                options_.nick.substr(0, 12) + (nickTries_ == 1 ? "_" : std::to_string(nickTries_));
            channel_.SetOwnNick(next);
            Send("NICK " + next);
            return;
        }
        if (command == "464") {
            Drop(options_.host + " refused the password", now);
            return;
        }
    }
    const bool wasJoined = channel_.joined();
    for (const ChatEvent& event : channel_.Take(message))
        chat_(event);
    if (!wasJoined && channel_.joined())
        log_("irc: joined " + options_.channel + " as " + channel_.ownNick());
    if (channel_.kicked()) {
        channel_.ClearKicked();
        log_("irc: kicked from " + options_.channel + "; joining again");
        joinAt_ = now + kRejoinWait;
    }
    if (command == "471" || command == "473" || command == "474" || command == "475" || command == "403" ||
        command == "405") {
        log_("irc: cannot join " + options_.channel + ": " + EscapedForLog(p.empty() ? "" : p.back()));
        joinAt_ = now + backoff_.Next();
    }
}

} // namespace station::record
