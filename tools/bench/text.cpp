// Drawing one 40-character line with DrawTextW and a font made once.

#include "ui/Gdi.h"
#include "ui/MySurface.h"

#include <benchmark/benchmark.h>

namespace {

void BM_DrawText40Characters(benchmark::State& state) {
    MySurface surface;
    surface.ResizeSurface(nullptr, 400, 20);
    auto font = CreateFontW(14, 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0,
                            0, 0, u"Arial");
    SelectObject(surface.dc, font.get());
    SetBkMode(surface.dc, TRANSPARENT);
    const std::u16string lines[2] = {u"The evening show with listeners' songs 1",
                                     u"The evening show with listeners' songs 2"};
    int i = 0;
    for (auto _ : state) {
        RECT r{0, 0, 400, 20};
        // Alternating texts, so no run is served from the last layout alone.
        benchmark::DoNotOptimize(DrawTextW(surface.dc, lines[i++ & 1], &r,
                                           DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS));
    }
}
BENCHMARK(BM_DrawText40Characters)->Unit(benchmark::kMicrosecond);

void BM_MeasureText40Characters(benchmark::State& state) {
    MySurface surface;
    surface.ResizeSurface(nullptr, 400, 20);
    auto font = CreateFontW(16, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS,
                            0, 0, 0, u"Arial");
    SelectObject(surface.dc, font.get());
    const std::u16string lines[2] = {u"The evening show with listeners' songs 1",
                                     u"The evening show with listeners' songs 2"};
    int i = 0;
    for (auto _ : state) {
        RECT r{0, 0, 0, 0};
        benchmark::DoNotOptimize(
            DrawTextW(surface.dc, lines[i++ & 1], &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX));
    }
}
BENCHMARK(BM_MeasureText40Characters)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
