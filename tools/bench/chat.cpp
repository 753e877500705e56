// Chat replay figures: SetChatRows of a realistic chat log to the first painted frame (50,000 and
// 200,000 rows), re-wrapping after a width change, the repaint after the play position reaches the
// next row, and the heap the rows take. The log is generated: mostly messages of 3 to 20 words, joins,
// parts and quits, some actions and nick changes, a share of CJK and emoji. The view is 800 x 480.
//
//   bench_chat            prints the figures

#include "heap/HeapCount.h"
#include "panels/MyChatPanel.h"
#include "platform/HeadlessWindowSystem.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

// Figures are the process's CPU time, which other programs on a busy machine do not inflate; the
// bench runs on one thread.
struct Clock {
    using duration = std::clock_t;
    static std::clock_t now() { return std::clock(); }
};

double Milliseconds(std::clock_t ticks) {
    return 1000.0 * static_cast<double>(ticks) / CLOCKS_PER_SEC;
}

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// A deterministic chat log of `count` rows over a three-hour show.
StreamChatRowList MakeLog(int count) {
    std::mt19937 random(20261208);
    const char* syllables[] = {"ka", "lo", "mi", "ne", "ro", "ta", "vi", "su",  "den", "ber", "gal", "tor",
                               "an", "el", "is", "ok", "ul", "ya", "zo", "pre", "the", "and", "ing", "st"};
    std::vector<std::u16string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < n; ++s)
            w += syllables[random() % std::size(syllables)];
        if (random() % 10 == 0)
            w[0] = static_cast<char>(w[0] - 32);
        if (random() % 12 == 0)
            w += random() % 2 ? "," : "!";
        words.push_back(Ascii(w));
    }
    const std::u16string special[] = {u"😀",          u"👍🏽", u"🎶",      u"日本語",
                                      u"こんにちは", u"音楽",     u"Привет", u"классно"};
    std::vector<std::u16string> nicks;
    for (int i = 0; i < 300; ++i)
        nicks.push_back(Ascii("user" + std::to_string(i * 37 % 1000)));
    StreamChatRowList log;
    log.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::int32_t time = static_cast<std::int32_t>(static_cast<long long>(i) * 10800 / count);
        const std::u16string& nick = nicks[random() % nicks.size()];
        const unsigned kind = random() % 100;
        if (kind < 85) {
            std::u16string text;
            const int n = 3 + static_cast<int>(random() % 18);
            for (int w = 0; w < n; ++w) {
                if (w)
                    text += u' ';
                text += random() % 25 == 0 ? special[random() % std::size(special)]
                                           : words[random() % words.size()];
            }
            log.emplace_back(time, StreamChatRowKind_Message, std::vector<std::u16string_view>{nick, text});
        } else if (kind < 93) {
            log.emplace_back(time, StreamChatRowKind_Join, std::vector<std::u16string_view>{nick});
        } else if (kind < 98) {
            const std::u16string reason = u"Ping timeout: 240 seconds";
            if (kind % 2)
                log.emplace_back(time, StreamChatRowKind_Quit,
                                 std::vector<std::u16string_view>{nick, reason});
            else
                log.emplace_back(time, StreamChatRowKind_Leave, std::vector<std::u16string_view>{nick});
        } else if (kind < 99) {
            const std::u16string action = u"dances to the music";
            log.emplace_back(time, StreamChatRowKind_Action, std::vector<std::u16string_view>{nick, action});
        } else {
            const std::u16string other = nick + u"_away";
            log.emplace_back(time, StreamChatRowKind_NickChange,
                             std::vector<std::u16string_view>{nick, other});
        }
    }
    return log;
}

struct Window {
    platform::HeadlessWindowSystem system;
    MyOwnerWindowBase owner;
    MyWindowBase* root = nullptr;

    Window() {
        owner.Create(&system, u"VantriBench", u"Bench", nullptr, 0, 0, 824, 480);
        auto base = std::make_unique<MyWindowBase>();
        root = base.get();
        owner.root = std::move(base);
        root->Create(&owner.context, 0, 0, owner.clientWidth, owner.clientHeight);
    }
    // A chat panel whose rows are 800 pixels wide, with a font of its own (cold caches).
    MyChatPanel* NewPanel() {
        root->children.clear();
        auto made = std::make_unique<MyChatPanel>(nullptr);
        made->Create(&owner.context, 0, 0, 824, 480);
        return root->AddChild(std::move(made));
    }
};

// SetChatRows, the play position at the middle of the show, and the first paint.
double FirstFrame(Window& window, MyChatPanel* panel, const StreamChatRowList& log) {
    const auto start = Clock::now();
    panel->SetChatRows(&log);
    panel->listBox->SetCurrentRow(static_cast<std::int32_t>(log.size() / 2));
    window.root->Redraw();
    return Milliseconds(Clock::now() - start);
}

void Report(const char* what, std::vector<double> runs) {
    std::sort(runs.begin(), runs.end());
    std::printf("%-58s median %8.2f ms   best %8.2f ms CPU  (%zu runs)\n", what, runs[runs.size() / 2],
                runs.front(), runs.size());
}

} // namespace

int main() {
    Window window;
    for (int count : {50000, 200000}) {
        const StreamChatRowList log = MakeLog(count);
        std::vector<double> cold, warm, clearing;
        for (int run = 0; run < 5; ++run) {
            MyChatPanel* panel = window.NewPanel();
            cold.push_back(FirstFrame(window, panel, log));
            const auto clearStart = Clock::now();
            panel->SetChatRows(nullptr);
            clearing.push_back(Milliseconds(Clock::now() - clearStart));
            warm.push_back(FirstFrame(window, panel, log));
        }
        Report(("SetChatRows " + std::to_string(count) + " rows to first frame, new font").c_str(), cold);
        Report(("SetChatRows " + std::to_string(count) + " rows to first frame, font known").c_str(), warm);
        Report(("Dropping " + std::to_string(count) + " rows").c_str(), clearing);
    }

    const StreamChatRowList log = MakeLog(50000);
    MyChatPanel* panel = window.NewPanel();
    FirstFrame(window, panel, log);
    std::vector<double> rewrap;
    for (int run = 0; run < 10; ++run) {
        const std::int32_t newWidth = run % 2 ? 824 : 624;
        const auto start = Clock::now();
        panel->SetBounds(RECT{0, 0, newWidth, 480});
        window.root->Redraw();
        rewrap.push_back(Milliseconds(Clock::now() - start));
    }
    Report("Re-wrap of 50000 rows after a width change, with repaint", rewrap);

    panel->SetBounds(RECT{0, 0, 824, 480});
    window.root->Redraw();
    std::vector<double> advance;
    std::int32_t current = panel->listBox->currentIndex;
    for (int run = 0; run < 200; ++run) {
        const auto start = Clock::now();
        panel->listBox->SetCurrentRow(++current);
        advance.push_back(Milliseconds(Clock::now() - start));
    }
    Report("Repaint of the 800 x 480 view after the next row is reached", advance);
    panel->listBox->SetShowBeyond(true);
    advance.clear();
    for (int run = 0; run < 200; ++run) {
        const auto start = Clock::now();
        panel->listBox->SetCurrentRow(++current);
        advance.push_back(Milliseconds(Clock::now() - start));
    }
    Report("The same with later rows shown in grey", advance);

    // Heap taken by the rows: an empty panel against one holding the 50,000 rows, painted once.
    MyChatPanel* empty = window.NewPanel();
    empty->SetChatRows(nullptr);
    window.root->Redraw();
    const long long before = benchheap::liveBytes.load();
    empty->SetChatRows(&log);
    empty->listBox->SetCurrentRow(25000);
    window.root->Redraw();
    const long long after = benchheap::liveBytes.load();
    const auto textBytes = static_cast<long long>(empty->listBox->lines.TextBytes());
    const double perRow = static_cast<double>(after - before) / 50000.0;
    const double textPerRow = static_cast<double>(textBytes) / 50000.0;
    std::printf("Heap added by 50000 rows: %.1f bytes a row, of which line text %.1f, the rest %.1f\n",
                perRow, textPerRow, perRow - textPerRow);
    // The panel's channel state index (for the pinned state line) is built with the rows as well.
    long long indexBytes = 0;
    {
        ChatChannelIndex index;
        const long long start = benchheap::liveBytes.load();
        index.Build(&log);
        indexBytes = benchheap::liveBytes.load() - start;
    }
    const double indexPerRow = static_cast<double>(indexBytes) / 50000.0;
    std::printf("  of the rest, the panel's channel state index %.1f and the chat list %.1f\n", indexPerRow,
                perRow - textPerRow - indexPerRow);
    std::printf("  (a line record is %zu bytes, %zu row controls for the view; the font's caches are "
                "included in the total)\n",
                sizeof(ChatLineStore::Line), empty->listBox->RowControlCount());
    return 0;
}
