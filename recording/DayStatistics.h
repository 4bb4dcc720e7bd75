// Figures of each local calendar day of an evaluated window: the same figures as the window
// statistics, each day's computed over that day's records alone, so that a day reads exactly as
// the window statistics of a window cut to it. Days run from local midnight to local midnight
// (23 or 25 hours at the clock changes); the first and the last day hold only the part of them
// inside the window; every day in between has its row, with or without data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recording/SampleMarks.h"
#include "recording/SampleRecord.h"
#include "recording/WindowStatistics.h"

namespace kws::rec {

struct DayStatistics {
    int64_t year = 0;
    int month = 0, day = 0;
    int64_t dayStart = 0, dayEnd = 0;  // local midnight and the next one
    size_t begin = 0, end = 0;         // the day's records [begin, end)
    // A gap of the data crosses the day's first (last) midnight: the data sample before the
    // day's first data sample lies further back than the gap threshold (the one after its last
    // lies further on). The day's own figures cannot count such a gap.
    bool gapIntoDay = false, gapOutOfDay = false;
    WindowStatistics figures;

    // Whether the day misses data inside the window: a gap within it or across its midnights,
    // or no data sample at all.
    bool MissesData() const {
        return figures.gaps > 0 || gapIntoDay || gapOutOfDay || figures.dataSamples == 0;
    }
};

// The days of the records [begin, end) (clamped to the array), in calendar order, from the day
// of the first record to the day of the last. Long windows are shared out over two threads by
// whole days.
std::vector<DayStatistics> ComputeDailyStatistics(const SampleArray& samples,
                                                  const SampleMarks& marks, int layoutFlag,
                                                  size_t begin, size_t end,
                                                  StatisticsOptions options = {});
// The same over the records of a store that may have grown since the evaluation.
std::vector<DayStatistics> ComputeDailyStatistics(const SampleStore& samples,
                                                  const SampleMarks& marks, int layoutFlag,
                                                  size_t begin, size_t end,
                                                  StatisticsOptions options = {});

}  // namespace kws::rec
