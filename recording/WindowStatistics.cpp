#include "recording/WindowStatistics.h"

#include <algorithm>

namespace kws::rec {

std::vector<CurveSpec> CurvesOf(int layoutFlag) {
    if (layoutFlag == kThreeCurveLayout) {
        return {{0, 127, true, false}, {1, 128, true, false}, {2, 129, true, false}};
    }
    return {{0, 130, true, false}, {1, 131, true, false}, {2, 127, true, false},
            {3, 129, true, false}, {4, 132, true, false}, {5, 133, false, true}};
}

namespace {

// Exactly -250.0 and 250.0 are drawn as 0.0.
inline double Drawn(double v) { return v == -250.0 || v == 250.0 ? 0.0 : v; }

// The pass over the data samples of one layout. Curve i is value slot i in both layouts.
template <bool kSix>
class Scanner {
public:
    static constexpr int kCurves = kSix ? 6 : 3;
    static constexpr int kTemperature = kSix ? 2 : 0;
    static constexpr int kFlow = kSix ? 3 : 2;
    static constexpr int kPump = kSix ? 4 : 1;

    Scanner(int64_t step, int64_t gapThreshold, std::vector<DrawEvent>* draws)
        : step_(step), threshold_(gapThreshold), draws_(draws) {}

    void Add(size_t index, const SampleRecord& r) {
        if (havePrevious_) {
            const int64_t dt = r.time - previousTime_;
            if (dt > threshold_) {
                ++gaps_;
                missing_ += dt - step_;
                EndRuns();
            }
        }
        havePrevious_ = true;
        previousTime_ = r.time;
        ++data_;
        for (int c = 0; c < kCurves; ++c) {
            double v = r.value[c];
            if (kSix && c == 5) {
                if (v == -25.0) continue;
            } else {
                v = Drawn(v);
            }
            Curve& k = curves_[c];
            if (k.count == 0 || v < k.min) {
                k.min = v;
                k.minTime = r.time;
            }
            if (k.count == 0 || v > k.max) {
                k.max = v;
                k.maxTime = r.time;
            }
            k.sum += v;
            ++k.count;
        }
        const double flow = Drawn(r.value[kFlow]);
        if (flow > 0.0) {
            const double temperature = Drawn(r.value[kTemperature]);
            flowSum_ += flow;
            if (!inDraw_) {
                inDraw_ = true;
                draw_ = {r.time, index, 0, 0.0, temperature, 0.0};
                drawSamples_ = 0;
            }
            ++drawSamples_;
            draw_.litres += flow;
            draw_.minTemperature = std::min(draw_.minTemperature, temperature);
            draw_.meanTemperature += temperature;
        } else if (inDraw_) {
            EndDraw();
        }
        if (Drawn(r.value[kPump]) > 0.0) {
            ++pumpSamples_;
            if (!inPump_) ++pumpStarts_;
            inPump_ = true;
        } else {
            inPump_ = false;
        }
        if constexpr (kSix) {
            if (r.value[5] > 100.0) {
                ++circulationSamples_;
                if (!inCirculation_) ++circulationStarts_;
                inCirculation_ = true;
            } else {
                inCirculation_ = false;
            }
        }
    }

    void Finish(WindowStatistics& s) {
        EndRuns();
        s.dataSamples = data_;
        s.recordedSeconds = static_cast<int64_t>(data_) * step_;
        s.gaps = gaps_;
        s.missingSeconds = missing_;
        s.hotWaterLitres = flowSum_ * static_cast<double>(step_) / 60.0;
        s.draws = drawCount_;
        s.longestDrawSeconds = longestDraw_ * step_;
        s.pumpSeconds = pumpSamples_ * step_;
        s.pumpStarts = pumpStarts_;
        s.hasCirculation = kSix;
        s.circulationSeconds = circulationSamples_ * step_;
        s.circulationStarts = circulationStarts_;
        s.curves.assign(kCurves, CurveStatistics{});
        for (int c = 0; c < kCurves; ++c) {
            const Curve& k = curves_[c];
            CurveStatistics& out = s.curves[static_cast<size_t>(c)];
            out.count = k.count;
            if (k.count == 0) continue;
            out.min = k.min;
            out.max = k.max;
            out.minTime = k.minTime;
            out.maxTime = k.maxTime;
            out.mean = k.sum / static_cast<double>(k.count);
        }
    }

private:
    struct Curve {
        size_t count = 0;
        double min = 0.0, max = 0.0, sum = 0.0;
        int64_t minTime = 0, maxTime = 0;
    };

    // A gap ends every run: the draw, the pump's and the circulation pump's.
    void EndRuns() {
        if (inDraw_) EndDraw();
        inPump_ = false;
        inCirculation_ = false;
    }

    void EndDraw() {
        inDraw_ = false;
        ++drawCount_;
        longestDraw_ = std::max(longestDraw_, drawSamples_);
        if (draws_ == nullptr) return;
        draw_.seconds = drawSamples_ * step_;
        draw_.litres *= static_cast<double>(step_) / 60.0;
        draw_.meanTemperature /= static_cast<double>(drawSamples_);
        draws_->push_back(draw_);
    }

    const int64_t step_, threshold_;
    std::vector<DrawEvent>* draws_;
    bool havePrevious_ = false;
    int64_t previousTime_ = 0;
    size_t data_ = 0;
    int64_t gaps_ = 0, missing_ = 0;
    Curve curves_[kCurves];
    double flowSum_ = 0.0;
    bool inDraw_ = false;
    DrawEvent draw_{};
    int64_t drawSamples_ = 0, drawCount_ = 0, longestDraw_ = 0;
    bool inPump_ = false, inCirculation_ = false;
    int64_t pumpSamples_ = 0, pumpStarts_ = 0;
    int64_t circulationSamples_ = 0, circulationStarts_ = 0;
};

template <bool kSix>
void Scan(const SampleArray& samples, const SampleMarks& marks, size_t begin, size_t end,
          std::vector<DrawEvent>* draws, WindowStatistics& s) {
    Scanner<kSix> scanner(s.step, s.gapThreshold, draws);
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
        for (; i < stop; ++i) scanner.Add(i, samples[i]);
    }
    scanner.Finish(s);
}

}  // namespace

WindowStatistics ComputeStatistics(const SampleArray& samples, const SampleMarks& marks,
                                   int layoutFlag, size_t begin, size_t end,
                                   std::vector<DrawEvent>* draws) {
    WindowStatistics s;
    s.step = marks.thinned ? 8 : 1;
    s.gapThreshold = marks.thinned ? 9 : 2;
    end = std::min(end, samples.size());
    begin = std::min(begin, end);
    if (layoutFlag == kThreeCurveLayout) {
        Scan<false>(samples, marks, begin, end, draws, s);
    } else {
        Scan<true>(samples, marks, begin, end, draws, s);
    }
    return s;
}

}  // namespace kws::rec
