#pragma once
// A show being recorded, on disk as it grows: a hidden folder beside the station's streams
// (streams/.recording-<id>/, which the server does not serve) holding the recording, the show's facts
// (show.conf, the stream.conf format without duration and size) and journals of its tracks and chat
// (tracks.part, chat.part: the lines of tracks.txt and chat.txt, appended as they happen). Publishing
// writes the archive's files from them, checks that the stream loads, and renames the folder to its id,
// so the show appears whole or not at all. A folder left by a recorder that stopped without publishing
// (a crash, a full disk) is reopened by the next one.

#include "Archive.h"
#include "Result.h"
#include "Socket.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace station::record {

struct PublishedShow {
    std::filesystem::path folder;
    std::int32_t streamId = 0;
    std::uint32_t duration = 0;
    std::uint64_t size = 0;
    std::size_t tracks = 0;
    std::size_t chatRows = 0;
};

// Makes the station (through a hidden folder renamed into place) when it does not exist; then it needs
// a name. Does nothing when it does.
Status EnsureStation(const std::filesystem::path& archive, std::int32_t stationId, const std::string& name,
                     const std::string& description);

class ShowFolder {
public:
    // The prefix of in-progress folders' names.
    static constexpr const char* kPrefix = ".recording-";

    // Starts a show of `facts` (start time, type, texts, channel) under the next free stream id.
    static Result<ShowFolder> Begin(const std::filesystem::path& archive, std::int32_t stationId,
                                    const Stream& facts);
    // Opens a show a recorder left behind.
    static Result<ShowFolder> Reopen(const std::filesystem::path& folder);
    // The station's in-progress folders, in the order they were begun.
    static std::vector<std::filesystem::path> FindLeftBehind(const std::filesystem::path& archive,
                                                             std::int32_t stationId);

    ShowFolder(ShowFolder&&) = default;
    ShowFolder& operator=(ShowFolder&&) = default;

    Status AppendAudio(std::string_view bytes);
    Status AddTrack(std::int32_t start, const std::string& artist, const std::string& title);
    Status AddChat(const ChatRow& row);

    const std::filesystem::path& folder() const { return folder_; }
    std::int32_t streamId() const { return streamId_; }
    const Stream& facts() const { return facts_; }
    std::uint64_t bytes() const { return bytes_; }
    std::size_t tracks() const { return tracks_; }
    std::size_t chatRows() const { return chatRows_; }
    // The last title journalled, so that a show continued after a break does not list it twice.
    const std::string& lastTrackText() const { return lastTrackText_; }
    // UTC seconds of the last write (for a reopened show, of the recording's last change).
    std::int64_t lastWrite() const { return lastWrite_; }

    // Writes stream.conf, tracks.txt and chat.txt, checks the stream loads and renames it into place
    // (under the next free id should its own have been taken meanwhile). A show without audio is
    // removed instead, with a failure that says so. On any other failure the folder stays as it was.
    Result<PublishedShow> Publish();

private:
    ShowFolder() = default;
    Status Open();

    std::filesystem::path archive_;
    std::filesystem::path folder_;
    std::int32_t streamId_ = 0;
    Stream facts_;
    AppendFile recording_;
    AppendFile tracksJournal_;
    AppendFile chatJournal_;
    std::uint64_t bytes_ = 0;
    std::size_t tracks_ = 0;
    std::size_t chatRows_ = 0;
    std::string lastTrackText_;
    std::int64_t lastWrite_ = 0;
};

// One line of text for the archive's line- and tab-based files.
std::string ArchiveLine(std::string_view text);

} // namespace station::record
