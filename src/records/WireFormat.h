#pragma once
// The response records the directory, station and update servers send and the player reads. The server
// and the player both take every type, limit and format version from here.
//
// A body is a sequence of records, all integers little-endian:
//   offset 0, 2 bytes: length L (signed 16-bit), the bytes that follow this field, 1 to 2048
//   offset 2, 1 byte:  record type
//   offset 3, L - 1:   the fields of the type
// A text field is a signed 16-bit byte count and that many bytes of UTF-8; a byte-string field is a
// 16-bit count and that many bytes taken as they are.

#include <cstddef>
#include <cstdint>

enum ResponseRecordType : std::uint8_t {
    ResponseRecordType_StationHeader = 1,
    ResponseRecordType_Stream = 2,
    ResponseRecordType_TrackListHeader = 3,
    ResponseRecordType_Track = 4,
    ResponseRecordType_ChatHeader = 5,
    ResponseRecordType_ChatRow = 6,
    ResponseRecordType_DirectoryHeader = 7,
    ResponseRecordType_DirectoryStation = 8,
    // After the tracks of a stream's information, when the response carries kChatSyncHeader: the show's
    // default chat sync points. Players that do not know it stop reading at the last track.
    ResponseRecordType_ChatSync = 9,
    // Search answers (searchtracks/, searchchat/): a header, then one record a hit.
    ResponseRecordType_SearchHeader = 10,
    ResponseRecordType_TrackHit = 11,
    ResponseRecordType_ChatHit = 12,
    ResponseRecordType_UpdateSignature = 252,
    ResponseRecordType_UpdateData = 253,
    ResponseRecordType_UpdateHeader = 254,
    ResponseRecordType_UpdateInformation = 255,
};

// L, the bytes after the length field.
inline constexpr std::size_t kMaxRecordLength = 2048;
// The most UTF-16 units the player keeps of one text; a text that needs more is shown as empty.
inline constexpr std::size_t kMaxTextUnits = 1999;
// The most arguments of one chat row.
inline constexpr std::size_t kMaxChatArgs = 20;
// Installer bytes per update data record: L = 3 + n.
inline constexpr std::size_t kMaxUpdateDataBytes = kMaxRecordLength - 3;

// The most items a player takes from one response; a count announced above these is invalid data, so
// that a server cannot make the player hold without bound.
inline constexpr std::int64_t kMaxChatRows = 2'000'000;
inline constexpr std::int64_t kMaxTracks = 10'000;
inline constexpr std::int64_t kMaxStreams = 100'000;
inline constexpr std::int64_t kMaxStations = 10'000;

inline constexpr std::uint8_t kDirectoryFormatVersion = 1;
inline constexpr std::uint8_t kStationInfoFormatVersionPlain = 4;       // name, stream count
inline constexpr std::uint8_t kStationInfoFormatVersionDescription = 5; // name, description, stream count
inline constexpr std::uint8_t kTrackListFormatVersion = 3;
inline constexpr std::uint8_t kChatFormatVersion = 3;
inline constexpr std::uint8_t kUpdateFormatVersion = 1;
inline constexpr std::uint8_t kChatSyncFormatVersion = 1; // version, count (uint16), then play, chat (int32)
// Search header: version, what was searched (1 tracks, 2 chat), hits in all (uint32), the page (uint16),
// hits a page (uint16), hits in this answer (uint16), and 1 when more hits exist than were counted.
// Track hit: station, stream, second (int32), 1 for a show itself (0 for a track), then two texts: artist
// and title of a track, title and host of a show. Chat hit: station, stream, time (int32), the row's kind
// (uint8), then two texts: the sender and what was said (the row's first two arguments).
inline constexpr std::uint8_t kSearchFormatVersion = 1;
inline constexpr std::uint8_t kSearchKindTracks = 1;
inline constexpr std::uint8_t kSearchKindChat = 2;
// The longest query, in UTF-16 units; a longer one is cut.
inline constexpr std::size_t kMaxSearchQueryUnits = 256;

// The response header that announces a chat sync record after the tracks ("X-Vantri-Chat-Sync: 1").
inline constexpr char kChatSyncHeader[] = "X-Vantri-Chat-Sync";

// Stream types as the wire carries them (the player stores them as 0 to 2).
inline constexpr std::uint8_t kMinStreamType = 1;
inline constexpr std::uint8_t kMaxStreamType = 3;

// Track kinds: music, and a conversation (which the player can hide from the track list).
inline constexpr std::uint8_t kTrackKindMusic = 0;
inline constexpr std::uint8_t kTrackKindTalk = 4;
