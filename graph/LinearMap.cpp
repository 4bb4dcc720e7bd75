#include "graph/LinearMap.h"

#include <cmath>

LinearMap::LinearMap(double screenStart, double screenEnd, double worldStart, double worldEnd)
    : screenStart_(screenStart),
      screenEnd_(screenEnd),
      worldStart_(worldStart),
      worldEnd_(worldEnd),
      worldPerPixel_(
          screenStart == screenEnd ? 0.0 : (worldEnd - worldStart) / (screenEnd - screenStart)) {}

double TimesPowerOfTen(double v, int k) {
    if (k >= -300 && k <= 300) return v * std::pow(10.0, k);
    const int half = k / 2;
    return v * std::pow(10.0, half) * std::pow(10.0, k - half);
}

int OrderOfMagnitude(double v) {
    if (v == 0.0 || !std::isfinite(v)) return 0;
    const double l = std::log10(std::fabs(v));
    if (std::fabs(v) >= 1.0) return static_cast<int>(l);
    return -static_cast<int>(-l + 1.0);
}

double NiceStep(double a, double b, int n) {
    if (n == 0) return kTickPointOne;
    const double q = std::fabs(a - b) / n;
    if (q <= kTickPointOne) return kTickPointOne;
    static const double kMultipliers[] = {kTickPointOne, kTickPointTwo, 0.5, 1.0, 2.0, 5.0};
    double decade = 1.0;
    double member = kTickPointOne;
    for (int round = 0; round < 400; ++round) {
        for (double m : kMultipliers) {
            member = m * decade;
            if (!(member < q)) return member;
        }
        decade *= 10.0;
    }
    return member;  // q beyond every double: the largest step tried
}

TickSet LinearMap::PlaceTicks(int n, int e) const {
    TickSet ticks;
    ticks.exponent = e;
    const double start = worldStart_, end = worldEnd_;
    const double a = TimesPowerOfTen(start, -e);
    const double b = TimesPowerOfTen(end, -e);
    const double step = NiceStep(a, b, n);
    ticks.step = step;
    if (std::fabs(a - b) < step) return ticks;
    const double lo = std::fmin(a, b), hi = std::fmax(a, b);
    // Multiples of the step are computed, not accumulated, and count as inside the range within
    // a rounding error of its ends (0.1 x 3 is a hair above 0.3).
    const double slack = step * 1e-9;
    auto inside = [&](double m) { return m >= lo - slack && m <= hi + slack; };
    const double k = std::trunc(a / step);
    bool found = false;
    double first = 0.0;
    for (int j = -2; j <= 2; ++j) {
        const double candidate = step * (k + j);
        if (!inside(candidate)) continue;
        if (!found || std::fabs(candidate - a) < std::fabs(step * first - a)) {
            first = k + j;
            found = true;
        }
    }
    if (!found) return ticks;
    const double direction = end <= start ? -1.0 : 1.0;
    // Values are snapped to the decimals of the step (and two more), so that 3 x 0.2 x 100 is
    // 60, not 60.00000000000001; magnitudes a double cannot snap keep the product.
    const double worldStep = TimesPowerOfTen(step, e);
    const int snap = static_cast<int>(std::floor(-std::log10(worldStep) + 1e-6)) + 2;
    const double snapScale = snap >= 0 && snap <= 15 ? std::pow(10.0, snap) : 0.0;
    for (int i = 0; i < 100000; ++i) {
        const double m = step * (first + direction * i);
        if (!inside(m)) break;
        double value = TimesPowerOfTen(m, e);
        if (snapScale > 0 && std::fabs(value) * snapScale < 9e15)
            value = std::round(value * snapScale) / snapScale;
        ticks.values.push_back(value);
        ticks.pixels.push_back(WorldToScreen(value));
    }
    return ticks;
}

TickSet LinearMap::ComputeTicks(int n, int least) const {
    const double start = worldStart_, end = worldEnd_;
    int e = OrderOfMagnitude(std::fabs(end) > std::fabs(start) ? end : start);
    if (start == end) {
        TickSet ticks;
        ticks.exponent = e;
        for (int i = 0; i < n; ++i) {
            ticks.pixels.push_back(screenStart_);
            ticks.values.push_back(start);
        }
        return ticks;
    }
    if (!std::isfinite(start) || !std::isfinite(end)) return {};
    auto apart = [&](int exponent) {
        return std::fabs(TimesPowerOfTen(start, -exponent) - TimesPowerOfTen(end, -exponent));
    };
    // Lower the exponent until the scaled ends lie at least 0.2 apart, while both stay below 100.
    for (int guard = 0; guard < 700 && apart(e) < kTickPointTwo; ++guard) {
        const double a = TimesPowerOfTen(start, -e), b = TimesPowerOfTen(end, -e);
        if (!(a < 100 && b < 100)) break;
        --e;
    }
    TickSet ticks = PlaceTicks(n, e);
    // A narrow range far from zero (1000 .. 1000.5) stops above with its ends closer than any
    // step: go on lowering the exponent there. Ranges that already have ticks keep them.
    if (ticks.Count() == 0 && apart(e) < kTickPointTwo) {
        for (int guard = 0; guard < 700 && apart(e) < kTickPointTwo; ++guard) --e;
        ticks = PlaceTicks(n, e);
    }
    // A narrow range far from zero (55.000 .. 55.012) also stops above with a tick or two, which
    // give little or no scale to read: on request the exponent goes on down until `least` ticks
    // stand in the range.
    if (least <= n && ticks.Count() < least) {
        for (int f = e - 1, guard = 0; guard < 700 && apart(f) <= 1000.0 * n; --f, ++guard) {
            TickSet finer = PlaceTicks(n, f);
            if (finer.Count() >= least) return finer;
        }
    }
    return ticks;
}

namespace {

// A pixel of the value axis, truncated. Across a span too wide for a double the map's scale is
// infinite and its pixels meaningless: the row comes from the fraction of halved values.
double TruncatedRow(double row, double low, double high, int height, double value) {
    if ((!std::isfinite(row) || !std::isfinite(high - low)) && std::isfinite(value) &&
        low != high) {
        const double fraction = (value / 2 - low / 2) / (high / 2 - low / 2);
        row = height - fraction * height;
    }
    return static_cast<double>(LinearMap::TruncatePixel(row));
}

}  // namespace

double ValueAxisRow(double low, double high, int height, double value) {
    return TruncatedRow(LinearMap(height, 0.0, low, high).WorldToScreen(value), low, high, height,
                        value);
}

TickSet ValueAxisTicks(double low, double high, int height, int intervals) {
    const TickSet all = LinearMap(height, 0.0, low, high).ComputeTicks(intervals, 3);
    TickSet ticks;
    ticks.exponent = all.exponent;
    ticks.step = all.step;
    for (int i = 0; i < all.Count(); ++i) {
        const double v = all.values[static_cast<size_t>(i)];
        if (!std::isfinite(v)) continue;
        ticks.values.push_back(v);
        ticks.pixels.push_back(
            TruncatedRow(all.pixels[static_cast<size_t>(i)], low, high, height, v));
    }
    return ticks;
}
