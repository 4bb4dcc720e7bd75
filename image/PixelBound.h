// The plausibility bound every bitmap reader applies before it allocates a pixel block.
#pragma once

#include <cstdint>

namespace kws::img {

// Upper bound of any pixel block: images beyond 1 GiB are refused.
inline constexpr uint64_t kMaxPixelBytes = 1ull << 30;

// Whether a header that declares `declared` bytes of pixels may be believed when the data holds
// `present` bytes from where the pixels start. A short file loads with its missing rows blank,
// but a header that claims far more than the file holds is a lie, not a truncation: it would
// make a tiny file allocate gigabytes.
constexpr bool PixelBlockPlausible(uint64_t declared, uint64_t present) {
    return declared <= kMaxPixelBytes && declared <= 4 * present + 65536;
}

}  // namespace kws::img
