#include "platform/Checksum.h"

#include <sodium.h>

namespace platform {

Checksum128 ContentChecksum(std::span<const std::uint8_t> bytes) {
    // Picks the fastest implementation for this processor; harmless when called again. The hash works
    // (with the portable code) even if it fails.
    [[maybe_unused]] const int ready = sodium_init();
    Checksum128 digest{};
    crypto_generichash(digest.data(), digest.size(), bytes.data(), bytes.size(), nullptr, 0);
    return digest;
}

} // namespace platform
