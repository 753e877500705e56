#pragma once
// What the station server's parts share inside the server: the server's state and the handles its
// responses are made from. Not for use outside HttpServer*.cpp.

#include "AddressLimit.h"
#include "HttpCaching.h"
#include "HttpServer.h"
#include "SearchTarget.h"

#include <microhttpd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace station {

struct FeedTarget;
struct WebLink;
class FrontDoor;

// An open file descriptor, closed on destruction unless released to libmicrohttpd.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// A window as the front door sends it: the response head and the bytes of the open recording.
struct DirectAnswer {
    std::string head;
    FileDescriptor file;
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
};

struct DaemonDeleter {
    void operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }
};

struct ResponseDeleter {
    void operator()(MHD_Response* response) const { MHD_destroy_response(response); }
};
using ResponsePtr = std::unique_ptr<MHD_Response, ResponseDeleter>;

// Per-connection state: the raw request target of the request being handled, kept because
// libmicrohttpd hands the access handler an unescaped path with the query split off; and what the
// request-head deadline needs.
struct ConnectionState {
    std::string target;
    const char* rawTarget = nullptr; // where libmicrohttpd holds the target, while the request is read
    int fd = -1;
    // For the request-head deadline: written by the connection's thread at each request, read by the
    // watchman without a lock, so that no request waits for another thread's bookkeeping.
    std::atomic<std::chrono::steady_clock::rep> waitingSince{0}; // steady-clock ticks
    std::atomic<bool> headComplete{false};
    bool cutOff = false;
    std::optional<AddressLimit::Key> client; // counted against the per-address limit
};

struct HttpServer::State {
    ~State();

    // The catalogue being served and when it was loaded, replaced whole by a rescan. Each request takes
    // its own reference, and bodies sent from the catalogue's memory keep it until they are sent.
    struct Loaded {
        std::shared_ptr<const Catalogue> catalogue;
        std::time_t at = 0; // when its bodies were made: their modification time
    };
    mutable std::mutex loadedLock;
    Loaded loaded;
    Loaded Current() const {
        std::lock_guard guard(loadedLock);
        return loaded;
    }
    std::filesystem::path root; // the archive's folder, the same for every catalogue
    ServerOptions options;
    std::uint16_t port = 0;
    FileDescriptor rootFd; // the archive's folder; recordings are opened beneath it at every request
    std::unique_ptr<AddressLimit> addressLimit;

    // Connections still waiting for a complete request head, watched by the watchman thread; and
    // sockets being closed gently (their pipelined input read away, so that no reset cuts the answer).
    std::mutex watchLock;
    std::condition_variable watchWake;
    bool stopping = false;
    std::map<ConnectionState*, ConnectionState*> connections;
    struct Lingering {
        FileDescriptor fd;
        std::chrono::steady_clock::time_point until;
    };
    std::vector<Lingering> lingering;
    std::thread watchman;
    void Watch();
    // Ends `socket` gently, its answer sent and input still unread: sends its end and reads the rest away
    // for a moment before it closes, so that no reset cuts off the answer. Under watchLock.
    void LingerLocked(FileDescriptor socket);

    std::unique_ptr<MHD_Daemon, DaemonDeleter> daemon;
    // Accepts the connections when it listens (see FrontDoor.h); stopped before the daemon.
    std::unique_ptr<FrontDoor> front;
    // When the front door accepted the connections it handed to the daemon and the daemon has not yet
    // begun (by socket, under watchLock): their request-head deadlines run from then.
    std::map<int, std::chrono::steady_clock::rep> handedOver;
    void HandOver(int fd, const sockaddr* peer, socklen_t length,
                  std::chrono::steady_clock::time_point accepted);
    std::atomic<unsigned> daemonConnections{0}; // the daemon's connections, from start to close
    // The answer to a plain request for `target` when it is a window of a recording that can be sent:
    // the head libmicrohttpd would send and the open recording. Nothing otherwise (libmicrohttpd
    // answers: another endpoint, an unknown station or stream, an unreadable recording, an empty window).
    std::optional<DirectAnswer> AnswerDirect(std::string_view target) const;

    MHD_Result Handle(MHD_Connection* connection, const char* url, const char* method, const char* version,
                      void** requestContext);
    MHD_Result Refuse(MHD_Connection* connection, int status, const std::string& reason,
                      std::string_view target);
    // `tag` is the body's entity tag, made when it was loaded; a body made for this request (`owned`)
    // is tagged by its bytes. `flagHeader`, when given, is sent with the value "1" (it tells what the
    // body holds).
    MHD_Result SendBody(MHD_Connection* connection, const Loaded& source, std::string_view body,
                        std::string owned, std::string_view target, const char* cacheControl,
                        const std::string* tag, const char* flagHeader = nullptr,
                        const char* contentType = "application/octet-stream");
    // Answers 304 when the request's conditions say the client's copy is current; null otherwise.
    std::optional<MHD_Result> AnswerNotModified(MHD_Connection* connection, const Validators& validators,
                                                const char* cacheControl, std::string_view target);
    static void AddValidators(MHD_Response* response, const Validators& validators, const char* cacheControl);
    MHD_Result SendWindow(MHD_Connection* connection, const Stream& stream, std::uint64_t start,
                          std::uint32_t length, std::string_view target);
    // Web-link pages describe the stations' shows: served only while the stations are.
    MHD_Result SendWebLinkPage(MHD_Connection* connection, const Loaded& source, const WebLink& link,
                               std::string_view target);
    static void AddPageSecurity(MHD_Response* response);
    // searchtracks/ and searchchat/, across every station served.
    MHD_Result SendSearch(MHD_Connection* connection, const Loaded& source, const SearchRequest& search,
                          std::string_view target);
    // The podcast feed of a station and what its items point to (HttpFeed.cpp).
    MHD_Result SendFeed(MHD_Connection* connection, const Loaded& source, const FeedTarget& feed,
                        const char* hostHeader, std::string_view target);
    // A whole recording, or the one byte range the request asks for.
    MHD_Result SendRecording(MHD_Connection* connection, const Stream& stream, std::string_view target);
    // Where the feed's addresses point: the public host when one is configured, else the Host the
    // client asked for; nothing when that is not a host name or address.
    std::optional<std::string> FeedBase(const char* hostHeader) const;
    // Opens a recording beneath the archive's folder (a recording replaced by a link that leads out
    // of the archive since it was loaded is refused); its size as served and what fstat tells of it.
    bool OpenRecording(const Stream& stream, FileDescriptor& fd, std::uint64_t& size,
                       struct stat& facts) const;
    // The validators of `count` bytes from `start` of the recording file described by `facts`: the same
    // window of the same file is the same bytes.
    static Validators RecordingValidators(const struct stat& facts, std::uint64_t start, std::uint64_t count);
    MHD_Result Queue(MHD_Connection* connection, int status, ResponsePtr response, std::string_view target,
                     std::uint64_t bytes);
    void Log(std::string_view target, int status, std::uint64_t bytes) const;
};

// A response that sends `count` bytes of the file from `start`: with sendfile, or in chunks read with
// pread when `chunkBytes` is not 0. Takes the descriptor when it succeeds.
ResponsePtr FileResponse(FileDescriptor& fd, std::uint64_t start, std::uint64_t count,
                         std::size_t chunkBytes);

} // namespace station
