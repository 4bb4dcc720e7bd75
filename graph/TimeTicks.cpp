#include "graph/TimeTicks.h"

#include <algorithm>
#include <cmath>

#include "graph/PointsCollection.h"
#include "recording/LocalTime.h"

using kws::rec::CivilFromDays;
using kws::rec::DaysFromCivil;
using kws::rec::FloorDiv;
using kws::rec::InstantsOfLocal;
using kws::rec::UtcOffsetAt;

namespace {

constexpr int64_t kDay = 86400;

int64_t Mod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

}  // namespace

double TimeStep::ApproxSeconds() const {
    switch (unit) {
        case kSeconds: return static_cast<double>(count);
        case kDays: return static_cast<double>(count) * kDay;
        case kMonths: return static_cast<double>(count) * 30.436875 * kDay;
    }
    return static_cast<double>(count);
}

const std::vector<TimeStep>& TimeSteps() {
    static const std::vector<TimeStep> steps = [] {
        std::vector<TimeStep> s;
        for (int64_t seconds :
             {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200})
            s.push_back({TimeStep::kSeconds, seconds});
        for (int64_t days : {1, 2, 7}) s.push_back({TimeStep::kDays, days});
        for (int64_t months : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200})
            s.push_back({TimeStep::kMonths, months});
        return s;
    }();
    return steps;
}

std::vector<int64_t> RoundTimes(int64_t from, int64_t to, const TimeStep& step, size_t limit) {
    std::vector<int64_t> out;
    int64_t offFrom = 0, offTo = 0;
    if (to < from || limit == 0 || step.count <= 0 || !UtcOffsetAt(from, offFrom) ||
        !UtcOffsetAt(to, offTo)) {
        return out;
    }
    // Local readings of the instants from `from` to `to` lie between `from` plus the smaller and
    // `to` plus the larger of the two offsets (a span holds at most one change of offset at the
    // steps below a day; day and month steps look a day further either way).
    const int64_t margin = step.unit == TimeStep::kSeconds ? 0 : kDay;
    const int64_t naiveFrom = from + std::min(offFrom, offTo) - margin;
    const int64_t naiveTo = to + std::max(offFrom, offTo) + margin;
    // The instants come in order but for the repeated hour; a few beyond the limit keep the
    // cut right after sorting.
    const size_t candidateLimit = limit + 4;
    size_t candidates = 0;
    auto take = [&](int64_t naive, bool firstOnly) {
        int64_t instants[2];
        const int n = InstantsOfLocal(naive, instants);
        for (int i = 0; i < (firstOnly ? std::min(n, 1) : n); ++i) {
            if (instants[i] >= from && instants[i] <= to) {
                out.push_back(instants[i]);
                ++candidates;
            }
        }
        return n;
    };
    switch (step.unit) {
        case TimeStep::kSeconds: {
            // The steps divide a day, so round local times are multiples of the step counted
            // from a local midnight.
            for (int64_t n = FloorDiv(naiveFrom + step.count - 1, step.count) * step.count;
                 n <= naiveTo && candidates < candidateLimit; n += step.count) {
                take(n, false);
            }
            break;
        }
        case TimeStep::kDays: {
            for (int64_t d = FloorDiv(naiveFrom, kDay);
                 d * kDay <= naiveTo && candidates < candidateLimit; ++d) {
                // Two days: even days since 1970; a week: Mondays (1970-01-01 was a Thursday).
                if (step.count == 2 && Mod(d, 2) != 0) continue;
                if (step.count == 7 && Mod(d + 3, 7) != 0) continue;
                if (take(d * kDay, true) == 0) take(d * kDay + 3600, true);
            }
            break;
        }
        case TimeStep::kMonths: {
            const kws::rec::CivilDate first = CivilFromDays(FloorDiv(naiveFrom, kDay));
            for (int64_t m = (first.year - 1970) * 12 + (first.month - 1);
                 candidates < candidateLimit; ++m) {
                const int64_t naive =
                    DaysFromCivil(1970 + FloorDiv(m, 12), Mod(m, 12) + 1, 1) * kDay;
                if (naive > naiveTo) break;
                if (Mod(m, step.count) != 0) continue;
                if (take(naive, true) == 0) take(naive + 3600, true);
            }
            break;
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    if (out.size() > limit) out.resize(limit);
    return out;
}

SampleClock::SampleClock(const CPointsCollection* points) : points_(points) {
    if (points_ == nullptr || points_->GetCount() == 0 || !points_->IsXOrdered()) return;
    count_ = points_->GetCount();
    const size_t last = static_cast<size_t>(count_ - 1);
    firstX_ = points_->X(0);
    lastX_ = points_->X(last);
    firstT_ = static_cast<double>(points_->Time(0));
    lastT_ = static_cast<double>(points_->Time(last));
    if (count_ == 1) {
        valid_ = true;  // one sample: one second per x on either side
        return;
    }
    if (!(lastX_ > firstX_) || !(lastT_ > firstT_)) return;
    secondsPerX_ = (lastT_ - firstT_) / (lastX_ - firstX_);
    valid_ = true;
}

int SampleClock::LowerByX(double x) const { return static_cast<int>(points_->FirstAtOrAfterX(x)); }

int SampleClock::LowerByTime(double t) const {
    return count_ == 0 ? 0 : static_cast<int>(points_->FirstAtOrAfterTime(t));
}

double SampleClock::TimeAt(double x) const {
    if (!valid_) return 0.0;
    if (x <= firstX_) return firstT_ + (x - firstX_) * secondsPerX_;
    if (x >= lastX_) return lastT_ + (x - lastX_) * secondsPerX_;
    const int b = LowerByX(x);
    const size_t bi = static_cast<size_t>(b), ai = bi - 1;
    const double xa = points_->X(ai), xb = points_->X(bi);
    const double ta = static_cast<double>(points_->Time(ai));
    const double tb = static_cast<double>(points_->Time(bi));
    if (!(xb > xa)) return tb;
    return ta + (x - xa) / (xb - xa) * (tb - ta);
}

double SampleClock::XAt(double t) const {
    if (!valid_) return 0.0;
    if (t <= firstT_) return firstX_ + (t - firstT_) / secondsPerX_;
    if (t >= lastT_) return lastX_ + (t - lastT_) / secondsPerX_;
    const int b = LowerByTime(t);
    const size_t bi = static_cast<size_t>(b), ai = bi - 1;
    const double ta = static_cast<double>(points_->Time(ai));
    const double tb = static_cast<double>(points_->Time(bi));
    const double xa = points_->X(ai), xb = points_->X(bi);
    if (!(tb > ta)) return xb;
    return xa + (t - ta) / (tb - ta) * (xb - xa);
}

int SampleClock::NearestPoint(double t) const {
    if (count_ == 0) return -1;
    const int b = LowerByTime(t);
    if (b == 0) return 0;
    if (b == count_) return count_ - 1;
    const double before = t - static_cast<double>(points_->Time(static_cast<size_t>(b - 1)));
    const double after = static_cast<double>(points_->Time(static_cast<size_t>(b))) - t;
    return before <= after ? b - 1 : b;
}
