#include "ShowFolder.h"

#include "ArchiveFiles.h"
#include "ArchiveLoader.h"
#include "Files.h"
#include "Mp3Probe.h"
#include "Text.h"
#include "TimeText.h"
#include "records/WireFormat.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

namespace station::record {
namespace fs = std::filesystem;
namespace {

constexpr const char* kShowConf = "show.conf";
constexpr const char* kTracksJournal = "tracks.part";
constexpr const char* kChatJournal = "chat.part";

std::int64_t NowUtc() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The id in a stream folder's name ("12" or ".recording-12"), or -1.
std::int64_t IdOfName(std::string_view name) {
    if (StartsWith(name, ShowFolder::kPrefix))
        name.remove_prefix(std::string_view(ShowFolder::kPrefix).size());
    std::uint64_t id = 0;
    if (name.empty() || (name.size() > 1 && name[0] == '0') ||
        !ParseUnsigned(name, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()), id))
        return -1;
    return static_cast<std::int64_t>(id);
}

// One more than the highest id in use, published or being recorded; 1 for a station without streams.
Result<std::int32_t> NextStreamId(const fs::path& streams) {
    std::int64_t highest = 0;
    std::error_code error;
    for (fs::directory_iterator it(streams, error), end; !error && it != end; it.increment(error))
        highest = std::max(highest, IdOfName(it->path().filename().string()));
    if (error)
        return Failure{streams.string(), 0, "cannot list: " + error.message()};
    if (highest >= std::numeric_limits<std::int32_t>::max())
        return Failure{streams.string(), 0, "no stream id is left above " + std::to_string(highest)};
    return static_cast<std::int32_t>(highest + 1);
}

// The lines of a journal, less a last line that a crash cut short.
std::vector<std::string> JournalLines(const fs::path& path) {
    std::vector<std::string> lines;
    auto text = ReadWholeFile(path, kMaxTextFileBytes);
    if (!text)
        return lines;
    std::string_view rest = *text;
    for (std::size_t end; (end = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(end + 1))
        lines.emplace_back(rest.substr(0, end));
    return lines;
}

} // namespace

std::string ArchiveLine(std::string_view text) {
    std::string out = RepairUtf8(text);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return std::string(Trim(out));
}

Status EnsureStation(const fs::path& archive, std::int32_t stationId, const std::string& name,
                     const std::string& description) {
    const fs::path folder = archive / "stations" / std::to_string(stationId);
    std::error_code error;
    if (fs::exists(folder / "station.conf", error))
        return Done{};
    if (fs::exists(folder, error))
        return Failure{(folder / "station.conf").string(), 0,
                       "missing: the station folder has no station.conf"};
    if (name.empty())
        return Failure{(folder / "station.conf").string(), 0,
                       "the station does not exist yet: give it a name (--station-name)"};
    fs::create_directories(archive / "stations", error);
    if (error)
        return Failure{archive.string(), 0, "cannot create folders: " + error.message()};
    const fs::path work = archive / "stations" / ("." + std::to_string(stationId) + "-new-station");
    fs::remove_all(work, error);
    fs::create_directories(work / "streams", error);
    if (error)
        return Failure{work.string(), 0, "cannot create: " + error.message()};
    Station station;
    station.id = stationId;
    station.name = ArchiveLine(name);
    station.description = ArchiveLine(description);
    station.basePath = DefaultBasePath(stationId);
    if (auto written = WriteDurably(work / "station.conf", FormatStationConf(station)); !written) {
        fs::remove_all(work, error);
        return written.failure();
    }
    fs::rename(work, folder, error);
    if (error) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
        return Failure{folder.string(), 0, "cannot move the new station into place: " + error.message()};
    }
    return SyncFolder(archive / "stations");
}

Result<ShowFolder> ShowFolder::Begin(const fs::path& archive, std::int32_t stationId, const Stream& facts) {
    const fs::path streams = archive / "stations" / std::to_string(stationId) / "streams";
    std::error_code error;
    fs::create_directories(streams, error);
    if (error)
        return Failure{streams.string(), 0, "cannot create: " + error.message()};
    auto id = NextStreamId(streams);
    if (!id)
        return id.failure();
    ShowFolder show;
    show.archive_ = archive;
    show.streamId_ = *id;
    show.folder_ = streams / (kPrefix + std::to_string(*id));
    show.facts_ = facts;
    show.facts_.id = *id;
    show.facts_.text1 = ArchiveLine(facts.text1);
    show.facts_.text2 = ArchiveLine(facts.text2);
    show.facts_.text3 = ArchiveLine(facts.text3);
    show.facts_.channel = ArchiveLine(facts.channel);
    fs::create_directory(show.folder_, error);
    if (error)
        return Failure{show.folder_.string(), 0, "cannot create: " + error.message()};
    Stream conf = show.facts_;
    conf.duration = 0;
    conf.size = 0;
    if (auto written = WriteDurably(show.folder_ / kShowConf, FormatStreamConf(conf)); !written)
        return written.failure();
    if (auto opened = show.Open(); !opened)
        return opened.failure();
    show.lastWrite_ = NowUtc();
    return show;
}

Result<ShowFolder> ShowFolder::Reopen(const fs::path& folder) {
    ShowFolder show;
    show.folder_ = folder;
    show.archive_ = folder.parent_path().parent_path().parent_path().parent_path();
    const std::int64_t id = IdOfName(folder.filename().string());
    if (id < 0)
        return Failure{folder.string(), 0, "not a show being recorded"};
    show.streamId_ = static_cast<std::int32_t>(id);
    // A show whose publishing was cut short between removing show.conf and the rename has stream.conf.
    fs::path conf = folder / kShowConf;
    std::error_code error;
    if (!fs::exists(conf, error))
        conf = folder / "stream.conf";
    auto text = ReadWholeFile(conf, kMaxTextFileBytes);
    if (!text)
        return text.failure();
    bool durationKnown = false;
    auto facts = ParseStreamConf(*text, conf.string(), show.streamId_, durationKnown);
    if (!facts)
        return facts.failure();
    show.facts_ = std::move(*facts);
    show.facts_.duration = 0;
    show.facts_.size = 0;
    if (auto opened = show.Open(); !opened)
        return opened.failure();
    show.bytes_ = fs::file_size(folder / kRecordingName, error);
    if (error)
        show.bytes_ = 0;
    const auto changed = fs::last_write_time(folder / kRecordingName, error);
    show.lastWrite_ = error ? NowUtc()
                            : std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::file_clock::to_sys(changed).time_since_epoch())
                                  .count();
    for (const std::string& line : JournalLines(folder / kTracksJournal)) {
        auto track = ParseTrackFile(line + "\n", "");
        if (track && !track->empty()) {
            ++show.tracks_;
            show.lastTrackText_ = (*track)[0].text1 + "\t" + (*track)[0].text2;
        }
    }
    show.chatRows_ = JournalLines(folder / kChatJournal).size();
    return show;
}

std::vector<fs::path> ShowFolder::FindLeftBehind(const fs::path& archive, std::int32_t stationId) {
    std::vector<std::pair<std::int64_t, fs::path>> found;
    std::error_code error;
    const fs::path streams = archive / "stations" / std::to_string(stationId) / "streams";
    for (fs::directory_iterator it(streams, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (StartsWith(name, kPrefix) && IdOfName(name) >= 0 && it->is_directory(error))
            found.emplace_back(IdOfName(name), it->path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> folders;
    for (auto& [id, path] : found)
        folders.push_back(std::move(path));
    return folders;
}

Status ShowFolder::Open() {
    auto recording = AppendFile::Open(folder_ / kRecordingName);
    if (!recording)
        return recording.failure();
    recording_ = std::move(*recording);
    auto tracks = AppendFile::Open(folder_ / kTracksJournal);
    if (!tracks)
        return tracks.failure();
    tracksJournal_ = std::move(*tracks);
    auto chat = AppendFile::Open(folder_ / kChatJournal);
    if (!chat)
        return chat.failure();
    chatJournal_ = std::move(*chat);
    return Done{};
}

Status ShowFolder::AppendAudio(std::string_view bytes) {
    auto written = recording_.Append(bytes);
    // Whatever part of the bytes reached the file counts; the size on disk says how much.
    if (!written) {
        std::error_code error;
        const auto size = fs::file_size(folder_ / kRecordingName, error);
        if (!error)
            bytes_ = size;
        return written;
    }
    bytes_ += bytes.size();
    lastWrite_ = NowUtc();
    return Done{};
}

Status ShowFolder::AddTrack(std::int32_t start, const std::string& artist, const std::string& title) {
    Track track;
    track.start = start;
    track.secondTime = start;
    track.kind = kTrackKindMusic;
    track.text1 = ArchiveLine(artist);
    track.text2 = ArchiveLine(title);
    // The journal's line is a tracks.txt line without its end, which only the next track tells.
    const std::string line =
        FormatOffset(track.start) + "\tmusic\t" + track.text1 + "\t" + track.text2 + "\n";
    if (auto written = tracksJournal_.Append(line); !written)
        return written;
    ++tracks_;
    lastTrackText_ = track.text1 + "\t" + track.text2;
    return Done{};
}

Status ShowFolder::AddChat(const ChatRow& row) {
    std::string text = FormatChatFile({row});
    text.erase(0, text.find('\n') + 1); // the heading comment
    if (auto written = chatJournal_.Append(text); !written)
        return written;
    ++chatRows_;
    return Done{};
}

Result<PublishedShow> ShowFolder::Publish() {
    std::error_code error;
    const fs::path recordingPath = folder_ / kRecordingName;
    const std::uint64_t size = fs::file_size(recordingPath, error);
    if (error || size == 0) {
        recording_ = AppendFile();
        tracksJournal_ = AppendFile();
        chatJournal_ = AppendFile();
        fs::remove_all(folder_, error);
        return Failure{folder_.string(), 0, "the show holds no audio; nothing to publish"};
    }
    if (size > std::numeric_limits<std::uint32_t>::max())
        return Failure{recordingPath.string(), 0,
                       "recordings of 4 GiB or more cannot be announced to the player"};
    if (auto synced = recording_.Sync(); !synced)
        return synced.failure();
    auto probe = ProbeMp3(recordingPath);
    if (!probe)
        return probe.failure();

    Stream stream = facts_;
    stream.duration = probe->durationSeconds;
    stream.size = size;
    // Journals are read line by line, so that one damaged line costs only itself.
    for (const std::string& line : JournalLines(folder_ / kTracksJournal)) {
        auto parsed = ParseTrackFile(line + "\n", "");
        if (parsed && !parsed->empty())
            stream.tracks.push_back((*parsed)[0]);
    }
    for (std::size_t i = 0; i < stream.tracks.size(); ++i) {
        Track& track = stream.tracks[i];
        track.start = std::clamp<std::int32_t>(track.start, 0, static_cast<std::int32_t>(stream.duration));
        track.secondTime = static_cast<std::int32_t>(stream.duration);
        if (i > 0)
            stream.tracks[i - 1].secondTime = std::max(stream.tracks[i - 1].start, track.start);
    }
    for (const std::string& line : JournalLines(folder_ / kChatJournal)) {
        auto parsed = ParseChatFile(line + "\n", "");
        if (parsed && !parsed->empty())
            stream.chat.push_back((*parsed)[0]);
    }
    std::stable_sort(stream.chat.begin(), stream.chat.end(),
                     [](const ChatRow& a, const ChatRow& b) { return a.time < b.time; });

    if (auto written = WriteDurably(folder_ / "stream.conf", FormatStreamConf(stream)); !written)
        return written.failure();
    if (!stream.tracks.empty()) {
        if (auto written = WriteDurably(folder_ / "tracks.txt", FormatTrackFile(stream.tracks)); !written)
            return written.failure();
    }
    if (!stream.channel.empty() || !stream.chat.empty()) {
        if (auto written = WriteDurably(folder_ / "chat.txt", FormatChatFile(stream.chat)); !written)
            return written.failure();
    }
    const fs::path root = fs::canonical(archive_, error);
    auto check = LoadStream(root, folder_, streamId_);
    if (!check)
        return Failure{check.failure().file, check.failure().line,
                       "the show as written does not load back: " + check.failure().message};

    recording_ = AppendFile();
    tracksJournal_ = AppendFile();
    chatJournal_ = AppendFile();
    for (const char* journal : {kShowConf, kTracksJournal, kChatJournal})
        fs::remove(folder_ / journal, error);
    const fs::path streams = folder_.parent_path();
    fs::path target = streams / std::to_string(streamId_);
    // An import may have taken the id meanwhile.
    while (fs::exists(target, error)) {
        auto next = NextStreamId(streams);
        if (!next)
            return next.failure();
        streamId_ = *next;
        target = streams / std::to_string(streamId_);
    }
    fs::rename(folder_, target, error);
    if (error)
        return Failure{target.string(), 0, "cannot move the show into place: " + error.message()};
    folder_ = target;
    if (auto synced = SyncFolder(streams); !synced)
        return synced.failure();

    PublishedShow published;
    published.folder = target;
    published.streamId = streamId_;
    published.duration = stream.duration;
    published.size = stream.size;
    published.tracks = stream.tracks.size();
    published.chatRows = stream.chat.size();
    return published;
}

} // namespace station::record
