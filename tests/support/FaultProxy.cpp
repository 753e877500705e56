#include "support/FaultProxy.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr int kTricklePiece = 512;
constexpr int kTricklePauseMilliseconds = 2;
constexpr std::size_t kMaxHead = 16384;

} // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::Reset:
        return "reset";
    case Fault::CloseEarly:
        return "early close";
    case Fault::Stall:
        return "stall";
    case Fault::DelayFirstByte:
        return "first byte delayed";
    case Fault::Trickle:
        return "trickle";
    }
    return "?";
}

FaultProxy::FaultProxy(FaultPlan plan) : plan_(std::move(plan)), random_(plan_.seed) {
    if (!listener_.Listen(false))
        return;
    port_ = listener_.port();
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

FaultProxy::~FaultProxy() {
    stopping_ = true;
    stop_.Set();
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(lock_);
        threads.swap(threads_);
    }
    for (std::thread& thread : threads)
        thread.join();
}

std::size_t FaultProxy::faultsInjected() const {
    std::size_t total = failedLookups_.load();
    for (int kind = 1; kind < 6; ++kind)
        total += faultCounts_[kind].load();
    return total;
}

NameResolver FaultProxy::resolver() {
    return [this](const std::string&, const std::string& port) {
        const int number = ++lookups_;
        if (plan_.failLookupsFrom > 0 && number >= plan_.failLookupsFrom && plan_.failLookupsEvery > 0 &&
            number % plan_.failLookupsEvery == 0) {
            ++failedLookups_;
            platform::ResolveResult failed;
            failed.error = platform::kHostNotFound;
            return failed;
        }
        return platform::Resolve("127.0.0.1", port);
    };
}

bool FaultProxy::Wait(int milliseconds) {
    if (milliseconds <= 0)
        return !stopping_;
    // The proxy's own pause (the fault it plays), cut short when the proxy ends.
    platform::WaitForEvent(stop_, milliseconds);
    if (stopping_) {
        stop_.Set(); // the wait took the signal; leave it for every other waiter
        return false;
    }
    return true;
}

void FaultProxy::AcceptLoop() {
    while (!stopping_) {
        std::unique_ptr<platform::TcpConnection> client = listener_.Accept(stop_);
        if (!client) {
            if (stopping_)
                break;
            continue;
        }
        ++connections_;
        std::lock_guard guard(lock_);
        threads_.emplace_back([this, connection = client.release()] {
            Serve(std::unique_ptr<platform::TcpConnection>(connection));
        });
    }
    stop_.Set();
}

FaultProxy::Choice FaultProxy::Choose() {
    std::lock_guard guard(lock_);
    Choice choice;
    if (scriptIndex_ < plan_.script.size()) {
        choice.fault = plan_.script[scriptIndex_++];
    } else if (std::uniform_real_distribution<double>(0, 1)(random_) < plan_.faultShare) {
        choice.fault = static_cast<Fault>(std::uniform_int_distribution<int>(1, 5)(random_));
    }
    choice.bytes = std::uniform_int_distribution<int>(0, std::max(plan_.maxBytesBeforeFault, 0))(random_);
    choice.milliseconds =
        std::uniform_int_distribution<int>(plan_.minStallMilliseconds, plan_.maxStallMilliseconds)(random_);
    return choice;
}

void FaultProxy::Serve(std::unique_ptr<platform::TcpConnection> client) {
    // The request head, whole, so that the target can be looked at.
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead) {
        long got = client->Recv(buffer, sizeof buffer, -1, &stop_);
        if (got <= 0)
            return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    if (plan_.searchNotFound && head.rfind("GET /searchtracks/", 0) == 0) {
        static constexpr char kNotFound[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        client->SendAll(kNotFound, sizeof kNotFound - 1, &stop_);
        client->ShutdownWrite();
        ++searchesRefused_;
        while (client->Recv(buffer, sizeof buffer, 5000, &stop_) > 0) {
        }
        return;
    }
    Choice choice;
    if (head.find("getstreamdata/") != std::string::npos) {
        ++streamConnections_;
        choice = Choose();
    }
    ++faultCounts_[static_cast<int>(choice.fault)];

    std::unique_ptr<platform::TcpConnection> server = platform::TcpConnection::ConnectLoopback(upstream_);
    if (!server || !server->SendAll(head.data(), head.size(), &stop_))
        return;
    if (choice.fault == Fault::DelayFirstByte && !Wait(choice.milliseconds))
        return;

    std::size_t forwarded = 0;
    bool struck = false;
    for (;;) {
        long got = server->Recv(buffer, sizeof buffer, -1, &stop_);
        if (got == platform::TcpConnection::kInterrupted || got == platform::TcpConnection::kFailed)
            return;
        if (got == platform::TcpConnection::kTimedOut)
            continue;
        if (got == platform::TcpConnection::kClosed) {
            client->ShutdownWrite();
            // Until the player has read everything and closed its side.
            while (client->Recv(buffer, sizeof buffer, 5000, &stop_) > 0) {
            }
            return;
        }
        std::size_t length = static_cast<std::size_t>(got);
        std::size_t offset = 0;
        while (offset < length) {
            std::size_t piece = length - offset;
            const bool before = !struck && forwarded < static_cast<std::size_t>(choice.bytes);
            if (!struck && choice.fault != Fault::None && choice.fault != Fault::DelayFirstByte) {
                if (before)
                    piece = std::min(piece, static_cast<std::size_t>(choice.bytes) - forwarded);
                else if (choice.fault == Fault::Trickle)
                    piece = std::min<std::size_t>(piece, kTricklePiece);
            }
            if (piece > 0 && !client->SendAll(buffer + offset, piece, &stop_))
                return;
            offset += piece;
            forwarded += piece;
            if (struck || forwarded < static_cast<std::size_t>(choice.bytes))
                continue;
            switch (choice.fault) {
            case Fault::Reset:
                client->Reset();
                return;
            case Fault::CloseEarly:
                client->ShutdownWrite();
                client->Close();
                return;
            case Fault::Stall:
                struck = true;
                if (!Wait(choice.milliseconds))
                    return;
                break;
            case Fault::Trickle:
                if (forwarded >= static_cast<std::size_t>(choice.bytes + plan_.trickleBytes))
                    struck = true;
                else if (!Wait(kTricklePauseMilliseconds))
                    return;
                break;
            default:
                struck = true;
                break;
            }
        }
    }
}

} // namespace testsupport
