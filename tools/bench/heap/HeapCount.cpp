#include "HeapCount.h"

#include <cstdlib>
#include <new>

namespace benchheap {
std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};
} // namespace benchheap

namespace {
constexpr std::size_t kPrefix = 16;

void* Allocate(std::size_t size) {
    void* raw = std::malloc(size + kPrefix);
    if (!raw)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(raw) = size;
    const long long now = benchheap::liveBytes += static_cast<long long>(size);
    long long peak = benchheap::peakBytes.load();
    while (now > peak && !benchheap::peakBytes.compare_exchange_weak(peak, now)) {
    }
    return static_cast<char*>(raw) + kPrefix;
}

void Release(void* p) {
    if (!p)
        return;
    void* raw = static_cast<char*>(p) - kPrefix;
    benchheap::liveBytes -= static_cast<long long>(*static_cast<std::size_t*>(raw));
    std::free(raw);
}
} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
