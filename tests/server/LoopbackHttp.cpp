#include "LoopbackHttp.h"

#include "Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace stationtest {
namespace {

class Socket {
public:
    Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

    bool Connect(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    bool SendAll(const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Reads until the peer closes or the deadline passes; answers whether it closed.
    bool ReadToClose(std::string& into, std::chrono::steady_clock::time_point deadline) {
        char buffer[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return true; // closed or reset
            into.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_;
};

// Removes chunked coding; false when the framing is broken.
bool Dechunk(const std::string& in, std::string& out) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lineEnd = in.find("\r\n", pos);
        if (lineEnd == std::string::npos)
            return false;
        const std::string sizeText = in.substr(pos, lineEnd - pos);
        if (sizeText.empty() || sizeText.size() > 16)
            return false;
        std::size_t size = 0;
        for (char c : sizeText) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            size = size * 16 + static_cast<std::size_t>(digit);
        }
        pos = lineEnd + 2;
        if (size == 0)
            return in.compare(pos, 2, "\r\n") == 0;
        if (pos + size + 2 > in.size() || in.compare(pos + size, 2, "\r\n") != 0)
            return false;
        out.append(in, pos, size);
        pos += size + 2;
    }
}

} // namespace

bool HttpReply::HasHeader(const std::string& lowerName, const std::string& value) const {
    for (const std::string& header : headers) {
        const std::size_t colon = header.find(':');
        if (colon == std::string::npos)
            continue;
        if (station::ToLower(header.substr(0, colon)) == lowerName &&
            station::ToLower(std::string(station::Trim(std::string_view(header).substr(colon + 1)))) ==
                station::ToLower(value))
            return true;
    }
    return false;
}

std::string PlayerRequest(const std::string& target, const std::string& host) {
    return "GET " + target + " HTTP/1.1\r\nHOST: " + host +
           "\r\nUser-Agent: Vantri/6 (Windows) Vantri/0.19\r\nConnection: Close\r\n\r\n";
}

HttpReply ParseReply(const std::string& raw) {
    HttpReply reply;
    reply.raw = raw;
    const std::size_t headerEnd = raw.find("\r\n\r\n");
    if (headerEnd == std::string::npos)
        return reply;
    const auto lines = station::Split(std::string_view(raw).substr(0, headerEnd), '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line(lines[i]);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (i == 0) {
            if (line.size() >= 12 && line.compare(0, 5, "HTTP/") == 0)
                reply.status = std::atoi(line.c_str() + 9);
        } else {
            reply.headers.push_back(line);
        }
    }
    const std::string body = raw.substr(headerEnd + 4);
    reply.chunked = reply.HasHeader("transfer-encoding", "chunked");
    if (reply.chunked)
        reply.chunkingValid = Dechunk(body, reply.body);
    else
        reply.body = body;
    return reply;
}

HttpReply Exchange(std::uint16_t port, const std::string& request, std::chrono::milliseconds deadline) {
    Socket socket;
    if (!socket.Connect(port) || !socket.SendAll(request))
        return {};
    std::string raw;
    const bool closed = socket.ReadToClose(raw, std::chrono::steady_clock::now() + deadline);
    HttpReply reply = ParseReply(raw);
    reply.closed = closed;
    return reply;
}

bool ServerDropsSilentClient(std::uint16_t port, const std::string& partial,
                             std::chrono::milliseconds deadline) {
    Socket socket;
    if (!socket.Connect(port) || !socket.SendAll(partial))
        return false;
    std::string ignored;
    return socket.ReadToClose(ignored, std::chrono::steady_clock::now() + deadline);
}

} // namespace stationtest
