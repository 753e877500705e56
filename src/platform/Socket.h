#pragma once
// Non-blocking TCP client sockets whose notifications follow the Winsock WSAEventSelect rules.
//
// After EventSelect(event, mask) the socket records network events and signals `event` for them:
// - kConnect once, when a connect finishes, with the error code of a failed attempt (0 on success);
// - kWrite once after the connection is made, and again only after a Send that would have blocked,
//   once the socket can take data again; nothing while there is nothing to send;
// - kRead when data is waiting; after it is recorded it is not recorded again until Recv is called,
//   so a reader that reads until Recv reports kWouldBlock sees one notification per batch;
// - kClose once, when the peer has closed and every byte before the close has been read
//   (closeError 0 for a graceful close, the error code for a reset).
// EnumNetworkEvents hands over and clears the recorded events. All calls belong to the one thread
// that waits on the bound event.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class Event;

// Socket error codes, as the program tests them (the values of their Winsock names).
enum SocketError : int {
    kSocketOk = 0,
    kWouldBlock = 10035,        // WSAEWOULDBLOCK
    kConnectionRefused = 10061, // WSAECONNREFUSED
    kConnectionReset = 10054,   // WSAECONNRESET
    kHostNotFound = 11001,      // WSAHOST_NOT_FOUND
    kSocketFailed = 10004,      // any other failure (WSAEINTR's slot is never otherwise used here)
};

// Network event bits (FD_READ, FD_WRITE, FD_CONNECT, FD_CLOSE).
enum NetworkEventBits : unsigned {
    kRead = 0x01,
    kWrite = 0x02,
    kConnect = 0x10,
    kClose = 0x20,
};

struct NetworkEvents {
    unsigned events = 0;
    int connectError = 0;
    int closeError = 0;
};

// One address from name resolution.
struct ResolvedAddress {
    int family = 0;                     // the platform's address family value
    std::vector<unsigned char> address; // the socket address, exactly as long as its family needs
};

struct ResolveResult {
    int error = 0; // kSocketOk, kHostNotFound or kSocketFailed
    std::vector<ResolvedAddress> addresses;
};

// Makes the system's sockets usable (Windows Sockets 2.0 on Windows; nothing to do on Linux). Called
// once by the network thread before its first exchange; false when the system refused.
bool StartNetworking();

// Resolves `host` and the decimal `port` with getaddrinfo and no hints; IPv4 and IPv6.
ResolveResult Resolve(const std::string& host, const std::string& port);

class Socket {
public:
    Socket();
    ~Socket(); // closes
    Socket(Socket&&) noexcept;
    Socket& operator=(Socket&&) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a non-blocking TCP socket of the address family; false on failure.
    bool Create(int family);
    bool valid() const;

    // Binds the network events in `mask` to `event`. The event must outlive the binding; Close() or
    // destruction ends it.
    bool EventSelect(Event& event, unsigned mask);

    // Starts connecting. Answers kSocketOk, kWouldBlock while the attempt goes on, or another error.
    int Connect(const ResolvedAddress& address);

    // Answers the byte count sent, or -1 with *error set (kWouldBlock re-enables kWrite).
    long Send(const void* data, std::size_t length, int* error);
    // Answers the byte count read, 0 when the peer has closed, or -1 with *error set.
    long Recv(void* data, std::size_t length, int* error);

    // Hands over and clears the recorded network events; false on failure.
    bool EnumNetworkEvents(NetworkEvents& out);

    void Close();

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace platform
