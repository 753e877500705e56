#pragma once
// Runs one exchange the way the network thread does (DoConnect, then HandleNetworkEvent on every signal of
// its event until it answers false), on a thread of its own, with a deadline.

#include "net/MyNetworkPacketBase.h"

#include <chrono>

namespace testsupport {

struct ExchangeOutcome {
    bool connected = false; // DoConnect answered true
    bool ended = false;     // HandleNetworkEvent answered false before the deadline
};

// Every call on the exchange happens on the driving thread, which has ended when this returns.
ExchangeOutcome DriveExchange(MyNetworkPacketBase& exchange,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace testsupport
