#include "panels/ChatSearchIndex.h"

#include <algorithm>

void ChatSearchIndex::Clear() {
    folded_.clear();
    folded_.shrink_to_fit();
    starts_.clear();
    starts_.shrink_to_fit();
    built_ = false;
}

std::size_t ChatSearchIndex::SearchedFrom(std::u16string_view line) {
    if (line.empty() || line[0] != u'[')
        return 0;
    const std::size_t close = line.find(u"] ");
    return close == std::u16string_view::npos ? 0 : close + 2;
}

void ChatSearchIndex::Build(const ChatLineStore& lines) {
    Clear();
    // Lines made from chat rows are composed each time they are read, so the room is reckoned from a
    // sample of lines spread over the show rather than from reading every line twice (a 2 % margin).
    constexpr std::size_t kSample = 1024;
    const std::size_t step = std::max<std::size_t>(1, lines.size() / kSample);
    std::size_t sampled = 0, sampledUnits = 0;
    for (std::size_t i = 0; i < lines.size(); i += step, ++sampled)
        sampledUnits += lines.Text(i).size() + 1;
    if (sampled > 0)
        folded_.reserve(sampledUnits * lines.size() / sampled * 51 / 50);
    starts_.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view text = lines.Text(i);
        starts_.push_back(static_cast<std::uint32_t>(folded_.size()));
        AppendSearchForm(text.substr(SearchedFrom(text)), folded_);
        folded_.push_back(u'\0');
    }
    built_ = true;
}

std::vector<std::int32_t> ChatSearchIndex::Find(const SearchPattern& pattern) const {
    std::vector<std::int32_t> found;
    if (pattern.empty())
        return found;
    std::size_t at = 0;
    while ((at = pattern.FindIn(folded_, at)) != std::u16string_view::npos) {
        const auto next = std::upper_bound(starts_.begin(), starts_.end(), static_cast<std::uint32_t>(at));
        const auto line = static_cast<std::int32_t>(next - starts_.begin()) - 1;
        found.push_back(line);
        // On from the next line: each line counts once.
        if (next == starts_.end())
            break;
        at = *next;
    }
    return found;
}
