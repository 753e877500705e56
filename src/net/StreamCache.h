#pragma once
// Stream bytes already fetched, kept on the disk so that playing them again (a seek back) needs no server.
//
// Each stream has a folder of its own, named for the station, the stream and the server that serves it;
// each piece of bytes (at most kMaxPieceBytes, as one exchange brought them) is one file holding a header
// (its offset, length and checksum) and the bytes. A piece is written to a new file that is renamed into
// place, so a crash leaves the old state or the whole piece; and every piece is checked (length and
// checksum) each time before its bytes are used: a damaged or cut one is removed and its bytes fetched
// again, never played.
//
// The pieces together stay within a limit of bytes (2 GiB unless told); the piece used longest ago goes
// first. Use is kept as the files' last-write time, so the order survives a restart.
//
// A kept show (kept for offline listening) is a stream whose folder also holds files of its own (its
// catalogue entry, track list and chat, see SetFile): its pieces are never removed to make room and do not
// count against the limit; only Forget removes them.
//
// Threading: one thread (the network thread) owns the cache; nothing here locks.

#include "net/StationConnectionData.h"

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

class StreamCache {
public:
    static constexpr std::uint64_t kDefaultLimitBytes = std::uint64_t{2} << 30;
    static constexpr std::uint32_t kMaxPieceBytes = 1 << 20;
    // Bytes a piece's file holds before its stream bytes: magic (8), offset (8), length (4), checksum (16).
    static constexpr std::size_t kHeaderBytes = 36;

    // `folder`: where the streams' folders go (made when the first piece is stored).
    explicit StreamCache(std::u16string folder, std::uint64_t limitBytes = kDefaultLimitBytes);

    // The user's stream cache folder: "Vantri/streams" in the cache folder (platform::CacheFolder); empty
    // when the system names no cache folder.
    static std::u16string UserFolder();

    // The folder name of a stream served by `server`.
    static std::u16string StreamName(const StationConnectionData& server, std::int32_t stationId,
                                     std::int32_t streamId);

    // Appends to `out` the stream's bytes from `offset` on, at most `length` of them, as far as sound pieces
    // reach without a gap; answers how many it appended (0: nothing cached there). Damaged pieces met on
    // the way are removed.
    std::size_t Read(const std::u16string& stream, std::uint64_t offset, std::uint32_t length,
                     std::vector<std::uint8_t>& out);

    // Keeps `bytes`, the stream's bytes from `offset` on, making room by removing the pieces used longest
    // ago. Bytes already held are not written again. False when a piece could not be written.
    bool Store(const std::u16string& stream, std::uint64_t offset, std::span<const std::uint8_t> bytes);

    // Keeps the stream whole whatever the limit (its pieces stay until Forget), or lets it go back to the
    // cache's rules.
    void SetKept(const std::u16string& stream, bool kept);
    bool IsKept(const std::u16string& stream);
    // The kept streams' folder names.
    std::vector<std::u16string> KeptStreams();
    // A file of a kept stream beside its pieces (`name` without a folder, not ending in ".piece"), written
    // atomically; and read back whole (false when it is missing).
    bool SetFile(const std::u16string& stream, std::u16string_view name, std::span<const std::uint8_t> bytes);
    bool GetFile(const std::u16string& stream, std::u16string_view name, std::vector<std::uint8_t>& bytes);
    // Removes the stream's pieces and files.
    void ForgetStream(const std::u16string& stream);
    // The first offset from 0 on that no piece of the stream holds (its size when it is held whole).
    std::uint64_t FirstGap(const std::u16string& stream, std::uint64_t size);
    // Bytes of the stream below `size` that pieces hold.
    std::uint64_t BytesOfStream(const std::u16string& stream, std::uint64_t size);

    // What the pieces outside kept streams hold now (their stream bytes, without headers), and how many
    // pieces there are in all.
    std::uint64_t bytesHeld();
    std::size_t piecesHeld();
    // Whether the piece at `offset` of the stream is held (tests).
    bool HoldsPiece(const std::u16string& stream, std::uint64_t offset);
    // The file a piece lives in.
    std::u16string PiecePath(const std::u16string& stream, std::uint64_t offset) const;

private:
    struct Piece {
        std::uint32_t length = 0;
        std::uint64_t lastUse = 0; // larger is more recent
    };
    using PieceMap = std::map<std::uint64_t, Piece>;

    // Reads the folders once, at the first use.
    void Load();
    // The piece of `pieces` that holds `at` and reaches furthest, or end().
    PieceMap::iterator PieceHolding(PieceMap& pieces, std::uint64_t at);
    // The piece's bytes, when its file is whole and its checksum right.
    bool ReadPiece(const std::u16string& stream, std::uint64_t offset, std::uint32_t length,
                   std::vector<std::uint8_t>& bytes) const;
    bool WritePiece(const std::u16string& stream, std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void Forget(const std::u16string& stream, std::uint64_t offset);
    // Removes pieces, used longest ago first, until `incoming` more bytes fit in the limit.
    void MakeRoom(std::uint64_t incoming);
    void MarkUsed(const std::u16string& stream, std::uint64_t offset, Piece& piece);

    std::u16string folder_;
    std::uint64_t limit_;
    bool loaded_ = false;
    std::map<std::u16string, PieceMap> streams_;
    std::set<std::u16string> kept_;
    std::uint64_t held_ = 0;
    std::uint64_t useCounter_ = 0;
};
