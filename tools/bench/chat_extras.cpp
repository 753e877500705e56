// Figures of the chat extras on a 200,000-row chat log over a three-hour show:
//  - building the channel state index (once per show, at the first seek);
//  - a seek into the log until the pinned channel state line is drawn (the chat list's repaint after
//    the jump included, and the state line on its own);
//  - the activity strip of the position bar (counting and shading, and the whole bar repainted);
//  - finding the quiet joins and parts, and the view re-filtered and repainted when the box is ticked.
// Times are CPU milliseconds of this one-threaded process (a busy machine does not inflate them) and
// wall-clock milliseconds beside them.
//
//   bench_chat_extras      prints the figures

#include "app/MyAppContext.h"
#include "panels/ChatActivityStrip.h"
#include "panels/ChatChannelState.h"
#include "panels/ChatJoinFilter.h"
#include "panels/MyChatOverlays.h"
#include "panels/MyChatPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/Utf.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// Mostly messages, with joins, parts, quits, nick changes, kicks, topics and modes, 1,500 nicks.
StreamChatRowList MakeLog(int count) {
    std::mt19937 random(20261208);
    std::vector<std::u16string> nicks;
    for (int i = 0; i < 1500; ++i)
        nicks.push_back(Ascii("listener" + std::to_string(i)));
    const std::u16string text = u"what a track, turn it up please, this one is great";
    StreamChatRowList log;
    log.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto time = static_cast<std::int32_t>(static_cast<long long>(i) * 10800 / count);
        const std::u16string& a = nicks[random() % nicks.size()];
        const std::u16string& b = nicks[random() % nicks.size()];
        const unsigned kind = random() % 1000;
        using V = std::vector<std::u16string_view>;
        if (kind < 820)
            log.emplace_back(time, StreamChatRowKind_Message, V{a, text});
        else if (kind < 900)
            log.emplace_back(time, StreamChatRowKind_Join, V{a});
        else if (kind < 950)
            log.emplace_back(time, StreamChatRowKind_Quit, V{a, u"Ping timeout"});
        else if (kind < 975)
            log.emplace_back(time, StreamChatRowKind_Leave, V{a});
        else if (kind < 990)
            log.emplace_back(time, StreamChatRowKind_NickChange, V{a, b});
        else if (kind < 995)
            log.emplace_back(time, StreamChatRowKind_Kick, V{a, b, u"spam"});
        else if (kind < 998)
            log.emplace_back(time, StreamChatRowKind_TopicChange, V{a, u"Friday mix night " + a});
        else
            log.emplace_back(time, StreamChatRowKind_ModeChange, V{a, kind % 2 ? u"+nt" : u"-t+m"});
    }
    return log;
}

struct Timing {
    std::vector<double> cpu;
    std::vector<double> wall;
};

void Measure(Timing& t, const std::function<void()>& work) {
    const std::clock_t c0 = std::clock();
    const auto w0 = std::chrono::steady_clock::now();
    work();
    const auto w1 = std::chrono::steady_clock::now();
    const std::clock_t c1 = std::clock();
    t.cpu.push_back(1000.0 * static_cast<double>(c1 - c0) / CLOCKS_PER_SEC);
    t.wall.push_back(std::chrono::duration<double, std::milli>(w1 - w0).count());
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* what, const Timing& t) {
    std::printf("%-64s median %7.3f ms CPU, %7.3f ms wall, worst %7.3f ms wall (%zu runs)\n", what,
                Median(t.cpu), Median(t.wall), *std::max_element(t.wall.begin(), t.wall.end()),
                t.wall.size());
}

struct Window {
    platform::HeadlessWindowSystem system;
    MyOwnerWindowBase owner;
    MyWindowBase* root = nullptr;

    Window() {
        owner.Create(&system, u"VantriBench", u"Bench", nullptr, 0, 0, 1000, 700);
        auto base = std::make_unique<MyWindowBase>();
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    }
};

} // namespace

int main() {
    constexpr int kRows = 200000;
    const StreamChatRowList log = MakeLog(kRows);
    Window window;
    std::mt19937 random(5);

    Timing build;
    for (int run = 0; run < 5; ++run) {
        ChatChannelIndex index;
        Measure(build, [&] { index.Build(&log); });
    }
    Report("Channel state index of 200000 rows built (once per show)", build);

    // The chat panel as the main window has it: 1000 x 628, every row laid out and painted once.
    auto made = std::make_unique<MyChatPanel>(nullptr);
    made->Create(&window.owner.context, 0, 0, 1000, 628);
    MyChatPanel* panel = window.root->AddChild(std::move(made));
    Timing setRows;
    Measure(setRows, [&] { panel->SetChatRows(&log); });
    Report("SetChatRows of 200000 rows, the channel index with them", setRows);
    window.root->Redraw();
    Timing firstSeek;
    Measure(firstSeek, [&] {
        panel->listBox->SetCurrentRow(kRows / 2);
        panel->SetChatPosition(log[kRows / 2].time, kRows / 2);
    });
    Report("First seek of the show: list and pinned line drawn", firstSeek);

    Timing seek;
    Timing lineOnly;
    for (int run = 0; run < 200; ++run) {
        const auto at = static_cast<std::int32_t>(random() % kRows);
        // Seeking lands on the last row at or before the second.
        std::int32_t row = at;
        while (row + 1 < kRows &&
               log[static_cast<std::size_t>(row + 1)].time == log[static_cast<std::size_t>(at)].time)
            ++row;
        Measure(seek, [&] {
            panel->listBox->SetCurrentRow(row);
            panel->SetChatPosition(log[static_cast<std::size_t>(row)].time, row);
        });
        if (!panel->stateLine->visible) {
            std::printf("the pinned line did not show\n");
            return 1;
        }
    }
    Report("Seek into 200000 rows to the pinned line drawn (list repaint too)", seek);
    Timing listOnly;
    for (int run = 0; run < 200; ++run) {
        const auto row = static_cast<std::int32_t>(random() % kRows);
        Measure(listOnly, [&] { panel->listBox->SetCurrentRow(row); });
    }
    Report("The chat list alone repainted after a seek (as before these extras)", listOnly);
    for (int run = 0; run < 200; ++run) {
        const auto row = static_cast<std::int32_t>(random() % kRows);
        Measure(lineOnly, [&] { panel->SetChatPosition(log[static_cast<std::size_t>(row)].time, row); });
    }
    Report("The pinned line alone: state rebuilt from its checkpoint, drawn", lineOnly);
    std::printf("  pinned line at the end: \"%s\"\n", Utf16ToUtf8(panel->stateLine->text).c_str());

    // The activity strip for a position bar 826 pixels wide (a 1000-pixel window).
    MySurface bar;
    bar.ResizeSurface(&window.owner.backBuffer.dc, 826, 32);
    Timing strip;
    for (int run = 0; run < 50; ++run)
        Measure(strip, [&] { DrawChatActivityStrip(bar, CountChatMessages(log, 10800, 826 - 12), 6); });
    Report("Activity strip of 200000 rows counted and shaded (814 pixels)", strip);

    window.root->children.clear();
    MyAppContext app;
    auto play = std::make_unique<MyPlayControlPanel>(&window.owner.context, &app);
    play->Create(&window.owner.context, 0, 628, 1000, 72);
    MyPlayControlPanel* controls = window.root->AddChild(std::move(play));
    StreamInfoData stream;
    stream.duration = 10800;
    const TrackInfoList tracks;
    MyPlayPosBar* posBar = controls->posBar;
    posBar->markStream = &stream;
    posBar->marks = &tracks;
    posBar->activityRows = &log;
    Timing plainBar;
    Timing shadedBar;
    for (int run = 0; run < 50; ++run) {
        posBar->showChatActivity = false;
        Measure(plainBar, [&] {
            posBar->DropCache();
            posBar->Redraw();
        });
        posBar->showChatActivity = true;
        Measure(shadedBar, [&] {
            posBar->DropCache();
            posBar->Redraw();
        });
    }
    Report("Position bar rebuilt and drawn, strip off", plainBar);
    Report("Position bar rebuilt and drawn with the strip of 200000 rows", shadedBar);

    Timing quiet;
    for (int run = 0; run < 5; ++run)
        Measure(quiet, [&] { (void)FindQuietJoinsAndParts(log); });
    Report("Quiet joins and parts found among 200000 rows", quiet);

    window.root->children.clear();
    auto again = std::make_unique<MyChatPanel>(nullptr);
    again->Create(&window.owner.context, 0, 0, 1000, 628);
    panel = window.root->AddChild(std::move(again));
    panel->SetChatRows(&log);
    panel->listBox->SetCurrentRow(kRows / 2);
    window.root->Redraw();
    Timing toggle;
    for (int run = 0; run < 6; ++run)
        Measure(toggle, [&] { panel->SetHideQuietJoins(run % 2 == 0); });
    Report("Join filter ticked or cleared: 200000 rows re-filtered, relaid, drawn", toggle);
    return 0;
}
