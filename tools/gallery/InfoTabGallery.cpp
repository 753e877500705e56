// A window for a person to watch the info tab panel: a real-sized sample chat replays line by line as
// a made-up show plays, with its track list, settings and about pages behind the tabs.
//
//   gallery_info                        opens the window; the show plays at ten times its speed
//   gallery_info --speed N              plays at N times the show's speed
//   gallery_info --screenshot FILE.bmp  draws a moment of the replay, saves what the screen shows, ends
//   gallery_info --view N ...           starts with page N shown: 1 stations, 2 settings, 3 about, 4 tracks
//
// The tabs switch pages as the program does; F7-F9 are not wired here. "Show chat beyond current play
// position" takes effect at once; the other boxes only tick.

#include "app/MyAppContext.h"
#include "panels/MyInfoTabPanel.h"
#include "platform/Resources.h"
#include "platform/Window.h"
#include "ui/BitmapFile.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

namespace {

constexpr std::int32_t kShowSeconds = 3 * 3600;

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// About 20,000 chat events over a three-hour show, in many scripts, and a track list.
void MakeShow(StreamChatRowList& chat, TrackInfoList& tracks) {
    std::mt19937 random(7);
    const char16_t* phrases[] = {
        u"what a great tune",
        u"anyone know the name of this track?",
        u"greetings from Helsinki!",
        u"turn it up 🎶🎶",
        u"привет всем, отличный эфир",
        u"こんにちは、いい曲ですね",
        u"这首歌太好听了",
        u"🔥🔥🔥",
        u"שלום מתל אביב",
        u"مرحبا من القاهرة",
        u"Γειά σας από την Αθήνα",
        u"the bass line on this one is unbelievable, I have been waiting all week for "
        u"this show and it does not disappoint at all",
        u"lol",
        u"brb, making tea ☕",
        u"Ça fait plaisir d'entendre ça un lundi soir",
        u"https://example.org/a-very-long-link-without-any-blanks-that-goes-on-and-on-"
        u"and-on-forever-and-ever",
        u"ok"};
    const char16_t* nicks[] = {u"dj_nova",   u"listener42", u"Maja", u"Тимур",     u"ゆき",
                               u"wavefront", u"Bassline",   u"老王", u"night_owl", u"Élodie"};
    std::int32_t time = -30;
    while (time < kShowSeconds) {
        time += static_cast<std::int32_t>(random() % 2);
        const std::u16string_view nick = nicks[random() % std::size(nicks)];
        const unsigned kind = random() % 100;
        if (kind < 80) {
            const std::u16string_view text = phrases[random() % std::size(phrases)];
            chat.emplace_back(time, StreamChatRowKind_Message, std::vector<std::u16string_view>{nick, text});
        } else if (kind < 88) {
            chat.emplace_back(time, StreamChatRowKind_Join, std::vector<std::u16string_view>{nick});
        } else if (kind < 94) {
            chat.emplace_back(time, StreamChatRowKind_Quit,
                              std::vector<std::u16string_view>{nick, u"Quit: see you next week"});
        } else if (kind < 96) {
            chat.emplace_back(time, StreamChatRowKind_Action,
                              std::vector<std::u16string_view>{nick, u"waves at everyone"});
        } else if (kind < 97) {
            chat.emplace_back(time, StreamChatRowKind_TopicChange,
                              std::vector<std::u16string_view>{nick, u"Tonight: three hours of deep house"});
        } else if (kind < 98) {
            chat.emplace_back(time, StreamChatRowKind_ModeChange,
                              std::vector<std::u16string_view>{u"ChanServ", u"+o", nick});
        } else if (kind < 99) {
            chat.emplace_back(time, StreamChatRowKind_Kick,
                              std::vector<std::u16string_view>{u"dj_nova", nick, u"flooding"});
        } else {
            chat.emplace_back(time, StreamChatRowKind_NickChange,
                              std::vector<std::u16string_view>{nick, std::u16string(nick) + u"_away"});
        }
    }
    for (int i = 0; i < 40; ++i) {
        TrackInfo track;
        track.start = i * (kShowSeconds / 40);
        track.text1 = Ascii("Artist " + std::to_string(i + 1));
        track.text2 =
            i % 5 == 4 ? u"Talk with the studio guests" : Ascii("Title of track " + std::to_string(i + 1));
        tracks.push_back(track);
    }
}

class GalleryRoot : public MyWindowBase {
public:
    explicit GalleryRoot(MyAppContext* app) : app(app) {}

    void OnCreate() override {
        backgroundColour = 0xFFFFFF;
        MakeShow(chat, tracks);
        stream.stationId = 1;
        stream.streamId = 1;
        stream.duration = kShowSeconds;
        auto made = std::make_unique<MyInfoTabPanel>(context, app);
        made->Create(context, 0, 0, width, height);
        tabs = AddChild(std::move(made));
        MyTabButton* tabButtons[] = {tabs->stationsTab, tabs->settingsTab, tabs->aboutTab};
        for (int i = 0; i < 3; ++i) {
            tabButtons[i]->callbackTarget = this;
            tabButtons[i]->controlId = i + 1;
            tabButtons[i]->LClickCallback = &GalleryRoot::ToggleView;
        }
        for (int k = 0; k < MySettingsPanel::kBoxCount; ++k) {
            MySettingsPanelButton* box = tabs->settingsPage->buttons[static_cast<std::size_t>(k)];
            box->callbackTarget = this;
            box->controlId = k;
            box->LClickCallback = &GalleryRoot::ToggleBox;
        }
        tabs->chatPage->SetChatRows(&chat);
        tabs->tracksPage->SetTracks(&tracks, &stream);
    }
    void OnBoundsChanged(const RECT&) override {
        if (tabs)
            tabs->SetBounds(bounds);
    }

    // Views as the main window numbers them: 1 stations, 2 settings, 3 about, 4 tracks.
    void ToggleView(std::int32_t view) {
        MyControlBase* pages[] = {nullptr, tabs->stationPage, tabs->settingsPage, tabs->aboutPage,
                                  tabs->tracksPage};
        MyTabButton* tabButtons[] = {nullptr, tabs->stationsTab, tabs->settingsTab, tabs->aboutTab, nullptr};
        const std::int32_t next = view == shownView ? 0 : view;
        for (std::int32_t v = 1; v <= 4; ++v) {
            const bool show = v == next;
            if (pages[v]->visible != show) {
                pages[v]->visible = show;
                (show ? pages[v] : static_cast<MyControlBase*>(tabs))->Redraw();
            }
            if (tabButtons[v] && tabButtons[v]->selected != show) {
                tabButtons[v]->selected = show;
                tabButtons[v]->Redraw();
            }
        }
        shownView = next;
    }
    void ToggleBox(std::int32_t k) {
        MySettingsPanelButton* box = tabs->settingsPage->buttons[static_cast<std::size_t>(k)];
        box->ticked = !box->ticked;
        box->Redraw();
        if (k == 0)
            tabs->chatPage->listBox->SetShowBeyond(box->ticked);
    }

    // Moves the replay to `second` of the show.
    void PlayTo(std::int32_t second) {
        std::int32_t index = -1;
        for (std::size_t i = 0; i < chat.size() && chat[i].time <= second; ++i)
            index = static_cast<std::int32_t>(i);
        tabs->chatPage->listBox->SetCurrentRow(index);
        std::int32_t track = -1;
        for (std::size_t i = 0; i < tracks.size() && tracks[i].start <= second; ++i)
            track = static_cast<std::int32_t>(i);
        if (track != tabs->tracksPage->currentTrack) {
            tabs->tracksPage->currentTrack = track;
            tabs->tracksPage->listBox->SelectRow(track);
        }
    }

    MyAppContext* app;
    StreamChatRowList chat;
    TrackInfoList tracks;
    StreamInfoData stream;
    MyInfoTabPanel* tabs = nullptr;
    std::int32_t shownView = 0;
};

class GalleryWindow : public MyOwnerWindowBase {
public:
    void OnDestroy() override { context.instance->PostQuitMessage(0); }
};

// Waits (at most 10 s) until the screen shows the window's drawing, then writes it as a bitmap file.
int SaveScreen(platform::WindowSystem& system, MyOwnerWindowBase& window, const char* path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    DecodedImage shot;
    while (std::chrono::steady_clock::now() < deadline) {
        platform::Message message;
        while (system.PeekMessage(message))
            system.DispatchMessage(message);
        if (window.window->ReadScreen(shot.pixels, shot.width, shot.height) && !shot.pixels.empty() &&
            shot.pixels[200 * shot.width + 5] == (window.backBuffer.bitmap->row(200)[5] & 0xFFFFFF))
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
    double speed = 10.0;
    const char* screenshot = nullptr;
    int view = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--speed") == 0)
            speed = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--screenshot") == 0)
            screenshot = argv[i + 1];
        else if (std::strcmp(argv[i], "--view") == 0)
            view = std::atoi(argv[i + 1]);
    }
    auto system = platform::OpenDesktopWindowSystem();
    if (!system) {
        std::fprintf(stderr, "gallery_info: no display\n");
        return 1;
    }
    system->InstallMessageBoxSink();
    platform::IconImage icon;
    DecodedImage decoded;
    if (DecodeIco(platform::FindResource(108), 32, decoded))
        icon = {decoded.width, decoded.height, decoded.pixels};
    MyAppContext app;
    GalleryWindow window;
    if (!window.Create(system.get(), u"VantriInfoGallery", u"Vantri info pages", &icon, 60, 60, 900, 560))
        return 1;
    window.window->SetMinimumSize(640, 400);
    auto made = std::make_unique<GalleryRoot>(&app);
    GalleryRoot* root = made.get();
    window.root = std::move(made);
    window.root->Create(&window.context, 0, 0, window.clientWidth, window.clientHeight);
    window.root->Redraw();
    if (view >= 1 && view <= 4)
        root->ToggleView(view);
    if (screenshot) {
        root->PlayTo(1800);
        return SaveScreen(*system, window, screenshot);
    }
    const auto start = std::chrono::steady_clock::now();
    std::int32_t shownSecond = -1000;
    for (;;) {
        platform::Message message;
        while (system->PeekMessage(message)) {
            if (message.message == platform::WM_QUIT)
                return system->exitCode();
            system->DispatchMessage(message);
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto second = static_cast<std::int32_t>(elapsed * speed) - 30;
        if (second != shownSecond && second <= kShowSeconds) {
            shownSecond = second;
            root->PlayTo(second);
        }
        // A gallery may nap between frames; the program itself never polls.
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
}
