#pragma once
// The server's listening socket and what first meets each connection. Windows of recordings are the
// bulk of what a station sends, so a plain window request (see DirectHead.h) that has fully arrived is
// answered here: the head in one send, the window in one sendfile, then the connection is closed. Every
// other connection is handed, untouched, to libmicrohttpd, with the time it was accepted so that its
// request-head deadline runs from there. The per-address limit applies here as it does there, and a
// connection waiting for its first bytes, or for a slow client to take the window, is ended after the
// same deadlines.

#include "HttpServerState.h"

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace station {

class FrontDoor {
public:
    // Binds and listens on `address` as libmicrohttpd would (address reuse, IPv6 only for an IPv6
    // address, a backlog of 1024); null when that fails.
    static std::unique_ptr<FrontDoor> Listen(HttpServer::State& server, const sockaddr* address,
                                             socklen_t length, unsigned threads);
    ~FrontDoor(); // stops the threads; connections still open here are closed
    FrontDoor(const FrontDoor&) = delete;
    FrontDoor& operator=(const FrontDoor&) = delete;

    std::uint16_t port() const { return port_; }
    // Starts accepting; the server's daemon must exist by then.
    void Open();

    struct Connection;
    class Worker;

private:
    FrontDoor(HttpServer::State& server, FileDescriptor listener, unsigned threads);

    HttpServer::State& server_;
    FileDescriptor listener_;
    FileDescriptor stop_; // an eventfd, readable once the door closes
    std::uint16_t port_ = 0;
    unsigned threads_;
    std::atomic<unsigned> open_{0}; // connections held here, against the connection limit
    std::vector<std::unique_ptr<Worker>> workers_;
};

} // namespace station
