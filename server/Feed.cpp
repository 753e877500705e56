#include "Feed.h"

#include "Text.h"
#include "TimeText.h"
#include "records/CatalogueRecords.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace station {

namespace {

constexpr std::int32_t kLongestCueSeconds = 10;

std::optional<std::int32_t> ParseId(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || (text.size() > 1 && text.front() == '0') || !ParseUnsigned(text, 0x7fffffff, value))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// "Sun, 03 Mar 2024 20:00:00 +0000", as RSS dates are written.
std::string Rfc822(std::int64_t utcSeconds) {
    static constexpr const char* kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::int64_t days = utcSeconds / 86400;
    std::int64_t rest = utcSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    const std::int64_t weekday = ((days % 7) + 7) % 7;
    char out[64];
    std::snprintf(out, sizeof out, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[weekday], day,
                  kMonths[month - 1], year, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return out;
}

// "HH:MM:SS.000" for WebVTT.
std::string VttTime(std::int64_t seconds) {
    char out[32];
    std::snprintf(out, sizeof out, "%02lld:%02lld:%02lld.000", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return out;
}

// A JSON string's content: quotes, backslashes and control characters escaped; valid UTF-8 only.
std::string JsonText(std::string_view text) {
    const std::string valid = RepairUtf8(text);
    std::string out;
    for (unsigned char c : valid) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Cue text: one line, markup characters escaped, no "-->" (which would end the cue's timing line).
std::string CueText(std::string_view text) {
    std::string out = XmlText(text);
    std::replace(out.begin(), out.end(), '\n', ' ');
    std::replace(out.begin(), out.end(), '\r', ' ');
    for (std::size_t at; (at = out.find("-->")) != std::string::npos;)
        out.replace(at, 3, "--&gt;");
    return out;
}

std::string TrackTitle(const Track& track) {
    if (track.text1.empty())
        return track.text2;
    if (track.text2.empty())
        return track.text1;
    return track.text1 + " - " + track.text2;
}

// What a chat row said or did, for the transcript; empty for rows with nothing to read.
std::string ChatLineText(const ChatRow& row) {
    const auto& a = row.args;
    auto arg = [&](std::size_t i) { return i < a.size() ? CueText(a[i]) : std::string(); };
    switch (row.kind) {
    case StreamChatRowKind_Plain:
        return a.size() == 2 ? "<v " + arg(0) + ">" + arg(1) + "</v>" : arg(0);
    case StreamChatRowKind_Message:
        return "<v " + arg(0) + ">" + arg(1) + "</v>";
    case StreamChatRowKind_Action:
        return "* " + arg(0) + " " + arg(1);
    case StreamChatRowKind_TopicChange:
        return arg(0) + " changes the topic to: " + arg(1);
    default:
        return {}; // joins, parts, nick changes, modes and kicks are not part of what was said
    }
}

} // namespace

std::string XmlText(std::string_view text) {
    const std::string valid = RepairUtf8(text);
    std::string out;
    out.reserve(valid.size());
    for (unsigned char c : valid) {
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
            out += "&apos;";
            break;
        default:
            if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += static_cast<char>(c);
        }
    }
    return out;
}

std::optional<FeedTarget> ParseFeedTarget(std::string_view target) {
    constexpr std::string_view kPrefix = "/feed/";
    if (!StartsWith(target, kPrefix))
        return std::nullopt;
    std::string_view rest = target.substr(kPrefix.size());
    if (EndsWith(rest, ".xml")) {
        const auto station = ParseId(rest.substr(0, rest.size() - 4));
        if (!station)
            return std::nullopt;
        return FeedTarget{FeedTarget::Feed, *station, 0};
    }
    const auto parts = Split(rest, '/');
    if (parts.size() != 3)
        return std::nullopt;
    const auto station = ParseId(parts[0]);
    const auto stream = ParseId(parts[1]);
    if (!station || !stream)
        return std::nullopt;
    if (parts[2] == "recording.mp3")
        return FeedTarget{FeedTarget::Recording, *station, *stream};
    if (parts[2] == "chapters.json")
        return FeedTarget{FeedTarget::Chapters, *station, *stream};
    if (parts[2] == "transcript.vtt")
        return FeedTarget{FeedTarget::Transcript, *station, *stream};
    return std::nullopt;
}

std::string FeedXml(const Station& station, std::string_view base) {
    const std::string root = XmlText(base) + "/feed/" + std::to_string(station.id);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:podcast=\"https://podcastindex.org/namespace/1.0\" "
                      "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\">\n<channel>\n";
    xml += "<title>" + XmlText(station.name) + "</title>\n";
    xml += "<link>" + XmlText(base) + "/</link>\n";
    xml += "<description>" + XmlText(station.description.empty() ? station.name : station.description) +
           "</description>\n";
    xml += "<generator>vantri-station</generator>\n";
    // Newest show first, as feed readers list them.
    for (auto it = station.streams.rbegin(); it != station.streams.rend(); ++it) {
        const Stream& stream = it->second;
        const std::string item = root + "/" + std::to_string(stream.id);
        const std::string title = stream.text1.empty() ? "Show " + std::to_string(stream.id) : stream.text1;
        xml += "<item>\n";
        xml += "<title>" + XmlText(title) + "</title>\n";
        xml += "<guid isPermaLink=\"false\">vantri-" + std::to_string(station.id) + "-" +
               std::to_string(stream.id) + "</guid>\n";
        xml += "<pubDate>" + Rfc822(stream.startTime) + "</pubDate>\n";
        if (!stream.text2.empty() || !stream.text3.empty())
            xml += "<description>" +
                   XmlText(stream.text2 + (stream.text2.empty() || stream.text3.empty() ? "" : " - ") +
                           stream.text3) +
                   "</description>\n";
        if (!stream.text2.empty())
            xml += "<itunes:author>" + XmlText(stream.text2) + "</itunes:author>\n";
        xml += "<enclosure url=\"" + item + "/recording.mp3\" length=\"" + std::to_string(stream.size) +
               "\" type=\"audio/mpeg\"/>\n";
        xml += "<itunes:duration>" + std::to_string(stream.duration) + "</itunes:duration>\n";
        if (!stream.tracks.empty())
            xml +=
                "<podcast:chapters url=\"" + item + "/chapters.json\" type=\"application/json+chapters\"/>\n";
        if (stream.hasChat)
            xml += "<podcast:transcript url=\"" + item + "/transcript.vtt\" type=\"text/vtt\"/>\n";
        xml += "</item>\n";
    }
    xml += "</channel>\n</rss>\n";
    return xml;
}

std::string ChaptersJson(const Stream& stream) {
    std::string json = "{\"version\":\"1.2.0\",\"chapters\":[";
    bool first = true;
    for (const Track& track : stream.tracks) {
        if (track.start < 0)
            continue;
        json += first ? "" : ",";
        first = false;
        json += "{\"startTime\":" + std::to_string(track.start) + ",\"title\":\"" +
                JsonText(TrackTitle(track)) + "\"}";
    }
    json += "]}\n";
    return json;
}

std::string TranscriptVtt(const Stream& stream) {
    // In time order, as the player replays them (a log may hold lines out of order).
    std::vector<const ChatRow*> rows;
    for (const ChatRow& row : stream.chat)
        if (row.time >= 0 && row.time < static_cast<std::int64_t>(stream.duration) &&
            !ChatLineText(row).empty())
            rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ChatRow* a, const ChatRow* b) { return a->time < b->time; });
    std::string vtt = "WEBVTT\n";
    const std::int64_t end = stream.duration;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::int64_t from = rows[i]->time;
        std::int64_t until = std::min<std::int64_t>(from + kLongestCueSeconds, end);
        for (std::size_t j = i + 1; j < rows.size(); ++j) {
            if (rows[j]->time > from) {
                until = std::min<std::int64_t>(until, rows[j]->time);
                break;
            }
        }
        vtt += "\n" + VttTime(from) + " --> " + VttTime(std::max(until, from + 1)) + "\n" +
               ChatLineText(*rows[i]) + "\n";
    }
    return vtt;
}

} // namespace station
