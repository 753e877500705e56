#pragma once
// Feeds response bytes into an exchange as if its socket had received them, without a peer: for
// deterministic split tests and the fuzz target. Header-only, so that fuzz targets can use it.

#include "net/MyNetworkPacketBase.h"

#include <algorithm>
#include <cstring>

struct NetworkPacketTestAccess {
    // Gives the exchange an open (unconnected) socket and the state right after its request was sent.
    static bool StartReceiving(MyNetworkPacketBase& exchange) {
        platform::ResolveResult local = platform::Resolve("127.0.0.1", "1");
        if (local.addresses.empty() || !exchange.clientSocket_.Create(local.addresses.front().family))
            return false;
        exchange.requestStatus_ = RequestStatus_ReceivingHeaders;
        return true;
    }

    // One read of up to `length` bytes, taken the way recv fills the receive buffer. Answers false once the
    // exchange has stopped reading; `taken` is the count the buffer accepted.
    static bool Receive(MyNetworkPacketBase& exchange, const char* data, std::size_t length,
                        std::size_t& taken) {
        const std::size_t room = MyNetworkPacketBase::kReceiveBufferSize - 1 - exchange.receiveBufferPos_;
        taken = std::min(room, length);
        if (taken == 0) {
            // What the read loop does when recv answers 0.
            exchange.Disconnect(NETWORKERROR_NONE);
            return false;
        }
        std::memcpy(exchange.receiveBuffer_ + exchange.receiveBufferPos_, data, taken);
        bool answer = false;
        if (!exchange.TakeReceived(static_cast<std::uint32_t>(taken), answer))
            return answer;
        return true;
    }

    // Feeds all of `data` as reads of at most `length` bytes each, until it is used up or reading stops.
    // Answers whether the exchange still reads.
    static bool Feed(MyNetworkPacketBase& exchange, const char* data, std::size_t length) {
        while (length > 0) {
            std::size_t taken = 0;
            if (!Receive(exchange, data, length, taken))
                return false;
            data += taken;
            length -= taken;
        }
        return true;
    }

    // The peer's end of the stream.
    static void PeerClosed(MyNetworkPacketBase& exchange) { exchange.Disconnect(NETWORKERROR_NONE); }

    static std::uint32_t held(const MyNetworkPacketBase& exchange) { return exchange.receiveBufferPos_; }
};
