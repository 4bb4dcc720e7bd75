#include "recording/ParallelScan.h"

#include <algorithm>

namespace kws::rec {

int ChooseParts(uint64_t bytes, int threads) {
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, 8);
    constexpr uint64_t kMinPartBytes = 8u << 20;
    return static_cast<int>(std::clamp<uint64_t>(bytes / kMinPartBytes, 1, threads));
}

std::vector<uint64_t> SplitAtLines(ByteSource& source, uint64_t begin, uint64_t end, int parts,
                                   int& error) {
    std::vector<uint64_t> bounds{begin};
    for (int i = 1; i < parts; ++i) {
        const uint64_t guess = begin + (end - begin) * static_cast<uint64_t>(i) / parts;
        const uint64_t b = NextLineStart(source, std::max(guess, bounds.back()), error);
        if (error != 0) return {};
        bounds.push_back(b);
    }
    bounds.push_back(UINT64_MAX);
    return bounds;
}

}  // namespace kws::rec
