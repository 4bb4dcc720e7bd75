// Figures of an evaluated window or of a stretch of it: per curve minimum, maximum and mean; the
// recorded and the missing time; hot water drawn and the draws; pump running times and starts.
// Computed in one pass over a range of sample indices, so that the whole window and the part of
// it a graph shows (x = sample index) use the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recording/SampleMarks.h"
#include "recording/SampleRecord.h"
#include "recording/SampleStore.h"

namespace kws::rec {

// String-table ids of the names of a layout's curves in legend order (curve i shows value slot
// i): three for the three-curve layout, six otherwise. The figures use the graph's rules for
// the values: exactly -250.0 and 250.0 count as 0.0, except for the circulation pump (curve 5
// of the six-curve layout), whose -25.0 is no point.
std::vector<int> CurveNameIds(int layoutFlag);

struct CurveStatistics {
    size_t count = 0;  // data samples that gave the curve a point
    double min = 0.0, max = 0.0, mean = 0.0;
    int64_t minTime = 0, maxTime = 0;  // where the minimum and maximum first occur
};

// A run of consecutive data samples with flow > 0 (a gap ends it).
struct DrawEvent {
    int64_t start;      // time of its first sample
    size_t firstIndex;  // index of its first sample
    int64_t seconds;    // its data samples times the step
    double litres;
    double minTemperature, meanTemperature;  // hot-water temperature during the draw
};

struct WindowStatistics {
    int64_t step = 1;             // seconds each data sample stands for: 1, or 8 when thinned
    int64_t gapThreshold = 2;     // data samples further apart than this are a gap: 2, or 9
    size_t dataSamples = 0;       // records in the range that are data samples
    int64_t recordedSeconds = 0;  // data samples times the step
    int64_t gaps = 0;
    int64_t missingSeconds = 0;  // per gap: the distance of its two samples less one step
    double hotWaterLitres = 0.0;
    int64_t draws = 0;
    int64_t longestDrawSeconds = 0;
    int64_t pumpSeconds = 0;  // hot-water pump (three-curve: pump speed) above 0
    int64_t pumpStarts = 0;
    bool hasCirculation = false;  // six-curve layout only
    int64_t circulationSeconds = 0;
    int64_t circulationStarts = 0;
    std::vector<CurveStatistics> curves;  // legend order
};

struct StatisticsOptions {
    // Ranges of at least this many records are scanned in two halves on two threads (when the
    // machine has two); the pass is otherwise bound by the processor, not the memory.
    size_t twoThreadsFrom = size_t{1} << 20;
};

// Statistics of the records [begin, end) of an evaluation (clamped to the array). Records that
// `marks` names as fillers or padding are left out. When `draws` is given, it receives the draw
// events of the range in time order.
WindowStatistics ComputeStatistics(const SampleArray& samples, const SampleMarks& marks,
                                   int layoutFlag, size_t begin, size_t end,
                                   std::vector<DrawEvent>* draws = nullptr,
                                   StatisticsOptions options = {});
// The same over the records of a store that may have grown since the evaluation.
WindowStatistics ComputeStatistics(const SampleStore& samples, const SampleMarks& marks,
                                   int layoutFlag, size_t begin, size_t end,
                                   std::vector<DrawEvent>* draws = nullptr,
                                   StatisticsOptions options = {});

}  // namespace kws::rec
