// Allocator for large arrays of plain records: blocks of 2 MiB and more come straight from
// mmap with transparent huge pages requested, which cuts the page faults of filling millions of
// records by a factor of 512. Smaller blocks use operator new.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace kws::rec {

// Throws std::bad_alloc when the memory cannot be had.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* p, size_t bytes);

// Blocks from this size on are whole memory pages of their own.
inline constexpr size_t kLargeBlockBytes = 2u << 20;
inline constexpr size_t kPageBytes = 4096;

// Hands the memory pages [from, from + bytes) of one large block over to [to, to + bytes) inside
// another, without copying; `from` stays mapped but empty. Both ends and `bytes` are whole pages.
// False when the system cannot (nothing has changed then).
bool MovePages(void* to, void* from, size_t bytes);

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
    // An element made without a value is left as the memory holds it (default-initialised, as in
    // a plain array), so that resizing a large array writes nothing; one made from a value is
    // made as usual.
    template <typename U>
    void construct(U* p) noexcept(noexcept(U())) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
};

}  // namespace kws::rec
