#pragma once
// The response records the player parses: little-endian, each a signed 16-bit length L (the bytes after
// the length field, 0 to 2048), a type byte and the type's fields. Texts are a 16-bit byte count and
// UTF-8; the player shows a text that needs 2000 or more UTF-16 units as empty.

#include "net/CatalogueRecords.h"

#include <cstddef>
#include <cstdint>

namespace station {

enum RecordType : std::uint8_t {
    RecordType_StationHeader = 1,
    RecordType_Stream = 2,
    RecordType_TrackListHeader = 3,
    RecordType_Track = 4,
    RecordType_ChatHeader = 5,
    RecordType_ChatRow = 6,
    RecordType_DirectoryHeader = 7,
    RecordType_DirectoryStation = 8,
    RecordType_UpdateSignature = 252,
    RecordType_UpdateData = 253,
    RecordType_UpdateHeader = 254,
    RecordType_UpdateInfo = 255,
};

constexpr std::size_t kMaxRecordLength = 2048; // L, the bytes after the length field
constexpr std::size_t kMaxTextUnits = 1999;    // UTF-16 units the player keeps of one text
constexpr std::size_t kMaxChatArgs = StreamChatRow::kMaxArgs;
// Installer bytes per update data record: L = 3 + n.
constexpr std::size_t kMaxUpdateDataBytes = kMaxRecordLength - 3;

constexpr std::uint8_t kDirectoryFormatVersion = 1;
constexpr std::uint8_t kStationInfoFormatVersionPlain = 4;       // name, stream count
constexpr std::uint8_t kStationInfoFormatVersionDescription = 5; // name, description, stream count
constexpr std::uint8_t kTrackListFormatVersion = 3;
constexpr std::uint8_t kChatFormatVersion = 3;
constexpr std::uint8_t kUpdateFormatVersion = 1;

// Stream types as the wire carries them (the player stores them as 0 to 2).
constexpr std::uint8_t kMinStreamType = 1;
constexpr std::uint8_t kMaxStreamType = 3;

// Track kind of a conversation (the player can hide these from the track list).
constexpr std::uint8_t kTrackKindMusic = 0;
constexpr std::uint8_t kTrackKindTalk = 4;

// The program version the player sends in update requests.
constexpr std::int32_t kPlayerVersion = 19;

} // namespace station
