// Dotted grid lines wider than one pixel, for pictures of a higher resolution than the window's:
// a line as wide as one pixel of the window is as easy to see on a printed page as on the screen.
#pragma once

#include <cstdint>

#include "graph/CurveRenderer.h"

// The dotted line of CurveRasterizer::DottedLine scaled by `width`: a horizontal or vertical line
// `width` pixels thick, from (x0, y0) towards (x1, y1) without the end point, with dots and gaps
// of 3 x width pixels, the first dot at the start.
void WideDottedLine(CurveRasterizer& r, int64_t x0, int64_t y0, int64_t x1, int64_t y1, int width);
