#include "Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <utility>

namespace station::record {
namespace {

std::string SystemError(int error) {
    return std::strerror(error);
}

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

} // namespace

TcpConnection::~TcpConnection() {
    Close();
}

TcpConnection::TcpConnection(TcpConnection&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Result<TcpConnection> TcpConnection::Start(const std::string& host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int looked = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (looked != 0)
        return Failure{"", 0, "cannot find " + host + ": " + ::gai_strerror(looked)};
    std::unique_ptr<addrinfo, AddressListDeleter> list(found);
    std::string problem = "no address for " + host;
    for (const addrinfo* address = list.get(); address; address = address->ai_next) {
        TcpConnection connection(
            ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!connection.open()) {
            problem = SystemError(errno);
            continue;
        }
        const int one = 1;
        ::setsockopt(connection.fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(connection.fd_, address->ai_addr, address->ai_addrlen) == 0 || errno == EINPROGRESS)
            return connection;
        problem = SystemError(errno);
    }
    return Failure{"", 0, "cannot connect to " + host + " port " + service + ": " + problem};
}

std::string TcpConnection::Established() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    return error == 0 ? std::string() : SystemError(error);
}

IoResult TcpConnection::Read(char* buffer, std::size_t size) {
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    if (got > 0)
        return {IoResult::Bytes, static_cast<std::size_t>(got), {}};
    if (got == 0)
        return {IoResult::Closed, 0, {}};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {IoResult::WouldBlock, 0, {}};
    return {IoResult::Error, 0, SystemError(errno)};
}

IoResult TcpConnection::Write(std::string_view bytes) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent >= 0)
        return {IoResult::Bytes, static_cast<std::size_t>(sent), {}};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {IoResult::WouldBlock, 0, {}};
    return {IoResult::Error, 0, SystemError(errno)};
}

void TcpConnection::Close() {
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
}

void Wait(std::vector<Waited>& handles, std::chrono::milliseconds timeout) {
    std::vector<pollfd> polled;
    polled.reserve(handles.size());
    for (Waited& waited : handles) {
        waited.readable = waited.writable = false;
        short events = 0;
        if (waited.wantRead)
            events |= POLLIN;
        if (waited.wantWrite)
            events |= POLLOUT;
        polled.push_back({waited.handle, events, 0});
    }
    const int ready =
        ::poll(polled.data(), polled.size(), static_cast<int>(std::max<long long>(0, timeout.count())));
    if (ready <= 0)
        return;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const short got = polled[i].revents;
        handles[i].readable = (got & (POLLIN | POLLHUP | POLLERR)) != 0;
        handles[i].writable = (got & (POLLOUT | POLLERR | POLLHUP)) != 0 && handles[i].wantWrite;
    }
}

StopSignals::StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &signals, nullptr);
    readFd_ = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

StopSignals::~StopSignals() {
    if (readFd_ >= 0)
        ::close(readFd_);
}

bool StopSignals::Arrived() {
    bool arrived = false;
    signalfd_siginfo info{};
    while (readFd_ >= 0 && ::read(readFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        arrived = true;
    return arrived;
}

AppendFile::~AppendFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Result<AppendFile> AppendFile::Open(const std::filesystem::path& path) {
    AppendFile file;
    file.fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file.fd_ < 0)
        return Failure{path.string(), 0, "cannot open for writing: " + SystemError(errno)};
    file.path_ = path;
    return file;
}

Status AppendFile::Append(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return Failure{path_.string(), 0, "cannot write: " + SystemError(written < 0 ? errno : ENOSPC)};
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return Done{};
}

Status AppendFile::Sync() {
    if (::fdatasync(fd_) != 0)
        return Failure{path_.string(), 0, "cannot make durable: " + SystemError(errno)};
    return Done{};
}

Status WriteDurably(const std::filesystem::path& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Failure{path.string(), 0, "cannot open for writing: " + SystemError(errno)};
    std::string_view rest = bytes;
    int problem = 0;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            problem = written < 0 ? errno : ENOSPC;
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (problem == 0 && ::fsync(fd) != 0)
        problem = errno;
    if (::close(fd) != 0 && problem == 0)
        problem = errno;
    if (problem != 0)
        return Failure{path.string(), 0, "cannot write: " + SystemError(problem)};
    return Done{};
}

Status SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Failure{folder.string(), 0, "cannot open: " + SystemError(errno)};
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (synced != 0)
        return Failure{folder.string(), 0, "cannot make durable: " + SystemError(error)};
    return Done{};
}

} // namespace station::record
