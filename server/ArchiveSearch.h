#pragma once
// The search index of a loaded archive, built once at load: the titles, artists and hosts of every show
// and track, and the sender and text of every chat row, in search form (case, accents and compatibility
// forms folded as the player folds them, records/SearchFold.h), kept as UTF-8 in two buffers with a zero
// byte between two entries. A search is one pass over a buffer; answers are in the station's response
// records (records/WireFormat.h), a page at a time.

#include "Archive.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace station {

class ArchiveSearch {
public:
    static constexpr std::uint32_t kTracksPerPage = 200;
    static constexpr std::uint32_t kChatRowsPerPage = 50;

    // `archive` must outlive the index, unchanged.
    void Build(const Archive& archive);

    // The answer bodies: a search header, then the hits of page `page`.
    std::string TracksBody(std::u16string_view query, std::uint32_t page) const;
    std::string ChatBody(std::u16string_view query, std::uint32_t page) const;

    // Bytes the index holds.
    std::size_t Bytes() const;
    std::size_t trackEntries() const { return tracks_.size(); }
    std::size_t chatEntries() const { return chatStarts_.size(); }

private:
    struct TrackEntry {
        std::int32_t station = 0;
        std::int32_t stream = 0;
        std::int32_t second = 0;
        bool show = false;
        const std::string* text1 = nullptr;
        const std::string* text2 = nullptr;
    };
    // The chat rows of one stream: entries [first, first + rows.size()) of the chat buffer.
    struct ChatStream {
        std::size_t first = 0;
        std::int32_t station = 0;
        std::int32_t stream = 0;
        const std::vector<ChatRow>* rows = nullptr;
    };

    // The entries of `starts` whose text in `buffer` holds `folded`, in order, each once: those of page
    // `page` (`perPage` a page) into `hits`; answers how many there are in all.
    static std::uint32_t Find(const std::string& buffer, const std::vector<std::uint64_t>& starts,
                              const std::string& folded, std::uint32_t page, std::uint32_t perPage,
                              std::vector<std::size_t>& hits);

    std::vector<TrackEntry> tracks_;
    std::string trackText_;
    std::vector<std::uint64_t> trackStarts_;
    std::vector<ChatStream> chatStreams_;
    std::string chatText_;
    std::vector<std::uint64_t> chatStarts_;
};

// The query in search form as UTF-8, its blanks at either end left out.
std::string FoldedQuery(std::u16string_view query);

} // namespace station
