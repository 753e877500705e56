#include "RecordCommand.h"

#include "Recorder.h"
#include "Text.h"
#include "records/WireFormat.h"

#include <cstdio>

namespace station::record {

const char* const kRecordUsage =
    "  vantri-station record --icecast http://HOST:PORT/MOUNT --station ID --archive DIR\n"
    "                 [--irc HOST[:PORT] --channel '#CHANNEL' [--nick NICK] [--irc-password TEXT]]\n"
    "                 [--grace SECONDS] [--chat-margin SECONDS] [--type 1|2|3] [--title TEXT]\n"
    "                 [--host TEXT] [--genre TEXT] [--station-name TEXT] [--station-description TEXT]\n";

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "vantri-station: %s\n", message.c_str());
    return 1;
}

// "host:port", "host" (port 6667) or "[v6 address]:port".
bool ParseHostPort(std::string_view text, std::string& host, std::uint16_t& port) {
    std::string_view portText;
    if (StartsWith(text, "[")) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return false;
        host = std::string(text.substr(1, close - 1));
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return false;
            portText = text.substr(close + 2);
        }
    } else {
        const std::size_t colon = text.rfind(':');
        host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos)
            portText = text.substr(colon + 1);
    }
    std::uint64_t number = 6667;
    if (host.empty() || (!portText.empty() && (!ParseUnsigned(portText, 65535, number) || number == 0)))
        return false;
    port = static_cast<std::uint16_t>(number);
    return true;
}

} // namespace

int RunRecordCommand(CommandLine& line) {
    const std::string usage = std::string("usage:\n") + kRecordUsage;
    if (line.positional().size() != 1)
        return Fail("record takes no folder of its own: name the archive with --archive\n" + usage);
    const auto icecast = line.Value("icecast");
    const auto station = line.Value("station");
    const auto archive = line.Value("archive");
    if (!icecast || !station || !archive)
        return Fail("record needs --icecast, --station and --archive\n" + usage);
    RecordOptions options;
    auto url = ParseIcecastUrl(*icecast);
    if (!url)
        return Fail(url.failure().Text());
    options.icecast = *url;
    options.archive = *archive;
    std::uint64_t stationId = 0;
    std::uint64_t grace = 60;
    std::uint64_t margin = static_cast<std::uint64_t>(options.chatMargin);
    std::uint64_t type = 1;
    std::string range;
    NumberOption(line, "station", 0, 0x7FFFFFFF, stationId, range);
    NumberOption(line, "grace", 0, 86400, grace, range);
    NumberOption(line, "chat-margin", 0, 86400, margin, range);
    NumberOption(line, "type", kMinStreamType, kMaxStreamType, type, range);
    if (!range.empty())
        return Fail(range);
    options.stationId = static_cast<std::int32_t>(stationId);
    options.grace = std::chrono::seconds(grace);
    options.chatMargin = static_cast<std::int64_t>(margin);
    options.facts.type = static_cast<std::uint8_t>(type);
    options.facts.text1 = line.Value("title").value_or("");
    options.facts.text2 = line.Value("host").value_or("");
    options.facts.text3 = line.Value("genre").value_or("");
    options.stationName = line.Value("station-name").value_or("");
    options.stationDescription = line.Value("station-description").value_or("");
    const auto irc = line.Value("irc");
    const auto channel = line.Value("channel");
    const auto nick = line.Value("nick");
    const auto password = line.Value("irc-password");
    if (irc || channel) {
        if (!irc || !channel)
            return Fail("--irc and --channel go together");
        IrcOptions chat;
        if (!ParseHostPort(*irc, chat.host, chat.port))
            return Fail("--irc must be HOST:PORT, not '" + *irc + "'");
        if (channel->empty() || channel->find_first_of(" ,\x07\r\n") != std::string::npos ||
            std::string_view("#&+!").find(channel->front()) == std::string_view::npos)
            return Fail("--channel must be an IRC channel name such as '#radio', not '" + *channel + "'");
        if (nick) {
            if (nick->empty() || nick->size() > 30 || nick->find_first_of(" ,:!@#\r\n") != std::string::npos)
                return Fail("--nick must be a plain IRC nick, not '" + *nick + "'");
            chat.nick = *nick;
        }
        if (password)
            chat.password = *password;
        chat.channel = *channel;
        options.facts.channel = *channel;
        options.irc = chat;
    } else if (nick || password) {
        return Fail("--nick and --irc-password need --irc and --channel");
    }
    if (std::string unused = line.Unused(); !unused.empty())
        return Fail(unused + "\n" + usage);
    Recorder recorder(std::move(options));
    return recorder.Run();
}

} // namespace station::record
