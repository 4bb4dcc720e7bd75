// The time axis: ticks at round local clock times, and the clock of series 0 that turns a
// world x (the sample index) into a time and back. Samples are not always one second apart
// (thinned windows keep every 8th line, gaps hold fillers), so both directions go through the
// samples' own times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CPointsCollection;

// One step of the time axis: a number of seconds (below a day), of local days, or of months.
struct TimeStep {
    enum Unit { kSeconds, kDays, kMonths };
    Unit unit = kSeconds;
    int64_t count = 1;
    // The step's length in seconds, for comparing steps with a span (months as 30.44 days).
    double ApproxSeconds() const;
    // Labels need the seconds only while ticks come less than a minute apart.
    bool ShowsSeconds() const { return unit == kSeconds && count < 60; }
};

// The steps from the finest to the widest: 1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min;
// 1, 2, 3, 6, 12 h; 1, 2, 7 days; 1, 2, 3, 6 months; then years.
const std::vector<TimeStep>& TimeSteps();

// The instants from `from` to `to` (both included) at which the local clock shows a round time
// of `step`, ascending, at most `limit` of them: seconds, minutes and hours that are multiples
// of the step, local midnight for days (even days since 1970 for two days, Mondays for a
// week), the first of the month at midnight for months (months since January 1970 a multiple
// of the step). A clock time repeated in autumn gives both instants; one skipped in spring
// gives none, and a midnight that does not exist gives the first hour after it.
std::vector<int64_t> RoundTimes(int64_t from, int64_t to, const TimeStep& step, size_t limit);

// The times of a series' points as a clock over x. Points are taken in order; their times are
// expected not to decrease. Between two points the time runs linearly; beyond the first and
// the last point it goes on at the series' mean rate.
class SampleClock {
public:
    explicit SampleClock(const CPointsCollection* points);

    // False without points or when the times do not advance over the series.
    bool Valid() const { return valid_; }
    // Time at world x (seconds, not rounded).
    double TimeAt(double x) const;
    // World x at which the clock reads t.
    double XAt(double t) const;
    // The point whose time lies nearest to t (the earlier one on a tie); -1 without points.
    int NearestPoint(double t) const;

private:
    // The first point whose x (or time) is not below the value.
    int LowerByX(double x) const;
    int LowerByTime(double t) const;

    const CPointsCollection* points_;
    int count_ = 0;
    bool valid_ = false;
    double firstX_ = 0, lastX_ = 0, firstT_ = 0, lastT_ = 0;
    double secondsPerX_ = 1;
};
