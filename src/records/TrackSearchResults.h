#pragma once
// What a station server found for a search of shows and tracks: the hits of one answer, handed from the
// network thread to the user-interface thread whole.

#include <cstdint>
#include <string>
#include <vector>

struct TrackSearchHit {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t second = 0; // where the hit starts in the show: a track's start, 0 for a show
    bool show = false;       // the show itself matched, not one of its tracks
    std::u16string text1;    // a track's artist, a show's title; a chat line's sender
    std::u16string text2;    // a track's title, a show's host; what the chat line says
};

struct TrackSearchResults {
    // The number the asker gave the search, so that it can tell an answer to an older query.
    std::uint32_t generation = 0;
    // The station whose server was asked.
    std::int32_t stationId = 0;
    // A search of chat lines: every hit is one line, at its second of the show, never a show.
    bool chat = false;
    // False when the server gave no usable answer (no search there, an error page, bad data, no
    // connection): the asker then relies on what it can search itself.
    bool answered = false;
    std::uint32_t total = 0; // hits the server counted in all
    bool more = false;       // more hits exist than were counted
    // The page this answer is (from 0) and the hits a page holds, as the server said.
    std::uint16_t page = 0;
    std::uint16_t perPage = 0;
    std::vector<TrackSearchHit> hits;

    // Whether a page after this one holds more hits: the pages so far hold fewer than the server counted
    // (or it counted no further), this one was full, and the page number has room.
    bool HasNextPage() const {
        if (!answered || perPage == 0 || hits.size() < perPage || page == 0xFFFF)
            return false;
        return more || (static_cast<std::uint64_t>(page) + 1) * perPage < total;
    }
};
