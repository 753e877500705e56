#pragma once
// Live and peak heap bytes of a benchmark program, counted by replacing the global allocation functions
// (HeapCount.cpp, linked only into the benchmarks that read these): each block carries its size in a
// 16-byte prefix.

#include <atomic>

namespace benchheap {

extern std::atomic<long long> liveBytes;
// The most `liveBytes` reached since it was last set (set it to the live bytes to start a measure).
extern std::atomic<long long> peakBytes;

} // namespace benchheap
