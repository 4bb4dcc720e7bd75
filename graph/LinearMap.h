// Mapping between world values and pixels of one axis, and the 1-2-5 tick computation shared
// by the panel's grid and both rulers.
#pragma once

#include <cstdint>
#include <vector>

// Ticks of one axis: the decimal exponent e and step (in units of 10^e) they were computed with,
// and per tick its world value and its pixel position (not yet truncated).
struct TickSet {
    int exponent = 0;
    double step = 0.0;
    std::vector<double> pixels;
    std::vector<double> values;
    int Count() const { return static_cast<int>(values.size()); }
};

// Order of magnitude: 0 for 0; the integer part of log10|v| from 1 up; below 1,
// -(integer part of (-log10|v| + 1)). So 250 gives 2, 1 gives 0, 0.5 gives -1, 0.05 gives -2.
int OrderOfMagnitude(double v);

// The smallest value of the form 1, 2 or 5 times a power of ten (from 0.1 up) that is not below
// |a - b| / n; 0.1 for n = 0.
double NiceStep(double a, double b, int n);

// v x 10^k. Exponents beyond the range of a double's powers of ten (ranges of denormal
// magnitude) are applied in two halves, so that neither factor overflows.
double TimesPowerOfTen(double v, int k);

// Constants of the tick computation, in double precision: a step kept in single precision
// (0.1f x 10 > 1) would miss the tick at the end of a range such as 0 .. 1.
inline constexpr double kTickPointOne = 0.1;
inline constexpr double kTickPointTwo = 0.2;

class LinearMap {
public:
    // Pixels are clamped to this magnitude when truncated, so that far-away points stay
    // representable.
    static constexpr int64_t kPixelLimit = int64_t{1} << 40;

    LinearMap(double screenStart, double screenEnd, double worldStart, double worldEnd);

    double ScreenStart() const { return screenStart_; }
    double ScreenEnd() const { return screenEnd_; }
    double WorldStart() const { return worldStart_; }
    double WorldEnd() const { return worldEnd_; }
    double WorldPerPixel() const { return worldPerPixel_; }

    // World to pixel as a double. A world range with equal ends maps everything to the middle
    // of the screen range (there is no scale to map with).
    double WorldToScreen(double w) const {
        if (screenStart_ == screenEnd_) return screenStart_;
        if (worldPerPixel_ == 0.0) return (screenStart_ + screenEnd_) / 2;
        return screenStart_ + (w - worldStart_) / worldPerPixel_;
    }
    // World to pixel, truncated toward zero (clamped to +-kPixelLimit; NaN to -kPixelLimit).
    int64_t WorldToPixel(double w) const { return TruncatePixel(WorldToScreen(w)); }
    double PixelToWorld(double p) const {
        if (worldStart_ == worldEnd_) return worldStart_;
        return worldStart_ + (p - screenStart_) * worldPerPixel_;
    }

    // Ticks for about n intervals at 1-2-5 steps, in the direction from worldStart to worldEnd.
    // A range that would get fewer than `least` ticks (at most n) gets finer steps until that
    // many stand in it.
    TickSet ComputeTicks(int n, int least = 0) const;

    static int64_t TruncatePixel(double v) {
        if (!(v > -static_cast<double>(kPixelLimit))) return -kPixelLimit;
        if (v > static_cast<double>(kPixelLimit)) return kPixelLimit;
        return static_cast<int64_t>(v);
    }

private:
    // The ticks for the decimal exponent e (steps in units of 10^e).
    TickSet PlaceTicks(int n, int e) const;

    double screenStart_, screenEnd_, worldStart_, worldEnd_, worldPerPixel_;
};

// The value axis of a plot `height` pixels high showing low .. high from its bottom (row
// `height`) to its top (row 0). The panel's horizontal grid lines and the value ruler's ticks
// both stand on these rows, so that the ruler's ticks continue the grid lines exactly.
// The row of `value`, truncated to a whole pixel (clamped like LinearMap::TruncatePixel); a
// span too wide for a double is worked out from halved values.
double ValueAxisRow(double low, double high, int height, double value);
// The ticks for about `intervals` intervals, their pixels the rows above; ticks whose value is
// not finite are left out. Where room allows, at least three ticks: an end label may give way
// to the units text, and two labels remain to read the scale from.
TickSet ValueAxisTicks(double low, double high, int height, int intervals);
