#pragma once
// Text in its search form, so that a search finds a word whatever its case, accents or compatibility
// form: "Ölfass", "OLFASS" and "ölfaß" all read "olfass". Each character of the basic plane is decomposed
// for compatibility, loses its combining marks and is case-folded (into up to three units; a combining
// mark alone becomes nothing); characters outside the basic plane stay as they are. Shared by the player
// and the station server, which must agree on what matches.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Appends the search form of `text` to `out`. With `origins`, appends for every unit written the index in
// `text` of the unit it came from.
void AppendSearchForm(std::u16string_view text, std::u16string& out,
                      std::vector<std::uint32_t>* origins = nullptr);
std::u16string SearchForm(std::u16string_view text);

// A query in search form, with its blanks at either end left out, found by Horspool's method.
class SearchPattern {
public:
    explicit SearchPattern(std::u16string_view query);

    bool empty() const { return folded_.empty(); }
    const std::u16string& folded() const { return folded_; }
    // The first place at or after `from` where the pattern occurs in `haystack` (in search form), or
    // npos.
    std::size_t FindIn(std::u16string_view haystack, std::size_t from = 0) const;
    // Every place in `text` (as it is, not in search form) where the pattern occurs, as [start, end)
    // ranges of `text`'s units, not overlapping, in order.
    std::vector<std::pair<std::size_t, std::size_t>> MatchesIn(std::u16string_view text) const;

private:
    std::u16string folded_;
    // How far the pattern may move on when the haystack's unit under its last unit has this low byte.
    std::size_t shift_[256];
};
