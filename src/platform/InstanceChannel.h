#pragma once
// The single-instance rule. The first instance of the program for a user holds a per-user channel (a
// Unix-domain socket on Linux, in $XDG_RUNTIME_DIR or else in a private folder of the user's own); a
// later instance hands its command line over it and ends. Only processes of the same user are heard.
// A channel left behind by an instance that crashed does not stop the next start: it is taken over.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

class InstanceChannel {
public:
    // The most bytes of a message the first instance takes; the rest is cut off. A command line this
    // long does not fit the 1024-unit buffer it is parsed in, so cutting it never makes a different link.
    static constexpr std::size_t kMaxMessageBytes = 1024;

    // Called on the channel's own thread, once per message, with the message (possibly empty: a start
    // without a command line). It must only post or queue; the sender waits until it returns.
    using Receiver = std::function<void(std::string message)>;

    enum class Claim {
        First,      // this process holds the channel now
        Second,     // another live instance holds it
        Unavailable // no private place for a channel: the program runs without the rule
    };

    // Tries to become the first instance for `name`. On First, `channel` listens and calls `receiver`.
    static Claim Open(const std::string& name, Receiver receiver, std::unique_ptr<InstanceChannel>& channel);

    // Hands `message` (cut at kMaxMessageBytes) to the first instance of `name` and waits until it has
    // been received, at most `milliseconds`. False when no instance took it.
    static bool Send(const std::string& name, std::string_view message, int milliseconds = 5000);

    // The folder the channel lies in; empty when there is no folder of the user's own that others cannot
    // enter.
    static std::string Folder();

    // Stops listening and removes the channel.
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // The channel's address in the file system (for tests).
    const std::string& path() const;

    struct State;

private:
    explicit InstanceChannel(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace platform
