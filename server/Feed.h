#pragma once
// A station's shows as a podcast feed: RSS 2.0 with the podcast namespace, one item a show, its
// recording as the enclosure, its track list as podcast chapters (JSON) and its chat as a transcript
// (WebVTT). Served under /feed/:
//   /feed/<station>.xml                      the feed
//   /feed/<station>/<stream>/recording.mp3   the recording, whole or one byte range
//   /feed/<station>/<stream>/chapters.json   the chapters
//   /feed/<station>/<stream>/transcript.vtt  the transcript
// Station and stream ids are decimal, as in the archive's folder names.

#include "Archive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

struct FeedTarget {
    enum Kind { Feed, Recording, Chapters, Transcript };
    Kind kind = Feed;
    std::int32_t stationId = 0;
    std::int32_t streamId = 0; // not for the feed itself

    bool operator==(const FeedTarget&) const = default;
};

// Reads a request target of one of the forms above; nothing for anything else.
std::optional<FeedTarget> ParseFeedTarget(std::string_view target);

// The feed of `station`, its addresses under `base` ("http://host:port", no trailing "/").
std::string FeedXml(const Station& station, std::string_view base);
// The show's tracks as podcast chapters (version 1.2.0): a chapter a track, its start and "artist -
// title" (or what of them there is).
std::string ChaptersJson(const Stream& stream);
// The show's chat as WebVTT: a cue a line said or done, from its second to the next line's (at most
// ten seconds), within the recording; lines before the start or past the end of the show are left out.
std::string TranscriptVtt(const Stream& stream);

// Text made fit for XML 1.0 character data and attribute values: markup characters escaped, and
// characters XML does not allow (control characters but tab, line feed and carriage return; invalid
// UTF-8) dropped.
std::string XmlText(std::string_view text);

} // namespace station
