#include "support/ScriptedServer.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr int kStallPollMilliseconds = 5;
// How long a graceful close waits for the client to close its side, in milliseconds.
constexpr int kCloseLingerMilliseconds = 2000;
// Bytes of repeated sends that go out in one send.
constexpr std::uint64_t kRepeatBatchBytes = 65536;

} // namespace

Script& Script::Send(std::string bytes) {
    steps_.push_back({Kind::Send, std::move(bytes), 0, 1});
    return *this;
}
Script& Script::Repeat(std::string bytes, std::uint64_t times) {
    steps_.push_back({Kind::Send, std::move(bytes), 0, times});
    return *this;
}
Script& Script::Pause(int milliseconds) {
    steps_.push_back({Kind::Pause, {}, milliseconds});
    return *this;
}
Script& Script::AwaitRequest() {
    steps_.push_back({Kind::AwaitRequest, {}, 0});
    return *this;
}
Script& Script::Stall() {
    steps_.push_back({Kind::Stall, {}, 0});
    return *this;
}
Script& Script::Close() {
    steps_.push_back({Kind::Close, {}, 0});
    return *this;
}
Script& Script::Reset() {
    steps_.push_back({Kind::Reset, {}, 0});
    return *this;
}

std::string HttpResponse(const std::string& body, const std::vector<std::string>& headers) {
    std::string response = "HTTP/1.1 200 OK\r\n";
    for (const std::string& header : headers)
        response += header + "\r\n";
    response += "\r\n";
    response += body;
    return response;
}

struct ScriptedServer::Connection {
    std::unique_ptr<platform::TcpConnection> socket;
    std::string received;
    bool requestComplete = false;
    bool peerClosed = false;
    bool stalled = false;
    bool release = false;
    bool done = false;
    std::thread thread;
};

ScriptedServer::ScriptedServer(Script script, Family family)
    : ScriptedServer(std::vector<Script>{std::move(script)}, family) {}

ScriptedServer::ScriptedServer(std::vector<Script> scripts, Family family)
    : scripts_(std::move(scripts)), ipv6_(family == Family::IPv6) {
    if (scripts_.empty())
        scripts_.emplace_back();
    if (!listener_.Listen(ipv6_))
        return;
    port_ = listener_.port();
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        changed_.notify_all();
    }
    stop_.Set();
    if (acceptor_.joinable())
        acceptor_.join();
    // No new connection appears once the acceptor has ended.
    for (auto& connection : connections_) {
        if (connection->thread.joinable())
            connection->thread.join();
    }
}

std::string ScriptedServer::host() const {
    return ipv6_ ? "::1" : "127.0.0.1";
}

const Script& ScriptedServer::ScriptFor(std::size_t index) const {
    return scripts_[std::min(index, scripts_.size() - 1)];
}

void ScriptedServer::AcceptLoop() {
    for (;;) {
        std::unique_ptr<platform::TcpConnection> socket = listener_.Accept(stop_);
        if (!socket)
            return;
        std::lock_guard guard(lock_);
        auto connection = std::make_unique<Connection>();
        connection->socket = std::move(socket);
        Connection* raw = connection.get();
        const Script& script = ScriptFor(connections_.size());
        connections_.push_back(std::move(connection));
        raw->thread = std::thread([this, raw, &script] { Play(*raw, script); });
        changed_.notify_all();
    }
}

void ScriptedServer::Play(Connection& connection, const Script& script) {
    platform::TcpConnection& socket = *connection.socket;
    char buffer[4096];
    // Records what arrives within `milliseconds` (-1: until interrupted or closed); answers false when the
    // connection can no longer be read (peer closed, failure, server stopping).
    auto record = [&](int milliseconds) {
        long got = socket.Recv(buffer, sizeof buffer, milliseconds, &stop_);
        std::lock_guard guard(lock_);
        if (got > 0) {
            connection.received.append(buffer, static_cast<std::size_t>(got));
            if (connection.received.find("\r\n\r\n") != std::string::npos)
                connection.requestComplete = true;
            changed_.notify_all();
            return true;
        }
        if (got == platform::TcpConnection::kTimedOut)
            return true;
        if (got == platform::TcpConnection::kClosed || got == platform::TcpConnection::kFailed)
            connection.peerClosed = true;
        return false;
    };
    auto stopping = [&] { return stopping_.load(); };

    bool reset = false;
    for (const Script::Step& step : script.steps()) {
        if (stopping())
            break;
        bool goOn = true;
        switch (step.kind) {
        case Script::Kind::Send: {
            if (step.times == 1 || step.bytes.empty()) {
                goOn = socket.SendAll(step.bytes.data(), step.bytes.size(), &stop_);
                break;
            }
            // Repeated bytes go out in batches of about 64 KiB, not one small send each.
            const std::uint64_t perBatch = std::max<std::uint64_t>(1, kRepeatBatchBytes / step.bytes.size());
            std::string batch;
            for (std::uint64_t i = 0; i < std::min(perBatch, step.times); ++i)
                batch += step.bytes;
            for (std::uint64_t sent = 0; goOn && sent < step.times && !stopping();) {
                const std::uint64_t count = std::min(perBatch, step.times - sent);
                goOn =
                    socket.SendAll(batch.data(), static_cast<std::size_t>(count) * step.bytes.size(), &stop_);
                sent += count;
            }
            break;
        }
        case Script::Kind::Pause: {
            auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(step.milliseconds);
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now());
                if (left.count() <= 0)
                    break;
                if (!record(static_cast<int>(left.count()))) {
                    if (stopping())
                        goOn = false;
                    break; // the peer closed: the rest of the pause has nothing to record
                }
            }
            break;
        }
        case Script::Kind::AwaitRequest:
            for (;;) {
                {
                    std::lock_guard guard(lock_);
                    if (connection.requestComplete)
                        break;
                }
                if (!record(-1)) {
                    goOn = false;
                    break;
                }
            }
            break;
        case Script::Kind::Stall: {
            std::unique_lock guard(lock_);
            connection.stalled = true;
            connection.release = false;
            changed_.notify_all();
            for (;;) {
                if (connection.release)
                    break;
                if (stopping_) {
                    goOn = false;
                    break;
                }
                if (connection.peerClosed) {
                    changed_.wait_for(guard, std::chrono::milliseconds(kStallPollMilliseconds));
                    continue;
                }
                guard.unlock();
                record(kStallPollMilliseconds);
                guard.lock();
            }
            connection.stalled = false;
            changed_.notify_all();
            break;
        }
        case Script::Kind::Close:
            goOn = false;
            break;
        case Script::Kind::Reset:
            socket.Reset();
            reset = true;
            goOn = false;
            break;
        }
        if (!goOn)
            break;
    }
    if (!reset) {
        // A graceful end: FIN first, then read until the client closes, so that unread bytes never turn
        // the close into a reset.
        socket.ShutdownWrite();
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseLingerMilliseconds);
        while (std::chrono::steady_clock::now() < end && !stopping()) {
            {
                std::lock_guard guard(lock_);
                if (connection.peerClosed)
                    break;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (!record(static_cast<int>(std::max<long>(1, left.count()))))
                break;
        }
        socket.Close();
    }
    std::lock_guard guard(lock_);
    connection.done = true;
    changed_.notify_all();
}

std::size_t ScriptedServer::connections() const {
    std::lock_guard guard(lock_);
    return connections_.size();
}

std::size_t ScriptedServer::connectionsDone() const {
    std::lock_guard guard(lock_);
    std::size_t done = 0;
    for (const auto& connection : connections_)
        done += connection->done ? 1 : 0;
    return done;
}

std::string ScriptedServer::request(std::size_t index) const {
    std::lock_guard guard(lock_);
    return index < connections_.size() ? connections_[index]->received : std::string();
}

std::size_t ScriptedServer::stalled() const {
    std::lock_guard guard(lock_);
    std::size_t count = 0;
    for (const auto& connection : connections_)
        count += connection->stalled && !connection->release ? 1 : 0;
    return count;
}

bool ScriptedServer::WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] { return connections_.size() >= count; });
}

bool ScriptedServer::WaitForConnectionsDone(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, timeout, [&] {
        std::size_t done = 0;
        for (const auto& connection : connections_)
            done += connection->done ? 1 : 0;
        return done >= count;
    });
}

bool ScriptedServer::WaitForRequest(std::size_t index, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock_);
    return changed_.wait_for(
        guard, timeout, [&] { return index < connections_.size() && connections_[index]->requestComplete; });
}

void ScriptedServer::Release() {
    std::lock_guard guard(lock_);
    for (auto& connection : connections_) {
        if (connection->stalled)
            connection->release = true;
    }
    changed_.notify_all();
}

bool ScriptedServer::ReleaseOne() {
    std::lock_guard guard(lock_);
    for (auto& connection : connections_) {
        if (connection->stalled && !connection->release) {
            connection->release = true;
            changed_.notify_all();
            return true;
        }
    }
    return false;
}

} // namespace testsupport
