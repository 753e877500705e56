#include "ArchiveLoader.h"

#include "ArchiveFiles.h"
#include "Files.h"
#include "Mp3Probe.h"
#include "Text.h"

#include <limits>
#include <set>
#include <system_error>

namespace station {
namespace fs = std::filesystem;

std::string DefaultBasePath(std::int32_t stationId) {
    return "/station/" + std::to_string(stationId) + "/";
}

namespace {

// Folders named by a decimal id from 0 to 2^31 - 1, in id order; names starting with "." are left out
// silently (imports in progress), other names are reported.
std::map<std::int32_t, fs::path> IdFolders(const fs::path& folder, std::vector<Failure>& problems) {
    std::map<std::int32_t, fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (StartsWith(name, "."))
            continue;
        std::uint64_t id = 0;
        if (!it->is_directory(error) ||
            !ParseUnsigned(name, static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()), id) ||
            (name.size() > 1 && name[0] == '0')) {
            problems.push_back({it->path().string(), 0, "not a folder named by a number; left out"});
            continue;
        }
        folders[static_cast<std::int32_t>(id)] = it->path();
    }
    if (error)
        problems.push_back({folder.string(), 0, "cannot list: " + error.message()});
    return folders;
}

// Reads a text file of the archive; with `sources`, appends which version of it was read.
Result<std::string> ReadInside(const fs::path& root, const fs::path& path, std::string* sources = nullptr) {
    if (!IsInside(root, path))
        return Failure{path.string(), 0, "lies outside the archive (a symbolic link?)"};
    FileIdentity identity;
    auto text = ReadWholeFile(path, kMaxTextFileBytes, &identity);
    if (text && sources) {
        sources->push_back('f');
        identity.AppendTo(*sources);
    }
    return text;
}

// Marks an optional file as absent in `sources`, so that its coming changes them.
void Absent(std::string& sources) {
    sources.push_back('-');
}

} // namespace

Result<Stream> LoadStream(const fs::path& root, const fs::path& folder, std::int32_t streamId) {
    const fs::path confPath = folder / "stream.conf";
    std::string sources;
    auto confText = ReadInside(root, confPath, &sources);
    if (!confText)
        return confText.failure();
    bool durationKnown = false;
    auto stream = ParseStreamConf(*confText, confPath.string(), streamId, durationKnown);
    if (!stream)
        return stream.failure();

    const fs::path recording = folder / kRecordingName;
    if (!IsInside(root, recording))
        return Failure{recording.string(), 0, "missing, or outside the archive"};
    std::error_code error;
    const auto size = fs::file_size(recording, error);
    if (error || !fs::is_regular_file(recording, error))
        return Failure{recording.string(), 0, "not a readable file"};
    if (size == 0)
        return Failure{recording.string(), 0, "the recording is empty"};
    if (size > std::numeric_limits<std::uint32_t>::max())
        return Failure{recording.string(), 0,
                       "recordings of 4 GiB or more cannot be announced to the player"};
    if (stream->size != 0 && stream->size != size)
        return Failure{confPath.string(), 0,
                       "'size' says " + std::to_string(stream->size) + " bytes but the recording has " +
                           std::to_string(size) + "; remove the line or import the recording again"};
    stream->size = size;
    stream->recording = fs::canonical(recording, error);
    if (const auto identity = IdentityOf(stream->recording)) {
        sources.push_back('r');
        identity->AppendTo(sources);
    } else {
        Absent(sources);
    }
    if (!durationKnown) {
        auto probe = ProbeMp3(recording);
        if (!probe)
            return probe.failure();
        stream->duration = probe->durationSeconds;
    }

    const fs::path tracksPath = folder / "tracks.txt";
    if (!fs::exists(tracksPath, error)) {
        Absent(sources);
    } else {
        auto text = ReadInside(root, tracksPath, &sources);
        if (!text)
            return text.failure();
        auto tracks = ParseTrackFile(*text, tracksPath.string());
        if (!tracks)
            return tracks.failure();
        stream->tracks = std::move(*tracks);
    }
    const fs::path chatPath = folder / "chat.txt";
    if (!fs::exists(chatPath, error)) {
        Absent(sources);
    } else {
        auto text = ReadInside(root, chatPath, &sources);
        if (!text)
            return text.failure();
        auto rows = ParseChatFile(*text, chatPath.string());
        if (!rows)
            return rows.failure();
        stream->chat = std::move(*rows);
    }
    stream->hasChat = !stream->chat.empty();
    const fs::path syncPath = folder / "chatsync.txt";
    if (!fs::exists(syncPath, error)) {
        Absent(sources);
    } else {
        auto text = ReadInside(root, syncPath, &sources);
        if (!text)
            return text.failure();
        auto points = ParseChatSyncFile(*text, syncPath.string());
        if (!points)
            return points.failure();
        stream->chatSync = std::move(*points);
    }
    stream->sources = std::move(sources);
    return stream;
}

Result<Archive> LoadArchive(const fs::path& rootGiven, std::vector<Failure>& problems) {
    std::error_code error;
    Archive archive;
    archive.root = fs::canonical(rootGiven, error);
    if (error || !fs::is_directory(archive.root, error))
        return Failure{rootGiven.string(), 0, "the archive folder does not exist"};
    const fs::path& root = archive.root;

    const fs::path serverConf = root / "server.conf";
    if (fs::exists(serverConf, error)) {
        auto text = ReadInside(root, serverConf);
        if (!text)
            return text.failure();
        auto offer = ParseServerConf(*text, serverConf.string());
        if (!offer)
            return offer.failure();
        archive.update = *offer;
        if (archive.update && !archive.update->installer.empty()) {
            const fs::path installer = root / archive.update->installer;
            if (archive.update->installer.is_absolute() || !IsInside(root, installer) ||
                !fs::is_regular_file(installer, error))
                return Failure{serverConf.string(), 0,
                               "'update-installer' must name a file inside the archive folder"};
            archive.update->installer = fs::canonical(installer, error);
        }
    }

    const fs::path stations = root / "stations";
    if (!fs::is_directory(stations, error))
        return Failure{stations.string(), 0, "the archive has no 'stations' folder"};
    std::set<std::string> basePaths;
    for (const auto& [stationId, stationFolder] : IdFolders(stations, problems)) {
        const fs::path confPath = stationFolder / "station.conf";
        std::string sources;
        auto text = ReadInside(root, confPath, &sources);
        if (!text) {
            problems.push_back(text.failure());
            continue;
        }
        auto station = ParseStationConf(*text, confPath.string(), stationId);
        if (!station) {
            problems.push_back(station.failure());
            continue;
        }
        station->sources = std::move(sources);
        if (!basePaths.insert(station->basePath).second) {
            problems.push_back(
                {confPath.string(), 0, "another station is served under " + station->basePath});
            continue;
        }
        const fs::path streams = stationFolder / "streams";
        if (fs::is_directory(streams, error)) {
            for (const auto& [streamId, streamFolder] : IdFolders(streams, problems)) {
                auto stream = LoadStream(root, streamFolder, streamId);
                if (!stream) {
                    problems.push_back(stream.failure());
                    continue;
                }
                station->streams.emplace(streamId, std::move(*stream));
            }
        }
        archive.stations.emplace(stationId, std::move(*station));
    }
    return archive;
}

} // namespace station
