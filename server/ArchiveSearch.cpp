#include "ArchiveSearch.h"

#include "RecordWriter.h"
#include "platform/Utf.h"
#include "records/SearchFold.h"

#include <algorithm>
#include <cstring>

namespace station {
namespace {

void AppendFolded(std::string_view utf8, std::u16string& scratch, std::string& out) {
    scratch.clear();
    AppendSearchForm(Utf8ToUtf16(utf8), scratch);
    out += Utf16ToUtf8(scratch);
}

void WriteHeader(RecordWriter& writer, std::uint8_t kind, std::uint32_t total, std::uint32_t page,
                 std::uint32_t perPage, std::size_t count) {
    writer.Begin(ResponseRecordType_SearchHeader);
    writer.U8(kSearchFormatVersion);
    writer.U8(kind);
    writer.U32(total);
    writer.U16(static_cast<std::uint16_t>(page));
    writer.U16(static_cast<std::uint16_t>(perPage));
    writer.U16(static_cast<std::uint16_t>(count));
    writer.U8(0);
    writer.End();
}

} // namespace

std::string FoldedQuery(std::u16string_view query) {
    const SearchPattern pattern(query);
    return Utf16ToUtf8(pattern.folded());
}

void ArchiveSearch::Build(const Archive& archive) {
    std::u16string scratch;
    for (const auto& [stationId, station] : archive.stations) {
        for (const auto& [streamId, stream] : station.streams) {
            trackStarts_.push_back(trackText_.size());
            tracks_.push_back({stationId, streamId, 0, true, &stream.text1, &stream.text2});
            AppendFolded(stream.text1, scratch, trackText_);
            trackText_ += ' ';
            AppendFolded(stream.text2, scratch, trackText_);
            trackText_ += '\0';
            for (const Track& track : stream.tracks) {
                trackStarts_.push_back(trackText_.size());
                tracks_.push_back({stationId, streamId, track.start, false, &track.text1, &track.text2});
                AppendFolded(track.text1, scratch, trackText_);
                trackText_ += ' ';
                AppendFolded(track.text2, scratch, trackText_);
                trackText_ += '\0';
            }
            if (stream.chat.empty())
                continue;
            chatStreams_.push_back({chatStarts_.size(), stationId, streamId, &stream.chat});
            for (const ChatRow& row : stream.chat) {
                chatStarts_.push_back(chatText_.size());
                for (std::size_t a = 0; a < row.args.size(); ++a) {
                    if (a)
                        chatText_ += ' ';
                    AppendFolded(row.args[a], scratch, chatText_);
                }
                chatText_ += '\0';
            }
        }
    }
    trackText_.shrink_to_fit();
    chatText_.shrink_to_fit();
}

std::size_t ArchiveSearch::Bytes() const {
    return tracks_.capacity() * sizeof(TrackEntry) + trackText_.capacity() + trackStarts_.capacity() * 8 +
           chatStreams_.capacity() * sizeof(ChatStream) + chatText_.capacity() + chatStarts_.capacity() * 8;
}

std::uint32_t ArchiveSearch::Find(const std::string& buffer, const std::vector<std::uint64_t>& starts,
                                  const std::string& folded, std::uint32_t page, std::uint32_t perPage,
                                  std::vector<std::size_t>& hits) {
    if (folded.empty() || folded.find('\0') != std::string::npos)
        return 0;
    const std::uint64_t first = static_cast<std::uint64_t>(page) * perPage;
    std::uint64_t found = 0;
    const char* data = buffer.data();
    std::size_t at = 0;
    while (at + folded.size() <= buffer.size()) {
        const void* hit = ::memmem(data + at, buffer.size() - at, folded.data(), folded.size());
        if (!hit)
            break;
        const std::size_t offset = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        const auto next = std::upper_bound(starts.begin(), starts.end(), static_cast<std::uint64_t>(offset));
        const std::size_t entry = static_cast<std::size_t>(next - starts.begin()) - 1;
        if (found >= first && found < first + perPage)
            hits.push_back(entry);
        ++found;
        // On from the next entry: each counts once.
        if (next == starts.end())
            break;
        at = static_cast<std::size_t>(*next);
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(found, 0xFFFFFFFFu));
}

std::string ArchiveSearch::TracksBody(std::u16string_view query, std::uint32_t page) const {
    std::vector<std::size_t> hits;
    const std::uint32_t total =
        Find(trackText_, trackStarts_, FoldedQuery(query), page, kTracksPerPage, hits);
    RecordWriter writer;
    WriteHeader(writer, kSearchKindTracks, total, page, kTracksPerPage, hits.size());
    for (std::size_t index : hits) {
        const TrackEntry& e = tracks_[index];
        std::vector<std::string_view> texts = {*e.text1, *e.text2};
        RecordWriter::FitTexts(texts, 1 + 4 + 4 + 4 + 1);
        writer.Begin(ResponseRecordType_TrackHit);
        writer.I32(e.station);
        writer.I32(e.stream);
        writer.I32(e.second);
        writer.U8(e.show ? 1 : 0);
        writer.Text(texts[0]);
        writer.Text(texts[1]);
        writer.End();
    }
    return writer.Take();
}

std::string ArchiveSearch::ChatBody(std::u16string_view query, std::uint32_t page) const {
    std::vector<std::size_t> hits;
    const std::uint32_t total =
        Find(chatText_, chatStarts_, FoldedQuery(query), page, kChatRowsPerPage, hits);
    RecordWriter writer;
    WriteHeader(writer, kSearchKindChat, total, page, kChatRowsPerPage, hits.size());
    for (std::size_t index : hits) {
        const auto stream = std::upper_bound(chatStreams_.begin(), chatStreams_.end(), index,
                                             [](std::size_t i, const ChatStream& s) { return i < s.first; }) -
                            1;
        const ChatRow& row = (*stream->rows)[index - stream->first];
        const std::string_view sender = row.args.empty() ? std::string_view() : std::string_view(row.args[0]);
        const std::string_view said =
            row.args.size() < 2 ? std::string_view() : std::string_view(row.args[1]);
        std::vector<std::string_view> texts = {sender, said};
        RecordWriter::FitTexts(texts, 1 + 4 + 4 + 4 + 1);
        writer.Begin(ResponseRecordType_ChatHit);
        writer.I32(stream->station);
        writer.I32(stream->stream);
        writer.I32(row.time);
        writer.U8(row.kind);
        writer.Text(texts[0]);
        writer.Text(texts[1]);
        writer.End();
    }
    return writer.Take();
}

} // namespace station
