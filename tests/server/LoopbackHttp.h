#pragma once
// A blocking HTTP/1.1 client for tests of the station server over loopback: sends raw request bytes,
// reads until the server closes (with a deadline) and splits status, headers and body, removing chunked
// transfer coding.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace stationtest {

struct HttpReply {
    bool closed = false; // the server closed the connection before the deadline
    int status = 0;      // 0 when no status line arrived
    std::vector<std::string> headers;
    bool chunked = false;
    bool chunkingValid = true;
    std::string body; // de-chunked
    std::string raw;  // everything received
    bool HasHeader(const std::string& lowerName, const std::string& value) const;
};

// The request line and headers the player sends for `target`.
std::string PlayerRequest(const std::string& target, const std::string& host = "127.0.0.1");

HttpReply Exchange(std::uint16_t port, const std::string& request,
                   std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));

// Connects, sends `partial` and then nothing: answers whether the server closed the connection (or
// answered) within `deadline`.
bool ServerDropsSilentClient(std::uint16_t port, const std::string& partial,
                             std::chrono::milliseconds deadline);

// Splits a raw response; exposed for tests of the splitter itself.
HttpReply ParseReply(const std::string& raw);

} // namespace stationtest
