#include "HttpHeaders.h"

#include "Text.h"

namespace station {

namespace {

bool Digits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool NameByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool Ipv6Byte(char c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' || c == '.';
}

} // namespace

ByteRange ParseByteRange(const char* header, std::uint64_t size) {
    ByteRange whole;
    if (!header)
        return whole;
    std::string_view text = Trim(std::string_view(header));
    if (!StartsWith(text, "bytes="))
        return whole;
    text.remove_prefix(6);
    text = Trim(text);
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || text.find(',') != std::string_view::npos)
        return whole;
    const std::string_view first = Trim(text.substr(0, dash));
    const std::string_view last = Trim(text.substr(dash + 1));
    constexpr std::uint64_t kMax = ~std::uint64_t{0} - 1;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    ByteRange range;
    range.kind = ByteRange::Part;
    if (first.empty()) {
        // The last N bytes; all of a body shorter than that.
        if (!Digits(last) || !ParseUnsigned(last, kMax, b))
            return whole;
        if (b == 0 || size == 0)
            return {ByteRange::Unsatisfiable, 0, 0};
        range.count = b < size ? b : size;
        range.start = size - range.count;
        return range;
    }
    if (!Digits(first) || !ParseUnsigned(first, kMax, a))
        return whole;
    if (!last.empty() && (!Digits(last) || !ParseUnsigned(last, kMax, b) || b < a))
        return whole;
    if (a >= size)
        return {ByteRange::Unsatisfiable, 0, 0};
    const std::uint64_t end = last.empty() || b >= size ? size - 1 : b;
    range.start = a;
    range.count = end - a + 1;
    return range;
}

std::optional<std::string> BaseFromHost(std::string_view host) {
    if (host.empty() || host.size() > 260)
        return std::nullopt;
    std::string_view name = host;
    std::string_view port;
    if (host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos || close < 3)
            return std::nullopt;
        for (char c : host.substr(1, close - 1))
            if (!Ipv6Byte(c))
                return std::nullopt;
        name = host.substr(0, close + 1);
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
            if (port.empty())
                return std::nullopt;
        }
    } else {
        const std::size_t colon = host.find(':');
        if (colon != std::string_view::npos) {
            name = host.substr(0, colon);
            port = host.substr(colon + 1);
            if (port.empty())
                return std::nullopt;
        }
        if (name.empty() || name.size() > 253 || name.front() == '.' || name.front() == '-')
            return std::nullopt;
        for (char c : name)
            if (!NameByte(c))
                return std::nullopt;
    }
    if (!port.empty()) {
        std::uint64_t number = 0;
        if (!Digits(port) || port.size() > 5 || !ParseUnsigned(port, 65535, number) || number == 0)
            return std::nullopt;
    }
    return "http://" + std::string(host);
}

} // namespace station
