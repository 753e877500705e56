#pragma once
// The most body bytes (after chunked decoding) the player reads of one response of each kind. Past its
// limit an exchange ends as invalid data. With the item counts of records/WireFormat.h these keep a
// hostile or broken server from filling the player's memory or holding an exchange open for ever by
// sending without end: each reset of the idle time-out costs the server bytes out of a fixed allowance.
//
// Each limit leaves a wide margin over what an honest server sends for the largest list the counts allow
// in practice (records are far below their 2048-byte maximum): a three-hour show's chat of 50,000 rows is
// about 4 MiB, a track list of 10,000 tracks under 1 MiB.

#include "records/UpdateInstaller.h"
#include "records/WireFormat.h"

#include <cstdint>

inline constexpr std::uint64_t kMaxChatBodyBytes = std::uint64_t(256) << 20;
inline constexpr std::uint64_t kMaxTrackListBodyBytes = std::uint64_t(32) << 20;
inline constexpr std::uint64_t kMaxStationInfoBodyBytes = std::uint64_t(128) << 20;
// A search answer: a header and at most 1,000 hits of one record each.
inline constexpr std::uint64_t kMaxTrackSearchBodyBytes = std::uint64_t(4) << 20;
inline constexpr std::uint64_t kMaxDirectoryBodyBytes = std::uint64_t(32) << 20;
// One record of 8 bytes is the whole answer.
inline constexpr std::uint64_t kMaxUpdateInfoBodyBytes = std::uint64_t(64) << 10;
// The largest installer taken, with room for its record framing (5 bytes per record of up to 2045 data
// bytes) and its signature.
inline constexpr std::uint64_t kMaxUpdateDownloadBodyBytes = std::uint64_t(kMaxUpdateInstallerBytes) * 2;
