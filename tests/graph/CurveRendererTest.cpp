// The per-column aggregation must give exactly the pixels of drawing every segment.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "graph/CurveRenderer.h"

namespace {

QImage Blank(int w, int h) {
    QImage image(w, h, QImage::Format_RGB555);
    image.fill(QColor(245, 245, 245));
    return image;
}

// Draws `points` both ways and reports the first differing pixel.
::testing::AssertionResult SamePixels(const CPointsCollection& points, const LinearMap& x,
                                      const LinearMap& y, int w, int h, const SeriesStyle& style) {
    QImage a = Blank(w, h), b = Blank(w, h);
    CurveRasterizer ra(a, a.rect()), rb(b, b.rect());
    DrawSeriesStraight(ra, points, x, y, style);
    DrawSeriesAggregated(rb, points, x, y, style);
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            if (a.pixel(col, row) != b.pixel(col, row)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << col << ", " << row << ") differs: straight " << std::hex
                       << a.pixel(col, row) << " aggregated " << b.pixel(col, row);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

CPointsCollection Series(int kind, int n, std::mt19937& random) {
    CPointsCollection c(1, 0);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double level = 50;
    for (int i = 0; i < n; ++i) {
        double y = 0;
        switch (kind) {
            case 0: y = u(random) * 100; break;                           // noise
            case 1: y = 50 + 40 * std::sin(i / 50.0) + u(random); break;  // wave
            case 2: y = (i / 97) % 2 ? 80 : 20; break;                    // steps
            case 3: y = i % 500 == 250 ? 1e6 : 40 + (i % 3); break;       // spikes
            case 4: y = 42; break;                                        // flat
            case 5:
                level += u(random) - 0.5;
                y = level;
                break;                                                         // random walk
            case 6: y = (i % 11 == 5) ? std::nan("") : u(random) * 10; break;  // gaps of NaN
            default: y = i; break;
        }
        c.AddPoint(i, y, 0, 0);
    }
    return c;
}

}  // namespace

TEST(CurveRenderer, SymmetricLinesAndClipping) {
    QImage a = Blank(40, 30), b = Blank(40, 30);
    CurveRasterizer ra(a, a.rect()), rb(b, b.rect());
    ra.SetColor(0);
    rb.SetColor(0);
    ra.Line(-50, 3, 90, 27);  // drawn in either direction, clipped or not: same pixels
    rb.Line(90, 27, -50, 3);
    EXPECT_EQ(a, b);
    QImage c = Blank(40, 30);
    CurveRasterizer rc(c, c.rect());
    rc.SetColor(0);
    rc.Line(3, 2, 3, 9);
    for (int yy = 2; yy <= 9; ++yy)
        EXPECT_EQ(c.pixel(3, yy), 0xFF000000u) << yy;  // both ends included
    rc.Line(-(int64_t{1} << 40), -(int64_t{1} << 40), int64_t{1} << 40,
            int64_t{1} << 40);  // far ends
    EXPECT_EQ(c.pixel(20, 20), 0xFF000000u);
}

TEST(CurveRenderer, AggregatedEqualsStraightOnRandomAndAdversarialSeries) {
    std::mt19937 random(2024);
    const struct { int w, h; } sizes[] = {{200, 120}, {1, 80}, {90, 1}, {37, 53}};
    for (int kind = 0; kind < 8; ++kind) {
        const CPointsCollection points = Series(kind, 5000, random);
        for (const auto& size : sizes) {
            const double w = size.w, h = size.h;
            const struct {
                double x0, x1, y0, y1;
            } views[] = {
                {0, 4999, -5, 105},        // everything
                {1200, 1260, 30, 70},      // zoomed: points beyond both sides
                {4999, 0, -5, 105},        // reversed x
                {0, 4999, 105, -5},        // reversed y
                {2000, 2000.5, 0, 100},    // less than one point wide
                {-3000, 9000, -500, 600},  // data in the middle
                {10000, 20000, 0, 100},    // data entirely left of the view
                {0, 4999, 41.5, 42.5},     // thin y slice
            };
            for (const auto& v : views) {
                const LinearMap x(0, w, v.x0, v.x1), y(h, 0, v.y0, v.y1);
                for (int style = 0; style < 4; ++style) {
                    const SeriesStyle s{0x1234, (style & 1) != 0, style == 3, 2};
                    ASSERT_TRUE(SamePixels(points, x, y, size.w, size.h, s))
                        << "kind " << kind << " size " << size.w << "x" << size.h << " view "
                        << v.x0 << ".." << v.x1 << " style " << style;
                }
            }
        }
    }
}

TEST(CurveRenderer, DegenerateSeries) {
    std::mt19937 random(5);
    const LinearMap x(0, 100, 0, 10), y(100, 0, 0, 10);
    CPointsCollection one(1, 0);
    one.AddPoint(5, 5, 1, 0);
    CPointsCollection samePixel(1, 0);
    for (int i = 0; i < 50; ++i) samePixel.AddPoint(5 + i * 1e-6, 5, 1, 0);
    CPointsCollection empty(1, 0);
    for (const CPointsCollection* c : {&one, &samePixel, &empty}) {
        for (bool mark : {false, true}) {
            EXPECT_TRUE(SamePixels(*c, x, y, 100, 100, SeriesStyle{0, mark, false, 2}));
        }
    }
    // All on one pixel: a marker with markers on, nothing without.
    QImage image = Blank(100, 100);
    CurveRasterizer r(image, image.rect());
    DrawSeriesAggregated(r, samePixel, x, y, SeriesStyle{0, false, false, 2});
    EXPECT_EQ(image, Blank(100, 100));
    DrawSeriesAggregated(r, samePixel, x, y, SeriesStyle{0, true, false, 2});
    EXPECT_EQ(image.pixel(50, 50), 0xFF000000u);
    EXPECT_EQ(image.pixel(52, 48), 0xFF000000u);
    EXPECT_NE(image.pixel(53, 50), 0xFF000000u);
}

TEST(CurveRenderer, LargeSeriesStayExact) {
    std::mt19937 random(77);
    const CPointsCollection points = Series(5, 400000, random);
    for (auto [x0, x1] : {std::pair{0.0, 399999.0}, std::pair{150000.0, 151000.0}}) {
        const LinearMap x(0, 640, x0, x1), y(360, 0, 0, 100);
        EXPECT_TRUE(SamePixels(points, x, y, 640, 360, SeriesStyle{0x7C00, false, false, 2}));
        EXPECT_TRUE(SamePixels(points, x, y, 640, 360, SeriesStyle{0x7C00, true, false, 2}));
    }
}
