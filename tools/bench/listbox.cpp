// List box speed: laying out 100,000 rows of varying height in an 800 x 500 view, and repainting the
// view after one wheel notch.

#include "platform/HeadlessWindowSystem.h"
#include "ui/MyListBoxV2.h"
#include "ui/MyOwnerWindowBase.h"
#include "ui/MyWindowBase.h"

#include <benchmark/benchmark.h>

namespace {

// A row like the program's: a background and one line of text, 16 to 48 pixels high.
class BenchRow : public MyListBoxV2ItemBase {
public:
    BenchRow(Font* font, int number) : font(font), number(number) {}
    std::uint16_t MeasureHeight(std::int32_t) override {
        height = static_cast<std::uint16_t>(16 + (number * 7919 % 5) * 8);
        return height;
    }
    void Paint() override {
        Dc& dc = surface->dc;
        FillRect(dc, bounds, CreateSolidBrush(number % 2 ? 0xEBEBEB : 0xF7F7F7));
        Font* old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        RECT area{bounds.left + 4, bounds.top, bounds.right, bounds.bottom};
        DrawTextW(dc, u"12:34 Artist name - Title of the track", &area,
                  DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
        SelectObject(dc, old);
    }
    Font* font;
    int number;
};

struct Fixture {
    Fixture() {
        owner.Create(&system, u"Bench", u"Bench", nullptr, 0, 0, 800, 500);
        auto root = std::make_unique<MyWindowBase>();
        MyWindowBase* r = root.get();
        owner.root = std::move(root);
        r->Create(&owner.context, 0, 0, 800, 500);
        font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                           0, 0, u"Arial");
        auto made = std::make_unique<MyListBoxV2>();
        made->Create(&owner.context, 0, 0, 800, 500);
        list = r->AddChild(std::move(made));
        for (int i = 0; i < 100000; ++i) {
            auto row = std::make_unique<BenchRow>(font.get(), i);
            row->Create(&owner.context, 0, 0, 0, 0);
            list->AddRow(std::move(row));
        }
        list->Redraw();
    }
    platform::HeadlessWindowSystem system;
    MyOwnerWindowBase owner;
    std::unique_ptr<Font> font;
    MyListBoxV2* list = nullptr;
};

Fixture& Shared() {
    static Fixture fixture; // built once: 100,000 rows take a while to create
    return fixture;
}

void BM_Relayout100kRows(benchmark::State& state) {
    Fixture& f = Shared();
    for (auto _ : state) {
        f.list->Relayout();
        benchmark::DoNotOptimize(f.list->contentHeight);
    }
    state.counters["rows"] = 100000;
}
BENCHMARK(BM_Relayout100kRows)->Unit(benchmark::kMillisecond);

void BM_RepaintAfterOneWheelNotch(benchmark::State& state) {
    Fixture& f = Shared();
    f.list->ScrollTo(f.list->contentHeight / 2);
    bool down = true;
    for (auto _ : state) {
        // One notch down, then one up, so the view stays in the middle of the content.
        f.list->OnMouseWheel(POINT{10, 10}, down ? 65416u : 120u);
        down = !down;
    }
}
BENCHMARK(BM_RepaintAfterOneWheelNotch)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
