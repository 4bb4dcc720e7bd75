#include "recording/ParallelScan.h"

#include <algorithm>
#include <string_view>

#include "recording/LineOps.h"

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

bool StartPartsAtPlainTimes(ByteSource& source, std::vector<uint64_t>& bounds, int& error) {
    // From the last boundary back, so that each one is limited by the final place of the next.
    LocalTimeConverter converter;
    for (size_t i = bounds.size() >= 2 ? bounds.size() - 2 : 0; i >= 1; --i) {
        const uint64_t limit = bounds[i + 1];
        LineReader reader(source, bounds[i], limit);
        std::string_view line;
        for (;;) {
            const uint64_t at = reader.Position();
            if (!reader.Next(line)) {
                if (reader.Failed()) {
                    error = reader.Error();
                    return false;
                }
                bounds[i] = limit == UINT64_MAX ? reader.Position() : limit;
                break;
            }
            int64_t t;
            bool repeated = false;
            if (IsDataLine(line) && ParseTimeStamp(line, t, converter, std::nullopt, &repeated) &&
                !repeated) {
                bounds[i] = at;
                break;
            }
        }
    }
    return true;
}

}  // namespace kws::rec
