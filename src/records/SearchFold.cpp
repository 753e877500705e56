#include "records/SearchFold.h"

#include <algorithm>
#include <array>
#include <memory>

namespace {

struct FoldEntry {
    std::uint16_t from;
    std::uint8_t length;
    std::uint16_t to[3];
};

constexpr FoldEntry kFoldEntries[] = {
#include "records/SearchFoldTable.inc"
};

// Every unit of the basic plane: its form's length (kSame: the unit itself) and its form's units.
struct FoldTable {
    static constexpr std::uint8_t kSame = 0xFF;
    std::array<std::uint8_t, 0x10000> length;
    std::array<std::array<char16_t, 3>, 0x10000> units;

    FoldTable() {
        length.fill(kSame);
        for (const FoldEntry& e : kFoldEntries) {
            length[e.from] = e.length;
            for (int i = 0; i < 3; ++i)
                units[e.from][static_cast<std::size_t>(i)] = static_cast<char16_t>(e.to[i]);
        }
    }
};

const FoldTable& Table() {
    static const std::unique_ptr<FoldTable> table = std::make_unique<FoldTable>();
    return *table;
}

bool IsBlank(char16_t c) {
    return c == u' ';
}

} // namespace

void AppendSearchForm(std::u16string_view text, std::u16string& out, std::vector<std::uint32_t>* origins) {
    const FoldTable& table = Table();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const std::uint8_t length = table.length[c];
        if (length == FoldTable::kSame) {
            out.push_back(c);
            if (origins)
                origins->push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        for (std::uint8_t k = 0; k < length; ++k) {
            out.push_back(table.units[c][k]);
            if (origins)
                origins->push_back(static_cast<std::uint32_t>(i));
        }
    }
}

std::u16string SearchForm(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendSearchForm(text, out);
    return out;
}

SearchPattern::SearchPattern(std::u16string_view query) {
    AppendSearchForm(query, folded_);
    const auto first = std::find_if_not(folded_.begin(), folded_.end(), IsBlank);
    folded_.erase(folded_.begin(), first);
    while (!folded_.empty() && IsBlank(folded_.back()))
        folded_.pop_back();
    const std::size_t n = folded_.size();
    std::fill(std::begin(shift_), std::end(shift_), n == 0 ? 1 : n);
    // Units that share a low byte share a slot, which keeps the smallest (safe) shift.
    for (std::size_t i = 0; i + 1 < n; ++i) {
        std::size_t& slot = shift_[folded_[i] & 0xFF];
        slot = std::min(slot, n - 1 - i);
    }
}

std::size_t SearchPattern::FindIn(std::u16string_view haystack, std::size_t from) const {
    const std::size_t n = folded_.size();
    if (n == 0 || haystack.size() < n || from > haystack.size() - n)
        return std::u16string_view::npos;
    const char16_t* text = haystack.data();
    const char16_t* pattern = folded_.data();
    const char16_t last = pattern[n - 1];
    std::size_t at = from;
    const std::size_t end = haystack.size() - n;
    while (at <= end) {
        const char16_t c = text[at + n - 1];
        if (c == last && std::equal(pattern, pattern + n - 1, text + at))
            return at;
        at += shift_[c & 0xFF];
    }
    return std::u16string_view::npos;
}

std::vector<std::pair<std::size_t, std::size_t>> SearchPattern::MatchesIn(std::u16string_view text) const {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    if (empty())
        return ranges;
    std::u16string folded;
    std::vector<std::uint32_t> origins;
    folded.reserve(text.size());
    origins.reserve(text.size());
    AppendSearchForm(text, folded, &origins);
    std::size_t at = 0;
    while ((at = FindIn(folded, at)) != std::u16string_view::npos) {
        const std::size_t start = origins[at];
        const std::size_t lastUnit = origins[at + folded_.size() - 1];
        // The match ends after the whole character its last unit came from (a surrogate pair is two).
        std::size_t end = lastUnit + 1;
        if (end < text.size() && text[lastUnit] >= 0xD800 && text[lastUnit] < 0xDC00)
            ++end;
        // And with the combining marks that belong to it.
        while (end < text.size() && Table().length[text[end]] == 0)
            ++end;
        if (ranges.empty() || start >= ranges.back().second)
            ranges.emplace_back(start, end);
        at += folded_.size();
    }
    return ranges;
}
