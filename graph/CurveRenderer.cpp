#include "graph/CurveRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// floor(n / d) for d > 0.
template <typename T>
T FloorDivPositive(T n, T d) {
    T q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

// y of the x-major line through (x0, y0)-(x1, y1) at x: y0 + round(dy * (x - x0) / dx), halves
// rounded up. dx > 0.
inline int64_t MajorStep(int64_t t, int64_t dMajor, int64_t dMinor) {
    const int64_t limit = int64_t{1} << 30;
    if (t < limit && dMajor < limit && dMinor < limit && dMinor > -limit) {
        return FloorDivPositive<int64_t>(2 * t * dMinor + dMajor, 2 * dMajor);
    }
    const __int128 n = static_cast<__int128>(2) * t * dMinor + dMajor;
    return static_cast<int64_t>(FloorDivPositive<__int128>(n, static_cast<__int128>(2) * dMajor));
}

}  // namespace

CurveRasterizer::CurveRasterizer(QImage& image, const QRect& clip)
    : bits_(image.bits()), stride_(image.bytesPerLine()) {
    const QRect r = clip.intersected(image.rect());
    left_ = r.left();
    top_ = r.top();
    right_ = r.right();
    bottom_ = r.bottom();
}

void CurveRasterizer::FillRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    left = std::max(left, left_);
    right = std::min(right, right_);
    top = std::max(top, top_);
    bottom = std::min(bottom, bottom_);
    for (int64_t y = top; y <= bottom; ++y) {
        uint16_t* row = Row(y);
        for (int64_t x = left; x <= right; ++x) row[x] = color_;
    }
}

void CurveRasterizer::Line(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    // The same pixels whichever end comes first.
    if (x1 < x0 || (x1 == x0 && y1 < y0)) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int64_t dx = x1 - x0, dy = y1 - y0;
    if (dx == 0) {
        VerticalSpan(x0, y0, y1);
        return;
    }
    if (dx >= (dy < 0 ? -dy : dy)) {
        // x-major: one pixel per column, only the visible columns are visited.
        const int64_t from = std::max(x0, left_), to = std::min(x1, right_);
        for (int64_t x = from; x <= to; ++x) Plot(x, y0 + MajorStep(x - x0, dx, dy));
        return;
    }
    // y-major: order by y, one pixel per row.
    if (dy < 0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int64_t ady = y1 - y0, adx = x1 - x0;
    const int64_t from = std::max(y0, top_), to = std::min(y1, bottom_);
    for (int64_t y = from; y <= to; ++y) Plot(x0 + MajorStep(y - y0, ady, adx), y);
}

void CurveRasterizer::DottedLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t sx = x1 > x0 ? 1 : x1 < x0 ? -1 : 0;
    const int64_t sy = y1 > y0 ? 1 : y1 < y0 ? -1 : 0;
    const int64_t length = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int64_t i = 0; i < length; ++i) {
        if (i % 6 < 3) Plot(x0 + sx * i, y0 + sy * i);
    }
}

void DrawSeriesStraight(CurveRasterizer& r, const CPointsCollection& points, const LinearMap& xMap,
                        const LinearMap& yMap, const SeriesStyle& style) {
    r.SetColor(style.color);
    const size_t n = static_cast<size_t>(points.GetCount());
    bool first = true;
    int64_t px = 0, py = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = points.X(i), y = points.Y(i);
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        const int64_t qx = xMap.WorldToPixel(x), qy = yMap.WorldToPixel(y);
        if (first) {
            if (style.markPoints) r.Marker(qx, qy, style.markerHalfSize);
            px = qx;
            py = qy;
            first = false;
            continue;
        }
        if (qx == px && qy == py) continue;
        if (style.markPoints) r.Marker(qx, qy, style.markerHalfSize);
        if (!style.noLines) r.Line(px, py, qx, qy);
        px = qx;
        py = qy;
    }
}

namespace {

// Per-column work of the aggregated drawing: which rows of a column hold points, dilated into
// marker squares. It also keeps which rows those squares cover, so that a block of points whose
// rows all lie where squares already are can be passed without looking at its points: the
// squares it would add lie inside the ones there.
class MarkerColumn {
public:
    MarkerColumn(const CurveRasterizer& r, int s)
        : s_(s), top_(r.Top() - s - 1), bottom_(r.Bottom() + s + 1) {
        seen_.assign(static_cast<size_t>(bottom_ - top_ + 1), 0);
        covered_.assign(static_cast<size_t>(bottom_ - top_ + 1 + 2 * s), 0);
    }
    int64_t Clamp(int64_t row) const { return std::clamp(row, top_, bottom_); }
    void Add(int64_t row) {
        row = Clamp(row);
        if (!seen_[static_cast<size_t>(row - top_)]) {
            seen_[static_cast<size_t>(row - top_)] = 1;
            rows_.push_back(row);
            std::fill_n(covered_.begin() + (row - top_), 2 * s_ + 1, 1);
        }
    }
    // Whether the squares of every row from a to b (a <= b, both clamped) lie in those there.
    bool Covers(int64_t a, int64_t b) const {
        if (rows_.empty()) return false;
        const char* from = covered_.data() + (a - top_);
        return std::memchr(from, 0, static_cast<size_t>(b - a + 2 * s_ + 1)) == nullptr;
    }
    void Flush(CurveRasterizer& r, int64_t column) {
        if (rows_.empty()) return;
        std::sort(rows_.begin(), rows_.end());
        int64_t start = rows_[0] - s_, end = rows_[0] + s_;
        for (size_t i = 1; i < rows_.size(); ++i) {
            if (rows_[i] - s_ > end + 1) {
                r.FillRect(column - s_, start, column + s_, end);
                start = rows_[i] - s_;
            }
            end = rows_[i] + s_;
        }
        r.FillRect(column - s_, start, column + s_, end);
        for (int64_t row : rows_) seen_[static_cast<size_t>(row - top_)] = 0;
        std::fill(covered_.begin() + (rows_.front() - top_),
                  covered_.begin() + (rows_.back() - top_ + 2 * s_ + 1), 0);
        rows_.clear();
    }

private:
    int s_;
    int64_t top_, bottom_;
    std::vector<char> seen_;
    std::vector<char> covered_;  // covered_[i]: row top_ - s + i lies in a square
    std::vector<int64_t> rows_;
};

}  // namespace

void DrawSeriesAggregated(CurveRasterizer& r, const CPointsCollection& points,
                          const LinearMap& xMap, const LinearMap& yMap, const SeriesStyle& style) {
    r.SetColor(style.color);
    const int64_t n = points.GetCount();
    if (n == 0) return;
    const auto& blocks = points.Blocks();
    constexpr int64_t B = static_cast<int64_t>(CPointsCollection::kBlock);
    auto Y = [&](int64_t i) { return points.Y(static_cast<size_t>(i)); };
    auto column = [&](int64_t i) { return xMap.WorldToPixel(points.X(static_cast<size_t>(i))); };
    auto row = [&](double y) { return yMap.WorldToPixel(y); };
    // key(i) never decreases with i, whichever way the x map runs.
    const bool increasing = column(0) <= column(n - 1);
    auto key = [&](int64_t i) { return increasing ? column(i) : -column(i); };
    // First index in [a, b) whose key exceeds v (b when there is none).
    auto firstAbove = [&](int64_t a, int64_t b, int64_t v) {
        while (a < b) {
            const int64_t mid = a + (b - a) / 2;
            if (key(mid) > v) {
                b = mid;
            } else {
                a = mid + 1;
            }
        }
        return a;
    };

    // Columns that can show something: the clip widened by the marker reach. `first` is the
    // first point in them, `last` the first point beyond them.
    const int64_t reach = style.markerHalfSize + 1;
    const int64_t lo = r.Left() - reach, hi = r.Right() + reach;
    const int64_t first = firstAbove(0, n, (increasing ? lo : -hi) - 1);
    const int64_t last = firstAbove(first, n, increasing ? hi : -lo);

    bool havePrev = false;
    int64_t prevX = 0, prevY = 0;
    for (int64_t i = first - 1; i >= 0; --i) {
        if (const double y = Y(i); std::isfinite(y)) {
            havePrev = true;
            prevX = column(i);
            prevY = row(y);
            break;
        }
    }
    auto connect = [&](int64_t x, int64_t y) {
        if (havePrev && !style.noLines && (x != prevX || y != prevY)) r.Line(prevX, prevY, x, y);
    };

    MarkerColumn markers(r, style.markerHalfSize);
    int64_t i = first;
    while (i < last) {
        const int64_t c = column(i);
        // The run of points in this column: gallop, then search.
        const int64_t kc = key(i);
        int64_t known = i, probe = i + 1, step = 1;
        while (probe < last && key(probe) <= kc) {
            known = probe;
            step *= 2;
            probe = i + step;
        }
        const int64_t runEnd = firstAbove(known + 1, std::min(probe, last), kc);
        // First and last finite point, lowest and highest y.
        int64_t f = i;
        while (f < runEnd && !std::isfinite(Y(f))) ++f;
        if (f == runEnd) {
            i = runEnd;
            continue;
        }
        int64_t l = runEnd - 1;
        while (!std::isfinite(Y(l))) --l;
        const double yFirst = Y(f), yLast = Y(l);
        double minY = yFirst, maxY = yFirst;
        int64_t k = f;
        while (k <= l) {
            if (k % B == 0 && k + B - 1 <= l) {
                const auto& s = blocks[static_cast<size_t>(k / B)];
                minY = std::min(minY, s.minY);
                maxY = std::max(maxY, s.maxY);
                k += B;
            } else {
                if (const double y = Y(k); std::isfinite(y)) {
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
                ++k;
            }
        }
        const int64_t rowFirst = row(yFirst), rowLast = row(yLast);
        connect(c, rowFirst);
        const int64_t a = row(minY), b = row(maxY);
        if (a != b && !style.noLines) r.VerticalSpan(c, a, b);
        if (style.markPoints) {
            // Rows follow y monotonically, so a whole block's rows lie between the rows of its
            // lowest and highest y; blocks inside the squares there add nothing.
            int64_t m = f;
            while (m <= l) {
                if (m % B == 0 && m + B - 1 <= l) {
                    const auto& s = blocks[static_cast<size_t>(m / B)];
                    if (!(s.minY <= s.maxY)) {
                        m += B;  // no finite y
                        continue;
                    }
                    int64_t ra = markers.Clamp(row(s.minY)), rb = markers.Clamp(row(s.maxY));
                    if (ra > rb) std::swap(ra, rb);
                    if (markers.Covers(ra, rb)) {
                        m += B;
                        continue;
                    }
                    for (const int64_t blockEnd = m + B; m < blockEnd; ++m) {
                        if (const double y = Y(m); std::isfinite(y)) markers.Add(row(y));
                    }
                    continue;
                }
                if (const double y = Y(m); std::isfinite(y)) markers.Add(row(y));
                ++m;
            }
            markers.Flush(r, c);
        }
        havePrev = true;
        prevX = c;
        prevY = rowLast;
        i = runEnd;
    }
    // The segment to the first point beyond the window.
    for (int64_t j = last; j < n; ++j) {
        if (const double y = Y(j); std::isfinite(y)) {
            connect(column(j), row(y));
            break;
        }
    }
}

void DrawSeries(CurveRasterizer& r, const CPointsCollection& points, const LinearMap& xMap,
                const LinearMap& yMap, const SeriesStyle& style) {
    if (points.IsXOrdered()) {
        DrawSeriesAggregated(r, points, xMap, yMap, style);
    } else {
        DrawSeriesStraight(r, points, xMap, yMap, style);
    }
}
