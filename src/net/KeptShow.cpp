#include "net/KeptShow.h"

#include "app/BesideSettings.h"
#include "platform/Utf.h"

#include <map>

namespace {

std::string Escaped(std::u16string_view text) {
    std::string out;
    for (char c : Utf16ToUtf8(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::u16string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return Utf8ToUtf16(out);
}

bool Number(const std::map<std::string, std::string>& fields, const char* key, std::int64_t& value) {
    auto found = fields.find(key);
    if (found == fields.end())
        return false;
    std::string_view text = found->second;
    return TakeNumber(text, value, false) && text.empty();
}

} // namespace

KeptShow KeptShow::Of(const StreamInfoData& stream, const StationConnectionData& server) {
    KeptShow show;
    show.station = server;
    show.station.stationId = stream.stationId;
    show.streamId = stream.streamId;
    show.startTime = stream.startTime;
    show.duration = stream.duration;
    show.size = stream.size;
    show.streamType = stream.streamType;
    show.extraValue1 = stream.extraValue1;
    show.extraValue2 = stream.extraValue2;
    show.hasChat = stream.hasChat;
    show.text1 = stream.text1;
    show.text2 = stream.text2;
    show.text3 = stream.text3;
    return show;
}

std::string KeptShow::Encode() const {
    std::string out;
    out += "station " + std::to_string(station.stationId) + "\n";
    out += "stream " + std::to_string(streamId) + "\n";
    out += "name " + Escaped(station.name) + "\n";
    out += "host " + Escaped(Utf8ToUtf16(station.host)) + "\n";
    out += "port " + std::to_string(station.port) + "\n";
    out += "base " + Escaped(Utf8ToUtf16(station.basePath)) + "\n";
    out += "start " + std::to_string(startTime) + "\n";
    out += "duration " + std::to_string(duration) + "\n";
    out += "size " + std::to_string(size) + "\n";
    out += "type " + std::to_string(streamType) + "\n";
    out += "extra1 " + std::to_string(extraValue1) + "\n";
    out += "extra2 " + std::to_string(extraValue2) + "\n";
    out += std::string("chat ") + (hasChat ? "1" : "0") + "\n";
    out += "text1 " + Escaped(text1) + "\n";
    out += "text2 " + Escaped(text2) + "\n";
    out += "text3 " + Escaped(text3) + "\n";
    return out;
}

std::optional<KeptShow> KeptShow::Decode(std::string_view text) {
    std::map<std::string, std::string> fields;
    std::string_view line;
    while (TakeLine(text, line, false)) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            fields[std::string(line)] = "";
        else
            fields[std::string(line.substr(0, blank))] = std::string(line.substr(blank + 1));
    }
    KeptShow show;
    std::int64_t station = 0, stream = 0, port = 0, start = 0, duration = 0, size = 0, chat = 0, type = 0,
                 extra1 = 0, extra2 = 0;
    if (!Number(fields, "station", station) || !FitsInt32(station) || !Number(fields, "stream", stream) ||
        !FitsInt32(stream) || !Number(fields, "port", port) || port < 1 || port > 65535 ||
        !Number(fields, "start", start) || !FitsInt32(start) || !Number(fields, "duration", duration) ||
        duration < 0 || duration > UINT32_MAX || !Number(fields, "size", size) || size < 0 ||
        !Number(fields, "chat", chat) || !Number(fields, "type", type) || !FitsInt32(type) ||
        !Number(fields, "extra1", extra1) || !FitsInt32(extra1) || !Number(fields, "extra2", extra2) ||
        !FitsInt32(extra2) || !fields.count("host") || !fields.count("base"))
        return std::nullopt;
    show.station.stationId = static_cast<std::int32_t>(station);
    show.station.name = Unescaped(fields["name"]);
    show.station.host = Utf16ToUtf8(Unescaped(fields["host"]));
    show.station.port = static_cast<std::uint16_t>(port);
    show.station.basePath = Utf16ToUtf8(Unescaped(fields["base"]));
    show.streamId = static_cast<std::int32_t>(stream);
    show.startTime = static_cast<std::int32_t>(start);
    show.duration = static_cast<std::uint32_t>(duration);
    show.size = static_cast<std::uint64_t>(size);
    show.streamType = static_cast<std::int32_t>(type);
    show.extraValue1 = static_cast<std::int32_t>(extra1);
    show.extraValue2 = static_cast<std::int32_t>(extra2);
    show.hasChat = chat != 0;
    show.text1 = Unescaped(fields["text1"]);
    show.text2 = Unescaped(fields["text2"]);
    show.text3 = Unescaped(fields["text3"]);
    return show;
}

std::unique_ptr<StreamInfoData> KeptShow::MakeStreamInfo() const {
    auto stream = std::make_unique<StreamInfoData>();
    stream->stationId = station.stationId;
    stream->streamId = streamId;
    stream->startTime = startTime;
    stream->duration = duration;
    stream->size = size;
    stream->streamType = streamType;
    stream->extraValue1 = extraValue1;
    stream->extraValue2 = extraValue2;
    stream->hasChat = hasChat;
    stream->text1 = text1;
    stream->text2 = text2;
    stream->text3 = text3;
    return stream;
}
