#include "recording/HugePageAllocator.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>

namespace kws::rec {

namespace {
constexpr size_t kLargeBlock = kLargeBlockBytes;
std::atomic<AllocationFailureHook> g_failureHook{nullptr};
}  // namespace

void SetAllocationFailureHook(AllocationFailureHook hook) { g_failureHook = hook; }

void* AllocateLarge(size_t bytes) {
    if (const AllocationFailureHook hook = g_failureHook.load(); hook != nullptr && hook(bytes))
        throw std::bad_alloc();
    if (bytes < kLargeBlock) return ::operator new(bytes);
    // Map 2 MiB more than needed and trim both ends, so the block starts on a huge-page boundary.
    const size_t mapped = bytes + kLargeBlock;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargeBlock - 1) & ~(uintptr_t{kLargeBlock} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const uintptr_t tail = aligned + ((bytes + 4095) & ~size_t{4095});
    if (start + mapped > tail) ::munmap(reinterpret_cast<void*>(tail), start + mapped - tail);
    void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return p;
}

void FreeLarge(void* p, size_t bytes) {
    if (p == nullptr) return;
    if (bytes < kLargeBlock) {
        ::operator delete(p);
    } else {
        ::munmap(p, bytes);
    }
}

bool MovePages(void* to, void* from, size_t bytes) {
#ifdef MREMAP_DONTUNMAP
    // The source range stays mapped (empty), so no other mapping can take its place before the
    // block it belongs to is released.
    void* moved =
        ::mremap(from, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP, to);
    return moved == to;
#else
    (void)to;
    (void)from;
    (void)bytes;
    return false;
#endif
}

}  // namespace kws::rec
