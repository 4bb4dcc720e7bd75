// Drawing series into the panel's 16-bit back buffer.
//
// Lines and markers are rasterised here rather than by QPainter: each segment covers exactly
// the pixels of a symmetric Bresenham line with both end pixels, whatever its direction, and
// clipping never changes which pixels a segment covers. That makes two ways of drawing a
// series give the same pixels:
//  - DrawSeriesStraight connects every point in order, as the panel's algorithm describes
//    (points on the pixel of the last drawn point are skipped);
//  - DrawSeriesAggregated walks pixel columns instead of points: per column only its first
//    and last point, the vertical span between its lowest and highest point (from per-block
//    minima and maxima) and the connections to the neighbouring columns. Its cost follows the
//    pixels, not the number of points.
#pragma once

#include <QImage>
#include <QRect>

#include <cstdint>
#include <vector>

#include "graph/GraphProps.h"
#include "graph/LinearMap.h"

// A 16-bit RGB555 value for a colour: the quantisation of the back buffer.
inline uint16_t ToRgb555(COLORREF c) {
    const uint16_t r = (c & 0xFF) >> 3, g = ((c >> 8) & 0xFF) >> 3, b = ((c >> 16) & 0xFF) >> 3;
    return static_cast<uint16_t>((r << 10) | (g << 5) | b);
}

class CurveRasterizer {
public:
    // `image` must be Format_RGB555; drawing is clipped to `clip` and to the image.
    CurveRasterizer(QImage& image, const QRect& clip);

    void SetColor(uint16_t color) { color_ = color; }

    void Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1);
    // Square of side 2s + 1 centred on (x, y).
    void Marker(int64_t x, int64_t y, int s) { FillRect(x - s, y - s, x + s, y + s); }
    // Inclusive rectangle.
    void FillRect(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void VerticalSpan(int64_t x, int64_t y0, int64_t y1) {
        FillRect(x, std::min(y0, y1), x, std::max(y0, y1));
    }
    void Plot(int64_t x, int64_t y) {
        if (x >= left_ && x <= right_ && y >= top_ && y <= bottom_) Row(y)[x] = color_;
    }
    // A dotted line (3 pixels on, 3 off, the pattern starting at the first point) of a vertical
    // or horizontal line from (x0, y0) towards (x1, y1), the end point left out.
    void DottedLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

    int64_t Left() const { return left_; }
    int64_t Right() const { return right_; }
    int64_t Top() const { return top_; }
    int64_t Bottom() const { return bottom_; }

private:
    uint16_t* Row(int64_t y) { return reinterpret_cast<uint16_t*>(bits_ + y * stride_); }

    uchar* bits_;
    qsizetype stride_;
    int64_t left_, top_, right_, bottom_;  // inclusive clip
    uint16_t color_ = 0;
};

struct SeriesStyle {
    uint16_t color;
    bool markPoints;
    bool noLines;
    int markerHalfSize;
};

void DrawSeriesStraight(CurveRasterizer& r, const CPointsCollection& points, const LinearMap& xMap,
                        const LinearMap& yMap, const SeriesStyle& style);

// Same pixels as DrawSeriesStraight; needs points with finite, non-decreasing x
// (CPointsCollection::IsXOrdered).
void DrawSeriesAggregated(CurveRasterizer& r, const CPointsCollection& points,
                          const LinearMap& xMap, const LinearMap& yMap, const SeriesStyle& style);

// The aggregated way when the points allow it, else the straight one.
void DrawSeries(CurveRasterizer& r, const CPointsCollection& points, const LinearMap& xMap,
                const LinearMap& yMap, const SeriesStyle& style);
