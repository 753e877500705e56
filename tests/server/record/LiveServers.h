#pragma once
// Real servers on loopback for the recorder's tests, started by the tests from configuration files they
// write into a temporary folder: Debian's icecast2 and ngircd, and vantri-station itself, each as a child
// process whose output goes to a log file; plus the clients that feed them: an Icecast source that
// sends an MP3 at its own pace and sets titles, and scripted IRC chatters.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace recordtest {

// A port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreePort();
// Whether `port` on 127.0.0.1 takes connections.
bool Listening(std::uint16_t port);
// The program's path on PATH (or in /usr/sbin), or empty.
std::string FindProgram(const std::string& name);
std::string ReadText(const std::filesystem::path& path);

class ChildProcess {
public:
    // Starts `arguments` with stdout and stderr appended to `log`.
    ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& log);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    long pid() const { return pid_; }
    void Signal(int signal);
    // Waits for the end; the exit status (or 128 + signal), or nothing at the deadline.
    std::optional<int> WaitForExit(std::chrono::milliseconds deadline);
    // Ends it now (SIGKILL) and reaps it.
    void Kill();
    std::string Output() const { return ReadText(log_); }

private:
    long pid_ = -1;
    std::filesystem::path log_;
    std::optional<int> status_;
};

// icecast2 with one source password and a burst large enough that a listener connecting a moment
// after the source still gets the stream from its first byte.
class IcecastServer {
public:
    explicit IcecastServer(const std::filesystem::path& folder);
    bool Start(); // (again, after Stop) on the same port
    void Stop();
    bool running() const { return process_ && Listening(port_); }
    std::uint16_t port() const { return port_; }
    std::string Log() const;
    static constexpr const char* kSourcePassword = "hackme-source";
    static constexpr const char* kAdminPassword = "hackme-admin";

private:
    std::filesystem::path folder_;
    std::uint16_t port_ = 0;
    std::optional<ChildProcess> process_;
};

class IrcServer {
public:
    explicit IrcServer(const std::filesystem::path& folder);
    bool Start();
    void Stop();
    std::uint16_t port() const { return port_; }

private:
    std::filesystem::path folder_;
    std::uint16_t port_ = 0;
    std::optional<ChildProcess> process_;
};

// A source client: SOURCE with Basic authentication, then the MP3 at `bytesPerSecond`.
class IcecastSource {
public:
    IcecastSource(std::uint16_t port, std::string mount);
    ~IcecastSource();
    // Until icecast2 answers 200, trying again for up to 10 s.
    bool Connect();
    // Sends `bytes` paced at `bytesPerSecond` (0: as fast as the socket takes them).
    bool Send(std::string_view bytes, double bytesPerSecond);
    // The stream title, through icecast's admin/metadata.
    bool SetTitle(const std::string& title);
    void Close();

private:
    bool TryConnect();

    std::uint16_t port_;
    std::string mount_;
    int fd_ = -1;
};

// A scripted IRC user: registers, joins, says things, and reads what the server sends.
class Chatter {
public:
    Chatter(std::uint16_t port, std::string nick);
    ~Chatter();
    bool Connect();                        // until the welcome
    bool Join(const std::string& channel); // until the end of the names list
    void Send(const std::string& line);    // one raw line, CR LF added
    void SendBytes(const std::string& bytes);
    // Reads until a line containing `text` arrives; answers whether it did within the deadline.
    bool WaitFor(const std::string& text,
                 std::chrono::milliseconds deadline = std::chrono::milliseconds(10000));
    bool WaitForLine(const std::function<bool(const std::string&)>& wanted,
                     std::chrono::milliseconds deadline);
    // Joins and waits until `nick` is in the channel too (named at the join, or joining after).
    bool JoinWith(const std::string& channel, const std::string& nick,
                  std::chrono::milliseconds deadline = std::chrono::milliseconds(15000));
    // Waits for `nick` to join.
    bool WaitForJoin(const std::string& nick,
                     std::chrono::milliseconds deadline = std::chrono::milliseconds(15000));
    void Close();

private:
    std::uint16_t port_;
    std::string nick_;
    int fd_ = -1;
    std::string in_;
};

// URL-encodes a query value.
std::string UrlEncode(std::string_view text);

} // namespace recordtest
