#include "platform/Socket.h"
#include "platform/linux/SocketState.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

int MapErrno(int error) {
    switch (error) {
    case 0:
        return kSocketOk;
    case EAGAIN:
    case EINPROGRESS:
        return kWouldBlock;
    case ECONNREFUSED:
        return kConnectionRefused;
    case ECONNRESET:
    case EPIPE:
        return kConnectionReset;
    default:
        return kSocketFailed;
    }
}

int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return kSocketFailed;
    return MapErrno(error);
}

} // namespace

bool StartNetworking() { return true; }

ResolveResult Resolve(const std::string& host, const std::string& port) {
    ResolveResult result;
    addrinfo* list = nullptr;
    int error = getaddrinfo(host.c_str(), port.c_str(), nullptr, &list);
    if (error != 0) {
        result.error = (error == EAI_NONAME || error == EAI_NODATA || error == EAI_FAIL) ? kHostNotFound
                                                                                          : kSocketFailed;
        return result;
    }
    for (addrinfo* a = list; a; a = a->ai_next) {
        // Without hints every socket type is listed; the program connects TCP streams only.
        if (a->ai_socktype != 0 && a->ai_socktype != SOCK_STREAM)
            continue;
        ResolvedAddress address;
        address.family = a->ai_family;
        auto* bytes = reinterpret_cast<const unsigned char*>(a->ai_addr);
        address.address.assign(bytes, bytes + a->ai_addrlen);
        result.addresses.push_back(std::move(address));
    }
    freeaddrinfo(list);
    return result;
}

short Socket::State::Interest() const {
    if (fd < 0 || !event || closeReported)
        return 0;
    short interest = 0;
    if (connecting)
        return POLLOUT;
    if (!connected)
        return 0;
    if (writeEnabled && (mask & kWrite))
        interest |= POLLOUT;
    if (readEnabled && (mask & (kRead | kClose)))
        interest |= POLLIN | POLLRDHUP;
    return interest;
}

bool Socket::State::Record(short revents) {
    unsigned before = pending.events;
    if (connecting) {
        if (!(revents & (POLLOUT | POLLERR | POLLHUP)))
            return false;
        connecting = false;
        int error = PendingError(fd);
        if (mask & kConnect) {
            pending.events |= kConnect;
            pending.connectError = error;
        }
        if (error != kSocketOk) {
            closeReported = true; // a failed attempt reports nothing after its kConnect
            return pending.events != before;
        }
        connected = true;
        if (writeEnabled && (mask & kWrite)) {
            pending.events |= kWrite;
            writeEnabled = false;
        }
        return pending.events != before;
    }
    if ((revents & POLLOUT) && writeEnabled && (mask & kWrite)) {
        pending.events |= kWrite;
        writeEnabled = false;
    }
    if (readEnabled && (revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR))) {
        int available = 0;
        if (ioctl(fd, FIONREAD, &available) != 0)
            available = 0;
        if (available > 0) {
            if (mask & kRead) {
                pending.events |= kRead;
                readEnabled = false;
            }
        } else if (revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) {
            // Nothing left to read and the stream has ended: the close comes after the data.
            closeReported = true;
            if (mask & kClose) {
                pending.events |= kClose;
                pending.closeError = PendingError(fd);
            }
        }
    } else if ((revents & (POLLHUP | POLLERR)) && !(pending.events & kWrite)) {
        closeReported = true;
        if (mask & kClose) {
            pending.events |= kClose;
            pending.closeError = PendingError(fd);
        }
    }
    return pending.events != before;
}

void Socket::State::Unbind() {
    if (event)
        event->socket = nullptr;
    event = nullptr;
}

Socket::Socket() : state_(std::make_unique<State>()) {}
Socket::~Socket() { Close(); }
Socket::Socket(Socket&&) noexcept = default;
Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = std::move(other.state_);
    }
    return *this;
}

bool Socket::Create(int family) {
    Close();
    if (!state_)
        state_ = std::make_unique<State>();
    int fd = socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return false;
    *state_ = State{};
    state_->fd = fd;
    return true;
}

bool Socket::valid() const { return state_ && state_->fd >= 0; }

bool Socket::EventSelect(Event& event, unsigned mask) {
    if (!valid() || !event.valid())
        return false;
    state_->Unbind();
    if (event.state()->socket)
        event.state()->socket->Unbind();
    state_->event = event.state();
    state_->mask = mask;
    event.state()->socket = state_.get();
    return true;
}

int Socket::Connect(const ResolvedAddress& address) {
    if (!valid() || address.address.empty())
        return kSocketFailed;
    int result = connect(state_->fd, reinterpret_cast<const sockaddr*>(address.address.data()),
                         static_cast<socklen_t>(address.address.size()));
    int error = result == 0 ? kSocketOk : MapErrno(errno);
    if (error == kSocketOk || error == kWouldBlock) {
        // Even an immediate success is reported through kConnect, as Winsock does.
        state_->connecting = true;
    }
    return error;
}

long Socket::Send(const void* data, std::size_t length, int* error) {
    if (!valid()) {
        *error = kSocketFailed;
        return -1;
    }
    ssize_t sent = send(state_->fd, data, length, MSG_NOSIGNAL);
    if (sent < 0) {
        *error = MapErrno(errno);
        if (*error == kWouldBlock)
            state_->writeEnabled = true;
        return -1;
    }
    *error = kSocketOk;
    return static_cast<long>(sent);
}

long Socket::Recv(void* data, std::size_t length, int* error) {
    if (!valid()) {
        *error = kSocketFailed;
        return -1;
    }
    state_->readEnabled = true;
    ssize_t got = recv(state_->fd, data, length, 0);
    if (got < 0) {
        *error = MapErrno(errno);
        return -1;
    }
    *error = kSocketOk;
    return static_cast<long>(got);
}

bool Socket::EnumNetworkEvents(NetworkEvents& out) {
    if (!valid())
        return false;
    out = state_->pending;
    state_->pending = NetworkEvents{};
    return true;
}

void Socket::Close() {
    if (!state_)
        return;
    state_->Unbind();
    if (state_->fd >= 0)
        close(state_->fd);
    state_->fd = -1;
}

} // namespace platform
