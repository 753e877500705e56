#include "WebLinkPage.h"

#include "TimeText.h"

namespace station {

namespace {

constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kMaxDigits = 5; // 62^5 fits 32 bits; the player reads six or more digits as 0

std::optional<std::int32_t> DecodeNumber(std::string_view text) {
    if (text.empty() || text.size() > kMaxDigits)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        const std::size_t digit = kDigits.find(c);
        if (digit == std::string_view::npos)
            return std::nullopt;
        value = value * 62 + static_cast<std::int64_t>(digit);
    }
    if (value > 0x7fffffff)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::string EncodeNumber(std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    std::string out;
    do {
        out.insert(out.begin(), kDigits[v % 62]);
        v /= 62;
    } while (v != 0);
    return out;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::optional<WebLink> ParseWebLinkTarget(std::string_view target) {
    WebLink link;
    std::size_t expected = 0;
    if (target.rfind("/track-", 0) == 0) {
        link.track = true;
        expected = 3;
        target.remove_prefix(7);
    } else if (target.rfind("/stream-", 0) == 0) {
        expected = 2;
        target.remove_prefix(8);
    } else {
        return std::nullopt;
    }
    std::int32_t numbers[3] = {};
    for (std::size_t i = 0; i < expected; ++i) {
        const std::size_t end = target.find('-');
        if ((i + 1 < expected) == (end == std::string_view::npos))
            return std::nullopt;
        const auto number = DecodeNumber(target.substr(0, end));
        if (!number)
            return std::nullopt;
        numbers[i] = *number;
        target.remove_prefix(end == std::string_view::npos ? target.size() : end + 1);
    }
    link.stationId = numbers[0];
    link.streamId = numbers[1];
    link.seconds = numbers[2];
    return link;
}

std::string SchemeLink(const WebLink& link) {
    std::string out = link.track ? "vantri:track-" : "vantri:stream-";
    out += EncodeNumber(link.stationId) + "-" + EncodeNumber(link.streamId);
    if (link.track)
        out += "-" + EncodeNumber(link.seconds);
    return out;
}

std::optional<std::string> WebLinkPage(const Archive& archive, const WebLink& link) {
    const auto station = archive.stations.find(link.stationId);
    if (station == archive.stations.end())
        return std::nullopt;
    const auto found = station->second.streams.find(link.streamId);
    if (found == station->second.streams.end())
        return std::nullopt;
    const Stream& stream = found->second;

    std::string moment;
    std::string track;
    if (link.track) {
        moment = FormatOffset(link.seconds);
        for (const Track& t : stream.tracks)
            if (t.start <= link.seconds)
                track = t.text1.empty() ? t.text2 : (t.text2.empty() ? t.text1 : t.text1 + " - " + t.text2);
    }
    const std::string title = Escape(station->second.name) + " - " + Escape(stream.text1);
    const std::string scheme = Escape(SchemeLink(link));

    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    page += title + " - Vantri</title>\n";
    page += "<style>body{font-family:sans-serif;max-width:36em;margin:3em auto;padding:0 1em;color:#222}"
            "h1{font-size:1.4em}dt{color:#666}dd{margin:0 0 .6em}"
            "a.open{display:inline-block;padding:.6em 1.2em;background:#2f7de1;color:#fff;"
            "border-radius:.4em;text-decoration:none}</style>\n</head>\n<body>\n";
    page += "<h1>" + Escape(station->second.name) + "</h1>\n<dl>\n";
    page += "<dt>Show</dt><dd>" + Escape(stream.text1) + "</dd>\n";
    if (!stream.text2.empty())
        page += "<dt>With</dt><dd>" + Escape(stream.text2) + "</dd>\n";
    page += "<dt>Broadcast</dt><dd>" + Escape(FormatUtc(stream.startTime)) + " UTC</dd>\n";
    if (link.track) {
        page += "<dt>Moment</dt><dd>" + Escape(moment) + "</dd>\n";
        if (!track.empty())
            page += "<dt>Playing then</dt><dd>" + Escape(track) + "</dd>\n";
    }
    page += "</dl>\n<p><a class=\"open\" href=\"" + scheme + "\">Open in Vantri</a></p>\n";
    page += "<p>Or paste this link into Vantri (Ctrl+V): <code>" + scheme + "</code></p>\n</body>\n</html>\n";
    return page;
}

} // namespace station
