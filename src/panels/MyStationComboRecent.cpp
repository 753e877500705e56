// The station chooser's "Continue listening": the entry heading the stations view while any show is
// recorded, and under it a row a show, newest first, playing the show from where it was left.

#include "app/Links.h"
#include "panels/MyStationComboPanel.h"

void MyStationComboPanel::AddRecentRows(std::int32_t& n) {
    if (!recentShows || recentShows->empty())
        return;
    AddHeadingRow(kRecentName, kRecentId, n);
    if (!expandedStations.count(kRecentId))
        return;
    for (const MyRecentShow& show : *recentShows) {
        auto row = std::make_unique<MyStationComboRecentListBoxRow>(skin, &fonts_, show.stationId,
                                                                    show.streamId, show.second);
        row->Create(context, 0, 0, 0, 0);
        // "1:02:03 - Station - Show", then "of 3:00:00 - the show's host".
        row->SetDateText(FormatDuration(show.second));
        const auto station = stationsById.find(show.stationId);
        if (station != stationsById.end()) {
            row->headline = station->second->name;
            const auto found = station->second->streams.find(show.streamId);
            if (found != station->second->streams.end() && found->second) {
                const StreamInfoData& stream = *found->second;
                row->startTime = stream.startTime;
                row->headline += u" - ";
                row->headline += stream.text1;
                if (stream.duration > 0)
                    row->detailLeft = u"of " + FormatDuration(stream.duration);
                row->detailRight = stream.text2;
            }
        }
        row->callbackTarget = this;
        row->LClickCallback = &MyStationComboPanel::PlayMoment;
        row->controlId = n++;
        listBox->AddRow(std::move(row));
    }
}
