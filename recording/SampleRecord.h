#pragma once

#include <cstdint>
#include <vector>

#include "recording/HugePageAllocator.h"

namespace kws::rec {

// One evaluated second of a recording: the six values of its layout and its time in seconds
// since 1970-01-01 00:00:00 UTC.
struct SampleRecord {
    double value[6];
    int64_t time;
};

// Samples in time order. Month-long windows hold millions of records, hence the allocator.
using SampleArray = std::vector<SampleRecord, HugePageAllocator<SampleRecord>>;

// Layout flag of a recording: 1 for the three-curve layout, 0 for the six-curve layout.
inline constexpr int kThreeCurveLayout = 1;
inline constexpr int kSixCurveLayout = 0;

}  // namespace kws::rec
