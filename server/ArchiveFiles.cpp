#include "ArchiveFiles.h"

#include "Text.h"
#include "TimeText.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

#include <array>
#include <limits>
#include <map>
#include <set>

namespace station {
namespace {

constexpr std::array<std::string_view, 10> kChatKindNames = {"plain", "message", "action", "join", "leave",
                                                             "quit",  "nick",    "topic",  "mode", "kick"};

struct ConfValue {
    std::string value;
    int line = 0;
};

using ConfMap = std::map<std::string, ConfValue, std::less<>>;

// Parses "key = value" lines, allowing only `keys`, each once.
Result<ConfMap> ParseConf(std::string_view text, const std::string& file,
                          const std::set<std::string_view>& keys) {
    ConfMap values;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string_view line = Trim(lines[i]);
        if (line.empty() || line.front() == '#')
            continue;
        if (!IsValidUtf8(line))
            return Failure{file, number, "the line is not valid UTF-8"};
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return Failure{file, number, "expected 'key = value'"};
        const std::string key = ToLower(Trim(line.substr(0, equals)));
        if (!keys.contains(key))
            return Failure{file, number, "unknown key '" + key + "'"};
        if (values.contains(key))
            return Failure{file, number, "key '" + key + "' given twice"};
        values[key] = ConfValue{std::string(Trim(line.substr(equals + 1))), number};
    }
    return values;
}

const ConfValue* Find(const ConfMap& values, std::string_view key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : &found->second;
}

std::string Get(const ConfMap& values, std::string_view key) {
    const ConfValue* value = Find(values, key);
    return value ? value->value : std::string();
}

// Reads an optional integer key into `out`; answers a failure text or empty.
std::string GetInteger(const ConfMap& values, std::string_view key, std::int64_t min, std::int64_t max,
                       std::int64_t& out, int& line) {
    const ConfValue* value = Find(values, key);
    if (!value)
        return {};
    line = value->line;
    if (!ParseSigned(value->value, min, max, out))
        return "'" + std::string(key) + "' must be a whole number from " + std::to_string(min) + " to " +
               std::to_string(max);
    return {};
}

bool ValidHost(std::string_view host) {
    if (host.empty() || host.size() > 253)
        return false;
    for (char c : host)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '-' || c == ':' || c == '[' || c == ']'))
            return false;
    return true;
}

bool ValidBasePath(std::string_view path) {
    if (path.size() < 3 || path.size() > 200 || path.front() != '/' || path.back() != '/' ||
        path.find("//") != std::string_view::npos)
        return false;
    for (char c : path)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
              c == '.' || c == '_' || c == '-'))
            return false;
    for (std::string_view segment : Split(path.substr(1, path.size() - 2), '/'))
        if (segment == "." || segment == "..")
            return false;
    return true;
}

std::optional<std::int32_t> ParseTime32(std::string_view text) {
    const auto offset = ParseOffset(text);
    if (!offset || *offset < std::numeric_limits<std::int32_t>::min() ||
        *offset > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*offset);
}

} // namespace

std::string_view ChatKindName(std::uint8_t kind) {
    return kind < kChatKindNames.size() ? kChatKindNames[kind] : std::string_view("?");
}

bool ChatRowFits(std::uint8_t kind, const std::vector<std::string>& args) {
    return IsWellFormedChatRow(kind, args.size(), [&](std::size_t i) { return args[i].empty(); });
}

Result<Station> ParseStationConf(std::string_view text, const std::string& file, std::int32_t stationId) {
    auto parsed = ParseConf(text, file, {"name", "description", "host", "port", "path"});
    if (!parsed)
        return parsed.failure();
    const ConfMap& values = *parsed;
    Station station;
    station.id = stationId;
    station.name = Get(values, "name");
    if (station.name.empty())
        return Failure{file, 0, "the station needs a 'name'"};
    station.description = Get(values, "description");
    if (const ConfValue* host = Find(values, "host")) {
        if (!ValidHost(host->value))
            return Failure{file, host->line, "'host' must be a host name or address"};
        station.host = host->value;
    }
    std::int64_t port = 0;
    int line = 0;
    if (std::string problem = GetInteger(values, "port", 1, 65535, port, line); !problem.empty())
        return Failure{file, line, problem};
    station.port = static_cast<std::uint16_t>(port);
    station.basePath = DefaultBasePath(stationId);
    if (const ConfValue* path = Find(values, "path")) {
        if (!ValidBasePath(path->value))
            return Failure{
                file, path->line,
                "'path' must start and end with '/', name at least one folder and use only letters, "
                "digits and . _ -"};
        station.basePath = path->value;
    }
    return station;
}

Result<Stream> ParseStreamConf(std::string_view text, const std::string& file, std::int32_t streamId,
                               bool& durationKnown) {
    auto parsed = ParseConf(
        text, file,
        {"start", "duration", "size", "type", "text1", "text2", "text3", "extra1", "extra2", "channel"});
    if (!parsed)
        return parsed.failure();
    const ConfMap& values = *parsed;
    Stream stream;
    stream.id = streamId;
    const ConfValue* start = Find(values, "start");
    if (!start)
        return Failure{file, 0, "the stream needs a 'start' (YYYY-MM-DD HH:MM:SS in UTC)"};
    const auto startTime = ParseDateTime(start->value);
    if (!startTime || *startTime < 0 || *startTime > std::numeric_limits<std::int32_t>::max())
        return Failure{file, start->line,
                       "'start' must be a date and time from 1970 to 2038 (YYYY-MM-DD HH:MM:SS)"};
    stream.startTime = static_cast<std::int32_t>(*startTime);
    durationKnown = false;
    if (const ConfValue* duration = Find(values, "duration")) {
        const auto seconds = ParseOffset(duration->value);
        if (!seconds || *seconds < 0 || *seconds > std::numeric_limits<std::int32_t>::max())
            return Failure{file, duration->line, "'duration' must be H:MM:SS or seconds"};
        stream.duration = static_cast<std::uint32_t>(*seconds);
        durationKnown = true;
    }
    std::int64_t number = 0;
    int line = 0;
    if (std::string problem =
            GetInteger(values, "size", 0, std::numeric_limits<std::uint32_t>::max(), number, line);
        !problem.empty())
        return Failure{file, line, problem};
    stream.size = static_cast<std::uint64_t>(number);
    number = kMinStreamType;
    if (std::string problem = GetInteger(values, "type", kMinStreamType, kMaxStreamType, number, line);
        !problem.empty())
        return Failure{file, line, problem};
    stream.type = static_cast<std::uint8_t>(number);
    const auto int32Min = std::numeric_limits<std::int32_t>::min();
    const auto int32Max = std::numeric_limits<std::int32_t>::max();
    number = 0;
    if (std::string problem = GetInteger(values, "extra1", int32Min, int32Max, number, line);
        !problem.empty())
        return Failure{file, line, problem};
    stream.extraValue1 = static_cast<std::int32_t>(number);
    number = 0;
    if (std::string problem = GetInteger(values, "extra2", int32Min, int32Max, number, line);
        !problem.empty())
        return Failure{file, line, problem};
    stream.extraValue2 = static_cast<std::int32_t>(number);
    stream.text1 = Get(values, "text1");
    stream.text2 = Get(values, "text2");
    stream.text3 = Get(values, "text3");
    stream.channel = Get(values, "channel");
    return stream;
}

Result<std::vector<Track>> ParseTrackFile(std::string_view text, const std::string& file) {
    std::vector<Track> tracks;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string_view line = lines[i];
        if (Trim(line).empty() || line.front() == '#')
            continue;
        if (!IsValidUtf8(line))
            return Failure{file, number, "the line is not valid UTF-8"};
        const auto fields = Split(line, '\t');
        if (fields.size() < 4 || fields.size() > 6)
            return Failure{
                file, number,
                "expected start, kind, artist and title (and optionally end and flag) separated by tabs"};
        Track track;
        const auto start = ParseTime32(Trim(fields[0]));
        if (!start)
            return Failure{file, number, "the start must be H:MM:SS or seconds"};
        track.start = *start;
        const std::string_view kind = Trim(fields[1]);
        std::int64_t kindNumber = 0;
        if (kind == "music")
            track.kind = kTrackKindMusic;
        else if (kind == "talk")
            track.kind = kTrackKindTalk;
        else if (ParseSigned(kind, 0, 255, kindNumber))
            track.kind = static_cast<std::uint8_t>(kindNumber);
        else
            return Failure{file, number, "the kind must be 'music', 'talk' or a number from 0 to 255"};
        track.text1 = std::string(fields[2]);
        track.text2 = std::string(fields[3]);
        if (fields.size() >= 5) {
            const auto end = ParseTime32(Trim(fields[4]));
            if (!end)
                return Failure{file, number, "the end must be H:MM:SS or seconds"};
            track.secondTime = *end;
        }
        if (fields.size() == 6) {
            const std::string_view flag = Trim(fields[5]);
            if (flag != "0" && flag != "1")
                return Failure{file, number, "the flag must be 0 or 1"};
            track.flag = flag == "1";
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

Result<std::vector<ChatRow>> ParseChatFile(std::string_view text, const std::string& file) {
    std::vector<ChatRow> rows;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string_view line = lines[i];
        if (Trim(line).empty() || line.front() == '#')
            continue;
        if (!IsValidUtf8(line))
            return Failure{file, number, "the line is not valid UTF-8"};
        const auto fields = Split(line, '\t');
        if (fields.size() < 3)
            return Failure{file, number, "expected time, kind and arguments separated by tabs"};
        ChatRow row;
        const auto time = ParseTime32(Trim(fields[0]));
        if (!time)
            return Failure{file, number, "the time must be [-]H:MM:SS or seconds"};
        row.time = *time;
        const std::string_view kind = Trim(fields[1]);
        bool known = false;
        for (std::size_t k = 0; k < kChatKindNames.size(); ++k) {
            if (kind == kChatKindNames[k]) {
                row.kind = static_cast<std::uint8_t>(k);
                known = true;
            }
        }
        if (!known)
            return Failure{file, number, "unknown chat kind '" + std::string(kind) + "'"};
        if (fields.size() - 2 > kMaxChatArgs)
            return Failure{file, number, "a chat row has at most 20 arguments"};
        for (std::size_t k = 2; k < fields.size(); ++k)
            row.args.emplace_back(fields[k]);
        if (!ChatRowFits(row.kind, row.args))
            return Failure{
                file, number,
                "wrong arguments for '" + std::string(kind) +
                    "' (plain: text or sender and text; message: sender and text, both non-empty; "
                    "action: sender and text; join: nick; leave, quit: nick [reason]; nick: old and "
                    "new; topic: nick and topic; mode: nick and modes; kick: kicker, nick [reason])"};
        rows.push_back(std::move(row));
    }
    return rows;
}

Result<ChatSyncPoints> ParseChatSyncFile(std::string_view text, const std::string& file) {
    ChatSyncPoints points;
    std::map<std::int32_t, int> lineOfPlay;
    const auto lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const std::string_view line = lines[i];
        if (Trim(line).empty() || line.front() == '#')
            continue;
        const auto fields = Split(line, '\t');
        if (fields.size() != 2)
            return Failure{file, number, "expected a play time and a chat time separated by a tab"};
        const auto play = ParseTime32(Trim(fields[0]));
        const auto chat = ParseTime32(Trim(fields[1]));
        if (!play || !chat)
            return Failure{file, number, "the times must be [-]H:MM:SS or seconds"};
        if (const auto earlier = lineOfPlay.find(*play); earlier != lineOfPlay.end())
            return Failure{file, number,
                           "a second sync point at the play time of line " + std::to_string(earlier->second)};
        if (points.size() == kMaxChatSyncPoints)
            return Failure{file, number,
                           "a show has at most " + std::to_string(kMaxChatSyncPoints) + " sync points"};
        lineOfPlay.emplace(*play, number);
        points.push_back({*play, *chat});
    }
    return OrderChatSyncPoints(std::move(points));
}

Result<std::optional<UpdateOffer>> ParseServerConf(std::string_view text, const std::string& file) {
    auto parsed = ParseConf(text, file, {"update-version", "update-installer"});
    if (!parsed)
        return parsed.failure();
    const ConfMap& values = *parsed;
    std::int64_t version = 0;
    int line = 0;
    if (std::string problem =
            GetInteger(values, "update-version", 0, std::numeric_limits<std::int32_t>::max(), version, line);
        !problem.empty())
        return Failure{file, line, problem};
    const ConfValue* installer = Find(values, "update-installer");
    if (!Find(values, "update-version")) {
        if (installer)
            return Failure{file, installer->line, "'update-installer' needs an 'update-version'"};
        return std::optional<UpdateOffer>();
    }
    UpdateOffer offer;
    offer.newestVersion = static_cast<std::int32_t>(version);
    if (installer)
        offer.installer = installer->value;
    return std::optional<UpdateOffer>(offer);
}

std::string FormatStationConf(const Station& station) {
    std::string text = "name = " + station.name + "\n";
    if (!station.description.empty())
        text += "description = " + station.description + "\n";
    if (!station.host.empty())
        text += "host = " + station.host + "\n";
    if (station.port != 0)
        text += "port = " + std::to_string(station.port) + "\n";
    if (!station.basePath.empty() && station.basePath != DefaultBasePath(station.id))
        text += "path = " + station.basePath + "\n";
    return text;
}

std::string FormatStreamConf(const Stream& stream) {
    std::string text;
    text += "start = " + FormatUtc(stream.startTime) + "\n";
    text += "duration = " + FormatOffset(stream.duration) + "\n";
    text += "size = " + std::to_string(stream.size) + "\n";
    text += "type = " + std::to_string(stream.type) + "\n";
    text += "text1 = " + stream.text1 + "\n";
    text += "text2 = " + stream.text2 + "\n";
    text += "text3 = " + stream.text3 + "\n";
    if (!stream.channel.empty())
        text += "channel = " + stream.channel + "\n";
    if (stream.extraValue1 != 0)
        text += "extra1 = " + std::to_string(stream.extraValue1) + "\n";
    if (stream.extraValue2 != 0)
        text += "extra2 = " + std::to_string(stream.extraValue2) + "\n";
    return text;
}

std::string FormatTrackFile(const std::vector<Track>& tracks) {
    std::string text = "# start\tkind\tartist\ttitle\tend\tflag\n";
    for (const Track& track : tracks) {
        text += FormatOffset(track.start) + "\t";
        if (track.kind == kTrackKindMusic)
            text += "music";
        else if (track.kind == kTrackKindTalk)
            text += "talk";
        else
            text += std::to_string(track.kind);
        text += "\t" + track.text1 + "\t" + track.text2 + "\t" + FormatOffset(track.secondTime) + "\t" +
                (track.flag ? "1" : "0") + "\n";
    }
    return text;
}

std::string FormatChatFile(const std::vector<ChatRow>& rows) {
    std::string text = "# time\tkind\targuments...\n";
    for (const ChatRow& row : rows) {
        text += FormatOffset(row.time);
        text += "\t";
        text += ChatKindName(row.kind);
        for (const std::string& arg : row.args)
            text += "\t" + arg;
        text += "\n";
    }
    return text;
}

} // namespace station
