// The station chooser's search: the query in the header's box matched against the stations' records,
// the station servers' answers for shows and tracks, and the chat lines they find, a page at a time.

#include "panels/MyStationComboPanel.h"

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "net/MyNetworkHandler.h"
#include "records/SearchFold.h"

#include <algorithm>
#include <tuple>

bool MyStationComboPanel::Searching() const {
    // An empty box is no search; asking that often must not build the folding table.
    return searchInput && !searchInput->text().empty() && !SearchPattern(searchInput->text()).empty();
}

void MyStationComboPanel::OnSearchChanged(std::int32_t) {
    // The servers' answers were to the query before.
    ++searchGeneration_;
    serverResults_.clear();
    chatResults_.clear();
    chatPagesAsked_.clear();
    chatNextPage_.clear();
    if (listBox)
        listBox->SetScrollOffset(0);
    RebuildList();
}

void MyStationComboPanel::OnSearchCancelled(std::int32_t) {
    if (!searchInput || searchInput->text().empty())
        return;
    searchInput->SetText(u"");
    OnSearchChanged(0);
}

void MyStationComboPanel::OnSearchSubmitted(std::int32_t) {
    if (!Searching())
        return;
    ++searchGeneration_;
    serverResults_.clear();
    chatResults_.clear();
    chatPagesAsked_.clear();
    chatNextPage_.clear();
    if (!appContext || !appContext->networkHandler)
        return;
    for (const auto& entry : stationsById) {
        appContext->networkHandler->SearchTracks(entry.first, searchInput->text(), searchGeneration_);
        appContext->networkHandler->SearchChat(entry.first, searchInput->text(), searchGeneration_);
    }
}

void MyStationComboPanel::OnServerSearchResults(const TrackSearchResults& results) {
    if (results.generation != searchGeneration_ || !Searching())
        return; // an answer to an older query
    if (results.chat && results.page > 0) {
        OnChatPage(results);
        return;
    }
    // A server that did not answer changes nothing.
    if (!results.answered || results.hits.empty())
        return;
    (results.chat ? chatResults_ : serverResults_)[results.stationId] =
        std::make_unique<TrackSearchResults>(results);
    if (results.chat && results.HasNextPage())
        chatNextPage_[results.stationId] = 1;
    RebuildList();
}

void MyStationComboPanel::OnChatPage(const TrackSearchResults& results) {
    // Only the page asked for joins the pages shown: a page twice or out of turn would show lines twice
    // or leave a gap.
    const auto next = chatNextPage_.find(results.stationId);
    const auto found = chatResults_.find(results.stationId);
    if (next == chatNextPage_.end() || found == chatResults_.end() || results.page != next->second ||
        !chatPagesAsked_.erase(results.stationId))
        return;
    // A page that failed leaves "More results" to be pressed again.
    if (!results.answered)
        return;
    TrackSearchResults& kept = *found->second;
    kept.hits.insert(kept.hits.end(), results.hits.begin(), results.hits.end());
    kept.page = results.page;
    kept.total = results.total;
    kept.more = results.more;
    if (results.HasNextPage())
        next->second = static_cast<std::uint16_t>(results.page + 1);
    else
        chatNextPage_.erase(next);
    // The lines that came join those before them, where the listener was looking.
    const std::int32_t offset = listBox ? listBox->scrollOffset : 0;
    RebuildList();
    if (listBox)
        listBox->SetScrollOffset(offset);
}

void MyStationComboPanel::AskForMoreChatResults(POINT, std::int32_t) {
    if (!appContext || !appContext->networkHandler || !Searching())
        return;
    for (const auto& [stationId, page] : chatNextPage_) {
        // One page at a time from each server: a press while one is on its way asks nothing more.
        if (!chatPagesAsked_.insert(stationId).second)
            continue;
        appContext->networkHandler->SearchChat(stationId, searchInput->text(), searchGeneration_, page);
    }
}

namespace {
// A result's identity, so that a hit both searches found shows once: station, stream, whether it is the
// show itself, and the second it plays from.
using ResultKey = std::tuple<std::int32_t, std::int32_t, bool, std::int32_t>;
} // namespace

void MyStationComboPanel::FillSearchResults(std::int32_t& n) {
    const SearchPattern pattern(searchInput->text());
    auto holds = [&](std::u16string_view text) {
        return !text.empty() && pattern.FindIn(SearchForm(text)) != std::u16string_view::npos;
    };
    // The servers' hits by stream, shows first and then by second; several servers may name one hit.
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<const TrackSearchHit*>> serverHits;
    for (const auto& entry : serverResults_)
        for (const TrackSearchHit& hit : entry.second->hits)
            serverHits[{hit.stationId, hit.streamId}].push_back(&hit);
    for (auto& entry : serverHits)
        std::stable_sort(entry.second.begin(), entry.second.end(),
                         [](const TrackSearchHit* a, const TrackSearchHit* b) {
                             return a->show != b->show ? a->show : a->second < b->second;
                         });
    std::set<ResultKey> shown;
    for (const StationInfoData* station : sortedStations) {
        const std::vector<const StreamInfoData*> streams = StreamsNewestFirst(*station);
        const std::u16string showPrefix = station->name + u" - ";
        for (const StreamInfoData* stream : streams) {
            // Local results always show; a server's hit only when no result so far stands for it.
            auto add = [&](std::u16string left, std::u16string right, std::int32_t second, bool show,
                           bool fromServer = false) {
                if (!shown.insert(ResultKey{stream->stationId, stream->streamId, show, second}).second &&
                    fromServer)
                    return;
                AddResultRow(*stream, showPrefix + stream->text1, std::move(left), std::move(right), second,
                             n);
            };
            if (static_cast<std::size_t>(n) >= kMostResults)
                return;
            if (holds(stream->text1) || holds(stream->text2) || holds(stream->text3))
                add(stream->text2, stream->text3, 0, true);
            if (const TrackInfoList* tracks = stream->trackList()) {
                for (const TrackInfo& track : *tracks) {
                    if (static_cast<std::size_t>(n) >= kMostResults)
                        return;
                    if (holds(track.text1) || holds(track.text2))
                        add(track.text1 + u" - " + track.text2, u"at " + FormatDuration(track.start),
                            std::max(track.start, 0), false);
                }
            }
            const auto found = serverHits.find({stream->stationId, stream->streamId});
            if (found == serverHits.end())
                continue;
            for (const TrackSearchHit* hit : found->second) {
                if (static_cast<std::size_t>(n) >= kMostResults)
                    return;
                // A show plays from its start, a track from its second.
                if (hit->show)
                    add(stream->text2, stream->text3, 0, true, true);
                else
                    add(hit->text1 + u" - " + hit->text2, u"at " + FormatDuration(hit->second),
                        std::max(hit->second, 0), false, true);
            }
        }
    }
}

void MyStationComboPanel::FillChatResults(std::int32_t& n) {
    // The servers' chat lines by stream, in the order of the show.
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<const TrackSearchHit*>> lines;
    for (const auto& entry : chatResults_)
        for (const TrackSearchHit& hit : entry.second->hits)
            lines[{hit.stationId, hit.streamId}].push_back(&hit);
    if (lines.empty())
        return;
    for (auto& entry : lines)
        std::stable_sort(
            entry.second.begin(), entry.second.end(),
            [](const TrackSearchHit* a, const TrackSearchHit* b) { return a->second < b->second; });
    for (const StationInfoData* station : sortedStations) {
        const std::vector<const StreamInfoData*> streams = StreamsNewestFirst(*station);
        for (const StreamInfoData* stream : streams) {
            const auto found = lines.find({stream->stationId, stream->streamId});
            if (found == lines.end())
                continue;
            for (const TrackSearchHit* line : found->second) {
                if (static_cast<std::size_t>(n) >= kMostResults)
                    return;
                // "[H:MM:SS] what was said", its sender on the right; a line with no text shows its sender.
                const bool said = !line->text2.empty();
                AddResultRow(*stream, station->name + u" - " + stream->text1,
                             u"[" + FormatDuration(line->second) + u"] " + (said ? line->text2 : line->text1),
                             said ? line->text1 : std::u16string(), line->second, n);
            }
        }
    }
    // The last row asks the servers with more lines for their next page.
    if (chatNextPage_.empty() || static_cast<std::size_t>(n) >= kMostResults)
        return;
    auto more = std::make_unique<MyStationComboStationListBoxRow>(
        skin, &fonts_, std::u16string(kMoreResultsName), kMoreResultsId);
    more->Create(context, 0, 0, 0, 0);
    more->callbackTarget = this;
    more->LButtonDownCallback = &MyStationComboPanel::AskForMoreChatResults;
    more->controlId = n++;
    listBox->AddRow(std::move(more));
}

void MyStationComboPanel::AddResultRow(const StreamInfoData& stream, std::u16string headline,
                                       std::u16string left, std::u16string right, std::int32_t second,
                                       std::int32_t& n) {
    auto row = std::make_unique<MyStationComboStreamListBoxRow>(skin, &fonts_, stream.stationId,
                                                                stream.streamId, stream.startTime);
    row->Create(context, 0, 0, 0, 0);
    row->headline = std::move(headline);
    row->detailLeft = std::move(left);
    row->detailRight = std::move(right);
    row->startSecond = second;
    row->callbackTarget = this;
    row->LClickCallback = &MyStationComboPanel::PlayStream;
    row->controlId = n++;
    listBox->AddRow(std::move(row));
}
