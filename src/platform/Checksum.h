#pragma once
// A checksum of bytes kept on the disk, to find damage before they are used again.

#include <array>
#include <cstdint>
#include <span>

namespace platform {

using Checksum128 = std::array<std::uint8_t, 16>;

// BLAKE2b with a 16-byte digest (libsodium's generic hash).
Checksum128 ContentChecksum(std::span<const std::uint8_t> bytes);

} // namespace platform
