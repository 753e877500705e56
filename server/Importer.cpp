#include "Importer.h"

#include "ArchiveFiles.h"
#include "ArchiveLoader.h"
#include "CueSheet.h"
#include "Files.h"
#include "Mp3Probe.h"
#include "Text.h"
#include "records/CatalogueRecords.h"
#include "records/WireFormat.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <system_error>

namespace station {
namespace fs = std::filesystem;
namespace {

// Removes a folder tree on destruction unless it was kept.
class FolderGuard {
public:
    explicit FolderGuard(fs::path folder) : folder_(std::move(folder)) {}
    ~FolderGuard() {
        if (!folder_.empty()) {
            std::error_code error;
            fs::remove_all(folder_, error);
        }
    }
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    void Keep() { folder_.clear(); }

private:
    fs::path folder_;
};

// One line of text for the archive's line- and tab-based files.
std::string OneLine(std::string_view text) {
    std::string out = RepairUtf8(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return std::string(Trim(out));
}

// A name for a hidden working folder next to `target` that no other import uses.
fs::path WorkingFolder(const fs::path& target, std::string_view what) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    return target.parent_path() / ("." + std::string(what) + "-" + target.filename().string() + "-" +
                                   std::to_string(stamp) + "-" + std::to_string(counter++));
}

Result<std::vector<Track>> TracksFromCue(const fs::path& path, std::uint32_t duration) {
    auto text = ReadWholeFile(path, kMaxTextFileBytes);
    if (!text)
        return text.failure();
    auto sheet = ParseCueSheet(*text, path.string());
    if (!sheet)
        return sheet.failure();
    std::vector<Track> tracks;
    for (std::size_t i = 0; i < sheet->tracks.size(); ++i) {
        const CueTrack& cue = sheet->tracks[i];
        const std::int64_t start = cue.startFrames / kCueFramesPerSecond;
        if (start > duration)
            return Failure{path.string(), cue.line,
                           "track " + std::to_string(cue.number) +
                               " starts after the end of the recording (" + std::to_string(duration) + " s)"};
        Track track;
        track.start = static_cast<std::int32_t>(start);
        track.secondTime =
            i + 1 < sheet->tracks.size()
                ? static_cast<std::int32_t>(sheet->tracks[i + 1].startFrames / kCueFramesPerSecond)
                : static_cast<std::int32_t>(duration);
        track.kind = cue.talk ? kTrackKindTalk : kTrackKindMusic;
        track.text1 = OneLine(cue.performer);
        track.text2 = OneLine(cue.title);
        tracks.push_back(std::move(track));
    }
    return tracks;
}

Result<std::vector<ChatRow>> RowsFromLog(const ImportRequest& request, std::uint32_t duration,
                                         std::size_t& outside) {
    auto text = ReadWholeFile(*request.chatLog, kMaxTextFileBytes);
    if (!text)
        return text.failure();
    IrcLogOptions options;
    options.format = request.chatFormat;
    options.utcOffset = request.chatUtcOffset;
    options.reference = request.startTime;
    auto events = ParseIrcLog(*text, request.chatLog->string(), options);
    if (!events)
        return events.failure();
    std::vector<ChatRow> rows;
    rows.reserve(events->size());
    outside = 0;
    for (IrcEvent& event : *events) {
        const std::int64_t time = event.time - request.startTime;
        if (time < -request.chatMargin || time > static_cast<std::int64_t>(duration) + request.chatMargin) {
            ++outside;
            continue;
        }
        ChatRow row;
        row.time = static_cast<std::int32_t>(time);
        row.kind = event.kind;
        for (std::string& arg : event.args)
            row.args.push_back(OneLine(arg));
        if (!ChatRowFits(row.kind, row.args)) {
            // An event the player would not show as such (a message without a sender, say): keep its
            // words as a plain line.
            std::string joined;
            for (const std::string& arg : row.args)
                joined += (joined.empty() ? "" : " ") + arg;
            row.kind = StreamChatRowKind_Plain;
            row.args = {joined};
        }
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ChatRow& a, const ChatRow& b) { return a.time < b.time; });
    return rows;
}

} // namespace

Result<ImportSummary> ImportStream(const ImportRequest& request) {
    std::error_code error;
    if (request.type < kMinStreamType || request.type > kMaxStreamType)
        return Failure{"", 0, "the stream type must be 1, 2 or 3"};
    if (request.startTime < 0 || request.startTime > std::numeric_limits<std::int32_t>::max())
        return Failure{"", 0, "the start time must lie between 1970 and 2038"};
    if (request.stationId < 0 || request.streamId < 0)
        return Failure{"", 0, "station and stream ids must not be negative"};

    // Read and check everything before the archive is touched.
    auto facts = ProbeMp3(request.recording);
    if (!facts)
        return facts.failure();
    const auto size = fs::file_size(request.recording, error);
    if (error)
        return Failure{request.recording.string(), 0, "cannot read: " + error.message()};
    if (size > std::numeric_limits<std::uint32_t>::max())
        return Failure{request.recording.string(), 0,
                       "recordings of 4 GiB or more cannot be announced to the player"};

    Stream stream;
    stream.id = request.streamId;
    stream.startTime = static_cast<std::int32_t>(request.startTime);
    stream.duration = facts->durationSeconds;
    stream.size = size;
    stream.type = request.type;
    stream.text1 = OneLine(request.text1);
    stream.text2 = OneLine(request.text2);
    stream.text3 = OneLine(request.text3);
    stream.channel = OneLine(request.channel);
    if (request.cueSheet) {
        auto tracks = TracksFromCue(*request.cueSheet, stream.duration);
        if (!tracks)
            return tracks.failure();
        stream.tracks = std::move(*tracks);
    }
    std::size_t outside = 0;
    if (request.chatLog) {
        auto rows = RowsFromLog(request, stream.duration, outside);
        if (!rows)
            return rows.failure();
        stream.chat = std::move(*rows);
    }

    const fs::path stationFolder = request.archive / "stations" / std::to_string(request.stationId);
    const fs::path stationConf = stationFolder / "station.conf";
    const bool newStation = !fs::exists(stationConf, error);
    Station station;
    station.id = request.stationId;
    if (newStation) {
        if (request.stationName.empty())
            return Failure{stationConf.string(), 0,
                           "the station does not exist yet: give it a name (--station-name)"};
        station.name = OneLine(request.stationName);
        station.description = OneLine(request.stationDescription);
        station.basePath = DefaultBasePath(request.stationId);
    }
    const fs::path streamFolder = stationFolder / "streams" / std::to_string(request.streamId);
    if (!newStation && fs::exists(streamFolder, error) && !request.replace)
        return Failure{streamFolder.string(), 0, "the stream exists already (--replace replaces it)"};

    // Write the stream into a hidden folder, check it loads, then rename it into place.
    fs::create_directories(newStation ? request.archive / "stations" : stationFolder / "streams", error);
    if (error)
        return Failure{request.archive.string(), 0, "cannot create folders: " + error.message()};
    const fs::path work =
        newStation ? WorkingFolder(stationFolder, "import-station") : WorkingFolder(streamFolder, "import");
    FolderGuard guard(work);
    const fs::path workStream = newStation ? work / "streams" / std::to_string(request.streamId) : work;
    fs::create_directories(workStream, error);
    if (error)
        return Failure{workStream.string(), 0, "cannot create: " + error.message()};
    if (newStation) {
        if (auto written = WriteWholeFile(work / "station.conf", FormatStationConf(station)); !written)
            return written.failure();
    }
    if (auto written = WriteWholeFile(workStream / "stream.conf", FormatStreamConf(stream)); !written)
        return written.failure();
    if (request.cueSheet) {
        if (auto written = WriteWholeFile(workStream / "tracks.txt", FormatTrackFile(stream.tracks));
            !written)
            return written.failure();
    }
    if (request.chatLog) {
        if (auto written = WriteWholeFile(workStream / "chat.txt", FormatChatFile(stream.chat)); !written)
            return written.failure();
    }
    fs::copy_file(request.recording, workStream / kRecordingName, error);
    if (error)
        return Failure{request.recording.string(), 0, "cannot copy into the archive: " + error.message()};
    const fs::path root = fs::canonical(request.archive, error);
    auto check = LoadStream(root, workStream, request.streamId);
    if (!check)
        return Failure{check.failure().file, check.failure().line,
                       "the stream as written does not load back: " + check.failure().message};

    if (newStation) {
        fs::rename(work, stationFolder, error);
        if (error)
            return Failure{stationFolder.string(), 0,
                           "cannot move the new station into place: " + error.message()};
    } else {
        const fs::path old = WorkingFolder(streamFolder, "replaced");
        const bool replacing = fs::exists(streamFolder, error);
        if (replacing) {
            fs::rename(streamFolder, old, error);
            if (error)
                return Failure{streamFolder.string(), 0,
                               "cannot move the old stream aside: " + error.message()};
        }
        fs::rename(work, streamFolder, error);
        if (error) {
            std::error_code ignored;
            if (replacing)
                fs::rename(old, streamFolder, ignored);
            return Failure{streamFolder.string(), 0, "cannot move the stream into place: " + error.message()};
        }
        if (replacing)
            fs::remove_all(old, error);
    }
    guard.Keep();

    ImportSummary summary;
    summary.folder = streamFolder;
    summary.durationSeconds = stream.duration;
    summary.size = stream.size;
    summary.tracks = stream.tracks.size();
    summary.chatRows = stream.chat.size();
    summary.chatRowsOutside = outside;
    return summary;
}

} // namespace station
