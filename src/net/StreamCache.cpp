#include "net/StreamCache.h"

#include "platform/Checksum.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Paths.h"
#include "platform/Utf.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'V', 'T', 'R', 'I', 'P', 'C', '0', '1'};
constexpr std::u16string_view kPieceSuffix = u".piece";
// Present in the folder of a kept stream.
constexpr std::u16string_view kKeptMark = u"kept";

void PutLittleEndian(std::uint8_t* at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t GetLittleEndian(const std::uint8_t* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    return value;
}

std::u16string Decimal(std::uint64_t value) {
    return Utf8ToUtf16(std::to_string(value));
}

// The offset a piece file's name gives ("<offset>.piece", decimal without leading zeros), or false.
bool OffsetOfName(std::u16string_view name, std::uint64_t& offset) {
    if (!name.ends_with(kPieceSuffix))
        return false;
    const std::u16string_view digits = name.substr(0, name.size() - kPieceSuffix.size());
    if (digits.empty() || digits.size() > 19 || (digits.size() > 1 && digits[0] == u'0'))
        return false;
    offset = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        offset = offset * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    return true;
}

} // namespace

StreamCache::StreamCache(std::u16string folder, std::uint64_t limitBytes)
    : folder_(std::move(folder)), limit_(limitBytes) {}

std::u16string StreamCache::UserFolder() {
    const std::u16string cache = platform::CacheFolder();
    if (cache.empty())
        return {};
    return platform::JoinPath(platform::JoinPath(cache, u"Vantri"), u"streams");
}

std::u16string StreamCache::StreamName(const StationConnectionData& server, std::int32_t stationId,
                                       std::int32_t streamId) {
    // The server is part of the name: ids are a directory's own, and another directory may use the same.
    const std::string where = server.host + ":" + std::to_string(server.port) + server.basePath;
    const platform::Checksum128 digest = platform::ContentChecksum(
        std::span(reinterpret_cast<const std::uint8_t*>(where.data()), where.size()));
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = std::to_string(stationId) + "-" + std::to_string(streamId) + "-";
    for (std::size_t i = 0; i < 8; ++i) {
        name.push_back(kHex[digest[i] >> 4]);
        name.push_back(kHex[digest[i] & 15]);
    }
    return Utf8ToUtf16(name);
}

std::u16string StreamCache::PiecePath(const std::u16string& stream, std::uint64_t offset) const {
    return platform::JoinPath(platform::JoinPath(folder_, stream),
                              Decimal(offset) + std::u16string(kPieceSuffix));
}

void StreamCache::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    struct Found {
        std::int64_t modified;
        const std::u16string* stream;
        std::uint64_t offset;
    };
    std::vector<Found> found;
    for (const platform::FolderEntry& folder : platform::ListFolder(folder_)) {
        if (!folder.isFolder)
            continue;
        const std::u16string streamFolder = platform::JoinPath(folder_, folder.name);
        const std::vector<platform::FolderEntry> files = platform::ListFolder(streamFolder);
        const bool kept = std::any_of(files.begin(), files.end(), [](const platform::FolderEntry& file) {
            return !file.isFolder && file.name == kKeptMark;
        });
        if (kept)
            kept_.insert(folder.name);
        PieceMap pieces;
        std::vector<std::pair<std::uint64_t, std::int64_t>> times;
        for (const platform::FolderEntry& file : files) {
            std::uint64_t offset = 0;
            if (file.isFolder || !OffsetOfName(file.name, offset)) {
                // What a write cut short left (a ".new" file) is of no use; a kept stream's own files stay.
                if (!file.isFolder && (!kept || file.name.ends_with(u".new")))
                    platform::RemoveFile(platform::JoinPath(streamFolder, file.name));
                continue;
            }
            // The length is checked against the header when the piece is used.
            if (file.size <= kHeaderBytes || file.size - kHeaderBytes > kMaxPieceBytes) {
                platform::RemoveFile(platform::JoinPath(streamFolder, file.name));
                continue;
            }
            pieces[offset].length = static_cast<std::uint32_t>(file.size - kHeaderBytes);
            times.emplace_back(offset, file.modified);
            if (!kept)
                held_ += file.size - kHeaderBytes;
        }
        if (pieces.empty() && !kept)
            continue;
        auto& stored = streams_[folder.name];
        stored = std::move(pieces);
        for (const auto& [offset, modified] : times)
            found.push_back({modified, &streams_.find(folder.name)->first, offset});
    }
    // Use order from the files' times: the oldest write is the least recently used.
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return a.modified < b.modified; });
    for (const Found& one : found)
        streams_[*one.stream][one.offset].lastUse = ++useCounter_;
}

StreamCache::PieceMap::iterator StreamCache::PieceHolding(PieceMap& pieces, std::uint64_t at) {
    auto best = pieces.end();
    std::uint64_t bestEnd = at;
    // Pieces are at most kMaxPieceBytes long, so only those starting that close before `at` can hold it.
    for (auto it = pieces.upper_bound(at); it != pieces.begin();) {
        --it;
        if (at - it->first >= kMaxPieceBytes)
            break;
        const std::uint64_t end = it->first + it->second.length;
        if (end > bestEnd) {
            bestEnd = end;
            best = it;
        }
    }
    return best;
}

bool StreamCache::ReadPiece(const std::u16string& stream, std::uint64_t offset, std::uint32_t length,
                            std::vector<std::uint8_t>& bytes) const {
    // One byte more than a sound file holds, so that a file grown since is seen too.
    if (!platform::ReadFileStart(PiecePath(stream, offset), kHeaderBytes + length + 1, bytes))
        return false;
    if (bytes.size() != kHeaderBytes + length || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        GetLittleEndian(bytes.data() + 8, 8) != offset || GetLittleEndian(bytes.data() + 16, 4) != length)
        return false;
    const platform::Checksum128 sum =
        platform::ContentChecksum(std::span(bytes.data() + kHeaderBytes, length));
    return std::memcmp(sum.data(), bytes.data() + 20, sum.size()) == 0;
}

void StreamCache::MarkUsed(const std::u16string& stream, std::uint64_t offset, Piece& piece) {
    piece.lastUse = ++useCounter_;
    platform::TouchFile(PiecePath(stream, offset));
}

std::size_t StreamCache::Read(const std::u16string& stream, std::uint64_t offset, std::uint32_t length,
                              std::vector<std::uint8_t>& out) {
    Load();
    auto found = streams_.find(stream);
    if (found == streams_.end())
        return 0;
    PieceMap& pieces = found->second;
    const std::size_t before = out.size();
    const std::uint64_t end = offset + length;
    std::uint64_t at = offset;
    std::vector<std::uint8_t> file;
    while (at < end) {
        auto piece = PieceHolding(pieces, at);
        if (piece == pieces.end())
            break;
        const std::uint64_t pieceOffset = piece->first;
        if (!ReadPiece(stream, pieceOffset, piece->second.length, file)) {
            // Damaged, cut or gone: fetched again from the server.
            Forget(stream, pieceOffset);
            if (streams_.find(stream) == streams_.end())
                break;
            continue;
        }
        const std::uint64_t upTo = std::min<std::uint64_t>(end, pieceOffset + piece->second.length);
        const std::uint8_t* data = file.data() + kHeaderBytes;
        out.insert(out.end(), data + (at - pieceOffset), data + (upTo - pieceOffset));
        MarkUsed(stream, pieceOffset, piece->second);
        at = upTo;
    }
    return out.size() - before;
}

bool StreamCache::Store(const std::u16string& stream, std::uint64_t offset,
                        std::span<const std::uint8_t> bytes) {
    Load();
    bool whole = true;
    while (!bytes.empty()) {
        const std::size_t part = std::min<std::size_t>(bytes.size(), kMaxPieceBytes);
        PieceMap& pieces = streams_[stream];
        auto holding = PieceHolding(pieces, offset);
        if (holding != pieces.end() && holding->first + holding->second.length >= offset + part) {
            // Already held whole.
            MarkUsed(stream, holding->first, holding->second);
        } else if (part <= limit_ || kept_.count(stream)) {
            auto same = pieces.find(offset);
            if (same != pieces.end() && same->second.length >= part) {
                MarkUsed(stream, offset, same->second);
            } else {
                if (same != pieces.end())
                    Forget(stream, offset);
                if (!kept_.count(stream))
                    MakeRoom(part);
                if (WritePiece(stream, offset, bytes.first(part))) {
                    Piece& piece = streams_[stream][offset];
                    piece.length = static_cast<std::uint32_t>(part);
                    piece.lastUse = ++useCounter_;
                    if (!kept_.count(stream))
                        held_ += part;
                } else {
                    whole = false;
                }
            }
        }
        auto emptied = streams_.find(stream);
        if (emptied != streams_.end() && emptied->second.empty() && !kept_.count(stream))
            streams_.erase(emptied);
        offset += part;
        bytes = bytes.subspan(part);
    }
    return whole;
}

bool StreamCache::WritePiece(const std::u16string& stream, std::uint64_t offset,
                             std::span<const std::uint8_t> bytes) {
    if (!platform::MakeFolder(platform::JoinPath(folder_, stream)))
        return false;
    std::array<std::uint8_t, kHeaderBytes> header{};
    std::memcpy(header.data(), kMagic, sizeof kMagic);
    PutLittleEndian(header.data() + 8, offset, 8);
    PutLittleEndian(header.data() + 16, bytes.size(), 4);
    const platform::Checksum128 sum = platform::ContentChecksum(bytes);
    std::memcpy(header.data() + 20, sum.data(), sum.size());
    // No flush to the disk: the checksum finds a piece a power cut left wrong, and playing never waits for
    // the disk.
    // The header and the bytes go out as two parts, so a window is never copied a second time.
    const std::span<const std::uint8_t> parts[] = {header, bytes};
    return platform::WriteFileAtomically(PiecePath(stream, offset), parts, false);
}

void StreamCache::Forget(const std::u16string& stream, std::uint64_t offset) {
    auto found = streams_.find(stream);
    if (found == streams_.end())
        return;
    auto piece = found->second.find(offset);
    if (piece == found->second.end())
        return;
    platform::RemoveFile(PiecePath(stream, offset));
    if (!kept_.count(stream))
        held_ -= piece->second.length;
    found->second.erase(piece);
    if (found->second.empty() && !kept_.count(stream)) {
        platform::RemoveFolderTree(platform::JoinPath(folder_, stream));
        streams_.erase(found);
    }
}

void StreamCache::MakeRoom(std::uint64_t incoming) {
    while (held_ + incoming > limit_ && held_ > 0) {
        const std::u16string* oldestStream = nullptr;
        std::uint64_t oldestOffset = 0;
        std::uint64_t oldestUse = UINT64_MAX;
        for (const auto& [stream, pieces] : streams_) {
            if (kept_.count(stream))
                continue; // kept for offline listening: never removed to make room
            for (const auto& [offset, piece] : pieces)
                if (piece.lastUse < oldestUse) {
                    oldestUse = piece.lastUse;
                    oldestStream = &stream;
                    oldestOffset = offset;
                }
        }
        if (!oldestStream)
            return;
        const std::u16string stream = *oldestStream;
        Forget(stream, oldestOffset);
    }
}

std::uint64_t StreamCache::bytesHeld() {
    Load();
    return held_;
}

std::size_t StreamCache::piecesHeld() {
    Load();
    std::size_t count = 0;
    for (const auto& entry : streams_)
        count += entry.second.size();
    return count;
}

bool StreamCache::HoldsPiece(const std::u16string& stream, std::uint64_t offset) {
    Load();
    auto found = streams_.find(stream);
    return found != streams_.end() && found->second.count(offset) != 0;
}

void StreamCache::SetKept(const std::u16string& stream, bool kept) {
    Load();
    if (kept == (kept_.count(stream) != 0))
        return;
    std::uint64_t bytes = 0;
    auto found = streams_.find(stream);
    if (found != streams_.end())
        for (const auto& entry : found->second)
            bytes += entry.second.length;
    const std::u16string mark =
        platform::JoinPath(platform::JoinPath(folder_, stream), std::u16string(kKeptMark));
    if (kept) {
        if (!platform::MakeFolder(platform::JoinPath(folder_, stream)) ||
            !platform::WriteFileAtomically(mark, std::span<const std::uint8_t>()))
            return;
        kept_.insert(stream);
        streams_[stream];
        held_ -= bytes;
    } else {
        platform::RemoveFile(mark);
        kept_.erase(stream);
        held_ += bytes;
        if (found != streams_.end() && found->second.empty())
            ForgetStream(stream);
        else
            MakeRoom(0);
    }
}

bool StreamCache::IsKept(const std::u16string& stream) {
    Load();
    return kept_.count(stream) != 0;
}

std::vector<std::u16string> StreamCache::KeptStreams() {
    Load();
    return {kept_.begin(), kept_.end()};
}

bool StreamCache::SetFile(const std::u16string& stream, std::u16string_view name,
                          std::span<const std::uint8_t> bytes) {
    if (name.ends_with(kPieceSuffix) || !platform::MakeFolder(platform::JoinPath(folder_, stream)))
        return false;
    return platform::WriteFileAtomically(platform::JoinPath(platform::JoinPath(folder_, stream), name),
                                         bytes);
}

bool StreamCache::GetFile(const std::u16string& stream, std::u16string_view name,
                          std::vector<std::uint8_t>& bytes) {
    const std::u16string path = platform::JoinPath(platform::JoinPath(folder_, stream), name);
    // Kept files are a catalogue entry, a track list and a chat (at most 256 MiB, as the network reads).
    const std::optional<std::uint64_t> size = platform::FileSize(path);
    if (!size || *size > (std::uint64_t{256} << 20)) {
        bytes.clear();
        return false;
    }
    return platform::ReadFileStart(path, static_cast<std::size_t>(*size), bytes) && bytes.size() == *size;
}

void StreamCache::ForgetStream(const std::u16string& stream) {
    Load();
    auto found = streams_.find(stream);
    if (found != streams_.end()) {
        if (!kept_.count(stream))
            for (const auto& entry : found->second)
                held_ -= entry.second.length;
        streams_.erase(found);
    }
    kept_.erase(stream);
    platform::RemoveFolderTree(platform::JoinPath(folder_, stream));
}

std::uint64_t StreamCache::FirstGap(const std::u16string& stream, std::uint64_t size) {
    Load();
    auto found = streams_.find(stream);
    if (found == streams_.end())
        return 0;
    std::uint64_t at = 0;
    while (at < size) {
        auto piece = PieceHolding(found->second, at);
        if (piece == found->second.end())
            return at;
        at = piece->first + piece->second.length;
    }
    return size;
}

std::uint64_t StreamCache::BytesOfStream(const std::u16string& stream, std::uint64_t size) {
    Load();
    auto found = streams_.find(stream);
    if (found == streams_.end())
        return 0;
    std::uint64_t bytes = 0;
    std::uint64_t covered = 0; // pieces may overlap: count each byte once
    for (const auto& [offset, piece] : found->second) {
        const std::uint64_t end = std::min<std::uint64_t>(size, offset + piece.length);
        const std::uint64_t from = std::max(offset, covered);
        if (end > from)
            bytes += end - from;
        covered = std::max(covered, end);
    }
    return bytes;
}
