// Station chooser and play control speed on a headless 800 x 600 window:
//  - 200 stations of 100 streams each delivered by AddStation one at a time, then the first paint
//    (total, and the longest single call); also with a paint after every station, as when stations
//    trickle in slowly;
//  - the streams view of 20,000 streams: rebuild, and the repaint after one wheel notch;
//  - the play control panel's per-second path: a new position and a new time text, redrawn.

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboPanel.h"
#include "platform/HeadlessWindowSystem.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

std::u16string Utf8Number(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<std::unique_ptr<StationInfoData>> MakeStations(int count, int streams) {
    std::vector<std::unique_ptr<StationInfoData>> stations;
    for (int s = 0; s < count; ++s) {
        auto station = std::make_unique<StationInfoData>(s + 1);
        // Arrival order is not name order.
        const int key = (s * 7919) % count;
        station->name = u"Station " + Utf8Number(key);
        for (int i = 0; i < streams; ++i) {
            auto stream = std::make_unique<StreamInfoData>();
            stream->stationId = s + 1;
            stream->streamId = i + 1;
            stream->startTime = 1600000000 + ((s * 131 + i * 977) % 100000) * 600;
            stream->duration = 3600;
            stream->text1 = u"Show " + Utf8Number(i);
            stream->text2 = u"Host of the show";
            stream->text3 = u"24 tracks";
            station->StoreStream(std::move(stream));
        }
        stations.push_back(std::move(station));
    }
    return stations;
}

struct Window {
    Window() {
        owner.Create(&system, u"Bench", u"Bench", nullptr, 0, 0, 800, 600);
        auto base = std::make_unique<MyWindowBase>();
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, 800, 600);
        skin.LoadSkin(&owner.backBuffer.dc, 106, &system);
        auto made = std::make_unique<MyStationComboPanel>(&app, &skin);
        made->Create(&owner.context, 0, 0, 800, 528);
        panel = root->AddChild(std::move(made));
        auto controls = std::make_unique<MyPlayControlPanel>(&owner.context, &app);
        controls->Create(&owner.context, 0, 528, 800, 72);
        play = root->AddChild(std::move(controls));
        root->Redraw();
        Pump();
    }
    void Pump() {
        platform::Message m;
        while (system.PeekMessage(m) && m.message != platform::WM_QUIT)
            system.DispatchMessage(m);
    }
    platform::HeadlessWindowSystem system;
    MyOwnerWindowBase owner;
    MyWindowBase* root = nullptr;
    MyAppContext app;
    MySurface skin;
    MyStationComboPanel* panel = nullptr;
    MyPlayControlPanel* play = nullptr;
};

void Arrivals(const char* title, bool paintEach, bool streamsView) {
    auto stations = MakeStations(200, 100);
    Window w;
    if (streamsView)
        w.panel->ShowStreamsView(1);
    w.Pump();
    double longest = 0;
    const auto start = Clock::now();
    for (auto& station : stations) {
        const auto t0 = Clock::now();
        w.panel->AddStation(station.get());
        if (paintEach)
            w.Pump();
        longest = std::max(longest, Ms(Clock::now() - t0));
    }
    const auto t0 = Clock::now();
    w.Pump();
    const double firstPaint = Ms(Clock::now() - t0);
    longest = std::max(longest, firstPaint);
    std::printf("%s: %zu rows; total %.1f ms, longest single step %.2f ms, last paint %.2f ms\n", title,
                w.panel->listBox->rows.size(), Ms(Clock::now() - start), longest, firstPaint);
}

void StreamsView() {
    auto stations = MakeStations(200, 100);
    Window w;
    for (auto& station : stations)
        w.panel->AddStation(station.get());
    w.Pump();
    const auto t0 = Clock::now();
    w.panel->ShowStreamsView(1);
    const double rebuild = Ms(Clock::now() - t0);
    w.Pump();
    const int notches = 200;
    double total = 0, longest = 0;
    for (int i = 0; i < notches; ++i) {
        const auto n0 = Clock::now();
        w.panel->listBox->OnMouseWheel(POINT{100, 200}, 65416); // one notch down
        const double one = Ms(Clock::now() - n0);
        total += one;
        longest = std::max(longest, one);
        w.Pump();
    }
    std::printf(
        "streams view of %zu streams: rebuild and repaint %.1f ms; one wheel notch repaint %.3f ms on "
        "average, %.3f ms at most (%d notches)\n",
        w.panel->listBox->rows.size(), rebuild, total / notches, longest, notches);
}

void PlayControls() {
    Window w;
    StreamInfoData stream;
    stream.duration = 7200;
    TrackInfoList tracks;
    for (int t = 0; t < 40; ++t)
        tracks.push_back(TrackInfo{t * 180, 0, 0, false, u"Artist", u"Title"});
    MyPlayPosBar* bar = w.play->posBar;
    bar->marks = &tracks;
    bar->markStream = &stream;
    bar->DropCache();
    bar->enabled = true;
    bar->Redraw();
    w.Pump();
    const int seconds = 3600;
    double total = 0, longest = 0;
    for (int s = 1; s <= seconds; ++s) {
        const auto t0 = Clock::now();
        bar->SetPosition(static_cast<float>(s) / 7200.0f);
        w.play->timeTextBar->SetTextBarText(FormatDuration(s), true);
        const double one = Ms(Clock::now() - t0);
        total += one;
        longest = std::max(longest, one);
        w.Pump();
    }
    std::printf("play controls, one second of play (position bar and time text redrawn): %.4f ms on average, "
                "%.4f ms at most (%d seconds)\n",
                total / seconds, longest, seconds);
}

} // namespace

int main() {
    Arrivals("200 x 100 streams, stations view, AddStation one at a time then the first paint", false, false);
    Arrivals("200 x 100 streams, stations view, a paint after every AddStation", true, false);
    Arrivals("200 x 100 streams, streams view, AddStation one at a time then the first paint", false, true);
    Arrivals("200 x 100 streams, streams view, a paint after every AddStation", true, true);
    StreamsView();
    PlayControls();
    return 0;
}
