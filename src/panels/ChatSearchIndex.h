#pragma once
// The chat's lines in search form, for finding every line that holds a query. The lines' texts are
// folded once (case, accents, compatibility forms: records/SearchFold.h) into one buffer, a 0 unit
// between two lines, so that a search is one pass over the buffer and a match never spans two lines.
// The timestamp that starts each composed line is left out: a search looks at what was said.

#include "panels/ChatLineStore.h"
#include "records/SearchFold.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ChatSearchIndex {
public:
    void Clear();
    // Folds every line of `lines`.
    void Build(const ChatLineStore& lines);
    bool built() const { return built_; }
    std::size_t lineCount() const { return starts_.size(); }
    // The indexes of the lines that hold `pattern`, ascending, each once. None for an empty pattern.
    std::vector<std::int32_t> Find(const SearchPattern& pattern) const;
    // The part of a composed line that is searched: after its "[H:MM:SS] " timestamp.
    static std::size_t SearchedFrom(std::u16string_view line);
    // Bytes the index holds.
    std::size_t Bytes() const { return folded_.capacity() * sizeof(char16_t) + starts_.capacity() * 4; }

private:
    std::u16string folded_;
    std::vector<std::uint32_t> starts_;
    bool built_ = false;
};
