// Allocator for large arrays of plain records: blocks of 2 MiB and more come straight from
// mmap with transparent huge pages requested, which cuts the page faults of filling millions of
// records by a factor of 512. Smaller blocks use operator new.
#pragma once

#include <cstddef>
#include <new>

namespace kws::rec {

// Throws std::bad_alloc when the memory cannot be had.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* p, size_t bytes);

// Test hook: asked with the size before every allocation of AllocateLarge; returning true makes
// that allocation fail as if the system had no memory left. Empty (the default): never asked.
using AllocationFailureHook = bool (*)(size_t bytes);
void SetAllocationFailureHook(AllocationFailureHook hook);

template <typename T>
struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { FreeLarge(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
};

}  // namespace kws::rec
