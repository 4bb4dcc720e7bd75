#include "recording/WindowStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "recording/ParallelScan.h"

namespace kws::rec {

std::vector<int> CurveNameIds(int layoutFlag) {
    if (layoutFlag == kThreeCurveLayout) return {127, 128, 129};
    return {130, 131, 127, 129, 132, 133};
}

namespace {

// Exactly -250.0 and 250.0 are drawn as 0.0.
inline double Drawn(double v) { return std::fabs(v) == 250.0 ? 0.0 : v; }

// Minimum, maximum (where each first occurs) and sum of one curve.
struct Limits {
    double min = HUGE_VAL, max = -HUGE_VAL, sum = 0.0;
    int64_t minTime = 0, maxTime = 0;
    bool minSeen = false, maxSeen = false;  // a value passed the comparison

    // Limits of the samples after these: ties keep the earlier time.
    void Merge(const Limits& later) {
        if (later.min < min) {
            min = later.min;
            minTime = later.minTime;
            minSeen = true;
        }
        if (later.max > max) {
            max = later.max;
            maxTime = later.maxTime;
            maxSeen = true;
        }
        sum += later.sum;
    }
};

// Samples and starts of runs of a condition (a pump running).
struct RunCount {
    bool on = false;
    int64_t samples = 0, starts = 0;

    void Take(bool condition) {
        samples += condition;
        starts += condition && !on;
        on = condition;
    }
};

// What one stretch of samples yields on its own.
struct Partial {
    size_t data = 0, circulationPoints = 0;
    int64_t firstTime = 0, lastTime = 0;  // of its first and last data sample
    int64_t gaps = 0, missing = 0;
    RunCount pump, circulation;
    double flowSum = 0.0;
    int64_t drawCount = 0, longestDraw = 0;  // in samples
    Limits limits[6];
};

// Whether nothing runs at a sample: no flow, the pump and the circulation pump off. A stretch
// that starts at such a sample continues no run of the stretch before it.
template <bool kSix>
bool Quiet(const SampleRecord& r) {
    constexpr int kFlow = kSix ? 3 : 2, kPump = kSix ? 4 : 1;
    return !(Drawn(r.value[kFlow]) > 0.0) && !(Drawn(r.value[kPump]) > 0.0) &&
           !(kSix && r.value[5] > 100.0);
}

// Two values side by side, handled by one instruction where the machine has them.
using Pair = double __attribute__((vector_size(16)));
using PairBits = int64_t __attribute__((vector_size(16)));

inline Pair LoadPair(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Both values as drawn: exactly -250.0 and 250.0 become 0.0.
inline Pair DrawnPair(Pair v) {
    const PairBits bits = (PairBits)v;
    const Pair magnitude = (Pair)(bits & PairBits{INT64_MAX, INT64_MAX});
    const PairBits special = magnitude == Pair{250.0, 250.0};
    return (Pair)(bits & ~special);
}

// Curve c of a record as the graph draws it; at -25.0 the circulation pump (six-curve curve 5)
// draws no point, and `none` stands in.
template <bool kSix>
inline double CurveValue(const SampleRecord& r, int c, double none) {
    if (kSix && c == 5) return r.value[5] == -25.0 ? none : r.value[5];
    return Drawn(r.value[c]);
}

// Data samples are taken in blocks: the limits of a block come from branch-free minimum and
// maximum, and only a block that holds a new limit is read again (from the cache) for where it
// first occurs.
constexpr size_t kBlock = 64;

// The pass over the data samples of [begin, end) for one layout; curve i is value slot i in
// both layouts. The state lives in locals so that the loop keeps it in registers.
template <bool kSix, typename Samples>
void Scan(const Samples& samples, const SampleMarks& marks, size_t begin, size_t end, int64_t step,
          int64_t threshold, std::vector<DrawEvent>* draws, Partial& out) {
    constexpr int kCurves = kSix ? 6 : 3;
    constexpr int kPairs = kSix ? 3 : 2;
    constexpr Pair kHigh = {HUGE_VAL, HUGE_VAL}, kLow = {-HUGE_VAL, -HUGE_VAL};
    Limits limits[kCurves];
    Pair sums[kPairs] = {};
    size_t data = 0, circulationPoints = 0;
    int64_t gaps = 0, missing = 0, previous = 0, firstTime = 0;
    RunCount pump, circulation;
    double flowSum = 0.0;
    bool inDraw = false;
    int64_t drawSamples = 0, drawCount = 0, longestDraw = 0;
    DrawEvent draw{};
    auto endDraw = [&] {
        inDraw = false;
        ++drawCount;
        longestDraw = std::max(longestDraw, drawSamples);
        if (draws == nullptr) return;
        draw.seconds = drawSamples * step;
        draw.litres *= static_cast<double>(step) / 60.0;
        draw.meanTemperature /= static_cast<double>(drawSamples);
        draws->push_back(draw);
    };

    const std::vector<IndexRun>& runs = marks.notData;
    // The first run of fillers or padding that ends after `begin`.
    auto run = std::upper_bound(runs.begin(), runs.end(), begin,
                                [](size_t i, const IndexRun& r) { return i < r.end; });
    size_t i = begin;
    while (i < end) {
        if (run != runs.end() && run->begin <= i) {
            i = std::max(i, run->end);
            ++run;
            continue;
        }
        const size_t stop = run != runs.end() ? std::min(end, run->begin) : end;
        if (data == 0 && i < stop) firstTime = previous = samples[i].time;
        while (i < stop) {
            const size_t from = i, to = std::min(stop, i + kBlock);
            Pair lo[kPairs], hi[kPairs];
            for (int k = 0; k < kPairs; ++k) {
                lo[k] = kHigh;
                hi[k] = kLow;
            }
            data += to - from;
            for (; i < to; ++i) {
                const SampleRecord& r = samples[i];
                // Data samples further apart than the threshold are a gap; it ends every run.
                if (r.time - previous > threshold) [[unlikely]] {
                    ++gaps;
                    missing += r.time - previous - step;
                    if (inDraw) endDraw();
                    pump.on = circulation.on = false;
                }
                previous = r.time;
                Pair v[kPairs];
                v[0] = DrawnPair(LoadPair(r.value));
                v[1] = DrawnPair(LoadPair(r.value + 2));
                for (int k = 0; k < 2; ++k) {
                    lo[k] = v[k] < lo[k] ? v[k] : lo[k];
                    hi[k] = v[k] > hi[k] ? v[k] : hi[k];
                    sums[k] += v[k];
                }
                if constexpr (kSix) {
                    // The circulation pump keeps its values; at -25.0 it draws no point.
                    const Pair raw = LoadPair(r.value + 4);
                    v[2] = Pair{DrawnPair(raw)[0], raw[1]};
                    const PairBits none = v[2] == Pair{NAN, -25.0};
                    lo[2] = v[2] < lo[2] && !none ? v[2] : lo[2];
                    hi[2] = v[2] > hi[2] && !none ? v[2] : hi[2];
                    sums[2] += none ? Pair{} : v[2];
                    circulationPoints += raw[1] != -25.0;
                    circulation.Take(raw[1] > 100.0);
                }
                pump.Take((kSix ? v[2][0] : v[0][1]) > 0.0);
                const double flow = kSix ? v[1][1] : v[1][0];
                if (flow > 0.0) {
                    flowSum += flow;
                    const double temperature = kSix ? v[1][0] : v[0][0];
                    if (!inDraw) {
                        inDraw = true;
                        draw = {r.time, i, 0, 0.0, temperature, 0.0};
                        drawSamples = 0;
                    }
                    ++drawSamples;
                    draw.litres += flow;
                    draw.minTemperature = std::min(draw.minTemperature, temperature);
                    draw.meanTemperature += temperature;
                } else if (inDraw) {
                    endDraw();
                }
            }
            // A new limit in this block: where it first occurs.
            for (int c = 0; c < kCurves; ++c) {
                Limits& l = limits[c];
                const double blockMin = lo[c / 2][c % 2], blockMax = hi[c / 2][c % 2];
                if (blockMin < l.min) {
                    size_t j = from;
                    while (CurveValue<kSix>(samples[j], c, HUGE_VAL) != blockMin) ++j;
                    l.min = blockMin;
                    l.minTime = samples[j].time;
                    l.minSeen = true;
                }
                if (blockMax > l.max) {
                    size_t j = from;
                    while (CurveValue<kSix>(samples[j], c, -HUGE_VAL) != blockMax) ++j;
                    l.max = blockMax;
                    l.maxTime = samples[j].time;
                    l.maxSeen = true;
                }
            }
        }
    }
    if (inDraw) endDraw();
    for (int c = 0; c < kCurves; ++c) limits[c].sum = sums[c / 2][c % 2];

    out.data = data;
    out.circulationPoints = circulationPoints;
    out.firstTime = firstTime;
    out.lastTime = previous;
    out.gaps = gaps;
    out.missing = missing;
    out.pump = pump;
    out.circulation = circulation;
    out.flowSum = flowSum;
    out.drawCount = drawCount;
    out.longestDraw = longestDraw;
    std::copy(std::begin(limits), std::end(limits), out.limits);
}

// Adds the stretch that follows `a` and starts at a quiet data sample.
void Merge(Partial& a, const Partial& b, int64_t step, int64_t threshold) {
    if (b.data == 0) return;
    if (a.data == 0) {
        a = b;
        return;
    }
    if (b.firstTime - a.lastTime > threshold) {
        ++a.gaps;
        a.missing += b.firstTime - a.lastTime - step;
    }
    a.data += b.data;
    a.circulationPoints += b.circulationPoints;
    a.lastTime = b.lastTime;
    a.gaps += b.gaps;
    a.missing += b.missing;
    a.pump.samples += b.pump.samples;
    a.pump.starts += b.pump.starts;
    a.circulation.samples += b.circulation.samples;
    a.circulation.starts += b.circulation.starts;
    a.flowSum += b.flowSum;
    a.drawCount += b.drawCount;
    a.longestDraw = std::max(a.longestDraw, b.longestDraw);
    for (int c = 0; c < 6; ++c) a.limits[c].Merge(b.limits[c]);
}

// A long range is scanned in two halves on two threads; the second half starts at a quiet data
// sample found near the middle (within this many records), so that no run crosses the seam.
constexpr size_t kQuietSearch = size_t{1} << 16;

template <bool kSix, typename Samples>
size_t QuietSeam(const Samples& samples, const SampleMarks& marks, size_t begin, size_t end) {
    const size_t middle = begin + (end - begin) / 2;
    const size_t last = std::min(end, middle + kQuietSearch);
    for (size_t j = middle; j < last; ++j) {
        if (Quiet<kSix>(samples[j]) && marks.IsData(j)) return j;
    }
    return end;
}

// Time of the first point of a curve in [begin, end): where a limit that no value passed (all
// points +inf or -inf) first occurs.
template <bool kSix, typename Samples>
int64_t FirstPointTime(const Samples& samples, const SampleMarks& marks, size_t begin, size_t end,
                       int curve) {
    for (size_t j = begin; j < end; ++j) {
        if (kSix && curve == 5 && samples[j].value[5] == -25.0) continue;
        if (marks.IsData(j)) return samples[j].time;
    }
    return 0;
}

template <bool kSix, typename Samples>
void Compute(const Samples& samples, const SampleMarks& marks, size_t begin, size_t end,
             std::vector<DrawEvent>* draws, size_t twoThreadsFrom, WindowStatistics& s) {
    constexpr int kCurves = kSix ? 6 : 3;
    const int64_t step = s.step, threshold = s.gapThreshold;
    Partial whole;
    const size_t seam = end - begin >= std::max<size_t>(twoThreadsFrom, 2) &&
                                std::thread::hardware_concurrency() > 1
                            ? QuietSeam<kSix>(samples, marks, begin, end)
                            : end;
    if (seam == end) {
        Scan<kSix>(samples, marks, begin, end, step, threshold, draws, whole);
    } else {
        Partial second;
        std::vector<DrawEvent> secondDraws;
        RunParts(2, [&](int part) {
            if (part == 0) {
                Scan<kSix>(samples, marks, begin, seam, step, threshold, draws, whole);
            } else {
                Scan<kSix>(samples, marks, seam, end, step, threshold,
                           draws != nullptr ? &secondDraws : nullptr, second);
            }
        });
        Merge(whole, second, step, threshold);
        if (draws != nullptr) draws->insert(draws->end(), secondDraws.begin(), secondDraws.end());
    }

    s.dataSamples = whole.data;
    s.recordedSeconds = static_cast<int64_t>(whole.data) * step;
    s.gaps = whole.gaps;
    s.missingSeconds = whole.missing;
    s.hotWaterLitres = whole.flowSum * static_cast<double>(step) / 60.0;
    s.draws = whole.drawCount;
    s.longestDrawSeconds = whole.longestDraw * step;
    s.pumpSeconds = whole.pump.samples * step;
    s.pumpStarts = whole.pump.starts;
    s.hasCirculation = kSix;
    s.circulationSeconds = whole.circulation.samples * step;
    s.circulationStarts = whole.circulation.starts;
    s.curves.assign(kCurves, CurveStatistics{});
    for (int c = 0; c < kCurves; ++c) {
        const Limits& l = whole.limits[c];
        CurveStatistics& out = s.curves[static_cast<size_t>(c)];
        out.count = kSix && c == 5 ? whole.circulationPoints : whole.data;
        if (out.count == 0) continue;
        out.min = l.min;
        out.max = l.max;
        out.mean = l.sum / static_cast<double>(out.count);
        out.minTime = l.minSeen ? l.minTime : FirstPointTime<kSix>(samples, marks, begin, end, c);
        out.maxTime = l.maxSeen ? l.maxTime : FirstPointTime<kSix>(samples, marks, begin, end, c);
    }
}

}  // namespace

namespace {

template <typename Samples>
WindowStatistics ComputeOver(const Samples& samples, const SampleMarks& marks, int layoutFlag,
                             size_t begin, size_t end, std::vector<DrawEvent>* draws,
                             StatisticsOptions options) {
    WindowStatistics s;
    s.step = marks.thinned ? 8 : 1;
    s.gapThreshold = marks.thinned ? 9 : 2;
    end = std::min(end, samples.size());
    begin = std::min(begin, end);
    if (layoutFlag == kThreeCurveLayout) {
        Compute<false>(samples, marks, begin, end, draws, options.twoThreadsFrom, s);
    } else {
        Compute<true>(samples, marks, begin, end, draws, options.twoThreadsFrom, s);
    }
    return s;
}

}  // namespace

WindowStatistics ComputeStatistics(const SampleArray& samples, const SampleMarks& marks,
                                   int layoutFlag, size_t begin, size_t end,
                                   std::vector<DrawEvent>* draws, StatisticsOptions options) {
    return ComputeOver(samples, marks, layoutFlag, begin, end, draws, options);
}

WindowStatistics ComputeStatistics(const SampleStore& samples, const SampleMarks& marks,
                                   int layoutFlag, size_t begin, size_t end,
                                   std::vector<DrawEvent>* draws, StatisticsOptions options) {
    return ComputeOver(samples, marks, layoutFlag, begin, end, draws, options);
}

}  // namespace kws::rec
