#pragma once
// Serves a catalogue over HTTP/1.1 with libmicrohttpd: the directory and the update endpoints at "/",
// every station under its base path. Event-driven (epoll) with a small pool of threads; stream windows
// go out with sendfile, or chunked when configured. Stops when destroyed. The catalogue can be replaced
// while serving (a rescan of the archive); requests under way finish with the one they began with.

#include "Catalogue.h"
#include "Result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace station {

struct ServerOptions {
    std::string address = "127.0.0.1"; // IPv4 or IPv6 address to listen on
    std::uint16_t port = 0;            // 0: any free port
    bool chunked = false;              // send every body with chunked transfer coding
    std::size_t chunkBytes = 16000;    // bytes per chunk when chunked
    unsigned threads = 0;              // 0: one per processor
    unsigned timeoutSeconds = 30;      // idle connections (slow clients) are closed after this
    unsigned connectionLimit = 4000;
    // Connections one client may hold at once (0: no limit), so that one client cannot take every
    // connection. A client is an IPv4 address or an IPv6 /64 network.
    unsigned perAddressLimit = 64;
    // Seconds a connection has to send a complete request head, however it trickles it in.
    unsigned headSeconds = 10;
    // What the directory tells players to connect to; by default the host the player asked for and the
    // port this server listens on.
    std::string publicHost;
    std::uint16_t publicPort = 0;
    bool serveDirectory = true;
    bool serveStations = true;
    bool serveUpdate = true;
    bool logRequests = false; // one line per request on stderr
    // Plain window requests are answered by the server's own front door rather than libmicrohttpd,
    // with the same bytes (not with `chunked` or `logRequests`).
    bool directWindows = true;
};

class HttpServer {
public:
    static Result<std::unique_ptr<HttpServer>> Start(std::shared_ptr<const Catalogue> catalogue,
                                                     ServerOptions options);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // The port actually listened on.
    std::uint16_t port() const;
    // Serves `catalogue` from the next request on. Its archive must have the same root folder.
    void Replace(std::shared_ptr<const Catalogue> catalogue);

    struct State;

private:
    explicit HttpServer(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace station
