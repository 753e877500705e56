// vantri-station: serves an archive as the station directory, the station servers and the update
// server; imports recordings with their track lists and chat logs into an archive; checks an archive.

#include "ArchiveLoader.h"
#include "ArchiveWatch.h"
#include "Catalogue.h"
#include "CommandLine.h"
#include "Files.h"
#include "HttpServer.h"
#include "Importer.h"
#include "Text.h"
#include "TimeText.h"
#include "record/RecordCommand.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

using namespace station;

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  vantri-station serve ARCHIVE [--listen ADDRESS] [--port N] [--chunked] [--chunk-size BYTES]\n"
    "                 [--threads N] [--timeout SECONDS] [--public-host HOST] [--public-port N]\n"
    "                 [--address-limit N] [--head-seconds SECONDS]\n"
    "                 [--no-directory] [--no-stations] [--no-update] [--port-file FILE] [--log]\n"
    "  vantri-station import ARCHIVE --station ID --stream ID --mp3 FILE --start 'YYYY-MM-DD "
    "HH:MM:SS[Z|+HH:MM]'\n"
    "                 [--cue FILE] [--chat FILE]\n"
    "                 [--chat-format auto|irssi|weechat|mirc|znc|hexchat|quassel|thelounge]\n"
    "                 [--chat-utc-offset +HH:MM] [--chat-margin SECONDS] [--type 1|2|3]\n"
    "                 [--title TEXT] [--host TEXT] [--genre TEXT] [--channel TEXT]\n"
    "                 [--station-name TEXT] [--station-description TEXT] [--replace]\n"
    "  vantri-station check ARCHIVE\n"
    "  (serve loads the archive again on SIGHUP and when a station or stream folder appears or goes)\n";

std::string Usage() {
    return std::string(kUsage) + station::record::kRecordUsage;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vantri-station: %s\n", message.c_str());
    return 1;
}

Result<Archive> Load(const std::string& root, bool& clean) {
    std::vector<Failure> problems;
    auto archive = LoadArchive(root, problems);
    for (const Failure& problem : problems)
        std::fprintf(stderr, "vantri-station: %s\n", problem.Text().c_str());
    clean = problems.empty();
    return archive;
}

int Serve(CommandLine& line) {
    if (line.positional().size() != 2)
        return Fail("serve needs the archive folder\n" + std::string(kUsage));
    ServerOptions options;
    if (auto listen = line.Value("listen"))
        options.address = *listen;
    std::uint64_t port = 0;
    std::uint64_t publicPort = 0;
    std::uint64_t threads = 0;
    std::uint64_t timeout = options.timeoutSeconds;
    std::uint64_t chunk = options.chunkBytes;
    std::string range;
    NumberOption(line, "port", 0, 65535, port, range);
    NumberOption(line, "public-port", 0, 65535, publicPort, range);
    NumberOption(line, "threads", 0, 256, threads, range);
    NumberOption(line, "timeout", 0, 86400, timeout, range);
    NumberOption(line, "chunk-size", 1, 1u << 20, chunk, range);
    std::uint64_t addressLimit = options.perAddressLimit;
    std::uint64_t headSeconds = options.headSeconds;
    NumberOption(line, "address-limit", 0, 100000, addressLimit, range);
    NumberOption(line, "head-seconds", 0, 3600, headSeconds, range);
    options.perAddressLimit = static_cast<unsigned>(addressLimit);
    options.headSeconds = static_cast<unsigned>(headSeconds);
    if (!range.empty())
        return Fail(range);
    options.port = static_cast<std::uint16_t>(port);
    options.publicPort = static_cast<std::uint16_t>(publicPort);
    options.threads = static_cast<unsigned>(threads);
    options.timeoutSeconds = static_cast<unsigned>(timeout);
    options.chunkBytes = static_cast<std::size_t>(chunk);
    options.chunked = line.Flag("chunked");
    options.publicHost = line.Value("public-host").value_or("");
    options.serveDirectory = !line.Flag("no-directory");
    options.serveStations = !line.Flag("no-stations");
    options.serveUpdate = !line.Flag("no-update");
    options.logRequests = line.Flag("log");
    const auto portFile = line.Value("port-file");
    if (std::string unused = line.Unused(); !unused.empty())
        return Fail(unused + "\n" + kUsage);

    // Take the stop and rescan signals before any thread starts, so that only the watch receives them.
    auto watch = ArchiveWatch::Start(line.positional()[1]);
    if (!watch)
        return Fail(watch.failure().Text());
    std::signal(SIGPIPE, SIG_IGN);

    bool clean = true;
    auto archive = Load(line.positional()[1], clean);
    if (!archive)
        return Fail(archive.failure().Text());
    std::size_t streams = 0;
    for (const auto& [id, station] : archive->stations)
        streams += station.streams.size();
    const std::size_t stations = archive->stations.size();
    auto catalogue = Catalogue::Build(std::move(*archive));
    if (!catalogue)
        return Fail(catalogue.failure().Text());
    auto server = HttpServer::Start(*catalogue, options);
    if (!server)
        return Fail(server.failure().Text());
    const std::uint16_t bound = (*server)->port();
    if (portFile) {
        if (auto written = WriteWholeFile(*portFile, std::to_string(bound) + "\n"); !written)
            return Fail(written.failure().Text());
    }
    std::printf("vantri-station: serving %zu stations with %zu streams on %s port %u%s\n", stations, streams,
                options.address.c_str(), bound, options.chunked ? " (chunked)" : "");
    std::fflush(stdout);
    // A new show appearing in the archive (or SIGHUP) loads the archive again; until the new catalogue
    // is whole, the old one is served, and a rescan that fails keeps it.
    while ((*watch)->Wait() == ArchiveWatch::Wake::Rescan) {
        auto again = Load(line.positional()[1], clean);
        (*watch)->Refresh();
        if (!again) {
            std::fprintf(stderr, "vantri-station: rescan: %s; serving what was loaded before\n",
                         again.failure().Text().c_str());
            continue;
        }
        std::size_t rescanned = 0;
        for (const auto& [id, station] : again->stations)
            rescanned += station.streams.size();
        const std::size_t rescannedStations = again->stations.size();
        auto rebuilt = Catalogue::Build(std::move(*again));
        if (!rebuilt) {
            std::fprintf(stderr, "vantri-station: rescan: %s; serving what was loaded before\n",
                         rebuilt.failure().Text().c_str());
            continue;
        }
        (*server)->Replace(*rebuilt);
        std::printf("vantri-station: rescanned: serving %zu stations with %zu streams\n", rescannedStations,
                    rescanned);
        std::fflush(stdout);
    }
    return 0;
}

int Check(CommandLine& line) {
    if (line.positional().size() != 2)
        return Fail("check needs the archive folder");
    if (std::string unused = line.Unused(); !unused.empty())
        return Fail(unused);
    bool clean = true;
    auto archive = Load(line.positional()[1], clean);
    if (!archive)
        return Fail(archive.failure().Text());
    auto catalogue = Catalogue::Build(std::move(*archive));
    if (!catalogue)
        return Fail(catalogue.failure().Text());
    // An update offered without an installer leaves every player that accepts it with nothing to run.
    if (const auto& update = (*catalogue)->archive().update; update && update->installer.empty()) {
        std::fprintf(stderr,
                     "vantri-station: server.conf offers an update but names no 'update-installer'\n");
    }
    for (const auto& [id, station] : (*catalogue)->archive().stations) {
        std::size_t rows = 0;
        for (const auto& [streamId, stream] : station.streams)
            rows += stream.chat.size();
        std::printf("station %d \"%s\" at %s: %zu streams, %zu chat rows\n", id, station.name.c_str(),
                    station.basePath.c_str(), station.streams.size(), rows);
    }
    return clean ? 0 : 1;
}

int Import(CommandLine& line) {
    if (line.positional().size() != 2)
        return Fail("import needs the archive folder\n" + std::string(kUsage));
    ImportRequest request;
    request.archive = line.positional()[1];
    std::uint64_t stationId = 0;
    std::uint64_t streamId = 0;
    std::uint64_t type = 1;
    std::uint64_t margin = static_cast<std::uint64_t>(request.chatMargin);
    const auto station = line.Value("station");
    const auto stream = line.Value("stream");
    const auto mp3 = line.Value("mp3");
    const auto start = line.Value("start");
    if (!station || !stream || !mp3 || !start)
        return Fail("import needs --station, --stream, --mp3 and --start\n" + std::string(kUsage));
    std::string range;
    NumberOption(line, "station", 0, 0x7FFFFFFF, stationId, range);
    NumberOption(line, "stream", 0, 0x7FFFFFFF, streamId, range);
    NumberOption(line, "type", 1, 3, type, range);
    NumberOption(line, "chat-margin", 0, 1u << 30, margin, range);
    if (!range.empty())
        return Fail(range);
    const auto startTime = ParseDateTime(*start);
    if (!startTime)
        return Fail("--start must be 'YYYY-MM-DD HH:MM:SS' (UTC unless followed by Z or +HH:MM) or @SECONDS");
    request.stationId = static_cast<std::int32_t>(stationId);
    request.streamId = static_cast<std::int32_t>(streamId);
    request.type = static_cast<std::uint8_t>(type);
    request.chatMargin = static_cast<std::int64_t>(margin);
    request.startTime = *startTime;
    request.recording = *mp3;
    if (auto cue = line.Value("cue"))
        request.cueSheet = *cue;
    if (auto chat = line.Value("chat"))
        request.chatLog = *chat;
    if (auto format = line.Value("chat-format")) {
        const auto parsed = IrcFormatFromName(*format);
        if (!parsed)
            return Fail(
                "--chat-format must be auto, irssi, weechat, mirc, znc, hexchat, quassel or thelounge");
        request.chatFormat = *parsed;
    }
    request.chatUtcOffset = ZoneOfDateTime(*start).value_or(0);
    if (auto offset = line.Value("chat-utc-offset")) {
        const auto parsed = ParseZoneOffset(*offset);
        if (!parsed)
            return Fail("--chat-utc-offset must be +HH:MM or -HH:MM");
        request.chatUtcOffset = *parsed;
    }
    request.text1 = line.Value("title").value_or("");
    request.text2 = line.Value("host").value_or("");
    request.text3 = line.Value("genre").value_or("");
    request.channel = line.Value("channel").value_or("");
    request.stationName = line.Value("station-name").value_or("");
    request.stationDescription = line.Value("station-description").value_or("");
    request.replace = line.Flag("replace");
    if (std::string unused = line.Unused(); !unused.empty())
        return Fail(unused + "\n" + kUsage);

    auto summary = ImportStream(request);
    if (!summary)
        return Fail(summary.failure().Text());
    std::printf("imported %s: %s, %llu bytes, %zu tracks, %zu chat rows", summary->folder.string().c_str(),
                FormatOffset(summary->durationSeconds).c_str(),
                static_cast<unsigned long long>(summary->size), summary->tracks, summary->chatRows);
    if (summary->chatRowsOutside != 0)
        std::printf(" (%zu rows outside the show left out)", summary->chatRowsOutside);
    std::printf("\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h") {
            std::fputs(Usage().c_str(), stdout);
            return 0;
        }
    CommandLine line(arguments, {"chunked", "no-directory", "no-stations", "no-update", "log", "replace"});
    if (!line.ok())
        return Fail(line.error() + "\n" + kUsage);
    const std::string command = line.positional().empty() ? "" : line.positional()[0];
    if (command == "serve")
        return Serve(line);
    if (command == "import")
        return Import(line);
    if (command == "check")
        return Check(line);
    if (command == "record")
        return station::record::RunRecordCommand(line);
    std::fputs(Usage().c_str(), command == "help" ? stdout : stderr);
    return command == "help" ? 0 : 2;
}
