#include "DirectHead.h"

#include <array>

namespace station {
namespace {

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    for (char allowed : std::string_view("!#$&'*+-.^_`|~"))
        if (c == allowed)
            return true;
    return false;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Fields that leave the answer to a window as it is; Host and Connection are checked on their own.
constexpr std::array<std::string_view, 6> kFields = {"host",   "connection",      "user-agent",
                                                     "accept", "accept-encoding", "accept-language"};

} // namespace

HeadScan ScanDirectHead(std::string_view bytes, std::string_view& target) {
    const std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return HeadScan::Incomplete;
    if (end + 4 != bytes.size())
        return HeadScan::Other; // pipelined input: libmicrohttpd reads it away before it closes
    // Only printable ASCII, spaces and CR LF line ends in the whole head.
    for (std::size_t i = 0; i < end + 2; ++i) {
        const char c = bytes[i];
        if (c == '\r'   ? bytes[i + 1] != '\n'
            : c == '\n' ? (i == 0 || bytes[i - 1] != '\r')
                        : c < ' ' && c != '\t')
            return HeadScan::Other;
        if (static_cast<unsigned char>(c) >= 0x7f)
            return HeadScan::Other;
    }
    const std::size_t lineEnd = bytes.find("\r\n");
    const std::string_view line = bytes.substr(0, lineEnd);
    constexpr std::string_view kMethod = "GET ";
    constexpr std::string_view kVersion = " HTTP/1.1";
    if (!line.starts_with(kMethod) || !line.ends_with(kVersion) ||
        line.size() <= kMethod.size() + kVersion.size())
        return HeadScan::Other;
    const std::string_view path = line.substr(kMethod.size(), line.size() - kMethod.size() - kVersion.size());
    if (path.front() != '/')
        return HeadScan::Other;
    for (char c : path)
        if (c <= ' ' || c == '%' || c == '#')
            return HeadScan::Other;

    std::array<bool, kFields.size()> seen{};
    bool close = false;
    std::size_t at = lineEnd + 2;
    while (at < end + 2) {
        const std::size_t next = bytes.find("\r\n", at);
        const std::string_view field = bytes.substr(at, next - at);
        at = next + 2;
        const std::size_t colon = field.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return HeadScan::Other;
        const std::string_view name = field.substr(0, colon);
        for (char c : name)
            if (!IsTokenChar(c))
                return HeadScan::Other;
        std::size_t known = kFields.size();
        for (std::size_t k = 0; k < kFields.size(); ++k)
            if (EqualsIgnoringCase(name, kFields[k]))
                known = k;
        if (known == kFields.size() || seen[known])
            return HeadScan::Other;
        seen[known] = true;
        const std::string_view value = TrimSpaces(field.substr(colon + 1));
        if (known == 0 && value.empty())
            return HeadScan::Other;
        if (known == 1) {
            if (!EqualsIgnoringCase(value, "close"))
                return HeadScan::Other;
            close = true;
        }
    }
    if (!seen[0] || !close)
        return HeadScan::Other;
    target = path;
    return HeadScan::Direct;
}

} // namespace station
