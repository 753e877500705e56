#pragma once
// Shared by the catalogue response fuzz targets: an exchange with a media thread and a network thread that
// are never started (what the exchange queues to them is released with them), and a feeder that offers
// the input to HandleData in pieces as the exchange layer does, within its 16383-byte receive buffer.
//
// Input: the first byte seeds the piece sizes; the rest is the response body.

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "platform/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Error boxes are expected on bad input; they are answered at once and not shown.
class SilentBoxes : public platform::MessageBoxSink {
public:
    platform::MessageBoxResult Show(const std::u16string&, const std::u16string&,
                                    platform::MessageBoxButtons) override {
        return platform::MessageBoxResult::Ok;
    }
};

inline void InstallSilentBoxes() {
    static SilentBoxes boxes;
    platform::SetMessageBoxSink(&boxes);
}

struct Threads {
    Threads() {
        context.mediaHandler = &media;
        context.networkHandler = &network;
    }
    MyAppContext context;
    MyMediaHandler media{&context};
    MyNetworkHandler network{&context};
};

inline void Feed(MyNetworkPacketBase& exchange, const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    std::uint32_t seed = data[0] * 2654435761u + 1;
    const char* body = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;
    constexpr std::size_t kHeld = MyNetworkPacketBase::kReceiveBufferSize - 1;
    std::string held;
    std::size_t at = 0;
    while (at < length) {
        seed = seed * 1103515245u + 12345u;
        std::size_t piece = 1 + (seed >> 8) % 3000;
        piece = std::min({piece, length - at, kHeld - held.size()});
        if (piece == 0)
            break; // a full buffer that the parser does not take from ends the exchange
        held.append(body + at, piece);
        at += piece;
        while (!held.empty()) {
            int answer = exchange.HandleData(held.data(), static_cast<int>(held.size()));
            if (answer < 0)
                return;
            if (answer == 0)
                break;
            held.erase(0, static_cast<std::size_t>(answer));
        }
    }
    exchange.Disconnect(NETWORKERROR_NONE); // the peer closed
}

inline std::shared_ptr<const StationConnectionData> Station() {
    auto station = std::make_shared<StationConnectionData>("station.example");
    station->stationId = 5;
    return station;
}

} // namespace fuzzing
