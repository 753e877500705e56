// Figures for the settings store and the link helpers: a save is written whole, synchronously, on the
// user-interface thread at every change (once per window-move message while dragging), so its cost is
// the one that matters. Each save flushes the new file to the disk before renaming it over the old one.

#include "app/Links.h"
#include "app/MySettings.h"
#include "support/ScratchFolder.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SettingsSave(benchmark::State& state) {
    testsupport::ScratchFolder scratch;
    MySettings settings(scratch.text());
    for (auto _ : state) {
        ++settings.windowRect.left;
        benchmark::DoNotOptimize(settings.Save());
    }
}
BENCHMARK(BM_SettingsSave)->Unit(benchmark::kMicrosecond);

void BM_SettingsLoad(benchmark::State& state) {
    testsupport::ScratchFolder scratch;
    MySettings(scratch.text()).Save();
    for (auto _ : state) {
        MySettings settings(scratch.text());
        benchmark::DoNotOptimize(settings.lastSecond);
    }
}
BENCHMARK(BM_SettingsLoad)->Unit(benchmark::kMicrosecond);

void BM_ParseLink(benchmark::State& state) {
    const std::u16string link = u"http://links.example/" + MakeTrackLink(123456, 7890, 5025) + u" kpwx318";
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseLink(link));
}
BENCHMARK(BM_ParseLink);

void BM_FormatDateTime(benchmark::State& state) {
    std::uint32_t t = 1700000000;
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatDateTime(t += 61));
}
BENCHMARK(BM_FormatDateTime);

void BM_FormatDuration(benchmark::State& state) {
    std::int64_t s = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatDuration(s += 7));
}
BENCHMARK(BM_FormatDuration);

} // namespace

BENCHMARK_MAIN();
