#include "platform/TcpListener.h"

#include "platform/win32/Win32Handles.h"

#include <ws2tcpip.h>

namespace platform {

namespace {

constexpr long kReady = 1;

SOCKET AsSocket(int fd) {
    // Socket handles are kernel handles, whose values fit in 32 bits on 64-bit Windows too.
    return static_cast<SOCKET>(static_cast<std::intptr_t>(fd));
}

// Waits for `events` (FD_ bits) on `s` or for `interrupt`: kReady, TcpConnection::kTimedOut,
// ::kInterrupted or ::kFailed. The socket stays blocking: the binding is undone before returning.
long WaitFor(SOCKET s, long events, int milliseconds, const Event* interrupt) {
    HANDLE ready = WSACreateEvent();
    if (ready == WSA_INVALID_EVENT)
        return TcpConnection::kFailed;
    long result = TcpConnection::kFailed;
    if (WSAEventSelect(s, ready, events) == 0) {
        HANDLE handles[2] = {ready, interrupt && interrupt->valid() ? interrupt->state()->handle : nullptr};
        DWORD count = handles[1] ? 2 : 1;
        DWORD timeout = milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
        // The interrupt comes first: it is looked at, and waiting on it does reset an auto-reset event,
        // so it is set again for every other waiter.
        HANDLE ordered[2] = {handles[1], handles[0]};
        DWORD waited = count == 2 ? WaitForMultipleObjects(2, ordered, FALSE, timeout)
                                  : WaitForSingleObject(ready, timeout);
        if (count == 2 && waited == WAIT_OBJECT_0) {
            SetEvent(handles[1]);
            result = TcpConnection::kInterrupted;
        } else if (waited == WAIT_OBJECT_0 + (count == 2 ? 1 : 0)) {
            result = kReady;
        } else if (waited == WAIT_TIMEOUT) {
            result = TcpConnection::kTimedOut;
        }
        WSAEventSelect(s, nullptr, 0);
        u_long blocking = 0;
        ioctlsocket(s, FIONBIO, &blocking);
    }
    WSACloseEvent(ready);
    return result;
}

} // namespace

TcpConnection::TcpConnection(int fd) : fd_(fd) {
    BOOL one = TRUE;
    // Each scripted chunk leaves as its own segment.
    setsockopt(AsSocket(fd_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

TcpConnection::~TcpConnection() {
    Close();
}

long TcpConnection::Recv(void* data, std::size_t length, int milliseconds, const Event* interrupt) {
    if (fd_ < 0)
        return kFailed;
    const SOCKET s = AsSocket(fd_);
    // FD_READ is recorded while data waits and FD_CLOSE once the peer has closed.
    u_long available = 0;
    if (ioctlsocket(s, FIONREAD, &available) != 0 || available == 0) {
        long waited = WaitFor(s, FD_READ | FD_CLOSE, milliseconds, interrupt);
        if (waited != kReady)
            return waited;
    }
    int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    int got = recv(s, static_cast<char*>(data), chunk, 0);
    if (got == SOCKET_ERROR)
        return WSAGetLastError() == WSAEWOULDBLOCK ? kTimedOut : kFailed;
    return got;
}

bool TcpConnection::SendAll(const void* data, std::size_t length, const Event* interrupt) {
    const char* bytes = static_cast<const char*>(data);
    const SOCKET s = AsSocket(fd_);
    while (length > 0) {
        if (interrupt && interrupt->valid() &&
            WaitForSingleObject(interrupt->state()->handle, 0) == WAIT_OBJECT_0) {
            SetEvent(interrupt->state()->handle);
            return false;
        }
        int chunk = length > 0x100000 ? 0x100000 : static_cast<int>(length);
        // A blocking send: the test servers' peers always read.
        int sent = send(s, bytes, chunk, 0);
        if (sent == SOCKET_ERROR)
            return false;
        bytes += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

void TcpConnection::ShutdownWrite() {
    if (fd_ >= 0)
        shutdown(AsSocket(fd_), SD_SEND);
}

void TcpConnection::Reset() {
    if (fd_ < 0)
        return;
    linger abort{1, 0}; // closing with a zero linger time sends RST
    setsockopt(AsSocket(fd_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    Close();
}

void TcpConnection::Close() {
    if (fd_ >= 0) {
        closesocket(AsSocket(fd_));
        WSACleanup();
    }
    fd_ = -1;
}

TcpListener::TcpListener() = default;
TcpListener::~TcpListener() {
    Close();
}

bool TcpListener::Listen(bool ipv6) {
    Close();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0)
        return false;
    SOCKET s = WSASocketW(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    fd_ = static_cast<int>(s);
    sockaddr_storage address{};
    int length = 0;
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
    if (bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(s, 128) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
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
    const SOCKET listening = AsSocket(fd_);
    for (;;) {
        if (WaitFor(listening, FD_ACCEPT, -1, &interrupt) != kReady)
            return nullptr;
        SOCKET s = accept(listening, nullptr, nullptr);
        if (s != INVALID_SOCKET) {
            // The accepted socket inherits the listener's event binding; it is a plain blocking socket.
            WSAEventSelect(s, nullptr, 0);
            u_long blocking = 0;
            ioctlsocket(s, FIONBIO, &blocking);
            WSADATA data;
            WSAStartup(MAKEWORD(2, 0), &data); // balanced by the connection's Close
            return std::make_unique<TcpConnection>(static_cast<int>(s));
        }
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAECONNRESET && error != WSAEINTR)
            return nullptr;
    }
}

void TcpListener::Close() {
    if (fd_ >= 0) {
        closesocket(AsSocket(fd_));
        WSACleanup();
    }
    fd_ = -1;
    port_ = 0;
}

} // namespace platform
