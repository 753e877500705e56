// The channel is a listening Unix-domain socket next to a lock file. The lock (flock) says who is first:
// the kernel drops it when its holder dies, so a socket file left by a crashed instance is simply
// replaced by the next one that gets the lock.

#include "platform/InstanceChannel.h"

#include "platform/Environment.h"
#include "platform/linux/ForkedChildren.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace platform {

namespace {

// How long the first instance gives a connected sender to deliver its message, in milliseconds.
constexpr int kReceiveMilliseconds = 2000;

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// A folder only this user may enter: owned by the user, not a symbolic link, no access for others.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    return info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

struct InstanceChannel::State {
    std::string socketPath;
    Fd lock;
    Fd listener;
    Fd wakeRead;
    Fd wakeWrite;
    Receiver receiver;
    std::thread thread;
    // A child forked without exec (a message box) must not keep the lock or the channel after this
    // process ends; these go before the descriptors they name are closed.
    std::unique_ptr<linux_backend::ChildlessDescriptor> lockInChildren;
    std::unique_ptr<linux_backend::ChildlessDescriptor> listenerInChildren;

    void Serve();
    void ServeOne(int connection);
};

void InstanceChannel::State::Serve() {
    for (;;) {
        pollfd entries[2] = {{listener.get(), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[1].revents != 0)
            return;
        if ((entries[0].revents & POLLIN) == 0)
            continue;
        Fd connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (connection.valid())
            ServeOne(connection.get());
    }
}

void InstanceChannel::State::ServeOne(int connection) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || length != sizeof peer ||
        peer.uid != ::geteuid())
        return; // another user's process: not heard, and not answered
    std::string message;
    std::size_t total = 0;
    char buffer[512];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReceiveMilliseconds);
    for (;;) {
        if (!WaitFor(connection, POLLIN, deadline))
            return; // a sender that never finished its message is dropped
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            break;
        total += static_cast<std::size_t>(got);
        const std::size_t room = kMaxMessageBytes - std::min(message.size(), kMaxMessageBytes);
        message.append(buffer, std::min(static_cast<std::size_t>(got), room));
    }
    // Too long to be whole: none of it is taken, as a part of it could be a different link.
    if (total > kMaxMessageBytes)
        message.clear();
    if (receiver)
        receiver(std::move(message));
    // The answer tells the sender that its message was taken.
    const char done = '\n';
    (void)!::send(connection, &done, 1, MSG_NOSIGNAL);
}

std::string InstanceChannel::Folder() {
    // The runtime folder only when it is private (the desktop makes it so); one that others can enter
    // would let them take the channel.
    if (const auto runtime = GetEnv("XDG_RUNTIME_DIR");
        runtime && !runtime->empty() && (*runtime)[0] == '/') {
        struct stat info {};
        if (::stat(runtime->c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
            (info.st_mode & 077) == 0)
            return *runtime;
    }
    std::string base = "/tmp";
    if (const auto temp = GetEnv("TMPDIR"); temp && !temp->empty() && (*temp)[0] == '/')
        base = *temp;
    const std::string folder = base + "/vantri-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolder(folder) ? folder : std::string();
}

InstanceChannel::Claim InstanceChannel::Open(const std::string& name, Receiver receiver,
                                             std::unique_ptr<InstanceChannel>& channel) {
    channel.reset();
    const std::string folder = Folder();
    if (folder.empty())
        return Claim::Unavailable;
    auto state = std::make_unique<State>();
    state->socketPath = folder + "/" + name + ".socket";
    sockaddr_un address{};
    if (!FillAddress(state->socketPath, address))
        return Claim::Unavailable;
    const std::string lockPath = folder + "/" + name + ".lock";
    state->lock = Fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!state->lock.valid())
        return Claim::Unavailable;
    state->lockInChildren = std::make_unique<linux_backend::ChildlessDescriptor>(state->lock.get());
    if (::flock(state->lock.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? Claim::Second : Claim::Unavailable;
    // The lock is ours: whatever socket file lies there belongs to an instance that is gone.
    ::unlink(state->socketPath.c_str());
    state->listener = Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!state->listener.valid())
        return Claim::Unavailable;
    state->listenerInChildren = std::make_unique<linux_backend::ChildlessDescriptor>(state->listener.get());
    const mode_t previous = ::umask(077);
    const int bound =
        ::bind(state->listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(previous);
    if (bound != 0 || ::listen(state->listener.get(), 8) != 0)
        return Claim::Unavailable;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return Claim::Unavailable;
    state->wakeRead = Fd(pipe[0]);
    state->wakeWrite = Fd(pipe[1]);
    state->receiver = std::move(receiver);
    State* raw = state.get();
    state->thread = std::thread([raw] { raw->Serve(); });
    channel.reset(new InstanceChannel(std::move(state)));
    return Claim::First;
}

InstanceChannel::Delivery InstanceChannel::Deliver(const std::string& name, std::string_view message,
                                                   int milliseconds) {
    const std::string folder = Folder();
    if (folder.empty())
        return Delivery::NotDelivered;
    sockaddr_un address{};
    if (!FillAddress(folder + "/" + name + ".socket", address))
        return Delivery::NotDelivered;
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return Delivery::NotDelivered;
    // The listener must be this user's: a command line (a link, "kill") is never handed to a stranger.
    ucred listener{};
    socklen_t length = sizeof listener;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &listener, &length) != 0 ||
        length != sizeof listener || listener.uid != ::geteuid())
        return Delivery::Refused;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    // A message too long to be whole goes as one byte more than the first instance takes, which then
    // takes none of it.
    message = message.substr(0, kMaxMessageBytes + 1);
    while (!message.empty()) {
        if (!WaitFor(fd.get(), POLLOUT, deadline))
            return Delivery::NotDelivered;
        const ssize_t sent = ::send(fd.get(), message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (sent <= 0)
            return Delivery::NotDelivered;
        message.remove_prefix(static_cast<std::size_t>(sent));
    }
    ::shutdown(fd.get(), SHUT_WR);
    char answer = 0;
    for (;;) {
        if (!WaitFor(fd.get(), POLLIN, deadline))
            return Delivery::NotDelivered;
        const ssize_t got = ::recv(fd.get(), &answer, 1, MSG_DONTWAIT);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return got == 1 ? Delivery::Delivered : Delivery::NotDelivered;
    }
}

InstanceChannel::InstanceChannel(std::unique_ptr<State> state) : state_(std::move(state)) {}

InstanceChannel::~InstanceChannel() {
    const char stop = 1;
    (void)!::write(state_->wakeWrite.get(), &stop, 1);
    if (state_->thread.joinable())
        state_->thread.join();
    ::unlink(state_->socketPath.c_str());
}

const std::string& InstanceChannel::path() const {
    return state_->socketPath;
}

} // namespace platform
