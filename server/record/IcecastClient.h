#pragma once
// Listens to one Icecast mount: asks for it with "Icy-MetaData: 1", hands on its audio and titles, and
// when the mount is missing or the connection ends, asks again with back-off (the first wait short, so
// that a show starting is caught within Icecast's burst). Driven by the recorder's loop like IrcClient.

#include "Backoff.h"
#include "IcyStream.h"
#include "Result.h"
#include "Socket.h"

#include <optional>
#include <string>

namespace station::record {

struct IcecastUrl {
    std::string host;
    std::uint16_t port = 80;
    std::string mount;       // "/live", with any query
    std::string credentials; // "user:password" from the URL, for a mount that wants them
};

// "http://[user:password@]host[:port]/mount".
Result<IcecastUrl> ParseIcecastUrl(std::string_view url);

class IcecastListener {
public:
    virtual ~IcecastListener() = default;
    virtual void OnMountUp(const IcyHead& head) = 0;
    virtual void OnAudio(std::string_view bytes) = 0;
    virtual void OnTitle(const std::string& title) = 0;
    // The stream that was up ended (the mount went away, the server restarted, silence).
    virtual void OnMountDown(const std::string& why) = 0;
    virtual void Log(const std::string& line) = 0;
};

class IcecastClient : private IcySink {
public:
    IcecastClient(IcecastUrl url, IcecastListener& listener);

    Waited Interest() const;
    Clock::time_point Deadline() const;
    void OnReady(const Waited& waited, Clock::time_point now);
    void Tick(Clock::time_point now);
    bool up() const { return up_; }

    // A stream that sends nothing for this long is taken as gone.
    std::chrono::milliseconds silenceLimit{15000};

private:
    void Connect(Clock::time_point now);
    void Drop(const std::string& why, Clock::time_point now, bool quietly);
    void OnAudio(std::string_view bytes) override;
    void OnTitle(const std::string& title) override;

    IcecastUrl url_;
    IcecastListener& listener_;
    TcpConnection connection_;
    IcyStream stream_;
    enum class State { Waiting, Connecting, Streaming } state_ = State::Waiting;
    Backoff backoff_{std::chrono::milliseconds(250), std::chrono::milliseconds(2000)};
    Clock::time_point retryAt_{};
    Clock::time_point lastHeard_{};
    std::string request_;
    std::size_t sent_ = 0;
    bool up_ = false;
    std::string lastWhy_; // the last reason the mount was not there, logged once until it changes
};

} // namespace station::record
