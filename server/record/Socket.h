#pragma once
// The few operating-system calls the recorder's single-threaded loop needs: a non-blocking TCP
// connection, a wait on several of them at once, the stop signals as something to wait on, and files
// appended to and made durable. Everything POSIX lives in Socket.cpp.

#include "Result.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace station::record {

// What a read or write on a non-blocking connection did.
struct IoResult {
    enum Kind { Bytes, WouldBlock, Closed, Error } kind = Error;
    std::size_t bytes = 0;
    std::string error; // for Error: what the system said
};

class TcpConnection {
public:
    TcpConnection() = default;
    ~TcpConnection();
    TcpConnection(TcpConnection&& other) noexcept;
    TcpConnection& operator=(TcpConnection&& other) noexcept;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Starts connecting to `host` (a name or address; looked up at once) and `port` without waiting for
    // the connection: it is made when the handle turns writable, and Established says how it went.
    static Result<TcpConnection> Start(const std::string& host, std::uint16_t port);

    bool open() const { return fd_ >= 0; }
    int handle() const { return fd_; }
    // After the handle first turns writable: empty when connected, else why not.
    std::string Established();
    IoResult Read(char* buffer, std::size_t size);
    IoResult Write(std::string_view bytes);
    void Close();

private:
    explicit TcpConnection(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// One handle to wait on and, after Wait, what happened to it.
struct Waited {
    int handle = -1;
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false; // also set when the peer closed or the connection failed
    bool writable = false;
};

// Waits until one of `handles` is ready or `timeout` passed (negative handles are left out).
void Wait(std::vector<Waited>& handles, std::chrono::milliseconds timeout);

// SIGINT and SIGTERM as a handle that turns readable when one arrives (and SIGPIPE ignored, SIGXFSZ too,
// so that a write past a file size limit fails instead of ending the program). One per process.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int handle() const { return readFd_; }
    bool Arrived(); // true once a stop signal came (reads the handle empty)

private:
    int readFd_ = -1; // a signalfd
};

// A file opened for appending, created when missing. Every Append writes all its bytes or fails.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    static Result<AppendFile> Open(const std::filesystem::path& path);
    // On failure some of the bytes may have been written; the text says why (for example "No space
    // left on device").
    Status Append(std::string_view bytes);
    Status Sync();
    bool open() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::filesystem::path path_;
};

// Writes a whole file and makes it durable before answering.
Status WriteDurably(const std::filesystem::path& path, const std::string& bytes);
// Makes a folder's entries (a rename into it) durable.
Status SyncFolder(const std::filesystem::path& folder);

} // namespace station::record
