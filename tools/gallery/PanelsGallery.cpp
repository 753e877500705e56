// A window for a person to look at and click the station chooser above the play controls, with sample
// stations. Press a station to expand it, click a stream to "play" it (its track marks appear on the
// position bar), right-click a stream for the copy-link menu, drag the sliders, press the buttons.
//
//   gallery_panels                        opens the window
//   gallery_panels --screenshot FILE.bmp  draws it, saves what the screen shows and ends

#include "app/Links.h"
#include "app/MyAppContext.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboPanel.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "ui/BitmapFile.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

std::u16string Number(long long n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// Sample stations: names in several scripts, one very long, one without streams.
std::vector<std::unique_ptr<StationInfoData>> SampleStations() {
    const char16_t* names[] = {u"Radio Nord",
                               u"radio nord (the same name in lower case)",
                               u"Станция Восток",
                               u"東京ナイトラジオ",
                               u"A station with a name so long that it has to end in an ellipsis somewhere",
                               u"Quiet station (no shows yet)",
                               u"Ωmega FM"};
    std::vector<std::unique_ptr<StationInfoData>> stations;
    std::int32_t id = 1;
    for (const char16_t* name : names) {
        auto station = std::make_unique<StationInfoData>(id);
        station->name = name;
        const int shows = id == 6 ? 0 : 3 + id % 4;
        for (int i = 0; i < shows; ++i) {
            auto stream = std::make_unique<StreamInfoData>();
            stream->stationId = id;
            stream->streamId = id * 100 + i;
            stream->startTime = 1700000000 + (i * 7 + id) * 86400 / 3;
            stream->duration = 3600 + 600 * i;
            stream->text1 = i % 3 == 2 ? u"Late night talk with listeners' calls, long enough to be cut short"
                                       : u"Show number " + Number(i + 1);
            stream->text2 = u"DJ " + std::u16string(name).substr(0, 5);
            stream->text3 = Number(12 + i) + u" tracks";
            station->StoreStream(std::move(stream));
        }
        stations.push_back(std::move(station));
        ++id;
    }
    return stations;
}

class PanelsRoot : public MyWindowBase {
public:
    explicit PanelsRoot(MyAppContext* app) : app(app) {}

    void OnCreate() override {
        backgroundColour = 0xFFFFFF;
        if (!infoSkin.LoadSkin(backBuffer, 106, instance))
            std::fprintf(stderr, "skin 106 missing\n");
        auto chooser = std::make_unique<MyStationComboPanel>(app, &infoSkin);
        chooser->Create(context, 0, 0, width, height - MyPlayControlPanel::kHeight);
        chooser->callbackTarget = this;
        chooser->PlayStreamCallback = &PanelsRoot::Play;
        stations = AddChild(std::move(chooser));
        auto controls = std::make_unique<MyPlayControlPanel>(context, app);
        controls->Create(context, 0, height - MyPlayControlPanel::kHeight, width,
                         MyPlayControlPanel::kHeight);
        play = AddChild(std::move(controls));
        play->volumeBar->callbackTarget = this;
        play->volumeBar->VolumeChangedCallback = &PanelsRoot::Volume;
        play->muteButton->callbackTarget = this;
        play->muteButton->MuteChangedCallback = &PanelsRoot::Mute;
        play->posBar->callbackTarget = this;
        play->posBar->PosChangedCallback = &PanelsRoot::Preview;
        play->posBar->PosReleasedCallback = &PanelsRoot::Seek;
        for (MyPlayButton* button : play->playButtons) {
            button->callbackTarget = this;
            button->controlId = button->kind;
            button->LClickCallback = &PanelsRoot::Button;
        }
        for (auto& station : sample)
            stations->AddStation(station.get());
        stations->expandedStations.insert(1);
    }
    void OnBoundsChanged(const RECT&) override {
        if (!play)
            return;
        stations->SetBounds(RECT{0, 0, width, height - MyPlayControlPanel::kHeight});
        play->SetBounds(RECT{0, height - MyPlayControlPanel::kHeight, width, height});
    }

    void Play(std::int32_t stationId, std::int32_t streamId) {
        const StationInfoData* station = sample[static_cast<std::size_t>(stationId - 1)].get();
        current = station->streams.at(streamId).get();
        tracks.clear();
        for (std::uint32_t start = 0; start < current->duration; start += 240 + 60 * (start % 7))
            tracks.push_back(TrackInfo{static_cast<std::int32_t>(start), 0, 0, false, u"Artist", u"Title"});
        play->posBar->marks = &tracks;
        play->posBar->markStream = current;
        play->posBar->DropCache();
        play->posBar->enabled = true;
        play->posBar->SetPosition(0);
        play->posBar->Redraw();
        Lit(2);
        play->statusTextBar->SetTextBarText(station->name + u" - " + current->text1, false);
        play->timeTextBar->SetTextBarText(FormatDuration(0), true);
    }
    void Volume(float v) {
        play->statusTextBar->SetTextBarText(
            u"Volume " + Number(static_cast<long long>(v * 100 + 0.5f)) + u"%", false);
    }
    void Mute(bool muted) { play->statusTextBar->SetTextBarText(muted ? u"Muted" : u"Sound on", false); }
    void Preview(float f) {
        if (current)
            play->timeTextBar->SetTextBarText(
                FormatDuration(static_cast<std::int64_t>(f * current->duration)), true);
    }
    void Seek(float f) {
        Preview(f);
        play->posBar->SetPosition(f);
    }
    void Button(std::int32_t kind) {
        if (kind == 1 || kind == 2)
            Lit(kind);
        else
            play->statusTextBar->SetTextBarText(kind == 0 ? u"Previous track" : u"Next track", false);
    }
    void Lit(std::int32_t kind) {
        for (std::int32_t k : {1, 2}) {
            if (play->playButtons[k]->lit != (k == kind)) {
                play->playButtons[k]->lit = k == kind;
                play->playButtons[k]->Redraw();
            }
        }
    }
    void Command(std::int32_t command) {
        play->statusTextBar->SetTextBarText(u"Menu command " + Number(command) + u" for stream " +
                                                Number(app->menuLink.Get().streamId),
                                            false);
    }

    MyAppContext* app;
    MySurface infoSkin;
    std::vector<std::unique_ptr<StationInfoData>> sample = SampleStations();
    MyStationComboPanel* stations = nullptr;
    MyPlayControlPanel* play = nullptr;
    const StreamInfoData* current = nullptr;
    TrackInfoList tracks;
};

class PanelsWindow : public MyOwnerWindowBase {
public:
    PanelsWindow() { handlers[platform::WM_COMMAND] = &PanelsWindow::HandleCommand; }
    void OnDestroy() override { context.instance->PostQuitMessage(0); }
    std::intptr_t HandleCommand(std::uintptr_t wParam, std::intptr_t, bool&) {
        static_cast<PanelsRoot*>(root.get())->Command(static_cast<std::int32_t>(platform::LowWord(wParam)));
        return 0;
    }
};

int SaveScreenshot(platform::WindowSystem& system, MyOwnerWindowBase& window, const char* path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    DecodedImage shot;
    while (std::chrono::steady_clock::now() < deadline) {
        platform::Message message;
        while (system.PeekMessage(message))
            system.DispatchMessage(message);
        const std::int32_t probeY = window.clientHeight - 2;
        if (window.window->ReadScreen(shot.pixels, shot.width, shot.height) && !shot.pixels.empty() &&
            shot.pixels[static_cast<std::size_t>(probeY) * shot.width + 5] ==
                (window.backBuffer.bitmap->row(probeY)[5] & 0xFFFFFF) &&
            shot.pixels[5 * shot.width + 5] == (window.backBuffer.bitmap->row(5)[5] & 0xFFFFFF))
            break;
    }
    const auto bytes = EncodeBmp24(shot);
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    auto system = platform::OpenDesktopWindowSystem();
    if (!system) {
        std::fprintf(stderr, "gallery_panels: no display\n");
        return 1;
    }
    system->InstallMessageBoxSink();
    platform::IconImage icon;
    DecodedImage decoded;
    if (DecodeIco(platform::FindResource(108), 32, decoded))
        icon = {decoded.width, decoded.height, decoded.pixels};
    MyAppContext app;
    PanelsWindow window;
    if (!window.Create(system.get(), u"VantriPanelsGallery", u"Vantri panels gallery", &icon, 60, 60, 800,
                       600))
        return 1;
    window.window->SetMinimumSize(400, 300);
    window.root = std::make_unique<PanelsRoot>(&app);
    window.root->Create(&window.context, 0, 0, window.clientWidth, window.clientHeight);
    window.root->Redraw();
    if (argc == 3 && std::strcmp(argv[1], "--screenshot") == 0)
        return SaveScreenshot(*system, window, argv[2]);
    platform::Message message;
    while (system->GetMessage(message)) {
        system->DispatchMessage(message);
        if (system->PeekPaintMessage(message)) {
            if (message.message == platform::WM_QUIT)
                break;
            system->DispatchMessage(message);
        }
    }
    return system->exitCode();
}
