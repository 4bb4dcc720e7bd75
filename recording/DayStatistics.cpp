#include "recording/DayStatistics.h"

#include <algorithm>
#include <thread>

#include "recording/LocalTime.h"
#include "recording/ParallelScan.h"

namespace kws::rec {

namespace {

// The first data sample in [begin, end), or `end`.
size_t FirstData(const SampleMarks& marks, size_t begin, size_t end) {
    const std::vector<IndexRun>& runs = marks.notData;
    auto run = std::upper_bound(runs.begin(), runs.end(), begin,
                                [](size_t i, const IndexRun& r) { return i < r.end; });
    size_t i = begin;
    if (run != runs.end() && run->begin <= i) i = run->end;
    return std::min(i, end);
}

// The last data sample in [begin, end), or `end` when there is none.
size_t LastData(const SampleMarks& marks, size_t begin, size_t end) {
    if (begin >= end) return end;
    const std::vector<IndexRun>& runs = marks.notData;
    // The run that holds end - 1, if any.
    auto run = std::upper_bound(runs.begin(), runs.end(), end - 1,
                                [](size_t i, const IndexRun& r) { return i < r.end; });
    size_t last = end - 1;
    if (run != runs.end() && run->begin <= last) {
        if (run->begin <= begin) return end;
        last = run->begin - 1;
    }
    return last;
}

// The local days that the times of the records [begin, end) touch, with their record ranges.
template <typename Samples>
std::vector<DayStatistics> SplitIntoDays(const Samples& samples, size_t begin, size_t end) {
    std::vector<DayStatistics> days;
    if (begin >= end) return days;
    LocalFields first{};
    if (!LocalFieldsOf(samples[begin].time, first)) return days;
    LocalTimeConverter converter;
    int64_t dayNumber = DaysFromCivil(first.year, first.month, first.day);
    auto midnight = [&converter](int64_t number, int64_t& out) {
        const CivilDate d = CivilFromDays(number);
        return converter.ToTime(d.year, d.month, d.day, 0, 0, 0, out);
    };
    int64_t start;
    if (!midnight(dayNumber, start)) return days;
    size_t i = begin;
    while (i < end) {
        int64_t next;
        if (!midnight(dayNumber + 1, next)) next = start + 86400;
        next = std::max(next, start + 1);
        // Record times ascend, so the day ends at the first record of the next day.
        size_t stop = i;
        for (size_t hi = end; stop < hi;) {
            const size_t mid = stop + (hi - stop) / 2;
            if (samples[mid].time < next) {
                stop = mid + 1;
            } else {
                hi = mid;
            }
        }
        DayStatistics day;
        const CivilDate date = CivilFromDays(dayNumber);
        day.year = date.year;
        day.month = date.month;
        day.day = date.day;
        day.dayStart = start;
        day.dayEnd = next;
        day.begin = i;
        day.end = stop;
        days.push_back(day);
        i = day.end;
        start = next;
        ++dayNumber;
    }
    return days;
}

template <typename Samples>
std::vector<DayStatistics> ComputeDays(const Samples& samples, const SampleMarks& marks,
                                       int layoutFlag, size_t begin, size_t end,
                                       StatisticsOptions options) {
    end = std::min(end, samples.size());
    begin = std::min(begin, end);
    std::vector<DayStatistics> days = SplitIntoDays(samples, begin, end);
    if (days.empty()) return days;

    // Days are shared out over two threads by whole days, the two shares holding about as many
    // records each; inside a share every day takes one thread. A single day keeps the window
    // statistics' own sharing.
    const bool twoThreads = days.size() > 1 &&
                            end - begin >= std::max<size_t>(options.twoThreadsFrom, 2) &&
                            std::thread::hardware_concurrency() > 1;
    auto compute = [&](size_t from, size_t to, StatisticsOptions dayOptions) {
        for (size_t d = from; d < to; ++d) {
            days[d].figures = ComputeStatistics(samples, marks, layoutFlag, days[d].begin,
                                                days[d].end, nullptr, dayOptions);
        }
    };
    if (twoThreads) {
        const size_t middle = begin + (end - begin) / 2;
        size_t seam = 1;
        while (seam + 1 < days.size() && days[seam].end <= middle) ++seam;
        StatisticsOptions oneThread;
        oneThread.twoThreadsFrom = SIZE_MAX;
        RunParts(2, [&](int part) {
            if (part == 0) {
                compute(0, seam, oneThread);
            } else {
                compute(seam, days.size(), oneThread);
            }
        });
    } else {
        compute(0, days.size(), options);
    }

    // Gaps across midnight: between the last data sample of one day with data and the first
    // data sample of the next day with data.
    size_t previousLast = end;  // the last data sample so far, `end` before the first
    DayStatistics* previousDay = nullptr;
    for (DayStatistics& day : days) {
        const size_t first = FirstData(marks, day.begin, day.end);
        if (first >= day.end) continue;
        if (previousLast != end &&
            samples[first].time - samples[previousLast].time > day.figures.gapThreshold) {
            day.gapIntoDay = true;
            previousDay->gapOutOfDay = true;
        }
        previousLast = LastData(marks, first, day.end);
        previousDay = &day;
    }
    return days;
}

}  // namespace

std::vector<DayStatistics> ComputeDailyStatistics(const SampleArray& samples,
                                                  const SampleMarks& marks, int layoutFlag,
                                                  size_t begin, size_t end,
                                                  StatisticsOptions options) {
    return ComputeDays(samples, marks, layoutFlag, begin, end, options);
}

std::vector<DayStatistics> ComputeDailyStatistics(const SampleStore& samples,
                                                  const SampleMarks& marks, int layoutFlag,
                                                  size_t begin, size_t end,
                                                  StatisticsOptions options) {
    return ComputeDays(samples, marks, layoutFlag, begin, end, options);
}

}  // namespace kws::rec
