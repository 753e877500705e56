// The program as a user meets it, on the virtual display: a real window, the station server on loopback,
// SDL's dummy audio playing in real time. The test watches the program from its user-interface thread
// (through the loop's hook), reads the window title as the window system shows it, compares screen
// pixels with the skin, clicks with posted mouse messages, and hands links over the single-instance
// channel as a second start would.
#include "app/Links.h"
#include "app/MyAppContext.h"
#include "app/MySettings.h"
#include "panels/MyInfoTabPanel.h"
#include "panels/MyPlayControlPanel.h"
#include "panels/MyStationComboRows.h"
#include "platform/ChildProcess.h"
#include "platform/InstanceChannel.h"
#include "platform/Resources.h"
#include "program/MainWindowBase.h"
#include "program/Program.h"
#include "support/Deadline.h"
#include "support/FaultProxy.h"
#include "support/LoopbackStation.h"
#include "support/Mp3Fixtures.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"
#include "ui/BitmapFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;
using platform::WindowMessage;

// What the test reads of the program, copied on its user-interface thread after each message.
struct Snapshot {
    std::int32_t streamId = 0;
    const void* currentStream = nullptr;
    std::int32_t currentStreamId = 0;
    std::int32_t playSecond = -1;
    std::int32_t playState = 0;
    std::int32_t trackIndex = -1;
    std::int32_t chatIndex = -1;
    std::int32_t stations = 0;
};

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!platform::GetEnv("DISPLAY"))
            GTEST_SKIP() << "no display";
        const std::string fixtures = std::string(VANTRI_BINARY_DIR) + "/fixtures";
        const std::string mp3 = testsupport::MakeToneMp3(fixtures, {44100, 2, 30.0, 128});
        ASSERT_FALSE(mp3.empty());
        testsupport::LoopbackShow show;
        show.recording = mp3;
        show.duration = 30;
        show.streams = 2; // streams 7 and 8
        station = std::make_unique<testsupport::LoopbackStation>(show);
        ASSERT_TRUE(station->running());
        std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        environment.push_back(
            std::make_unique<testsupport::ScopedEnvironment>("VANTRI_DIRECTORY", station->address()));
        environment.push_back(
            std::make_unique<testsupport::ScopedEnvironment>("VANTRI_UPDATE_SERVER", station->address()));
        environment.push_back(std::make_unique<testsupport::ScopedEnvironment>("SDL_AUDIODRIVER", "dummy"));
        environment.push_back(
            std::make_unique<testsupport::ScopedEnvironment>("XDG_CONFIG_HOME", config.path().string()));
        environment.push_back(
            std::make_unique<testsupport::ScopedEnvironment>("XDG_RUNTIME_DIR", runtime.path().string()));
        // Resume on: the settings are written while playing.
        MySettings settings(config.path().u16string());
        settings.SetFlag(SettingsFlag_ResumePlaying, true);
        ASSERT_TRUE(settings.Save());
    }

    void TearDown() override {
        if (program.joinable()) {
            platform::InstanceChannel::Send(name, "kill");
            program.join();
        }
    }

    void Start(const std::string& commandLine) {
        ProgramOptions options;
        options.instanceName = name;
        options.started = [this](MainWindowBase& owner, MyAppContext&) { window = owner.window.get(); };
        options.dispatched = [this](MainWindowBase& owner, const platform::Message&) { Watch(owner); };
        program = std::thread([this, options, commandLine] {
            exitCode = RunProgram(commandLine, options);
            ended = true;
        });
    }

    // The hook: runs the test's pending job, then copies what the test reads.
    void Watch(MainWindowBase& owner) {
        std::function<void(MainWindowBase&)> job;
        {
            std::lock_guard guard(lock);
            job = std::exchange(pending, nullptr);
        }
        if (job)
            job(owner);
        if (!owner.mainWindow)
            return;
        const MainWindow& m = *owner.mainWindow;
        Snapshot s;
        s.streamId = m.streamId;
        s.currentStream = m.currentStream;
        s.currentStreamId = m.currentStream ? m.currentStream->streamId : 0;
        s.playSecond = m.playSecond;
        s.playState = m.playState;
        s.trackIndex = m.trackIndex;
        s.chatIndex = m.chatIndex;
        s.stations = m.infoTabPanel && m.infoTabPanel->stationPage
                         ? static_cast<std::int32_t>(m.infoTabPanel->stationPage->stationsById.size())
                         : 0;
        std::lock_guard guard(lock);
        snapshot = s;
    }

    Snapshot Now() {
        std::lock_guard guard(lock);
        return snapshot;
    }
    bool WaitUntil(const std::function<bool(const Snapshot&)>& condition,
                   std::chrono::milliseconds timeout = 20s) {
        return testsupport::WaitFor([&] { return condition(Now()); }, timeout);
    }
    // Runs `job` on the program's user-interface thread and waits until it ran.
    void OnUiThread(std::function<void(MainWindowBase&)> job) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        {
            std::lock_guard guard(lock);
            pending = [done, job](MainWindowBase& owner) {
                job(owner);
                *done = true;
            };
        }
        // The job runs when the program's loop dispatches a message; one that does nothing wakes an idle
        // program too.
        if (platform::Window* target = window.load())
            target->Post(WindowMessage{platform::WM_NULL, 0, 0});
        const bool ran = testsupport::WaitFor([&] { return done->load(); }, 10s);
        if (!ran) {
            // Never run later, on what this call's caller no longer holds.
            std::lock_guard guard(lock);
            pending = nullptr;
        }
        ASSERT_TRUE(ran);
    }
    // The names of the top-level windows as the X server has them.
    std::string WindowNames() {
        const std::string out = (scratch.path() / "xwininfo.txt").string();
        platform::RunChildProcess({"xwininfo", "-root", "-tree"}, {}, out);
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void Click(const RECT& r) {
        const std::int32_t x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
        window.load()->Post(
            WindowMessage{platform::WM_LBUTTONDOWN, platform::MK_LBUTTON, platform::MakePointLParam(x, y)});
        window.load()->Post(WindowMessage{platform::WM_LBUTTONUP, 0, platform::MakePointLParam(x, y)});
    }
    void Key(int virtualKey) {
        window.load()->Post(WindowMessage{platform::WM_KEYDOWN, static_cast<std::uintptr_t>(virtualKey), 1});
    }

    // Opens the station chooser, clicks its search box, puts `text` in it and presses Enter.
    void SearchStations(const std::u16string& text) {
        Key(platform::VK_F1 + 6);
        RECT box{};
        ASSERT_TRUE(testsupport::WaitFor(
            [&] {
                OnUiThread([&](MainWindowBase& owner) {
                    const MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
                    if (page->visible && page->searchInput)
                        box = page->searchInput->bounds;
                });
                return box.right > box.left;
            },
            10s));
        Click(box);
        // The text goes in whole on the program's thread (typing it is the text input's own test); Enter is
        // pressed as a user does, once the box holds the text and has the keyboard.
        OnUiThread([&](MainWindowBase& owner) {
            MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
            page->searchInput->SetText(text);
            page->OnSearchChanged(0);
        });
        ASSERT_TRUE(testsupport::WaitFor(
            [&] {
                bool focused = false;
                OnUiThread([&](MainWindowBase& owner) {
                    focused = owner.mainWindow->infoTabPanel->stationPage->searchInput->hasFocus();
                });
                return focused;
            },
            10s));
        Key(platform::VK_RETURN);
    }
    // The search rows of the station chooser: (stream, second it plays from, left detail).
    struct ResultRow {
        std::int32_t stream;
        std::int32_t second;
        std::u16string left;
        RECT bounds;
    };
    std::vector<ResultRow> ResultRows() {
        std::vector<ResultRow> rows;
        OnUiThread([&](MainWindowBase& owner) {
            const MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
            if (!page->Searching())
                return;
            for (std::int32_t i = 0; page->listBox && page->listBox->RowAt(i); ++i) {
                auto* row = dynamic_cast<const MyStationComboStreamListBoxRow*>(page->listBox->RowAt(i));
                if (row)
                    rows.push_back({row->streamId, row->startSecond, row->detailLeft,
                                    RECT{page->listBox->bounds.left + row->bounds.left,
                                         page->listBox->bounds.top + row->bounds.top,
                                         page->listBox->bounds.left + row->bounds.right,
                                         page->listBox->bounds.top + row->bounds.bottom}});
            }
        });
        return rows;
    }

    std::string name = "vantri-e2e";
    std::unique_ptr<testsupport::LoopbackStation> station;
    testsupport::ScratchFolder config;
    testsupport::ScratchFolder runtime;
    testsupport::ScratchFolder scratch;
    std::vector<std::unique_ptr<testsupport::ScopedEnvironment>> environment;
    std::thread program;
    std::atomic<platform::Window*> window{nullptr};
    std::atomic<bool> ended{false};
    std::atomic<int> exitCode{-1};
    std::mutex lock;
    Snapshot snapshot;
    std::function<void(MainWindowBase&)> pending;
};

TEST_F(EndToEndTest, PlaysALinkFollowsTheShowSwitchesStreamsAndEndsCleanly) {
    Start("vantri:track-1-7-" + std::string("B")); // second 11, in the second track
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.load() != nullptr; }, 20s));

    // The show plays: stream 7, the position moves on from second 11, the track and the chat follow.
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.currentStreamId == 7 && s.playSecond >= 13; }))
        << Now().playSecond;
    EXPECT_EQ(Now().trackIndex, 1);
    EXPECT_EQ(Now().chatIndex, 1); // the rows at seconds 2 and 12
    EXPECT_EQ(Now().playState, 1);
    EXPECT_NE(WindowNames().find("Loopback FM - 2023-11-14 22:13 - Tone show - Vantri v0.19"),
              std::string::npos);

    // The track list (F8) shows the current track in the skin's highlight shade.
    DecodedImage skin;
    ASSERT_TRUE(DecodeBmp(platform::FindResource(106), skin));
    const std::uint32_t highlight = skin.pixels[static_cast<std::size_t>(2) * skin.width + 51] & 0xFFFFFF;
    Key(platform::VK_F1 + 7);
    std::uint32_t rowPixel = 0;
    bool chatHasText = false;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            OnUiThread([&](MainWindowBase& owner) {
                const MyStreamInfoPanel* tracks = owner.mainWindow->infoTabPanel->tracksPage;
                if (!tracks->visible || !tracks->listBox)
                    return;
                const MyListBoxV2* list = tracks->listBox;
                const MyControlBase* row = list->RowAt(1);
                std::vector<std::uint32_t> pixels;
                std::int32_t w = 0, h = 0;
                if (!row || !owner.window->ReadScreen(pixels, w, h))
                    return;
                const std::int32_t x = list->bounds.left + row->bounds.right - 4;
                const std::int32_t y = list->bounds.top + row->bounds.top + 2;
                if (x >= 0 && y >= 0 && x < w && y < h)
                    rowPixel = pixels[static_cast<std::size_t>(y) * w + x] & 0xFFFFFF;
            });
            return rowPixel == highlight;
        },
        10s))
        << std::hex << rowPixel << " " << highlight;

    // Back to the chat (F8 again): its first row is drawn, dark text on the light page.
    Key(platform::VK_F1 + 7);
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            OnUiThread([&](MainWindowBase& owner) {
                const MyChatPanel* chat = owner.mainWindow->infoTabPanel->chatPage;
                std::vector<std::uint32_t> pixels;
                std::int32_t w = 0, h = 0;
                if (owner.mainWindow->infoView != 0 || !owner.window->ReadScreen(pixels, w, h))
                    return;
                int dark = 0;
                for (std::int32_t y = chat->bounds.top; y < std::min(chat->bounds.top + 40, h); ++y)
                    for (std::int32_t x = chat->bounds.left; x < std::min(chat->bounds.right, w); ++x) {
                        const std::uint32_t p = pixels[static_cast<std::size_t>(y) * w + x];
                        dark += ((p >> 16 & 0xFF) < 100 && (p >> 8 & 0xFF) < 100 && (p & 0xFF) < 100) ? 1 : 0;
                    }
                chatHasText = dark > 20;
            });
            return chatHasText;
        },
        10s));

    // The station chooser (F7), its streams view, a click on stream 8: the new stream is asked for and plays.
    Key(platform::VK_F1 + 6);
    RECT button{};
    OnUiThread([&](MainWindowBase& owner) {
        button = owner.mainWindow->infoTabPanel->stationPage->streamsViewButton->bounds;
    });
    Click(button);
    RECT rowRect{};
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            OnUiThread([&](MainWindowBase& owner) {
                const MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
                for (std::int32_t i = 0; page->listBox && page->listBox->RowAt(i); ++i) {
                    auto* row = dynamic_cast<const MyStationComboStreamListBoxRow*>(page->listBox->RowAt(i));
                    if (row && row->streamId == 8 && row->bounds.bottom > row->bounds.top)
                        rowRect = RECT{page->listBox->bounds.left + row->bounds.left,
                                       page->listBox->bounds.top + row->bounds.top,
                                       page->listBox->bounds.left + row->bounds.right,
                                       page->listBox->bounds.top + row->bounds.bottom};
                }
            });
            return rowRect.bottom > rowRect.top;
        },
        10s));
    Click(rowRect);
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) {
        return s.currentStreamId == 8 && s.playSecond >= 1 && s.playSecond < 10;
    })) << Now().currentStreamId
        << " " << Now().playSecond;

    // A second start with a link switches the stream of the first.
    ASSERT_TRUE(platform::InstanceChannel::Send(name, "vantri:track-1-7-5"));
    ASSERT_TRUE(WaitUntil(
        [](const Snapshot& s) { return s.currentStreamId == 7 && s.playSecond >= 5 && s.playSecond < 10; }));

    // "kill" from a later start: a clean exit, the settings file whole with the last position.
    ASSERT_TRUE(platform::InstanceChannel::Send(name, "kill"));
    ASSERT_TRUE(testsupport::WaitFor([&] { return ended.load(); }, 15s));
    program.join();
    EXPECT_EQ(exitCode, 0);
    const auto file = config.path() / "Vantri" / "settings.vts";
    EXPECT_EQ(std::filesystem::file_size(file), MySettings::kFileSize);
    const MySettings saved(config.path().u16string());
    EXPECT_EQ(saved.lastStationId, 1);
    EXPECT_EQ(saved.lastStreamId, 7);
    EXPECT_GE(saved.lastSecond, 5);
}

// SIGTERM (as from `kill` or the session) ends the program through its normal shutdown: exit code 0, and
// the single-instance channel removed as the shutdown does, where a killed process would leave it.
TEST_F(EndToEndTest, TerminationSignalEndsTheProgramThroughTheNormalShutdown) {
    const std::string program = std::string(VANTRI_BINARY_DIR) + "/vantri";
    const std::string socket = (runtime.path() / "vantri.socket").string();
    // The shell waits (with a bound) until this instance's channel exists, then sends the signal. Other
    // tests' windows share the display, so the window title would not tell this program's start.
    const std::string script = "\"" + program +
                               "\" & p=$!; n=0; "
                               "until [ -S '" +
                               socket +
                               "' ]; do "
                               "n=$((n+1)); [ $n -gt 1500 ] && break; sleep 0.02; done; "
                               "kill -TERM $p; wait $p";
    const auto result =
        platform::RunChildProcess({"sh", "-c", script}, {}, (scratch.path() / "out.txt").string());
    ASSERT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

// A track of a show whose track list was never fetched is found through the station server's search, and
// its row plays the show from the track's second.
TEST_F(EndToEndTest, TheStationChoosersSearchFindsATrackNotFetchedThroughTheStationServer) {
    Start("");
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.load() != nullptr; }, 20s));
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.stations == 1; }));
    EXPECT_EQ(Now().currentStream, nullptr) << "nothing plays, so no track list was fetched";
    SearchStations(u"second");
    std::vector<ResultRow> rows;
    // Both shows' second track, each row laid out.
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            rows = ResultRows();
            return rows.size() == 2 && rows[0].bounds.bottom > rows[0].bounds.top &&
                   rows[1].bounds.bottom > rows[1].bounds.top;
        },
        10s))
        << rows.size();
    std::set<std::int32_t> streams;
    for (const ResultRow& row : rows) {
        EXPECT_EQ(row.second, 10);
        EXPECT_EQ(row.left, u"Second - Tone");
        streams.insert(row.stream);
    }
    EXPECT_EQ(streams, (std::set<std::int32_t>{7, 8}));
    const ResultRow& seven = rows[0].stream == 7 ? rows[0] : rows[1];
    Click(seven.bounds);
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.currentStreamId == 7 && s.playSecond >= 10; }))
        << Now().currentStreamId << " " << Now().playSecond;
}

// A station server without search answers 404: the chooser keeps the local results of the track list
// it has fetched.
TEST_F(EndToEndTest, WithAStationServerWithoutSearchTheLocalResultsStillShow) {
    // The directory names a proxy that passes every request on to the real server except the search,
    // which it answers 404.
    testsupport::FaultPlan plan;
    plan.faultShare = 0;
    plan.searchNotFound = true;
    testsupport::FaultProxy proxy(plan);
    ASSERT_TRUE(proxy.listening());
    testsupport::LoopbackShow show;
    show.recording =
        testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, 30.0, 128});
    show.duration = 30;
    show.streams = 2;
    show.publicPort = proxy.port();
    station = std::make_unique<testsupport::LoopbackStation>(show);
    ASSERT_TRUE(station->running());
    proxy.SetUpstream(station->port());
    environment.push_back(
        std::make_unique<testsupport::ScopedEnvironment>("VANTRI_DIRECTORY", station->address()));
    environment.push_back(
        std::make_unique<testsupport::ScopedEnvironment>("VANTRI_UPDATE_SERVER", station->address()));

    Start("vantri:track-1-7-B");
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.load() != nullptr; }, 20s));
    // Playing stream 7 fetched its track list; stream 8's was never fetched.
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.currentStreamId == 7 && s.trackIndex >= 0; }));
    SearchStations(u"second");
    ASSERT_TRUE(testsupport::WaitFor([&] { return proxy.searchesRefused() == 1; }, 10s));
    std::vector<ResultRow> rows;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            rows = ResultRows();
            return rows.size() == 1 && rows[0].left == u"Second - Tone";
        },
        10s))
        << rows.size();
    EXPECT_EQ(rows[0].stream, 7);
    EXPECT_EQ(rows[0].second, 10);
}

// The chat lines the station server finds come a page at a time: the chooser shows the first page with a
// last row "More results", whose click brings the next page in among them; every line shows once and the
// row goes when the server has no more.
TEST_F(EndToEndTest, TheChoosersChatResultsComeAPageAtATimeWithNoLineTwiceOrLost) {
    testsupport::LoopbackShow show;
    show.recording =
        testsupport::MakeToneMp3(std::string(VANTRI_BINARY_DIR) + "/fixtures", {44100, 2, 30.0, 128});
    show.duration = 30;
    show.interviewLines = 70; // a page of 50 and one of 20
    station = std::make_unique<testsupport::LoopbackStation>(show);
    ASSERT_TRUE(station->running());
    environment.push_back(
        std::make_unique<testsupport::ScopedEnvironment>("VANTRI_DIRECTORY", station->address()));
    environment.push_back(
        std::make_unique<testsupport::ScopedEnvironment>("VANTRI_UPDATE_SERVER", station->address()));

    Start("");
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.load() != nullptr; }, 20s));
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.stations == 1; }));
    SearchStations(u"interview");
    std::vector<ResultRow> rows;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            rows = ResultRows();
            return rows.size() == 50;
        },
        10s))
        << rows.size();
    // Scrolled to the end, as a user does, the last row asks for more.
    RECT more{};
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            OnUiThread([&](MainWindowBase& owner) {
                MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
                MyListBoxV2& list = *page->listBox;
                const std::int32_t last = list.RowCount() - 1;
                auto* row = dynamic_cast<MyStationComboStationListBoxRow*>(list.RowAt(last));
                if (!row || row->stationId != MyStationComboPanel::kMoreResultsId ||
                    list.RowHeight(last) == 0)
                    return;
                EXPECT_EQ(row->stationName, u"More results");
                list.SetScrollOffset(list.RowTop(last));
                const std::int32_t top = list.bounds.top + list.RowTop(last) - list.scrollOffset;
                more = RECT{list.bounds.left, top, list.bounds.right, top + list.RowHeight(last)};
            });
            return more.bottom > more.top;
        },
        10s));
    Click(more);
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            rows = ResultRows();
            return rows.size() >= 70;
        },
        10s))
        << rows.size();
    std::set<std::u16string> lines;
    for (const ResultRow& row : rows) {
        EXPECT_EQ(row.stream, 7);
        lines.insert(row.left);
    }
    EXPECT_EQ(rows.size(), 70u);
    EXPECT_EQ(lines.size(), 70u) << "a line twice";
    for (int i = 0; i < 70; ++i) {
        const std::int32_t second = i * 30 / 70;
        const std::string text = "[0:00:" + std::string(second < 10 ? "0" : "") + std::to_string(second) +
                                 "] line " + std::to_string(i) + " of the interview";
        EXPECT_EQ(lines.count(std::u16string(text.begin(), text.end())), 1u) << text;
    }
    bool moreLeft = true;
    OnUiThread([&](MainWindowBase& owner) {
        const MyListBoxV2& list = *owner.mainWindow->infoTabPanel->stationPage->listBox;
        auto* row = dynamic_cast<const MyStationComboStationListBoxRow*>(list.RowAt(list.RowCount() - 1));
        moreLeft = row && row->stationId == MyStationComboPanel::kMoreResultsId;
    });
    EXPECT_FALSE(moreLeft) << "the server had no more";
}

// "Continue listening" in the real window: a show heard for a while and paused is offered in the station
// chooser where it was left, and after another show its row plays it from there.
TEST_F(EndToEndTest, AShowListenedToAndPausedIsContinuedFromTheChooser) {
    Start("vantri:track-1-7-B"); // from second 11
    ASSERT_TRUE(testsupport::WaitFor([&] { return window.load() != nullptr; }, 20s));
    ASSERT_TRUE(
        WaitUntil([](const Snapshot& s) { return s.currentStreamId == 7 && s.playSecond >= 23; }, 30s))
        << Now().playSecond;
    RECT pause{};
    OnUiThread(
        [&](MainWindowBase& owner) { pause = owner.mainWindow->playControlPanel->playButtons[1]->bounds; });
    Click(pause);
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.playState == 2; }));
    const std::int32_t left = Now().playSecond;
    std::ifstream file(config.path() / "Vantri" / "recent.txt");
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line.substr(0, line.find('\t', 5)), "1\t7\t" + std::to_string(left));

    // The chooser (F7): a row's place in the window, once laid out.
    auto rowRect = [&](auto match) {
        RECT r{};
        EXPECT_TRUE(testsupport::WaitFor(
            [&] {
                OnUiThread([&](MainWindowBase& owner) {
                    const MyStationComboPanel* page = owner.mainWindow->infoTabPanel->stationPage;
                    for (std::int32_t i = 0; page->visible && page->listBox && page->listBox->RowAt(i); ++i) {
                        const MyListBoxV2ItemBase* row = page->listBox->RowAt(i);
                        if (match(row) && row->bounds.bottom > row->bounds.top)
                            r = RECT{page->listBox->bounds.left + row->bounds.left,
                                     page->listBox->bounds.top + row->bounds.top,
                                     page->listBox->bounds.left + row->bounds.right,
                                     page->listBox->bounds.top + row->bounds.bottom};
                    }
                });
                return r.bottom > r.top;
            },
            10s));
        return r;
    };
    Key(platform::VK_F1 + 6);
    Click(rowRect([](const MyListBoxV2ItemBase* row) {
        auto* heading = dynamic_cast<const MyStationComboStationListBoxRow*>(row);
        return heading && heading->stationName == u"Continue listening";
    }));
    const RECT recent = rowRect([](const MyListBoxV2ItemBase* row) {
        return dynamic_cast<const MyStationComboRecentListBoxRow*>(row) != nullptr;
    });
    std::u16string date, headline, of;
    OnUiThread([&](MainWindowBase& owner) {
        const auto* page = owner.mainWindow->infoTabPanel->stationPage;
        for (std::int32_t i = 0; page->listBox->RowAt(i); ++i)
            if (auto* r = dynamic_cast<MyStationComboRecentListBoxRow*>(page->listBox->RowAt(i))) {
                date = r->DateText();
                headline = r->headline;
                of = r->detailLeft;
            }
    });
    EXPECT_EQ(date, FormatDuration(left));
    EXPECT_EQ(headline, u"Loopback FM - Tone show");
    EXPECT_EQ(of, u"of 0:00:30");

    // Another show, then the row: the first plays on from where it was left.
    ASSERT_TRUE(platform::InstanceChannel::Send(name, "vantri:track-1-8-0"));
    ASSERT_TRUE(WaitUntil([](const Snapshot& s) { return s.currentStreamId == 8 && s.playState == 1; }));
    Click(recent);
    ASSERT_TRUE(WaitUntil([&](const Snapshot& s) {
        return s.currentStreamId == 7 && s.playSecond >= left && s.playSecond < left + 4;
    })) << Now().currentStreamId
        << " " << Now().playSecond;
}

} // namespace
