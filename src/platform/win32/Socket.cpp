#include "platform/Socket.h"
#include "platform/win32/Win32Handles.h"

#include <ws2tcpip.h>

namespace platform {

namespace {

int MapError(int error) {
    switch (error) {
    case 0:
        return kSocketOk;
    case WSAEWOULDBLOCK:
    case WSAEINPROGRESS:
        return kWouldBlock;
    case WSAECONNREFUSED:
        return kConnectionRefused;
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return kConnectionReset;
    case WSAHOST_NOT_FOUND:
        return kHostNotFound;
    default:
        return kSocketFailed;
    }
}

} // namespace

bool StartNetworking() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

ResolveResult Resolve(const std::string& host, const std::string& port) {
    ResolveResult result;
    // Name resolution needs Winsock started; the count is balanced below, so a caller's own start stays.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) {
        result.error = kSocketFailed;
        return result;
    }
    addrinfo* list = nullptr;
    int error = getaddrinfo(host.c_str(), port.c_str(), nullptr, &list);
    if (error != 0) {
        result.error = (error == WSAHOST_NOT_FOUND || error == WSANO_DATA || error == WSANO_RECOVERY)
                           ? kHostNotFound
                           : kSocketFailed;
        WSACleanup();
        return result;
    }
    for (addrinfo* a = list; a; a = a->ai_next) {
        // Without hints every socket type may be listed; the program connects TCP streams only.
        if (a->ai_socktype != 0 && a->ai_socktype != SOCK_STREAM)
            continue;
        ResolvedAddress address;
        address.family = a->ai_family;
        auto* bytes = reinterpret_cast<const unsigned char*>(a->ai_addr);
        address.address.assign(bytes, bytes + a->ai_addrlen);
        result.addresses.push_back(std::move(address));
    }
    freeaddrinfo(list);
    WSACleanup();
    return result;
}

Socket::Socket() : state_(std::make_unique<State>()) {}
Socket::~Socket() {
    Close();
}
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
    // Sockets need Winsock started; each socket holds one start, so none outlives it.
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return false;
    SOCKET s = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    state_->socket = s;
    state_->mask = 0;
    state_->collected = NetworkEvents{};
    state_->writeAnticipated = false;
    return true;
}

bool Socket::valid() const {
    return state_ && state_->socket != INVALID_SOCKET;
}

bool Socket::EventSelect(Event& event, unsigned mask) {
    if (!valid() || !event.valid())
        return false;
    if (WSAEventSelect(state_->socket, event.state()->handle, static_cast<long>(mask)) != 0)
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
    int result = connect(state_->socket, reinterpret_cast<const sockaddr*>(address.address.data()),
                         static_cast<int>(address.address.size()));
    return result == 0 ? kSocketOk : MapError(WSAGetLastError());
}

long Socket::Send(const void* data, std::size_t length, int* error) {
    if (!valid()) {
        *error = kSocketFailed;
        return -1;
    }
    int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    int sent = send(state_->socket, static_cast<const char*>(data), chunk, 0);
    if (sent == SOCKET_ERROR) {
        *error = MapError(WSAGetLastError());
        if (*error == kWouldBlock)
            state_->writeAnticipated = false; // the system's FD_WRITE is the one wanted now
        return -1;
    }
    *error = kSocketOk;
    return sent;
}

long Socket::Recv(void* data, std::size_t length, int* error) {
    if (!valid()) {
        *error = kSocketFailed;
        return -1;
    }
    int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    int got = recv(state_->socket, static_cast<char*>(data), chunk, 0);
    if (got == SOCKET_ERROR) {
        *error = MapError(WSAGetLastError());
        return -1;
    }
    *error = kSocketOk;
    return got;
}

bool Socket::State::Collect() {
    if (socket == INVALID_SOCKET)
        return false;
    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(socket, nullptr, &events) != 0)
        return false;
    unsigned bits = static_cast<unsigned>(events.lNetworkEvents) & (kRead | kWrite | kConnect | kClose);
    if ((bits & kConnect) && events.iErrorCode[FD_CONNECT_BIT] == 0 && (mask & kWrite) && !(bits & kWrite)) {
        // A connected socket can be written to: Winsock records FD_WRITE with FD_CONNECT, and the
        // program relies on finding both together.
        bits |= kWrite;
        writeAnticipated = true;
    } else if ((bits & kWrite) && writeAnticipated) {
        bits &= ~static_cast<unsigned>(kWrite);
        writeAnticipated = false;
    }
    if (bits & kConnect)
        collected.connectError = MapError(events.iErrorCode[FD_CONNECT_BIT]);
    if (bits & kClose) {
        collected.closeError = MapError(events.iErrorCode[FD_CLOSE_BIT]);
        if (collected.closeError == kSocketOk) {
            // An aborted connection may be recorded as a graceful close; the socket itself may still
            // know: a pending error, or a read that fails where an orderly end reads 0 bytes.
            char byte;
            int pending = 0;
            int length = sizeof pending;
            if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) == 0 &&
                pending != 0) {
                collected.closeError = MapError(pending);
            } else if (recv(socket, &byte, 1, MSG_PEEK) == SOCKET_ERROR) {
                const int error = MapError(WSAGetLastError());
                if (error != kWouldBlock)
                    collected.closeError = error;
            }
        }
    }
    const unsigned before = collected.events;
    collected.events |= bits;
    return collected.events != before;
}

bool Socket::EnumNetworkEvents(NetworkEvents& out) {
    if (!valid())
        return false;
    state_->Collect(); // anything recorded since the wait
    out = state_->collected;
    state_->collected = NetworkEvents{};
    return true;
}

void Socket::Close() {
    if (!state_ || state_->socket == INVALID_SOCKET)
        return;
    state_->Unbind();
    closesocket(state_->socket); // also ends the system's event binding
    state_->socket = INVALID_SOCKET;
    WSACleanup();
}

} // namespace platform
