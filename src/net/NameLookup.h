#pragma once
// Name lookup off the network thread: each lookup runs on a helper thread of its own and signals the
// exchange's event when the answer is in, so that a slow resolver holds up only the exchange that asked.
//
// Threading: the object belongs to the network thread. The helper thread touches only the shared
// answer, under its lock; an object destroyed before the answer came leaves the helper to finish alone,
// signalling nothing.

#include "platform/Socket.h"
#include "platform/Thread.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {
class Event;
}

// Resolves a host and a decimal port; the system's resolver (platform::Resolve) unless tests give another.
using NameResolver = std::function<platform::ResolveResult(const std::string& host, const std::string& port)>;

class NameLookup {
public:
    NameLookup(const NameResolver& resolver, std::string host, std::string port, platform::Event& done);
    ~NameLookup();
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;

    // Whether the answer is in (the event has been set for it).
    bool finished() const;
    // The answer, once finished.
    platform::ResolveResult Take();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    platform::Thread helper_; // joined if it has ended when the object goes, let go otherwise
};
