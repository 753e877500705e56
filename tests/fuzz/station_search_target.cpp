// Fuzzes the station server's search-target parser and the folding behind it: it must never crash, an
// accepted query is non-empty, at most 256 UTF-16 units, free of control characters and never ends in
// half a surrogate pair, and its search form can be searched for in itself.

#include "SearchTarget.h"
#include "records/SearchFold.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view target(reinterpret_cast<const char*>(data), size);
    const auto request = station::ParseSearchTarget(target);
    if (!request || !request->ok)
        return 0;
    const std::u16string& query = request->query;
    if (query.empty() || query.size() > 256)
        std::abort();
    for (char16_t c : query)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            std::abort();
    if (query.back() >= 0xD800 && query.back() < 0xDC00)
        std::abort();
    const SearchPattern pattern(query);
    if (!pattern.empty() && pattern.FindIn(pattern.folded()) != 0)
        std::abort();
    (void)pattern.MatchesIn(query);
    return 0;
}
