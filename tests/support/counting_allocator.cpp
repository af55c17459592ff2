#include "tests/support/counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace cmp {

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

// Each block carries its size in front, kept at the strictest fundamental alignment.
constexpr std::size_t Header = alignof(std::max_align_t);

}  // namespace

void* CountedAllocate(std::size_t size) {
    void* block = std::malloc(size + Header);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const long long live = liveBytes += static_cast<long long>(size);
    long long peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + Header;
}

void CountedFree(void* memory) noexcept {
    if (memory != nullptr) {
        void* block = static_cast<char*>(memory) - Header;
        liveBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
        std::free(block);
    }
}

long long LiveBytes() {
    return liveBytes.load();
}

long long PeakBytes() {
    return peakBytes.load();
}

void ResetPeakBytes() {
    peakBytes = liveBytes.load();
}

}  // namespace cmp

void* operator new(std::size_t size) {
    return cmp::CountedAllocate(size);
}
void* operator new[](std::size_t size) {
    return cmp::CountedAllocate(size);
}
void operator delete(void* memory) noexcept {
    cmp::CountedFree(memory);
}
void operator delete[](void* memory) noexcept {
    cmp::CountedFree(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    cmp::CountedFree(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    cmp::CountedFree(memory);
}
// The nothrow forms too: a runtime that supplies its own (AddressSanitizer does) would
// otherwise hand our delete a block it never counted.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return cmp::CountedAllocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
    return operator new(size, nothrow);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    cmp::CountedFree(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    cmp::CountedFree(memory);
}
