#include "platform/TcpListener.h"

#include "platform/Event.h"
#include "platform/linux/SocketState.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr long kReady = 1;

// Waits for `events` on `fd` or for `interrupt`: kReady, TcpConnection::kTimedOut, ::kInterrupted or
// ::kFailed.
long WaitFor(int fd, short events, int milliseconds, const Event* interrupt) {
    pollfd fds[2] = {{fd, events, 0}, {-1, POLLIN, 0}};
    if (interrupt && interrupt->valid())
        fds[1].fd = interrupt->state()->fd;
    for (;;) {
        int ready = poll(fds, 2, milliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return TcpConnection::kFailed;
        if (ready == 0)
            return TcpConnection::kTimedOut;
        if (fds[1].revents & POLLIN)
            return TcpConnection::kInterrupted;
        return kReady;
    }
}

} // namespace

TcpConnection::TcpConnection(int fd) : fd_(fd) {
    int one = 1;
    // Each scripted chunk leaves as its own segment.
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

std::unique_ptr<TcpConnection> TcpConnection::ConnectLoopback(std::uint16_t port, bool ipv6) {
    int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return nullptr;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        in6->sin6_port = htons(port);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        in4->sin_port = htons(port);
        length = sizeof *in4;
    }
    int result;
    do
        result = connect(fd, reinterpret_cast<sockaddr*>(&address), length);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<TcpConnection>(fd);
}

TcpConnection::~TcpConnection() {
    Close();
}

long TcpConnection::Recv(void* data, std::size_t length, int milliseconds, const Event* interrupt) {
    if (fd_ < 0)
        return kFailed;
    long waited = WaitFor(fd_, POLLIN, milliseconds, interrupt);
    if (waited != kReady)
        return waited;
    ssize_t got = recv(fd_, data, length, MSG_DONTWAIT);
    if (got < 0)
        return (errno == EAGAIN || errno == EINTR) ? kTimedOut : kFailed;
    return static_cast<long>(got);
}

bool TcpConnection::SendAll(const void* data, std::size_t length, const Event* interrupt) {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        ssize_t sent = send(fd_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return false;
            if (WaitFor(fd_, POLLOUT, -1, interrupt) != kReady)
                return false;
            continue;
        }
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

void TcpConnection::ShutdownWrite() {
    if (fd_ >= 0)
        shutdown(fd_, SHUT_WR);
}

void TcpConnection::Reset() {
    if (fd_ < 0)
        return;
    linger abort{1, 0}; // closing with a zero linger time sends RST
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Close();
}

void TcpConnection::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

TcpListener::TcpListener() = default;
TcpListener::~TcpListener() {
    Close();
}

bool TcpListener::Listen(bool ipv6) {
    Close();
    fd_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd_ < 0)
        return false;
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *in4;
    }
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 128) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Close();
        return false;
    }
    port_ = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return true;
}

std::unique_ptr<TcpConnection> TcpListener::Accept(const Event& interrupt) {
    if (fd_ < 0)
        return nullptr;
    for (;;) {
        if (WaitFor(fd_, POLLIN, -1, &interrupt) != kReady)
            return nullptr;
        int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            return std::make_unique<TcpConnection>(fd);
        if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN)
            return nullptr;
    }
}

void TcpListener::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    port_ = 0;
}

} // namespace platform
