// Drives arbitrary response bytes, split at arbitrary points, through header collection and chunked
// decoding into a recording parser. Checks that the outcome does not depend on how the bytes were split.

#include "../support/NetworkPacketTestAccess.h"
#include "../support/RecordingExchange.h"
#include "app/MyAppContext.h"
#include "platform/MessageBox.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Error boxes are expected for malformed input; they must not reach standard error at fuzzing speed.
class QuietBoxes : public platform::MessageBoxSink {
public:
    platform::MessageBoxResult Show(const std::u16string&, const std::u16string&,
                                    platform::MessageBoxButtons) override {
        return platform::MessageBoxResult::Ok;
    }
};

struct Outcome {
    std::string body;
    std::vector<NetworkError> disconnects;
};

Outcome FeedAll(const std::uint8_t* data, std::size_t size, const std::vector<std::size_t>& pieces,
                testsupport::RecordingExchangeOptions options) {
    MyAppContext context;
    auto record = std::make_shared<testsupport::ExchangeRecord>();
    testsupport::RecordingExchange exchange(&context, nullptr, record, options);
    if (!NetworkPacketTestAccess::StartReceiving(exchange))
        std::abort();
    const char* bytes = reinterpret_cast<const char*>(data);
    bool reading = true;
    std::size_t offset = 0;
    for (std::size_t i = 0; reading && offset < size; ++i) {
        std::size_t length = i < pieces.size() ? std::min(pieces[i], size - offset) : size - offset;
        if (length == 0)
            continue;
        reading = NetworkPacketTestAccess::Feed(exchange, bytes + offset, length);
        offset += length;
        if (NetworkPacketTestAccess::held(exchange) >= MyNetworkPacketBase::kReceiveBufferSize)
            std::abort();
    }
    if (reading)
        NetworkPacketTestAccess::PeerClosed(exchange);
    return {record->body, record->disconnects};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QuietBoxes boxes;
    static bool installed = (platform::SetMessageBoxSink(&boxes), true);
    (void)installed;
    if (size < 3)
        return 0;
    // First byte: the parser's record size (0: takes everything); next two: the seed of the split points.
    testsupport::RecordingExchangeOptions options;
    options.recordSize = data[0] % 8;
    options.recordsPerCall = (data[0] >> 3) % 3;
    std::uint32_t seed = data[1] | (static_cast<std::uint32_t>(data[2]) << 8);
    data += 3;
    size -= 3;

    std::vector<std::size_t> pieces;
    std::size_t covered = 0;
    while (covered < size) {
        seed = seed * 1103515245u + 12345u;
        std::size_t piece = 1 + (seed >> 16) % 64;
        pieces.push_back(piece);
        covered += piece;
    }
    Outcome whole = FeedAll(data, size, {}, options);
    Outcome split = FeedAll(data, size, pieces, options);
    // Inputs that never fill the buffer end the same way however the reads fall, and a clean end has the
    // same body. (On bad data, how much was handed on before it shows depends on the reads.)
    if (size < MyNetworkPacketBase::kReceiveBufferSize - 1) {
        if (whole.disconnects != split.disconnects)
            std::abort();
        if (whole.disconnects == std::vector<NetworkError>{NETWORKERROR_NONE} && whole.body != split.body)
            std::abort();
    }
    return 0;
}
