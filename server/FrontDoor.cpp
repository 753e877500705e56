#include "FrontDoor.h"

#include "DirectHead.h"

#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>

namespace station {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kPeekBytes = 4096; // a head that does not fit is libmicrohttpd's
constexpr int kEventsPerWait = 64;
// After running out of descriptors, accepting waits this long before it tries again.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

} // namespace

struct FrontDoor::Connection {
    FileDescriptor socket;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    std::optional<AddressLimit::Key> client;
    Clock::time_point accepted;
    Clock::time_point deadline = Clock::time_point::max();
    bool watched = false; // in the worker's epoll set
    DirectAnswer answer;
    std::size_t headSent = 0;
    bool sending = false;                 // in the worker's sending list, else in its waiting list
    std::list<Connection>::iterator self; // its node, found from the epoll event
};

// One thread: its own epoll set, shared listening socket (woken one thread at a time), the connections
// it accepted. Those waiting for their first bytes and those being sent to are kept in order of their
// deadlines (each list's deadlines only grow), so that the expired ones are always at the front.
class FrontDoor::Worker {
public:
    explicit Worker(FrontDoor& door) : door_(door), server_(door.server_) {}
    ~Worker() {
        if (thread_.joinable())
            thread_.join();
    }
    bool Prepare();
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }

private:
    using List = std::list<Connection>;

    void Run();
    void Accept();
    void First(List::iterator connection);
    void Send(List::iterator connection, List& from);
    void HandOver(List::iterator connection, List& from);
    void Finish(List::iterator connection, List& from);
    bool Watch(Connection& connection, std::uint32_t events);
    int Timeout(Clock::time_point now) const;
    void Expire(Clock::time_point now);
    void PauseAccepting(Clock::time_point now);

    FrontDoor& door_;
    HttpServer::State& server_;
    FileDescriptor epoll_;
    List waiting_; // accepted, no bytes yet
    List sending_; // waiting for room in the socket
    std::optional<Clock::time_point> acceptPausedUntil_;
    std::thread thread_;
    char tagListener_ = 0; // epoll tags: their addresses tell the listener and the stop signal apart
    char tagStop_ = 0;
};

bool FrontDoor::Worker::Prepare() {
    epoll_ = FileDescriptor(::epoll_create1(EPOLL_CLOEXEC));
    if (epoll_.get() < 0)
        return false;
    epoll_event listen{};
    listen.events = EPOLLIN | EPOLLEXCLUSIVE;
    listen.data.ptr = &tagListener_;
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.ptr = &tagStop_;
    return ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, door_.listener_.get(), &listen) == 0 &&
           ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, door_.stop_.get(), &stop) == 0;
}

void FrontDoor::Worker::Run() {
    // A client gone away must not kill the process while the window is sent (sendfile cannot be told
    // not to raise SIGPIPE); libmicrohttpd's threads block it too.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    epoll_event events[kEventsPerWait];
    for (;;) {
        const int n = ::epoll_wait(epoll_.get(), events, kEventsPerWait, Timeout(Clock::now()));
        if (n < 0 && errno != EINTR)
            break;
        bool stop = false;
        for (int i = 0; i < n; ++i) {
            void* tag = events[i].data.ptr;
            if (tag == &tagStop_) {
                stop = true;
            } else if (tag == &tagListener_) {
                Accept();
            } else {
                // A connection ends only while its own event is handled (one per wait) or once the
                // events are handled (deadlines), so each event fetched names a live connection.
                auto* connection = static_cast<Connection*>(tag);
                if (connection->sending)
                    Send(connection->self, sending_);
                else
                    First(connection->self);
            }
        }
        if (stop)
            break;
        Expire(Clock::now());
    }
    while (!waiting_.empty())
        Finish(waiting_.begin(), waiting_);
    while (!sending_.empty())
        Finish(sending_.begin(), sending_);
}

int FrontDoor::Worker::Timeout(Clock::time_point now) const {
    Clock::time_point next = Clock::time_point::max();
    if (!waiting_.empty())
        next = std::min(next, waiting_.front().deadline);
    if (!sending_.empty())
        next = std::min(next, sending_.front().deadline);
    if (acceptPausedUntil_)
        next = std::min(next, *acceptPausedUntil_);
    if (next == Clock::time_point::max())
        return -1;
    if (next <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<long long>(ms, 60000));
}

void FrontDoor::Worker::Expire(Clock::time_point now) {
    // Ended like libmicrohttpd ends them: the client sees the connection close.
    while (!waiting_.empty() && waiting_.front().deadline <= now)
        Finish(waiting_.begin(), waiting_);
    while (!sending_.empty() && sending_.front().deadline <= now)
        Finish(sending_.begin(), sending_);
    if (acceptPausedUntil_ && *acceptPausedUntil_ <= now) {
        acceptPausedUntil_.reset();
        epoll_event listen{};
        listen.events = EPOLLIN | EPOLLEXCLUSIVE;
        listen.data.ptr = &tagListener_;
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, door_.listener_.get(), &listen);
    }
}

void FrontDoor::Worker::PauseAccepting(Clock::time_point now) {
    // The listener stays readable while connections wait that cannot be taken: stop watching it for a
    // moment rather than spin.
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, door_.listener_.get(), nullptr);
    acceptPausedUntil_ = now + kAcceptPause;
}

void FrontDoor::Worker::Accept() {
    const ServerOptions& options = server_.options;
    for (;;) {
        Connection connection;
        const int fd = ::accept4(door_.listener_.get(), reinterpret_cast<sockaddr*>(&connection.peer),
                                 &connection.peerLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                PauseAccepting(Clock::now());
            return;
        }
        connection.socket = FileDescriptor(fd);
        const auto* peer = reinterpret_cast<const sockaddr*>(&connection.peer);
        if (!server_.addressLimit->Allows(peer))
            continue; // refused as libmicrohttpd refuses: closed at once
        connection.accepted = Clock::now();
        waiting_.push_back(std::move(connection));
        const auto it = std::prev(waiting_.end());
        it->self = it;
        it->client = AddressLimit::KeyOf(peer);
        door_.open_.fetch_add(1, std::memory_order_relaxed);
        // Another thread may have let in the same client meanwhile: one past the limit is ended.
        if (it->client && !server_.addressLimit->Add(*it->client)) {
            Finish(it, waiting_);
            continue;
        }
        const unsigned held = door_.open_.load(std::memory_order_relaxed) +
                              server_.daemonConnections.load(std::memory_order_relaxed);
        if (held > options.connectionLimit) {
            HandOver(it, waiting_); // libmicrohttpd decides, as at its limit it always has
            continue;
        }
        // Until its first bytes come, a connection is both idle and without its head: whichever
        // deadline comes first ends it.
        for (unsigned seconds : {options.headSeconds, options.timeoutSeconds})
            if (seconds != 0)
                it->deadline = std::min(it->deadline, it->accepted + std::chrono::seconds(seconds));
        First(it);
    }
}

bool FrontDoor::Worker::Watch(Connection& connection, std::uint32_t events) {
    epoll_event event{};
    event.events = events;
    event.data.ptr = &connection;
    const int op = connection.watched ? EPOLL_CTL_MOD : EPOLL_CTL_ADD;
    connection.watched = ::epoll_ctl(epoll_.get(), op, connection.socket.get(), &event) == 0;
    return connection.watched;
}

void FrontDoor::Worker::First(List::iterator connection) {
    char bytes[kPeekBytes];
    ssize_t got;
    do
        got = ::recv(connection->socket.get(), bytes, sizeof bytes, MSG_PEEK);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!connection->watched && !Watch(*connection, EPOLLIN))
            HandOver(connection, waiting_);
        return; // still in order in waiting_: its deadline was set at accept
    }
    if (got <= 0) {
        Finish(connection, waiting_); // closed or reset before a byte came
        return;
    }
    std::string_view target;
    std::optional<DirectAnswer> answer;
    if (ScanDirectHead(std::string_view(bytes, static_cast<std::size_t>(got)), target) == HeadScan::Direct)
        answer = server_.AnswerDirect(target);
    if (!answer) {
        HandOver(connection, waiting_);
        return;
    }
    // Take the head out of the socket: a socket closed with unread input would be reset.
    ssize_t taken;
    do
        taken = ::recv(connection->socket.get(), bytes, static_cast<std::size_t>(got), 0);
    while (taken < 0 && errno == EINTR);
    if (taken != got) {
        Finish(connection, waiting_);
        return;
    }
    connection->answer = std::move(*answer);
    connection->sending = true;
    const unsigned idle = server_.options.timeoutSeconds;
    connection->deadline = idle != 0 ? Clock::now() + std::chrono::seconds(idle) : Clock::time_point::max();
    sending_.splice(sending_.end(), waiting_, connection);
    Send(connection, sending_);
}

void FrontDoor::Worker::Send(List::iterator connection, List& from) {
    Connection& c = *connection;
    const int fd = c.socket.get();
    bool progress = false;
    while (c.headSent < c.answer.head.size()) {
        const ssize_t n = ::send(fd, c.answer.head.data() + c.headSent, c.answer.head.size() - c.headSent,
                                 MSG_NOSIGNAL | MSG_MORE);
        if (n > 0) {
            c.headSent += static_cast<std::size_t>(n);
            progress = true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            Finish(connection, from);
            return;
        }
    }
    while (c.headSent == c.answer.head.size() && c.answer.count > 0) {
        off_t offset = static_cast<off_t>(c.answer.offset);
        const ssize_t n = ::sendfile(fd, c.answer.file.get(), &offset, c.answer.count);
        if (n > 0) {
            c.answer.offset += static_cast<std::uint64_t>(n);
            c.answer.count -= static_cast<std::uint64_t>(n);
            progress = true;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            Finish(connection, from); // an error, or the file shrank under the window
            return;
        }
    }
    if (c.headSent == c.answer.head.size() && c.answer.count == 0) {
        // Input sent after the head (a client that did not wait) would turn the close into a reset.
        int unread = 0;
        if (::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) {
            if (c.watched) // the socket outlives the connection here: it must leave the epoll set
                ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fd, nullptr);
            std::lock_guard guard(server_.watchLock);
            server_.LingerLocked(std::move(c.socket));
        }
        Finish(connection, from);
        return;
    }
    // Waits for room; a client that takes nothing for the idle time is dropped, as libmicrohttpd drops it.
    if (!Watch(c, EPOLLOUT)) {
        Finish(connection, from);
        return;
    }
    if (progress) {
        const unsigned idle = server_.options.timeoutSeconds;
        c.deadline = idle != 0 ? Clock::now() + std::chrono::seconds(idle) : Clock::time_point::max();
        sending_.splice(sending_.end(), from, connection);
    }
}

void FrontDoor::Worker::HandOver(List::iterator connection, List& from) {
    if (connection->watched)
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, connection->socket.get(), nullptr);
    if (connection->client)
        server_.addressLimit->Remove(*connection->client); // counted again by libmicrohttpd's side
    door_.open_.fetch_sub(1, std::memory_order_relaxed);
    server_.HandOver(connection->socket.release(), reinterpret_cast<const sockaddr*>(&connection->peer),
                     connection->peerLength, connection->accepted);
    from.erase(connection);
}

void FrontDoor::Worker::Finish(List::iterator connection, List& from) {
    if (connection->client)
        server_.addressLimit->Remove(*connection->client);
    door_.open_.fetch_sub(1, std::memory_order_relaxed);
    from.erase(connection); // closes the socket, which also leaves the epoll set, and the recording
}

std::unique_ptr<FrontDoor> FrontDoor::Listen(HttpServer::State& server, const sockaddr* address,
                                             socklen_t length, unsigned threads) {
    FileDescriptor listener(::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (listener.get() < 0)
        return nullptr;
    const int on = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (address->sa_family == AF_INET6)
        ::setsockopt(listener.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::bind(listener.get(), address, length) != 0 || ::listen(listener.get(), 1024) != 0)
        return nullptr;
    std::unique_ptr<FrontDoor> door(new FrontDoor(server, std::move(listener), std::max(1u, threads)));
    if (door->stop_.get() < 0)
        return nullptr;
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    if (::getsockname(door->listener_.get(), reinterpret_cast<sockaddr*>(&bound), &boundLength) != 0)
        return nullptr;
    door->port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                                    : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    for (unsigned i = 0; i < door->threads_; ++i) {
        auto worker = std::make_unique<Worker>(*door);
        if (!worker->Prepare())
            return nullptr;
        door->workers_.push_back(std::move(worker));
    }
    return door;
}

FrontDoor::FrontDoor(HttpServer::State& server, FileDescriptor listener, unsigned threads)
    : server_(server), listener_(std::move(listener)), stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      threads_(threads) {}

FrontDoor::~FrontDoor() {
    const std::uint64_t one = 1;
    if (::write(stop_.get(), &one, sizeof one) < 0) {
        // Only a full counter fails, and a full counter is readable all the same.
    }
    workers_.clear(); // joins each thread
}

void FrontDoor::Open() {
    for (auto& worker : workers_)
        worker->Start();
}

} // namespace station
