// The panel's plot as filled shapes, for devices that record what they are given (a printed
// page, a PDF file). The plot is drawn at the device's resolution as the panel draws it, and each
// colour goes to the device as one shape made of runs of its pixels: a page's plot has tens of
// millions of pixels, which as a picture would take seconds to compress and megabytes to keep.
#pragma once

#include <QRect>

#include <cstdint>
#include <vector>

class CGraphPanel;
class QPainter;
struct PanelTarget;

// Draws the panel's view into `rect` of `painter` (one device pixel per painter unit): the
// background, each series' colour in the series' order with its lines widened to `lineWidth`
// pixels by a square pen, then the grid with dotted lines `lineWidth` pixels wide. The plot is
// drawn in bands of about `bandPixels` pixels (the default: 32 MB; fewer bands draw the curves
// fewer times).
void DrawPlotShapes(QPainter& painter, const QRect& rect, const CGraphPanel& panel,
                    const PanelTarget& target, int lineWidth, int bandPixels = 16 << 20);

// One-bit rows of a band of pixels: bit x % 64 of word x / 64 of a row stands for pixel x.
class BitRows {
public:
    BitRows(int width, int rows);
    int Width() const { return width_; }
    int Rows() const { return rows_; }
    int WordsPerRow() const { return words_; }
    uint64_t* Row(int y) { return bits_.data() + static_cast<size_t>(y) * words_; }
    const uint64_t* Row(int y) const { return bits_.data() + static_cast<size_t>(y) * words_; }
    void Set(int x, int y) { Row(y)[x >> 6] |= uint64_t{1} << (x & 63); }
    bool Test(int x, int y) const { return (Row(y)[x >> 6] >> (x & 63)) & 1; }
    bool Any() const;

    // Every set pixel spread to a square of `width` pixels: from (width - 1) / 2 pixels before
    // it to width / 2 pixels after it, across and down (the pixels of a pen of that width).
    void Widen(int width);

private:
    void WidenRows(int width);
    void WidenColumns(int width);

    int width_, rows_, words_;
    std::vector<uint64_t> bits_;
};

// The set pixels of successive rows as rectangles: a run that continues unchanged in the next
// row grows downward instead of starting a new rectangle.
class RunMerger {
public:
    // Adds the runs of `row` of `bits` as row `y` of the picture; rows come in order.
    void AddRow(const BitRows& bits, int row, int y);
    // Closes the open runs; returns every rectangle found.
    std::vector<QRect> Finish();

private:
    struct Run {
        int x0, x1, top;
    };
    void Close(const Run& run, int y);

    std::vector<Run> open_, next_;
    std::vector<QRect> rects_;
    int lastY_ = 0;
};
