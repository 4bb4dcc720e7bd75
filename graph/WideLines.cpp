#include "graph/WideLines.h"

#include <algorithm>
#include <cstdlib>

void WideDottedLine(CurveRasterizer& r, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int width) {
    const int64_t sx = x1 > x0 ? 1 : x1 < x0 ? -1 : 0;
    const int64_t sy = y1 > y0 ? 1 : y1 < y0 ? -1 : 0;
    const int64_t length = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    const int64_t dot = 3 * static_cast<int64_t>(width);
    const int64_t before = (width - 1) / 2, after = width / 2;  // across the line
    for (int64_t start = 0; start < length; start += 2 * dot) {
        const int64_t end = std::min(start + dot, length) - 1;  // last pixel of this dot
        const int64_t ax = x0 + sx * start, ay = y0 + sy * start;
        const int64_t bx = x0 + sx * end, by = y0 + sy * end;
        if (sx == 0) {
            r.FillRect(ax - before, std::min(ay, by), ax + after, std::max(ay, by));
        } else {
            r.FillRect(std::min(ax, bx), ay - before, std::max(ax, bx), ay + after);
        }
    }
}
