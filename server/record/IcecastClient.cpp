#include "IcecastClient.h"

#include "Text.h"
#include "records/ProgramVersion.h"

namespace station::record {
namespace {

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        const unsigned v =
            (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], '='};
    }
    return out;
}

} // namespace

Result<IcecastUrl> ParseIcecastUrl(std::string_view url) {
    const Failure bad{"", 0, "--icecast must be http://HOST[:PORT]/MOUNT, not '" + EscapedForLog(url) + "'"};
    if (!StartsWith(ToLower(url.substr(0, 7)), "http://"))
        return bad;
    std::string_view rest = url.substr(7);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || slash + 1 >= rest.size())
        return bad;
    IcecastUrl parsed;
    parsed.mount = std::string(rest.substr(slash));
    std::string_view authority = rest.substr(0, slash);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        parsed.credentials = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (StartsWith(authority, "[")) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return bad;
        parsed.host = std::string(authority.substr(1, close - 1));
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return bad;
            port = authority.substr(close + 2);
        }
    } else {
        const std::size_t colon = authority.find(':');
        parsed.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos)
            port = authority.substr(colon + 1);
    }
    if (parsed.host.empty())
        return bad;
    std::uint64_t number = 80;
    if (!port.empty() && (!ParseUnsigned(port, 65535, number) || number == 0))
        return bad;
    parsed.port = static_cast<std::uint16_t>(number);
    for (char c : parsed.mount)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return bad;
    return parsed;
}

IcecastClient::IcecastClient(IcecastUrl url, IcecastListener& listener)
    : url_(std::move(url)), listener_(listener) {
    request_ = "GET " + url_.mount + " HTTP/1.0\r\nHost: " + url_.host + ":" + std::to_string(url_.port) +
               "\r\nUser-Agent: vantri-station/" + FormatProgramVersion(kProgramVersion) +
               " recorder\r\nIcy-MetaData: 1\r\nAccept: */*\r\n";
    if (!url_.credentials.empty())
        request_ += "Authorization: Basic " + Base64(url_.credentials) + "\r\n";
    request_ += "\r\n";
}

Waited IcecastClient::Interest() const {
    Waited waited;
    if (!connection_.open())
        return waited;
    waited.handle = connection_.handle();
    waited.wantRead = true;
    waited.wantWrite = state_ == State::Connecting || sent_ < request_.size();
    return waited;
}

Clock::time_point IcecastClient::Deadline() const {
    return state_ == State::Waiting ? retryAt_ : lastHeard_ + silenceLimit;
}

void IcecastClient::Connect(Clock::time_point now) {
    lastHeard_ = now;
    auto connection = TcpConnection::Start(url_.host, url_.port);
    if (!connection) {
        Drop(connection.failure().message, now, false);
        return;
    }
    connection_ = std::move(*connection);
    stream_ = IcyStream();
    sent_ = 0;
    state_ = State::Connecting;
}

void IcecastClient::Drop(const std::string& why, Clock::time_point now, bool quietly) {
    connection_.Close();
    state_ = State::Waiting;
    const bool wasUp = std::exchange(up_, false);
    if (wasUp) {
        // The stream ended: ask again soon, the server may be back at once.
        backoff_.Reset();
        listener_.OnMountDown(why);
        lastWhy_.clear();
    } else if (!quietly && why != lastWhy_) {
        listener_.Log("icecast: " + why);
        lastWhy_ = why;
    }
    retryAt_ = now + backoff_.Next();
}

void IcecastClient::Tick(Clock::time_point now) {
    if (state_ == State::Waiting) {
        if (now >= retryAt_)
            Connect(now);
        return;
    }
    if (now >= lastHeard_ + silenceLimit)
        Drop(up_ ? "the stream sent nothing for " + std::to_string(silenceLimit.count() / 1000) + " s"
                 : "no answer from " + url_.host,
             now, false);
}

void IcecastClient::OnReady(const Waited& waited, Clock::time_point now) {
    if (!connection_.open() || waited.handle != connection_.handle())
        return;
    if (state_ == State::Connecting && (waited.writable || waited.readable)) {
        if (const std::string problem = connection_.Established(); !problem.empty()) {
            Drop("cannot connect to " + url_.host + " port " + std::to_string(url_.port) + ": " + problem,
                 now, false);
            return;
        }
        state_ = State::Streaming;
    }
    if (state_ != State::Streaming)
        return;
    while (sent_ < request_.size()) {
        const IoResult sent = connection_.Write(std::string_view(request_).substr(sent_));
        if (sent.kind == IoResult::WouldBlock)
            break;
        if (sent.kind != IoResult::Bytes) {
            Drop("cannot send the request: " + sent.error, now, false);
            return;
        }
        sent_ += sent.bytes;
    }
    if (!waited.readable)
        return;
    char buffer[65536];
    for (int reads = 0; reads < 8; ++reads) {
        const IoResult got = connection_.Read(buffer, sizeof buffer);
        if (got.kind == IoResult::WouldBlock)
            return;
        if (got.kind == IoResult::Closed) {
            Drop(stream_.head() ? "the server ended the stream" : "the server closed the connection", now,
                 stream_.head() && stream_.head()->status != 200);
            return;
        }
        if (got.kind == IoResult::Error) {
            Drop("lost the stream: " + got.error, now, false);
            return;
        }
        lastHeard_ = now;
        const bool hadHead = stream_.head().has_value();
        if (!stream_.Feed(std::string_view(buffer, got.bytes), *this)) {
            Drop(stream_.error(), now, false);
            return;
        }
        if (!connection_.open())
            return;
        if (!hadHead && stream_.head()) {
            const IcyHead& head = *stream_.head();
            if (head.status != 200) {
                Drop(head.status == 404
                         ? "the mount " + url_.mount + " is not there"
                         : "the server answered " + std::to_string(head.status) + " " + head.reason,
                     now, false);
                return;
            }
        }
    }
}

void IcecastClient::OnAudio(std::string_view bytes) {
    if (bytes.empty())
        return;
    if (!up_) {
        up_ = true;
        lastWhy_.clear();
        listener_.OnMountUp(*stream_.head());
    }
    listener_.OnAudio(bytes);
}

void IcecastClient::OnTitle(const std::string& title) {
    if (!up_)
        return; // a title before any audio is repeated at the next block
    listener_.OnTitle(title);
}

} // namespace station::record
