// The graph drawn for a saved picture or a printed page at the target's own size and
// resolution, from the graph's state: the legend above the plot as the window shows it, the
// rulers and the plot with the view's ranges. The windows on the screen are not touched.
#pragma once

#include <QImage>

class CGraphFrame;
class QPainter;
class QRect;
class QString;
class QSize;

// Draws what the graph window shows into `rect` of `painter` (one device pixel per painter
// unit), laid out for that rectangle at `dpi` pixels per inch: the legend strip at the top when
// the legend is docked above the plot and shown (its height and the list's margins as in the
// window, converted from the window's resolution to `dpi`), then rulers and plot below it.
void DrawGraphPicture(QPainter& painter, const QRect& rect, double dpi, CGraphFrame& frame);

// The graph as a picture of `size` pixels at the window's resolution (Format_RGB888).
// Throws std::bad_alloc when its memory cannot be had.
QImage GraphPicture(CGraphFrame& frame, const QSize& size);

// The legend of a printed page from the top-left corner of `box`: the caption above one row per
// series (colour swatch and name; a hidden series greyed), the names at kPrintedLegendPoints
// and the caption at kPrintedCaptionPoints of the painter's device whatever the page's scale;
// a name too long for the box wraps. Returns the device row below the last entry.
inline constexpr double kPrintedLegendPoints = 9.0;
inline constexpr double kPrintedCaptionPoints = 12.0;
int DrawPrintedLegend(QPainter& painter, const QRect& box, const QString& caption,
                      CGraphFrame& frame);
