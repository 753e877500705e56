#pragma once
// Blocking TCP server sockets on the loopback interface, for the scripted test servers and benchmarks that
// play the station servers' part. Each connection is used by one thread at a time; `interrupt` events are
// only looked at, never reset, so one event can release every waiting thread at once.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class Event;

class TcpConnection {
public:
    static constexpr long kClosed = 0;    // the peer closed (end of stream)
    static constexpr long kFailed = -1;   // reset or other failure
    static constexpr long kTimedOut = -2; // nothing arrived in time
    static constexpr long kInterrupted = -3;

    explicit TcpConnection(int fd);
    // Connects to 127.0.0.1 (or ::1) at `port`, blocking; null when that failed.
    static std::unique_ptr<TcpConnection> ConnectLoopback(std::uint16_t port, bool ipv6 = false);
    ~TcpConnection(); // closes
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Waits up to `milliseconds` (-1: no limit) for bytes, the end of the stream, or `interrupt` (may be
    // null). Answers the byte count read, or one of the constants above.
    long Recv(void* data, std::size_t length, int milliseconds, const Event* interrupt);
    // Sends every byte, waiting while the peer's window is full; false on failure or when interrupted.
    bool SendAll(const void* data, std::size_t length, const Event* interrupt);
    // Sends the end of the stream (FIN); reading goes on.
    void ShutdownWrite();
    // Aborts the connection: the peer sees a reset (RST). The connection is closed afterwards.
    void Reset();
    void Close();
    bool open() const { return fd_ >= 0; }

private:
    int fd_;
};

class TcpListener {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on 127.0.0.1 (or ::1) on a port the system picks; false when that failed.
    bool Listen(bool ipv6);
    std::uint16_t port() const { return port_; }
    // Waits for the next connection; null when `interrupt` is set or accepting failed.
    std::unique_ptr<TcpConnection> Accept(const Event& interrupt);
    void Close();

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace platform
