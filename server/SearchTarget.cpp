#include "SearchTarget.h"

#include "Text.h"
#include "records/OneLineText.h"
#include "records/WireFormat.h"

namespace station {
namespace {

SearchRequest Refused(std::string reason) {
    SearchRequest request;
    request.reason = std::move(reason);
    return request;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-decoding with "+" as a blank; false on a malformed escape.
bool Decode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return false;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return true;
}

} // namespace

std::optional<SearchRequest> ParseSearchTarget(std::string_view target) {
    SearchKind kind;
    std::string_view rest;
    if (StartsWith(target, "/searchtracks/")) {
        kind = SearchKind::Tracks;
        rest = target.substr(14);
    } else if (StartsWith(target, "/searchchat/")) {
        kind = SearchKind::Chat;
        rest = target.substr(12);
    } else {
        return std::nullopt;
    }
    if (rest.empty() || rest[0] != '?')
        return Refused("a search needs ?q=");
    std::optional<std::string> query;
    std::optional<std::uint32_t> page;
    for (std::string_view item : Split(rest.substr(1), '&')) {
        const std::size_t equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        if (key == "q" && equals != std::string_view::npos && !query) {
            std::string decoded;
            if (!Decode(value, decoded))
                return Refused("the query holds a malformed %-escape");
            if (!IsValidUtf8(decoded))
                return Refused("the query is not UTF-8");
            query = std::move(decoded);
        } else if (key == "page" && equals != std::string_view::npos && !page) {
            std::uint64_t number = 0;
            if (!ParseUnsigned(value, 65535, number))
                return Refused("the page must be a number from 0 to 65535");
            page = static_cast<std::uint32_t>(number);
        } else if (key == "debug" && equals == std::string_view::npos) {
            continue;
        } else {
            return Refused("unknown or repeated parameter '" + std::string(key) + "'");
        }
    }
    if (!query)
        return Refused("a search needs ?q=");
    SearchRequest request;
    request.kind = kind;
    request.query = CleanOneLineText(Utf8ToUtf16(*query), kMaxSearchQueryUnits);
    request.page = page.value_or(0);
    bool blank = true;
    for (char16_t c : request.query)
        blank = blank && c == u' ';
    if (blank)
        return Refused("the query is empty");
    request.ok = true;
    return request;
}

} // namespace station
