#include "LiveServers.h"

#include "support/Deadline.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace recordtest {
namespace {

int ConnectLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Reads until the peer closes or the deadline passes.
std::string ReadAll(int fd, std::chrono::milliseconds deadline) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + deadline;
    char buffer[4096];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd waited{fd, POLLIN, 0};
        if (::poll(&waited, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

} // namespace

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Listening(std::uint16_t port) {
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// Whether an HTTP server on `port` answers a request with a status line: icecast2 listens before it has
// changed to its user and started the threads that serve, so a listening port alone is not ready.
bool AnswersHttp(std::uint16_t port) {
    const int fd = ConnectLoopback(port);
    if (fd < 0)
        return false;
    const std::string request = "GET /readiness HTTP/1.0\r\n\r\n"; // no such file: a quick 404
    const bool sent =
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    const std::string answer = sent ? ReadAll(fd, std::chrono::milliseconds(1000)) : std::string();
    ::close(fd);
    return answer.starts_with("HTTP/1.");
}

std::string FindProgram(const std::string& name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin";
    std::stringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const fs::path& log) : log_(log) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
        const int none = ::open("/dev/null", O_RDONLY);
        ::dup2(none, 0);
        // The test blocks no signals its children should see.
        sigset_t all;
        sigemptyset(&all);
        ::sigprocmask(SIG_SETMASK, &all, nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (out >= 0)
        ::close(out);
    pid_ = pid;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        Signal(SIGTERM);
        if (!WaitForExit(std::chrono::milliseconds(5000)))
            Kill();
    }
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0 && !status_)
        ::kill(static_cast<pid_t>(pid_), signal);
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds deadline) {
    if (status_ || pid_ <= 0)
        return status_;
    testsupport::WaitFor(
        [&] {
            int raw = 0;
            const pid_t done = ::waitpid(static_cast<pid_t>(pid_), &raw, WNOHANG);
            if (done == static_cast<pid_t>(pid_))
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return status_.has_value();
        },
        deadline);
    return status_;
}

void ChildProcess::Kill() {
    if (pid_ <= 0 || status_)
        return;
    ::kill(static_cast<pid_t>(pid_), SIGKILL);
    int raw = 0;
    ::waitpid(static_cast<pid_t>(pid_), &raw, 0);
    status_ = 128 + SIGKILL;
}

IcecastServer::IcecastServer(const fs::path& folder) : folder_(folder), port_(FreePort()) {}

bool IcecastServer::Start() {
    const std::string program = FindProgram("icecast2");
    if (program.empty())
        return false;
    fs::create_directories(folder_ / "log");
    // icecast2 will not run as root unless it changes to another user once it listens; that user then
    // writes the logs.
    const bool root = ::geteuid() == 0;
    if (root) {
        fs::permissions(folder_, fs::perms::all);
        fs::permissions(folder_ / "log", fs::perms::all);
        fs::permissions(folder_.parent_path(), fs::perms::others_exec, fs::perm_options::add);
    }
    std::ofstream(folder_ / "icecast.xml")
        << "<icecast>\n<location>loopback</location><admin>test@localhost</admin>\n"
           "<limits><clients>20</clients><sources>4</sources><queue-size>8388608</queue-size>"
           "<client-timeout>30</client-timeout><header-timeout>15</header-timeout>"
           "<source-timeout>10</source-timeout><burst-on-connect>1</burst-on-connect>"
           "<burst-size>8388608</burst-size></limits>\n"
           "<authentication><source-password>"
        << kSourcePassword << "</source-password><relay-password>unused</relay-password>"
        << "<admin-user>admin</admin-user><admin-password>" << kAdminPassword
        << "</admin-password></authentication>\n"
           "<hostname>127.0.0.1</hostname>\n<listen-socket><port>"
        << port_ << "</port><bind-address>127.0.0.1</bind-address></listen-socket>\n"
        << "<fileserve>0</fileserve>\n<paths><basedir>" << folder_.string() << "</basedir><logdir>"
        << (folder_ / "log").string()
        << "</logdir><webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</"
           "adminroot>"
           "</paths>\n<logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>"
           "<loglevel>3</loglevel></logging>\n<security><chroot>0</chroot>"
        << (root ? "<changeowner><user>nobody</user><group>nogroup</group></changeowner>" : "")
        << "</security>\n</icecast>\n";
    // A server started right after another on the same port sometimes hangs in its start-up and never
    // serves; such a start is ended and made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        process_.emplace(std::vector<std::string>{program, "-c", (folder_ / "icecast.xml").string()},
                         folder_ / "icecast-output.txt");
        if (testsupport::WaitFor([&] { return AnswersHttp(port_); }, std::chrono::milliseconds(4000)))
            return true;
        process_->Kill();
        process_->WaitForExit(std::chrono::milliseconds(5000));
        process_.reset();
    }
    return false;
}

void IcecastServer::Stop() {
    if (!process_)
        return;
    // Ended at once, as a crash would: icecast2's own shutdown takes seconds, and a second server started
    // on the same port while its threads wind down sometimes never serves.
    process_->Kill();
    process_->WaitForExit(std::chrono::milliseconds(5000));
    process_.reset();
}

std::string IcecastServer::Log() const {
    return ReadText(folder_ / "icecast-output.txt") + ReadText(folder_ / "log" / "error.log");
}

IrcServer::IrcServer(const fs::path& folder) : folder_(folder), port_(FreePort()) {}

bool IrcServer::Start() {
    const std::string program = FindProgram("ngircd");
    if (program.empty())
        return false;
    fs::create_directories(folder_);
    std::ofstream(folder_ / "ngircd.conf")
        << "[Global]\nName = irc.loopback.test\nInfo = Loopback IRC\nListen = 127.0.0.1\nPorts = " << port_
        << "\nMotdPhrase = Welcome\nPidFile = " << (folder_ / "ngircd.pid").string()
        << "\n[Limits]\nMaxConnectionsIP = 0\nMaxJoins = 0\nPingTimeout = 120\nPongTimeout = 20\n"
           "[Options]\nPAM = no\nIdent = no\nDNS = no\nSyslogFacility = local7\n";
    process_.emplace(std::vector<std::string>{program, "-n", "-f", (folder_ / "ngircd.conf").string()},
                     folder_ / "ngircd-output.txt");
    return testsupport::WaitFor([&] { return Listening(port_); }, std::chrono::milliseconds(10000));
}

void IrcServer::Stop() {
    if (!process_)
        return;
    process_->Signal(SIGTERM);
    if (!process_->WaitForExit(std::chrono::milliseconds(5000)))
        process_->Kill();
    process_.reset();
}

IcecastSource::IcecastSource(std::uint16_t port, std::string mount) : port_(port), mount_(std::move(mount)) {}

IcecastSource::~IcecastSource() {
    Close();
}

bool IcecastSource::Connect() {
    // As a live source client does, it tries again until the server takes it: a server just started may
    // close the first sources it is sent.
    return testsupport::WaitFor([&] { return TryConnect(); }, std::chrono::seconds(10));
}

bool IcecastSource::TryConnect() {
    Close();
    fd_ = ConnectLoopback(port_);
    if (fd_ < 0)
        return false;
    const std::string request =
        "SOURCE " + mount_ + " HTTP/1.0\r\nAuthorization: Basic " +
        Base64(std::string("source:") + IcecastServer::kSourcePassword) +
        "\r\nContent-Type: audio/mpeg\r\nice-name: Loopback FM\r\nice-public: 0\r\n\r\n";
    if (!SendAll(fd_, request))
        return false;
    // icecast answers "HTTP/1.0 200 OK" and then reads the stream.
    std::string answer;
    char c = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (answer.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd waited{fd_, POLLIN, 0};
        if (::poll(&waited, 1, 100) <= 0)
            continue;
        if (::recv(fd_, &c, 1, 0) != 1)
            return false;
        answer += c;
    }
    return answer.find(" 200") != std::string::npos;
}

bool IcecastSource::Send(std::string_view bytes, double bytesPerSecond) {
    const auto begin = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    constexpr std::size_t kPiece = 2048;
    while (sent < bytes.size()) {
        const std::size_t n = std::min(kPiece, bytes.size() - sent);
        if (!SendAll(fd_, bytes.substr(sent, n)))
            return false;
        sent += n;
        if (bytesPerSecond > 0) {
            // The pace of a live source: the next piece when its time has come.
            const auto due =
                begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(static_cast<double>(sent) / bytesPerSecond));
            std::this_thread::sleep_until(due);
        }
    }
    return true;
}

bool IcecastSource::SetTitle(const std::string& title) {
    const int fd = ConnectLoopback(port_);
    if (fd < 0)
        return false;
    const std::string request = "GET /admin/metadata?mount=" + UrlEncode(mount_) +
                                "&mode=updinfo&charset=UTF-8&song=" + UrlEncode(title) +
                                " HTTP/1.0\r\nAuthorization: Basic " +
                                Base64(std::string("admin:") + IcecastServer::kAdminPassword) + "\r\n\r\n";
    const bool sent = SendAll(fd, request);
    const std::string answer = sent ? ReadAll(fd, std::chrono::milliseconds(5000)) : std::string();
    ::close(fd);
    return answer.find(" 200") != std::string::npos;
}

void IcecastSource::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

Chatter::Chatter(std::uint16_t port, std::string nick) : port_(port), nick_(std::move(nick)) {}

Chatter::~Chatter() {
    Close();
}

bool Chatter::Connect() {
    fd_ = ConnectLoopback(port_);
    if (fd_ < 0)
        return false;
    Send("NICK " + nick_);
    Send("USER " + nick_ + " 0 * :" + nick_);
    return WaitFor(" 001 ");
}

bool Chatter::Join(const std::string& channel) {
    Send("JOIN " + channel);
    return WaitFor(" 366 ");
}

void Chatter::Send(const std::string& line) {
    SendBytes(line + "\r\n");
}

void Chatter::SendBytes(const std::string& bytes) {
    if (fd_ >= 0)
        SendAll(fd_, bytes);
}

bool Chatter::WaitFor(const std::string& text, std::chrono::milliseconds deadline) {
    return WaitForLine([&](const std::string& line) { return line.find(text) != std::string::npos; },
                       deadline);
}

bool Chatter::WaitForLine(const std::function<bool(const std::string&)>& wanted,
                          std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        for (std::size_t newline; (newline = in_.find('\n')) != std::string::npos;) {
            const std::string line = in_.substr(0, newline);
            in_.erase(0, newline + 1);
            if (line.starts_with("PING"))
                Send("PONG" + line.substr(4));
            if (wanted(line))
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || fd_ < 0)
            return false;
        pollfd waited{fd_, POLLIN, 0};
        if (::poll(&waited, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        in_.append(buffer, static_cast<std::size_t>(got));
    }
}

bool Chatter::JoinWith(const std::string& channel, const std::string& nick,
                       std::chrono::milliseconds deadline) {
    Send("JOIN " + channel);
    bool named = false;
    const bool joined = WaitForLine(
        [&](const std::string& line) {
            if (line.find(" 353 ") != std::string::npos) {
                const std::string names = " " + line.substr(line.rfind(':') + 1) + " ";
                for (const char* sign : {" ", " @", " +"})
                    named = named || names.find(sign + nick + " ") != std::string::npos ||
                            names.find(sign + nick + "\r") != std::string::npos;
            }
            return line.find(" 366 ") != std::string::npos;
        },
        deadline);
    return joined && (named || WaitForJoin(nick, deadline));
}

bool Chatter::WaitForJoin(const std::string& nick, std::chrono::milliseconds deadline) {
    return WaitForLine(
        [&](const std::string& line) {
            return line.starts_with(":" + nick + "!") && line.find(" JOIN ") != std::string::npos;
        },
        deadline);
}

void Chatter::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::string UrlEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '_' || byte == '.' || byte == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

} // namespace recordtest
