// The window statistics against figures worked out from the raw lines of the recording alone:
// the test writes the lines, keeps their raw columns, and derives every expected figure from
// those with a plain routine of its own (segments between gaps, runs of a condition).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "recording/DayStatistics.h"
#include "recording/Evaluation.h"
#include "recording/LineReader.h"
#include "recording/ParallelScan.h"
#include "recording/StatisticsExport.h"
#include "recording/WindowStatistics.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;
using kws::test::Utc;

namespace {

constexpr int kSix = 0, kThree = 1;

// One line as written: its time and its raw value columns (13 six-curve, 12 three-curve).
struct Raw {
    int64_t time;
    std::vector<int> columns;
};

// `width` > 0 writes every column with that many characters (leading zeros). The time reads as
// UTC, or as local time where `local` is set.
std::string LineOf(const Raw& r, int width = 0, bool local = false) {
    const time_t t = static_cast<time_t>(r.time);
    struct tm tm;
    if (local) {
        localtime_r(&t, &tm);
    } else {
        gmtime_r(&t, &tm);
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%02d\t%02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year % 100, tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::string line = buf;
    for (int c : r.columns) {
        char field[24];
        std::snprintf(field, sizeof field, "\t%0*d", width, c);
        line += field;
    }
    return line + "\n";
}

std::string TextOf(const std::vector<Raw>& lines, bool local = false) {
    std::string text = "Aufzeichnung\nKopf\n";
    for (const Raw& r : lines) text += LineOf(r, 0, local);
    return text;
}

// Columns in the units the graph draws, in legend order, as the layout defines them.
std::vector<double> CurveValues(const Raw& r, int layout) {
    const auto& c = r.columns;
    if (layout == kThree) return {c[0] * 0.1, c[9] * 0.1 * 0.25 * 3.0, c[10] * 0.1};
    return {c[0] * 0.1,        c[3] * 0.1, c[1] * 0.1, c[4] * 0.1, c[5] * 0.1 * 30.0 * (1.0 / 35.0),
            c[6] * 0.1 + 100.0};
}

// A recording of `seconds` lines from `start` with draws, pump runs and circulation cycles,
// skipping the seconds in `missing`; a few lines carry the values the graph treats specially.
std::vector<Raw> MakeLines(int layout, int64_t start, int seconds, uint32_t seed,
                           const std::vector<std::pair<int, int>>& missing = {}) {
    std::mt19937 random(seed);
    std::vector<Raw> lines;
    int drawLeft = 0, pumpLeft = 0, circulationLeft = 0;
    bool circulationOn = false;
    for (int s = 0; s < seconds; ++s) {
        bool skip = false;
        for (const auto& [from, to] : missing) skip = skip || (s >= from && s < to);
        if (random() % 40 == 0 && drawLeft == 0) drawLeft = 1 + static_cast<int>(random() % 60);
        if (random() % 50 == 0 && pumpLeft == 0) pumpLeft = 1 + static_cast<int>(random() % 40);
        if (circulationLeft-- <= 0) {
            circulationOn = !circulationOn;
            circulationLeft = 5 + static_cast<int>(random() % 90);
        }
        const int flow = drawLeft > 0 ? 10 + static_cast<int>(random() % 90) : 0;
        const int pump = pumpLeft > 0 ? 100 + static_cast<int>(random() % 900) : 0;
        drawLeft = std::max(0, drawLeft - 1);
        pumpLeft = std::max(0, pumpLeft - 1);
        if (skip) continue;
        Raw r{start + s, {}};
        const int hot = 380 + static_cast<int>(random() % 150);
        if (layout == kThree) {
            r.columns.assign(12, 7);
            r.columns[0] = hot;
            r.columns[9] = pump;
            r.columns[10] = flow;
        } else {
            r.columns.assign(13, 3);
            r.columns[0] = 550 + static_cast<int>(random() % 60);  // storage
            r.columns[1] = hot;
            r.columns[3] = 300 + static_cast<int>(random() % 160);  // circulation
            r.columns[4] = flow;
            r.columns[5] = pump;
            r.columns[6] = circulationOn ? 10 : 0;
        }
        // The graph's special values: 250.0 and -250.0 are drawn as 0, and the circulation
        // pump at -25.0 draws nothing.
        if (s % 97 == 13) r.columns[layout == kThree ? 0 : 1] = 2500;
        if (s % 89 == 7) r.columns[layout == kThree ? 10 : 4] = -2500;
        if (layout == kSix && s % 71 == 5) r.columns[6] = -1250;
        lines.push_back(r);
    }
    return lines;
}

// What the statistics must say, derived from the lines.
struct Expected {
    int64_t recorded = 0, gaps = 0, missing = 0, draws = 0, longestDraw = 0;
    int64_t pumpSeconds = 0, pumpStarts = 0, circulationSeconds = 0, circulationStarts = 0;
    double litres = 0.0;
    std::vector<size_t> counts;
    std::vector<double> min, max, mean;
    std::vector<int64_t> minTime, maxTime;
    std::vector<DrawEvent> drawList;
};

double Drawn(double v) { return v == 250.0 || v == -250.0 ? 0.0 : v; }

// The lines the evaluation takes as data samples: those inside [start, end], in a thinned
// window only every 8th line after the header.
std::vector<Raw> DataLines(const std::vector<Raw>& lines, int64_t start, int64_t end,
                           bool thinned) {
    std::vector<Raw> taken;
    for (size_t n = 0; n < lines.size(); ++n) {
        if (thinned && n % 8 != 7) continue;
        if (lines[n].time > end) break;
        if (lines[n].time >= start) taken.push_back(lines[n]);
    }
    return taken;
}

// Maximal stretches [a, b) of `flags` that are true.
std::vector<std::pair<size_t, size_t>> RunsOf(const std::vector<bool>& flags) {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < flags.size();) {
        if (!flags[i]) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < flags.size() && flags[j]) ++j;
        runs.push_back({i, j});
        i = j;
    }
    return runs;
}

Expected Reference(const std::vector<Raw>& data, int layout, bool thinned) {
    const int64_t step = thinned ? 8 : 1, threshold = thinned ? 9 : 2;
    Expected e;
    e.recorded = static_cast<int64_t>(data.size()) * step;
    // Segments between gaps.
    std::vector<std::vector<Raw>> segments(1);
    for (size_t k = 0; k < data.size(); ++k) {
        if (k > 0 && data[k].time - data[k - 1].time > threshold) {
            ++e.gaps;
            e.missing += data[k].time - data[k - 1].time - step;
            segments.emplace_back();
        }
        segments.back().push_back(data[k]);
    }
    const int flowCurve = layout == kThree ? 2 : 3, pumpCurve = layout == kThree ? 1 : 4,
              hotCurve = layout == kThree ? 0 : 2;
    for (const auto& seg : segments) {
        std::vector<bool> flowing, pumping, circulating;
        for (const Raw& r : seg) {
            const auto v = CurveValues(r, layout);
            flowing.push_back(Drawn(v[flowCurve]) > 0);
            pumping.push_back(Drawn(v[pumpCurve]) > 0);
            if (layout == kSix) circulating.push_back(v[5] > 100.0);
        }
        for (const auto& [a, b] : RunsOf(flowing)) {
            DrawEvent d{seg[a].time, 0, static_cast<int64_t>(b - a) * step, 0.0, 1e300, 0.0};
            for (size_t i = a; i < b; ++i) {
                const auto v = CurveValues(seg[i], layout);
                d.litres += Drawn(v[flowCurve]) * step / 60.0;
                d.minTemperature = std::min(d.minTemperature, Drawn(v[hotCurve]));
                d.meanTemperature += Drawn(v[hotCurve]) / static_cast<double>(b - a);
            }
            e.litres += d.litres;
            e.longestDraw = std::max(e.longestDraw, d.seconds);
            e.drawList.push_back(d);
        }
        for (const auto& [a, b] : RunsOf(pumping)) {
            ++e.pumpStarts;
            e.pumpSeconds += static_cast<int64_t>(b - a) * step;
        }
        for (const auto& [a, b] : RunsOf(circulating)) {
            ++e.circulationStarts;
            e.circulationSeconds += static_cast<int64_t>(b - a) * step;
        }
    }
    e.draws = static_cast<int64_t>(e.drawList.size());
    const int curves = layout == kThree ? 3 : 6;
    for (int c = 0; c < curves; ++c) {
        std::vector<std::pair<double, int64_t>> points;
        for (const Raw& r : data) {
            const double v = CurveValues(r, layout)[static_cast<size_t>(c)];
            if (layout == kSix && c == 5) {
                if (v != -25.0) points.push_back({v, r.time});
            } else {
                points.push_back({Drawn(v), r.time});
            }
        }
        e.counts.push_back(points.size());
        if (points.empty()) {
            e.min.push_back(0);
            e.max.push_back(0);
            e.mean.push_back(0);
            e.minTime.push_back(0);
            e.maxTime.push_back(0);
            continue;
        }
        auto byValue = [](const auto& a, const auto& b) { return a.first < b.first; };
        const auto lo = std::min_element(points.begin(), points.end(), byValue);
        // The first of the largest: max_element keeps the first of equal elements.
        const auto hi = std::max_element(points.begin(), points.end(), byValue);
        double sum = 0;
        for (const auto& p : points) sum += p.first;
        e.min.push_back(lo->first);
        e.minTime.push_back(lo->second);
        e.max.push_back(hi->first);
        e.maxTime.push_back(hi->second);
        e.mean.push_back(sum / static_cast<double>(points.size()));
    }
    return e;
}

void ExpectFigures(const WindowStatistics& s, const std::vector<DrawEvent>& draws,
                   const Expected& e, int layout, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(s.recordedSeconds, e.recorded);
    EXPECT_EQ(s.gaps, e.gaps);
    EXPECT_EQ(s.missingSeconds, e.missing);
    EXPECT_NEAR(s.hotWaterLitres, e.litres, 1e-9 * std::max(1.0, e.litres));
    EXPECT_EQ(s.draws, e.draws);
    EXPECT_EQ(s.longestDrawSeconds, e.longestDraw);
    EXPECT_EQ(s.pumpSeconds, e.pumpSeconds);
    EXPECT_EQ(s.pumpStarts, e.pumpStarts);
    EXPECT_EQ(s.hasCirculation, layout == kSix);
    if (layout == kSix) {
        EXPECT_EQ(s.circulationSeconds, e.circulationSeconds);
        EXPECT_EQ(s.circulationStarts, e.circulationStarts);
    }
    ASSERT_EQ(s.curves.size(), layout == kSix ? 6u : 3u);
    for (size_t c = 0; c < s.curves.size(); ++c) {
        SCOPED_TRACE("curve " + std::to_string(c));
        EXPECT_EQ(s.curves[c].count, e.counts[c]);
        if (e.counts[c] == 0) continue;
        EXPECT_EQ(s.curves[c].min, e.min[c]);
        EXPECT_EQ(s.curves[c].minTime, e.minTime[c]);
        EXPECT_EQ(s.curves[c].max, e.max[c]);
        EXPECT_EQ(s.curves[c].maxTime, e.maxTime[c]);
        EXPECT_NEAR(s.curves[c].mean, e.mean[c], 1e-9 * std::max(1.0, std::abs(e.mean[c])));
    }
    ASSERT_EQ(draws.size(), e.drawList.size());
    for (size_t i = 0; i < draws.size(); ++i) {
        EXPECT_EQ(draws[i].start, e.drawList[i].start) << "draw " << i;
        EXPECT_EQ(draws[i].seconds, e.drawList[i].seconds) << "draw " << i;
        EXPECT_NEAR(draws[i].litres, e.drawList[i].litres, 1e-9) << "draw " << i;
        EXPECT_EQ(draws[i].minTemperature, e.drawList[i].minTemperature) << "draw " << i;
        EXPECT_NEAR(draws[i].meanTemperature, e.drawList[i].meanTemperature, 1e-9) << "draw " << i;
    }
}

struct Evaluated {
    SampleArray samples;
    SampleMarks marks;
};

Evaluated EvaluateLines(const std::string& text, int layout, int64_t start, int64_t end,
                        int threads = 0) {
    MemorySource source(text);
    Evaluated out;
    EvaluationOptions options;
    options.threads = threads;
    EXPECT_TRUE(Evaluate(source, 2, layout, start, end, out.samples, out.marks, options).ok);
    return out;
}

// The whole window against the lines, and the records the marks leave as data against the data
// lines by time: fillers and padding never share a data line's time.
void CheckWindow(const std::vector<Raw>& lines, int layout, int64_t start, int64_t end,
                 const std::string& what, const std::string* text = nullptr, int threads = 0) {
    const bool thinned = end - start > kSparseWindowSeconds;
    const Evaluated ev =
        EvaluateLines(text != nullptr ? *text : TextOf(lines), layout, start, end, threads);
    EXPECT_EQ(ev.marks.thinned, thinned) << what;
    const std::vector<Raw> data = DataLines(lines, start, end, thinned);
    size_t next = 0;
    for (size_t i = 0; i < ev.samples.size(); ++i) {
        const bool isData = next < data.size() && ev.samples[i].time == data[next].time;
        ASSERT_EQ(ev.marks.IsData(i), isData) << what << " record " << i;
        next += isData;
    }
    ASSERT_EQ(next, data.size()) << what;
    const Expected expected = Reference(data, layout, thinned);
    // In one pass, and in two halves on two threads (the seam's search starts at the middle).
    for (const size_t twoThreadsFrom : {size_t{1} << 40, size_t{500}}) {
        std::vector<DrawEvent> draws;
        const WindowStatistics s = ComputeStatistics(ev.samples, ev.marks, layout, 0,
                                                     ev.samples.size(), &draws, {twoThreadsFrom});
        EXPECT_EQ(s.step, thinned ? 8 : 1) << what;
        ExpectFigures(s, draws, expected, layout,
                      what + (twoThreadsFrom < 1000 ? ", two threads" : ", one thread"));
    }
}

}  // namespace

TEST(WindowStatistics, GaplessWindowsOfBothLayouts) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2009, 6, 3, 10, 0, 0);
    for (int layout : {kSix, kThree}) {
        const auto lines = MakeLines(layout, t0, 7200, 11 + layout);
        CheckWindow(lines, layout, t0, t0 + 7199, "whole, layout " + std::to_string(layout));
        CheckWindow(lines, layout, t0 + 1000, t0 + 2000, "part, layout " + std::to_string(layout));
    }
}

TEST(WindowStatistics, GapsFillersAndPaddingAreNoData) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2009, 6, 3, 10, 0, 0);
    for (int layout : {kSix, kThree}) {
        // Gaps of 2 s (none: one second missing), 3 s, 10 s and 500 s; the window ends 300 s
        // into the last gap, so the end is padded.
        auto lines = MakeLines(layout, t0, 9000, 21 + layout,
                               {{100, 101}, {500, 502}, {1500, 1509}, {4000, 4499}, {8000, 8600}});
        if (layout == kThree) {
            // Data lines whose values are those of a filler still count.
            for (size_t i = 3000; i < 3030; ++i) {
                lines[i].columns[0] = lines[i].columns[9] = lines[i].columns[10] = 0;
            }
        }
        const std::string tag = "layout " + std::to_string(layout);
        CheckWindow(lines, layout, t0, t0 + 8300, tag);
        const Evaluated ev = EvaluateLines(TextOf(lines), layout, t0, t0 + 8300);
        ASSERT_FALSE(ev.marks.notData.empty());
        // The padding: copies of the last sample up to 4 seconds before the end.
        EXPECT_EQ(ev.samples.back().time, t0 + 8296) << tag;
        EXPECT_EQ(ev.marks.notData.back().end, ev.samples.size()) << tag;
    }
}

TEST(WindowStatistics, ThinnedWindowsCountEightSecondsASample) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2010, 1, 1, 0, 0, 0);
    for (int layout : {kSix, kThree}) {
        // A few hours of lines with gaps of 5, 40 and 300 seconds inside a window of 260 days.
        const auto lines =
            MakeLines(layout, t0, 12000, 31 + layout, {{2000, 2005}, {5000, 5040}, {9000, 9300}});
        CheckWindow(lines, layout, t0 - 100 * 86400, t0 + 160 * 86400,
                    "thinned, layout " + std::to_string(layout));
    }
}

TEST(WindowStatistics, AnEmptyWindowHasNoFigures) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2009, 6, 3, 10, 0, 0);
    for (int layout : {kSix, kThree}) {
        const auto lines = MakeLines(layout, t0, 2000, 41, {{500, 1500}});
        // Inside the gap: no sample at all.
        const Evaluated ev = EvaluateLines(TextOf(lines), layout, t0 + 600, t0 + 1400);
        ASSERT_TRUE(ev.samples.empty());
        const WindowStatistics s =
            ComputeStatistics(ev.samples, ev.marks, layout, 0, ev.samples.size());
        EXPECT_EQ(s.recordedSeconds, 0);
        EXPECT_EQ(s.gaps, 0);
        EXPECT_EQ(s.draws, 0);
        EXPECT_EQ(s.hotWaterLitres, 0.0);
        ASSERT_EQ(s.curves.size(), layout == kSix ? 6u : 3u);
        for (const CurveStatistics& c : s.curves) EXPECT_EQ(c.count, 0u);
        // The command line prints the curve keys with empty values.
        const std::string text = StatisticsLines(s, {"A", "B", "C", "D", "E", "F"});
        EXPECT_NE(text.find("curve0.name=A\ncurve0.min=\ncurve0.min_time=\ncurve0.max=\n"
                            "curve0.max_time=\ncurve0.mean=\n"),
                  std::string::npos)
            << text;
        EXPECT_EQ(text.find("circulation_seconds=") != std::string::npos, layout == kSix);
    }
}

TEST(WindowStatistics, AVisibleRangeCountsOnlyItsOwnSamples) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2009, 6, 3, 10, 0, 0);
    for (int layout : {kSix, kThree}) {
        const auto lines = MakeLines(layout, t0, 6000, 51 + layout, {{1000, 1050}, {3000, 3004}});
        const Evaluated ev = EvaluateLines(TextOf(lines), layout, t0, t0 + 5999);
        // The records of the data lines of 10:15:00 to 11:20:00 (both data samples).
        const int64_t from = t0 + 900, to = t0 + 4800;
        size_t begin = 0, end = 0;
        for (size_t i = 0; i < ev.samples.size(); ++i) {
            if (ev.samples[i].time == from) begin = i;
            if (ev.samples[i].time == to) end = i + 1;
        }
        ASSERT_LT(begin, end);
        const Expected expected = Reference(DataLines(lines, from, to, false), layout, false);
        for (const size_t twoThreadsFrom : {size_t{1} << 40, size_t{100}}) {
            std::vector<DrawEvent> draws;
            const WindowStatistics s = ComputeStatistics(ev.samples, ev.marks, layout, begin, end,
                                                         &draws, {twoThreadsFrom});
            ExpectFigures(
                s, draws, expected, layout,
                "layout " + std::to_string(layout) + " from " + std::to_string(twoThreadsFrom));
        }
        // A range that holds only fillers has no data.
        const IndexRun filler = ev.marks.notData.front();
        EXPECT_EQ(ComputeStatistics(ev.samples, ev.marks, layout, filler.begin, filler.end)
                      .recordedSeconds,
                  0);
        // Ranges reaching past the array are cut to it.
        EXPECT_EQ(ComputeStatistics(ev.samples, ev.marks, layout, begin, ev.samples.size() + 99)
                      .recordedSeconds,
                  ComputeStatistics(ev.samples, ev.marks, layout, begin, ev.samples.size())
                      .recordedSeconds);
    }
}

TEST(WindowStatistics, MarksSurviveTheJoinOfParallelParts) {
    ScopedTimeZone zone("UTC");
    const int64_t t0 = Utc(2009, 6, 1, 0, 0, 0);
    for (int layout : {kSix, kThree}) {
        // Lines of equal length, so that two parts split exactly at the middle line; a gap of
        // 20 s lies right before it, so its fillers are made where the parts are joined.
        // Further gaps lie inside the first and inside the second part.
        std::vector<Raw> lines =
            MakeLines(layout, t0, 200000, 61 + layout, {{1000, 1010}, {160000, 160006}});
        const size_t middle = lines.size() / 2;
        ASSERT_EQ(lines.size() % 2, 0u);
        for (size_t i = middle; i < lines.size(); ++i) lines[i].time += 20;
        const std::string header = "Aufzeichnung\nKopf\n";
        std::string text = header;
        for (const Raw& r : lines) text += LineOf(r, 5);
        MemorySource source(text);
        int error = 0;
        const auto bounds = SplitAtLines(source, header.size(), text.size(), 2, error);
        ASSERT_EQ(bounds.size(), 3u);
        ASSERT_EQ(
            text.compare(bounds[1], LineOf(lines[middle], 5).size(), LineOf(lines[middle], 5)), 0)
            << "the parts do not split at the gap";
        ASSERT_EQ(ChooseParts(text.size() - header.size(), 2), 2);

        const int64_t end = lines.back().time;
        const Evaluated one = EvaluateLines(text, layout, t0, end, 1);
        // Gaps of 11 s, 21 s and 7 s: three-curve 9, 19 and 5 fillers, six-curve one each.
        ASSERT_EQ(one.marks.notData.size(), 3u);
        EXPECT_EQ(one.marks.notData[1].end - one.marks.notData[1].begin,
                  layout == kThree ? 19u : 1u);
        for (int threads : {2, 3}) {
            const Evaluated more = EvaluateLines(text, layout, t0, end, threads);
            ASSERT_EQ(more.samples.size(), one.samples.size());
            ASSERT_EQ(more.marks.notData.size(), one.marks.notData.size()) << threads;
            for (size_t i = 0; i < one.marks.notData.size(); ++i) {
                EXPECT_EQ(more.marks.notData[i].begin, one.marks.notData[i].begin) << threads;
                EXPECT_EQ(more.marks.notData[i].end, one.marks.notData[i].end) << threads;
            }
        }
        CheckWindow(lines, layout, t0, end, "parallel, layout " + std::to_string(layout), &text, 2);
    }
}

// Each local day of a window against the window statistics worked out from that day's data lines
// alone: the days are told apart by the local date of each line, the same in both layouts, on
// one thread and on two.
TEST(DayStatistics, EachDayHasTheFiguresOfItsOwnLines) {
    ScopedTimeZone zone("Europe/Berlin");
    struct Case {
        const char* what;
        int64_t linesFrom;
        int seconds;
        std::vector<std::pair<int, int>> missing;  // seconds after linesFrom without a line
        int64_t from, to;                          // the window
        int hours25;                               // index of the day of 25 hours, or -1
    };
    const int64_t autumn = MkTime(2009, 10, 24, 12, 0, 0);
    const int64_t june = MkTime(2009, 6, 1, 10, 0, 0);
    const int64_t winter = MkTime(2010, 1, 10, 20, 0, 0);
    const std::vector<Case> cases = {
        // Noon to noon across the night of the autumn change (25/10/2009: 25 hours), with a
        // gap across midnight.
        {"autumn change", autumn, 49 * 3600, {{43000, 43500}}, autumn, autumn + 49 * 3600 - 1, 1},
        // Partial first and last day: 10:00 on the first to 14:00 on the third.
        {"partial days", june, 60 * 3600, {{5000, 5030}}, june, june + 52 * 3600, -1},
        // No line from 20:00 on the second day to 04:00 on the fourth: a whole day without data.
        {"a day without data",
         winter,
         80 * 3600,
         {{24 * 3600, 56 * 3600}},
         winter,
         winter + 80 * 3600 - 1,
         -1},
        // Over 250 days: every 8th line, each standing for 8 seconds.
        {"thinned", june, 50 * 3600, {{3000, 3100}}, june - 251 * 86400, june + 50 * 3600 - 1, -1},
    };
    for (const Case& c : cases) {
        for (int layout : {kSix, kThree}) {
            const std::string what = std::string(c.what) + ", layout " + std::to_string(layout);
            const auto lines = MakeLines(layout, c.linesFrom, c.seconds, 71 + layout, c.missing);
            const bool thinned = c.to - c.from > kSparseWindowSeconds;
            const Evaluated ev = EvaluateLines(TextOf(lines, true), layout, c.from, c.to);
            // The data lines by their local date, from the date of the first to that of the last.
            const std::vector<Raw> data = DataLines(lines, c.from, c.to, thinned);
            ASSERT_FALSE(data.empty()) << what;
            auto dateOf = [](int64_t t) {
                const time_t tt = static_cast<time_t>(t);
                struct tm tm;
                localtime_r(&tt, &tm);
                return DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
            };
            const int64_t firstDate = dateOf(ev.samples.front().time);
            const int64_t lastDate = dateOf(ev.samples.back().time);
            std::vector<std::vector<Raw>> byDay(static_cast<size_t>(lastDate - firstDate + 1));
            for (const Raw& r : data)
                byDay[static_cast<size_t>(dateOf(r.time) - firstDate)].push_back(r);

            for (const size_t twoThreadsFrom : {size_t{1} << 40, size_t{1000}}) {
                const std::vector<DayStatistics> days = ComputeDailyStatistics(
                    ev.samples, ev.marks, layout, 0, ev.samples.size(), {twoThreadsFrom});
                ASSERT_EQ(days.size(), byDay.size()) << what;
                for (size_t d = 0; d < days.size(); ++d) {
                    const CivilDate date = CivilFromDays(firstDate + static_cast<int64_t>(d));
                    const std::string day = what + ", day " + std::to_string(date.day) + "." +
                                            std::to_string(date.month) + ".";
                    EXPECT_EQ(days[d].year, date.year) << day;
                    EXPECT_EQ(days[d].month, date.month) << day;
                    EXPECT_EQ(days[d].day, date.day) << day;
                    EXPECT_EQ(days[d].dayStart,
                              MkTime(static_cast<int>(date.year), date.month, date.day, 0, 0, 0))
                        << day;
                    EXPECT_EQ(days[d].dayEnd - days[d].dayStart,
                              static_cast<int>(d) == c.hours25 ? 25 * 3600 : 24 * 3600)
                        << day;
                    const Expected expected = Reference(byDay[d], layout, thinned);
                    ExpectFigures(days[d].figures, expected.drawList, expected, layout, day);
                    // Missing data: no line, a gap inside, or one across either midnight.
                    const bool crossing =
                        (d > 0 && !byDay[d].empty() &&
                         std::any_of(byDay.begin(), byDay.begin() + static_cast<ptrdiff_t>(d),
                                     [](const auto& v) { return !v.empty(); }) &&
                         [&] {
                             const auto before = std::find_if(
                                 byDay.rbegin() + static_cast<ptrdiff_t>(byDay.size() - d),
                                 byDay.rend(), [](const auto& v) { return !v.empty(); });
                             return byDay[d].front().time - before->back().time > (thinned ? 9 : 2);
                         }());
                    EXPECT_EQ(days[d].gapIntoDay, crossing) << day;
                    EXPECT_EQ(days[d].MissesData(), byDay[d].empty() || expected.gaps > 0 ||
                                                        days[d].gapIntoDay || days[d].gapOutOfDay)
                        << day;
                }
            }
        }
    }
}
