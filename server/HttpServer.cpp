#include "HttpServer.h"

#include "AddressLimit.h"
#include "BeneathOpen.h"
#include "Feed.h"
#include "FrontDoor.h"
#include "HttpCaching.h"
#include "HttpServerState.h"
#include "RequestHead.h"
#include "RequestTarget.h"
#include "SearchTarget.h"
#include "Text.h"
#include "WebLinkPage.h"
#include "records/WireFormat.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace station {
namespace {

// A body served from memory in chunks of a fixed size.
struct ChunkedBuffer {
    std::string owned; // the directory body is made per request; other bodies live in the catalogue
    std::string_view data;
    std::size_t chunk = 0;
    std::shared_ptr<const Catalogue> keep; // the catalogue `data` lies in
};

void ReleaseCatalogue(void* cls) {
    std::unique_ptr<std::shared_ptr<const Catalogue>>(static_cast<std::shared_ptr<const Catalogue>*>(cls));
}

// A window of a recording served in chunks with pread.
struct ChunkedFile {
    FileDescriptor fd;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::size_t chunk = 0;
};

ssize_t ReadChunkedBuffer(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
    auto* body = static_cast<ChunkedBuffer*>(cls);
    if (pos >= body->data.size())
        return MHD_CONTENT_READER_END_OF_STREAM;
    const std::size_t n = std::min({body->data.size() - static_cast<std::size_t>(pos), body->chunk, max});
    std::memcpy(buf, body->data.data() + pos, n);
    return static_cast<ssize_t>(n);
}

void FreeChunkedBuffer(void* cls) {
    std::unique_ptr<ChunkedBuffer>(static_cast<ChunkedBuffer*>(cls));
}

ssize_t ReadChunkedFile(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
    auto* body = static_cast<ChunkedFile*>(cls);
    if (pos >= body->length)
        return MHD_CONTENT_READER_END_OF_STREAM;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>({body->length - pos, body->chunk, max}));
    const ssize_t got = ::pread(body->fd.get(), buf, n, static_cast<off_t>(body->offset + pos));
    if (got <= 0)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    return got;
}

void FreeChunkedFile(void* cls) {
    std::unique_ptr<ChunkedFile>(static_cast<ChunkedFile*>(cls));
}

// The host part of a Host header, if it is a plain host name or address.
std::string HostOnly(const char* header) {
    if (!header)
        return {};
    std::string_view host(header);
    if (host.starts_with("[")) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return {};
        host = host.substr(0, close + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    if (host.empty() || host.size() > 253)
        return {};
    for (char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '-' || c == ':' || c == '[' || c == ']'))
            return {};
    return std::string(host);
}

} // namespace

// Where libmicrohttpd left the parts of this request's head, to find zero bytes hidden in them.
HeadLayout LayoutOf(MHD_Connection* connection, const ConnectionState& state, const char* method,
                    const char* version) {
    HeadLayout head;
    head.method = method;
    head.target = state.rawTarget;
    head.targetSize = state.target.size();
    head.version = version;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
    if (info && method)
        head.end = method + info->header_size;
    MHD_get_connection_values_n(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* name, std::size_t nameSize, const char* value,
           std::size_t valueSize) {
            static_cast<HeadLayout*>(cls)->fields.push_back({name, nameSize, value, valueSize});
            return MHD_YES;
        },
        &head);
    return head;
}

void HttpServer::State::Log(std::string_view target, int status, std::uint64_t bytes) const {
    if (!options.logRequests)
        return;
    const std::string shown = EscapedForLog(target);
    std::fprintf(stderr, "GET %s -> %d (%llu bytes)\n", shown.c_str(), status,
                 static_cast<unsigned long long>(bytes));
}

HttpServer::State::~State() {
    front.reset();  // first: it hands connections to the daemon
    daemon.reset(); // then: no callback runs after this
    {
        std::lock_guard guard(watchLock);
        stopping = true;
    }
    watchWake.notify_all();
    if (watchman.joinable())
        watchman.join();
}

void HttpServer::State::Watch() {
    using Clock = std::chrono::steady_clock;
    const auto headTime = std::chrono::seconds(options.headSeconds);
    std::unique_lock guard(watchLock);
    while (!stopping) {
        watchWake.wait_for(guard, std::chrono::milliseconds(200));
        const auto now = Clock::now();
        for (auto& [key, connection] : connections) {
            // Shutting the socket down makes libmicrohttpd see the end and close the connection itself.
            // The entry leaves the map before the descriptor is closed, under this lock.
            // The flag first: a request's end stores the time before the flag, so a flag seen cleared
            // comes with the time it was cleared at.
            const bool complete = connection->headComplete.load();
            const Clock::time_point since{Clock::duration{connection->waitingSince.load()}};
            if (!complete && !connection->cutOff && options.headSeconds != 0 && now - since >= headTime) {
                connection->cutOff = true;
                ::shutdown(connection->fd, SHUT_RDWR);
            }
        }
        for (auto it = lingering.begin(); it != lingering.end();) {
            char sink[4096];
            ssize_t got;
            do
                got = ::recv(it->fd.get(), sink, sizeof sink, MSG_DONTWAIT);
            while (got > 0);
            const bool ended = got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
            if (ended || now >= it->until)
                it = lingering.erase(it);
            else
                ++it;
        }
    }
}

MHD_Result HttpServer::State::Queue(MHD_Connection* connection, int status, ResponsePtr response,
                                    std::string_view target, std::uint64_t bytes) {
    if (!response)
        return MHD_NO; // out of memory: libmicrohttpd closes the connection
    Log(target, status, bytes);
    return MHD_queue_response(connection, static_cast<unsigned>(status), response.get());
}

MHD_Result HttpServer::State::Refuse(MHD_Connection* connection, int status, const std::string& reason,
                                     std::string_view target) {
    std::string text = std::to_string(status) + " " + reason + "\n";
    ResponsePtr response(MHD_create_response_from_buffer(text.size(), text.data(), MHD_RESPMEM_MUST_COPY));
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close");
        if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
            MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CACHE_CONTROL, kCacheNever);
    }
    return Queue(connection, status, std::move(response), target, text.size());
}

void HttpServer::State::AddValidators(MHD_Response* response, const Validators& validators,
                                      const char* cacheControl) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, validators.etag.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_LAST_MODIFIED,
                            HttpDate(validators.lastModified).c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, cacheControl);
}

std::optional<MHD_Result> HttpServer::State::AnswerNotModified(MHD_Connection* connection,
                                                               const Validators& validators,
                                                               const char* cacheControl,
                                                               std::string_view target) {
    const char* ifNoneMatch =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH);
    const char* ifModifiedSince =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_MODIFIED_SINCE);
    if (!NotModified(validators, ifNoneMatch, ifModifiedSince))
        return std::nullopt;
    ResponsePtr response(MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT));
    if (response)
        AddValidators(response.get(), validators, cacheControl);
    return Queue(connection, MHD_HTTP_NOT_MODIFIED, std::move(response), target, 0);
}

MHD_Result HttpServer::State::SendBody(MHD_Connection* connection, const Loaded& source,
                                       std::string_view body, std::string owned, std::string_view target,
                                       const char* cacheControl, const std::string* tag,
                                       const char* flagHeader, const char* contentType) {
    const Validators validators{tag ? *tag : ContentTag(owned.empty() ? body : std::string_view(owned)),
                                source.at};
    if (auto answered = AnswerNotModified(connection, validators, cacheControl, target))
        return *answered;
    ResponsePtr response;
    const std::size_t bytes = owned.empty() ? body.size() : owned.size();
    if (options.chunked) {
        auto chunked = std::make_unique<ChunkedBuffer>();
        chunked->owned = std::move(owned);
        chunked->data = chunked->owned.empty() ? body : std::string_view(chunked->owned);
        chunked->chunk = options.chunkBytes;
        chunked->keep = source.catalogue;
        response.reset(MHD_create_response_from_callback(
            MHD_SIZE_UNKNOWN, options.chunkBytes, &ReadChunkedBuffer, chunked.get(), &FreeChunkedBuffer));
        if (response)
            chunked.release(); // now freed by FreeChunkedBuffer
    } else if (!owned.empty()) {
        response.reset(MHD_create_response_from_buffer(owned.size(), owned.data(), MHD_RESPMEM_MUST_COPY));
    } else {
        // The body lives in the catalogue, which the response keeps until it is sent.
        auto keep = std::make_unique<std::shared_ptr<const Catalogue>>(source.catalogue);
        response.reset(MHD_create_response_from_buffer_with_free_callback_cls(
            body.size(), const_cast<char*>(body.data()), &ReleaseCatalogue, keep.get()));
        if (response)
            keep.release(); // now freed by ReleaseCatalogue
    }
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
        AddValidators(response.get(), validators, cacheControl);
        // The directory names the host it was asked for.
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_VARY, "Host");
        if (flagHeader)
            MHD_add_response_header(response.get(), flagHeader, "1");
    }
    return Queue(connection, MHD_HTTP_OK, std::move(response), target, bytes);
}

MHD_Result HttpServer::State::SendWindow(MHD_Connection* connection, const Stream& stream,
                                         std::uint64_t start, std::uint32_t length, std::string_view target) {
    FileDescriptor fd;
    std::uint64_t size = 0;
    struct stat facts {};
    if (!OpenRecording(stream, fd, size, facts))
        return Refuse(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "the recording cannot be read", target);
    const std::uint64_t count = start >= size ? 0 : std::min<std::uint64_t>(length, size - start);
    // Caches may keep a window for good.
    const Validators validators = RecordingValidators(facts, start, count);
    if (auto answered = AnswerNotModified(connection, validators, kCacheImmutable, target))
        return *answered;
    ResponsePtr response = FileResponse(fd, start, count, options.chunked ? options.chunkBytes : 0);
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "audio/mpeg");
        AddValidators(response.get(), validators, kCacheImmutable);
    }
    return Queue(connection, MHD_HTTP_OK, std::move(response), target, count);
}

std::optional<DirectAnswer> HttpServer::State::AnswerDirect(std::string_view target) const {
    // The same road as Handle takes to a window, refusing nothing: whatever is not a window that can be
    // sent is left to libmicrohttpd, which answers it as always.
    if (ParseFeedTarget(target) || ParseWebLinkTarget(target) || ParseSearchTarget(target))
        return std::nullopt;
    const RequestParse parse = ParseRequestTarget(target);
    if (!parse.ok || parse.request.endpoint != Endpoint::StreamData || !options.serveStations)
        return std::nullopt;
    const ParsedRequest& request = parse.request;
    const Loaded source = Current();
    const ServedStation* station = source.catalogue->FindStation(request.prefix);
    if (!station || request.streamId > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    const auto found = station->streams.find(static_cast<std::int32_t>(request.streamId));
    if (found == station->streams.end())
        return std::nullopt;
    DirectAnswer answer;
    std::uint64_t size = 0;
    struct stat facts {};
    if (!OpenRecording(*found->second.stream, answer.file, size, facts))
        return std::nullopt;
    answer.offset = request.start;
    answer.count = request.start >= size ? 0 : std::min<std::uint64_t>(request.length, size - request.start);
    if (answer.count == 0)
        return std::nullopt;
    // As libmicrohttpd writes it: its own Date and Connection, the headers SendWindow adds, the length.
    const Validators validators = RecordingValidators(facts, answer.offset, answer.count);
    answer.head.reserve(320);
    answer.head += "HTTP/1.1 200 OK\r\nDate: ";
    answer.head += HttpDate(std::time(nullptr));
    answer.head += "\r\nConnection: close\r\nContent-Type: audio/mpeg\r\nETag: ";
    answer.head += validators.etag;
    answer.head += "\r\nLast-Modified: ";
    answer.head += HttpDate(validators.lastModified);
    answer.head += "\r\nCache-Control: ";
    answer.head += kCacheImmutable;
    answer.head += "\r\nContent-Length: ";
    answer.head += std::to_string(answer.count);
    answer.head += "\r\n\r\n";
    return answer;
}

void HttpServer::State::LingerLocked(FileDescriptor socket) {
    ::shutdown(socket.get(), SHUT_WR);
    lingering.push_back({std::move(socket), std::chrono::steady_clock::now() + std::chrono::seconds(2)});
    watchWake.notify_all();
}

void HttpServer::State::HandOver(int fd, const sockaddr* peer, socklen_t length,
                                 std::chrono::steady_clock::time_point accepted) {
    {
        std::lock_guard guard(watchLock);
        handedOver[fd] = accepted.time_since_epoch().count();
    }
    // The daemon closes the socket itself when it cannot take it.
    if (MHD_add_connection(daemon.get(), fd, peer, length) != MHD_YES) {
        std::lock_guard guard(watchLock);
        handedOver.erase(fd);
    }
}

bool HttpServer::State::OpenRecording(const Stream& stream, FileDescriptor& fd, std::uint64_t& size,
                                      struct stat& facts) const {
    // Opened beneath the archive's folder at every request: a recording replaced by a link that leads out
    // of the archive since it was loaded is refused.
    const std::filesystem::path relative =
        stream.recording.lexically_normal().lexically_relative(root.lexically_normal());
    fd = FileDescriptor(OpenBeneath(rootFd.get(), relative));
    if (fd.get() < 0 || ::fstat(fd.get(), &facts) != 0 || !S_ISREG(facts.st_mode))
        return false;
    // The recording is served as loaded; should the file have shrunk since, only what is left.
    size = std::min<std::uint64_t>(stream.size, static_cast<std::uint64_t>(facts.st_size));
    return true;
}

Validators HttpServer::State::RecordingValidators(const struct stat& facts, std::uint64_t start,
                                                  std::uint64_t count) {
    return {WindowTag(static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino),
                      static_cast<std::uint64_t>(facts.st_size),
                      static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1000000000 + facts.st_mtim.tv_nsec,
                      start, count),
            facts.st_mtim.tv_sec};
}

ResponsePtr FileResponse(FileDescriptor& fd, std::uint64_t start, std::uint64_t count,
                         std::size_t chunkBytes) {
    ResponsePtr response;
    if (chunkBytes != 0) {
        auto chunked = std::make_unique<ChunkedFile>();
        chunked->fd = std::move(fd);
        chunked->offset = start;
        chunked->length = count;
        chunked->chunk = chunkBytes;
        response.reset(MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, chunkBytes, &ReadChunkedFile,
                                                         chunked.get(), &FreeChunkedFile));
        if (response)
            chunked.release(); // now freed by FreeChunkedFile
    } else if (count == 0) {
        response.reset(MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT));
    } else {
        // libmicrohttpd sends the window with sendfile and closes the descriptor with the response.
        response.reset(MHD_create_response_from_fd_at_offset64(count, fd.get(), start));
        if (response)
            fd.release();
    }
    return response;
}

MHD_Result HttpServer::State::SendWebLinkPage(MHD_Connection* connection, const Loaded& source,
                                              const WebLink& link, std::string_view target) {
    std::optional<std::string> page = WebLinkPage(source.catalogue->archive(), link);
    if (!page)
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no such station or stream", target);
    // The page changes only with the archive, like a station's information.
    const Validators validators{ContentTag(*page), source.at};
    if (auto answered = AnswerNotModified(connection, validators, kCacheStationInfo, target))
        return *answered;
    const std::size_t bytes = page->size();
    ResponsePtr response(MHD_create_response_from_buffer(page->size(), const_cast<char*>(page->data()),
                                                         MHD_RESPMEM_MUST_COPY));
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/html; charset=utf-8");
        AddValidators(response.get(), validators, kCacheStationInfo);
        AddPageSecurity(response.get());
    }
    return Queue(connection, MHD_HTTP_OK, std::move(response), target, bytes);
}

void HttpServer::State::AddPageSecurity(MHD_Response* response) {
    // The page loads nothing and runs nothing: its one style sheet is inline, and its only link opens
    // the player. It is never framed, and leaves no address behind in the next site's logs.
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Content-Security-Policy",
                            "default-src 'none'; style-src 'unsafe-inline'; base-uri 'none'; "
                            "form-action 'none'; frame-ancestors 'none'");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "X-Frame-Options", "DENY");
}

MHD_Result HttpServer::State::SendSearch(MHD_Connection* connection, const Loaded& source,
                                         const SearchRequest& search, std::string_view target) {
    if (!search.ok)
        return Refuse(connection, MHD_HTTP_BAD_REQUEST, "Bad Request: " + search.reason, target);
    if (!options.serveStations)
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no stations are served here", target);
    const ArchiveSearch& index = source.catalogue->search();
    std::string body = search.kind == SearchKind::Tracks ? index.TracksBody(search.query, search.page)
                                                         : index.ChatBody(search.query, search.page);
    return SendBody(connection, source, {}, std::move(body), target, kCacheDirectory, nullptr);
}

MHD_Result HttpServer::State::Handle(MHD_Connection* connection, const char* url, const char* method,
                                     const char* version, void** requestContext) {
    auto* state = static_cast<ConnectionState*>(*requestContext);
    if (state)
        state->headComplete.store(true);
    const std::string_view target = state ? std::string_view(state->target) : std::string_view(url);
    if (!state || HeadHadZeroByte(LayoutOf(connection, *state, method, version)))
        return Refuse(connection, MHD_HTTP_BAD_REQUEST, "Bad Request: a zero byte in the request head",
                      target);
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
        return Refuse(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Method Not Allowed: only GET is served",
                      target);
    const char* hostHeader = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST);
    if (!hostHeader && std::strcmp(version, MHD_HTTP_VERSION_1_1) == 0)
        return Refuse(connection, MHD_HTTP_BAD_REQUEST, "Bad Request: HTTP/1.1 requests need a Host header",
                      target);

    const Loaded source = Current();
    const Catalogue* catalogue = source.catalogue.get();
    if (const auto feed = ParseFeedTarget(target)) {
        if (!options.serveStations)
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no stations are served here", target);
        return SendFeed(connection, source, *feed, hostHeader, target);
    }
    if (const auto link = ParseWebLinkTarget(target)) {
        if (!options.serveStations)
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no stations are served here", target);
        return SendWebLinkPage(connection, source, *link, target);
    }
    if (const auto search = ParseSearchTarget(target))
        return SendSearch(connection, source, *search, target);
    const RequestParse parse = ParseRequestTarget(target);
    if (!parse.ok)
        return Refuse(connection, parse.status, parse.reason, target);
    const ParsedRequest& request = parse.request;
    if (request.debug && options.logRequests)
        std::fprintf(stderr, "debug request from a player: %.*s\n", static_cast<int>(target.size()),
                     target.data());

    switch (request.endpoint) {
    case Endpoint::Directory: {
        if (!options.serveDirectory || request.prefix != "/")
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no directory here", target);
        std::string host = options.publicHost;
        if (host.empty())
            host = HostOnly(hostHeader);
        if (host.empty())
            host = options.address;
        const std::uint16_t port = options.publicPort != 0 ? options.publicPort : this->port;
        return SendBody(connection, source, {}, catalogue->DirectoryBody(host, port), target, kCacheDirectory,
                        nullptr);
    }
    case Endpoint::UpdateInfo:
    case Endpoint::UpdateDownload: {
        const std::string* body = request.endpoint == Endpoint::UpdateInfo ? catalogue->UpdateInfoBody()
                                                                           : catalogue->UpdateDownloadBody();
        if (!options.serveUpdate || request.prefix != "/" || !body)
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no update is offered here", target);
        return SendBody(connection, source, *body, {}, target, kCacheStationInfo,
                        request.endpoint == Endpoint::UpdateInfo ? &catalogue->UpdateInfoTag()
                                                                 : &catalogue->UpdateDownloadTag());
    }
    default:
        break;
    }

    const ServedStation* station = options.serveStations ? catalogue->FindStation(request.prefix) : nullptr;
    if (!station)
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no station is served under this path",
                      target);
    if (request.endpoint == Endpoint::StationInfo)
        return SendBody(connection, source, station->infoBody, {}, target, kCacheStationInfo,
                        &station->infoTag);

    const auto found =
        request.streamId <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
            ? station->streams.find(static_cast<std::int32_t>(request.streamId))
            : station->streams.end();
    if (found == station->streams.end())
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: the station has no such stream", target);
    const ServedStream& stream = found->second;
    switch (request.endpoint) {
    case Endpoint::StreamData:
        return SendWindow(connection, *stream.stream, request.start, request.length, target);
    case Endpoint::TrackList:
        return SendBody(connection, source, stream.trackListBody, {}, target, kCacheCatalogue,
                        &stream.trackListTag, stream.stream->chatSync.empty() ? nullptr : kChatSyncHeader);
    case Endpoint::Chat:
        if (!stream.stream->hasChat)
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: the stream has no chat log", target);
        return SendBody(connection, source, stream.chatBody, {}, target, kCacheCatalogue, &stream.chatTag);
    default:
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found", target);
    }
}

namespace {

MHD_Result AccessHandler(void* cls, MHD_Connection* connection, const char* url, const char* method,
                         const char* version, const char* /*uploadData*/, std::size_t* uploadDataSize,
                         void** requestContext) {
    if (*uploadDataSize != 0) {
        *uploadDataSize = 0; // request bodies are not read; the answer was queued on the first call
        return MHD_YES;
    }
    return static_cast<HttpServer::State*>(cls)->Handle(connection, url, method, version, requestContext);
}

MHD_Result AcceptPolicy(void* cls, const sockaddr* address, socklen_t /*length*/) {
    const auto* server = static_cast<HttpServer::State*>(cls);
    return server->addressLimit->Allows(address) ? MHD_YES : MHD_NO;
}

void* KeepTarget(void* /*cls*/, const char* uri, MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (!info || !info->socket_context)
        return nullptr;
    auto* state = static_cast<ConnectionState*>(info->socket_context);
    state->target = uri ? uri : "";
    state->rawTarget = uri;
    return state;
}

void NotifyConnection(void* cls, MHD_Connection* connection, void** socketContext,
                      MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<HttpServer::State*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        server->daemonConnections.fetch_add(1, std::memory_order_relaxed);
        auto state = std::make_unique<ConnectionState>(); // freed at MHD_CONNECTION_NOTIFY_CLOSED
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        state->fd = info ? info->connect_fd : -1;
        state->waitingSince.store(std::chrono::steady_clock::now().time_since_epoch().count());
        // Counted from here to NOTIFY_CLOSED. Another thread may have let in the same client meanwhile:
        // one past the limit is ended at once (libmicrohttpd then closes it).
        const MHD_ConnectionInfo* peer =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        state->client = AddressLimit::KeyOf(peer ? peer->client_addr : nullptr);
        if (state->client && !server->addressLimit->Add(*state->client) && state->fd >= 0) {
            state->cutOff = true;
            ::shutdown(state->fd, SHUT_RDWR);
        }
        std::lock_guard guard(server->watchLock);
        // A connection the front door handed over waits for its head since it was accepted there.
        if (const auto handed = server->handedOver.find(state->fd); handed != server->handedOver.end()) {
            state->waitingSince.store(handed->second);
            server->handedOver.erase(handed);
        }
        if (state->fd >= 0)
            server->connections.emplace(state.get(), state.get());
        *socketContext = state.release();
    } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
        std::unique_ptr<ConnectionState> state(
            static_cast<ConnectionState*>(std::exchange(*socketContext, nullptr)));
        if (!state)
            return;
        server->daemonConnections.fetch_sub(1, std::memory_order_relaxed);
        if (state->client)
            server->addressLimit->Remove(*state->client);
        std::lock_guard guard(server->watchLock);
        server->connections.erase(state.get());
        // A client that sent more than the request (pipelined input, still unread) would otherwise see a
        // reset that can cut off the end of its answer: keep a second handle on the socket, send the end,
        // and read the rest away for a moment before it closes.
        int unread = 0;
        if (state->fd >= 0 && !state->cutOff && ::ioctl(state->fd, FIONREAD, &unread) == 0 && unread > 0) {
            FileDescriptor copy(::fcntl(state->fd, F_DUPFD_CLOEXEC, 0));
            if (copy.get() >= 0)
                server->LingerLocked(std::move(copy));
        }
    }
}

// A connection kept alive waits for its next request head under the same deadline.
void RequestCompleted(void* /*cls*/, MHD_Connection* /*connection*/, void** requestContext,
                      MHD_RequestTerminationCode /*code*/) {
    auto* state = requestContext ? static_cast<ConnectionState*>(*requestContext) : nullptr;
    if (!state)
        return;
    state->waitingSince.store(std::chrono::steady_clock::now().time_since_epoch().count());
    state->headComplete.store(false);
}

} // namespace

HttpServer::HttpServer(std::unique_ptr<State> state) : state_(std::move(state)) {}

HttpServer::~HttpServer() = default;

std::uint16_t HttpServer::port() const {
    return state_->port;
}

void HttpServer::Replace(std::shared_ptr<const Catalogue> catalogue) {
    State::Loaded loaded{std::move(catalogue), std::time(nullptr)};
    std::lock_guard guard(state_->loadedLock);
    // Validators must change with the bodies even within the same second.
    if (loaded.at <= state_->loaded.at)
        loaded.at = state_->loaded.at + 1;
    std::swap(state_->loaded, loaded);
}

Result<std::unique_ptr<HttpServer>> HttpServer::Start(std::shared_ptr<const Catalogue> catalogue,
                                                      ServerOptions options) {
    auto state = std::make_unique<State>();
    state->root = catalogue->archive().root;
    state->loaded = {std::move(catalogue), std::time(nullptr)};
    state->options = std::move(options);
    const ServerOptions& o = state->options;
    if (o.chunkBytes == 0)
        return Failure{"", 0, "the chunk size must be at least one byte"};

    sockaddr_in v4{};
    sockaddr_in6 v6{};
    const sockaddr* address = nullptr;
    socklen_t addressLength = 0;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_TURBO;
    if (::inet_pton(AF_INET, o.address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(o.port);
        address = reinterpret_cast<const sockaddr*>(&v4);
        addressLength = sizeof v4;
    } else if (::inet_pton(AF_INET6, o.address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(o.port);
        address = reinterpret_cast<const sockaddr*>(&v6);
        addressLength = sizeof v6;
        flags |= MHD_USE_IPv6;
    } else {
        return Failure{"", 0, "'" + o.address + "' is not an IPv4 or IPv6 address"};
    }
    if (o.logRequests)
        flags |= MHD_USE_ERROR_LOG;
    const unsigned threads = o.threads != 0 ? o.threads : std::max(1u, std::thread::hardware_concurrency());
    const Failure cannotListen{"", 0,
                               "cannot listen on " + o.address + " port " + std::to_string(o.port) +
                                   " (in use, or not an address of this machine?)"};
    // No address reuse beyond the usual: a second server on a port in use must fail, not share it.
    std::unique_ptr<FrontDoor> front;
    if (o.directWindows && !o.chunked && !o.logRequests) {
        front = FrontDoor::Listen(*state, address, addressLength, threads);
        if (!front)
            return cannotListen;
        // The daemon listens on nothing: it is handed the connections the front door does not answer.
        flags = (flags & ~static_cast<unsigned>(MHD_USE_IPv6)) | MHD_USE_NO_LISTEN_SOCKET | MHD_USE_ITC;
    }
    if (!state->root.empty())
        state->rootFd = FileDescriptor(::open(state->root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    state->watchman = std::thread([s = state.get()] { s->Watch(); });

    // The per-address limit is kept here rather than by libmicrohttpd, which counts IPv6 addresses one
    // by one.
    state->addressLimit = std::make_unique<AddressLimit>(o.perAddressLimit);
    MHD_Daemon* daemon =
        front ? MHD_start_daemon(flags, 0, &AcceptPolicy, state.get(), &AccessHandler, state.get(),
                                 MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_TIMEOUT,
                                 o.timeoutSeconds, MHD_OPTION_CONNECTION_LIMIT, o.connectionLimit,
                                 MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(16384),
                                 MHD_OPTION_NOTIFY_COMPLETED, &RequestCompleted, state.get(),
                                 MHD_OPTION_NOTIFY_CONNECTION, &NotifyConnection, state.get(),
                                 MHD_OPTION_URI_LOG_CALLBACK, &KeepTarget, nullptr, MHD_OPTION_END)
              : MHD_start_daemon(flags, o.port, &AcceptPolicy, state.get(), &AccessHandler, state.get(),
                                 MHD_OPTION_SOCK_ADDR, address, MHD_OPTION_THREAD_POOL_SIZE, threads,
                                 MHD_OPTION_CONNECTION_TIMEOUT, o.timeoutSeconds, MHD_OPTION_CONNECTION_LIMIT,
                                 o.connectionLimit, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
                                 static_cast<std::size_t>(16384), MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
                                 MHD_OPTION_NOTIFY_COMPLETED, &RequestCompleted, state.get(),
                                 MHD_OPTION_NOTIFY_CONNECTION, &NotifyConnection, state.get(),
                                 MHD_OPTION_URI_LOG_CALLBACK, &KeepTarget, nullptr, MHD_OPTION_END);
    if (!daemon)
        return cannotListen;
    state->daemon.reset(daemon);
    if (front) {
        state->port = front->port();
        state->front = std::move(front);
        state->front->Open();
    } else {
        const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
        state->port = info ? info->port : o.port;
    }
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(state)));
}

} // namespace station
