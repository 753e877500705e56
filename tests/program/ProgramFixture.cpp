#include "ProgramFixture.h"

#include "panels/MyPlayControlPanel.h"
#include "program/Program.h"

namespace programtest {

void ProgramFixture::Pump() {
    platform::Message message;
    while (system.PeekMessage(message) && message.message != platform::WM_QUIT)
        DispatchWithAccelerators(system, *owner, message);
}

void ProgramFixture::MakeRecords() {
    station = std::make_unique<StationInfoData>(1);
    station->name = u"Loopback FM";
    for (std::int32_t id : {7, 8}) {
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 1;
        stream->streamId = id;
        stream->startTime = 1700000000;
        stream->duration = 300;
        stream->size = 300 * 16000;
        stream->hasChat = true;
        stream->text1 = id == 7 ? u"Morning show" : u"Evening show";
        auto tracks = std::make_unique<TrackInfoList>();
        const std::int32_t starts[] = {0, 100, 150, 200};
        for (std::int32_t start : starts) {
            TrackInfo track;
            track.start = start;
            track.trackKind = start == 150 ? 4 : 0;
            track.text1 = u"Artist " + std::u16string(1, static_cast<char16_t>(u'0' + start / 50));
            track.text2 = start == 150 ? u"Talk" : u"Song";
            tracks->push_back(track);
        }
        stream->SetTrackList(std::move(tracks));
        auto rows = std::make_unique<StreamChatRowList>();
        rows->emplace_back(5, 1, std::vector<std::u16string_view>{u"anna", u"hello"});
        rows->emplace_back(120, 1, std::vector<std::u16string_view>{u"bo", u"nice"});
        stream->SetChatRows(std::move(rows));
        station->StoreStream(std::move(stream));
    }
}

void ProgramFixture::PlayStream7() {
    if (!station)
        MakeRecords();
    const StreamInfoData* stream = station->streams.at(7).get();
    main().PlayLink(1, 7, 0);
    media.WaitForLines(1);
    media.Clear();
    main().OnStreamInfo(station.get(), stream, stream->trackList());
    main().OnStreamChat(stream, stream->chatRows());
}

std::u16string ProgramFixture::TimeText() {
    return main().playControlPanel->timeTextBar->text;
}

std::u16string ProgramFixture::StatusText() {
    return main().playControlPanel->statusTextBar->text;
}

} // namespace programtest
