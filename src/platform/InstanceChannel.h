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
    // The most bytes of a message the first instance takes. Every command line that fits the 1024-unit
    // buffer it is parsed in has at most this many (three bytes of UTF-8 per unit), so it arrives whole.
    // A longer message arrives empty, as a start without a command line: it could never be a link, and a
    // part of it could be a different one.
    static constexpr std::size_t kMaxMessageBytes = 3 * 1024;

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

    enum class Delivery {
        Delivered,    // the first instance took the message
        NotDelivered, // no instance listens, or it did not take the message in time
        Refused       // the listener is another user's process: nothing was handed to it
    };

    // Hands `message` to the first instance of `name` and waits until it has been received, at most
    // `milliseconds`.
    static Delivery Deliver(const std::string& name, std::string_view message, int milliseconds = 5000);
    // The same; true when it was delivered.
    static bool Send(const std::string& name, std::string_view message, int milliseconds = 5000) {
        return Deliver(name, message, milliseconds) == Delivery::Delivered;
    }

    // The folder the channel lies in; empty when there is no folder of the user's own that others cannot
    // enter. $XDG_RUNTIME_DIR is used only when it is such a folder.
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
