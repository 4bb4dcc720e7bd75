#include "graph/PlotShapes.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "graph/CurveRenderer.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"

namespace {

// A 16-bit pixel of the panel's pictures as the colour a screen shows for it: each 5-bit channel
// widened to 8 bits by repeating its top bits.
QColor Rgb555Color(uint16_t v) {
    auto channel = [](int c5) { return (c5 << 3) | (c5 >> 2); };
    return QColor(channel((v >> 10) & 31), channel((v >> 5) & 31), channel(v & 31));
}

const uint16_t* PixelRow(const QImage& image, int y) {
    return reinterpret_cast<const uint16_t*>(image.constScanLine(y));
}

// The colours of the shown series, each once, ordered by the last series that draws in it (that
// series' pixels lie over the earlier ones; bands are drawn before the other series).
std::vector<uint16_t> SeriesColours(const CGraphPanel& panel, uint16_t background) {
    std::vector<uint16_t> colours;
    CGraphWnd* graph = panel.GraphWindow();
    if (graph == nullptr) return colours;
    // In the order the panel draws them: the bands, then the lines.
    for (const bool bands : {true, false}) {
        int position = 0;
        for (const CGraphProps* s = graph->GetFirstSeries(position); s != nullptr;
             s = graph->GetNextSeries(position)) {
            if (s->IsBand() != bands || !s->IsShown() || s->GetCount() == 0) continue;
            const uint16_t c = ToRgb555(s->GetColor());
            colours.erase(std::remove(colours.begin(), colours.end(), c), colours.end());
            if (c != background) colours.push_back(c);
        }
    }
    return colours;
}

void FillShape(QPainter& painter, const std::vector<QRect>& rects, const QPoint& at,
               const QColor& colour) {
    if (rects.empty()) return;
    // One shape per colour: the device fills it at once, with no seams between its rectangles.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRect& r : rects) path.addRect(QRectF(r.translated(at)));
    painter.fillPath(path, colour);
}

}  // namespace

BitRows::BitRows(int width, int rows)
    : width_(width),
      rows_(rows),
      words_((width + 63) / 64),
      bits_(static_cast<size_t>(words_) * static_cast<size_t>(rows), 0) {}

bool BitRows::Any() const {
    return std::any_of(bits_.begin(), bits_.end(), [](uint64_t w) { return w != 0; });
}

void BitRows::Widen(int width) {
    width = std::min(width, 64);  // the shifts below reach one word
    if (width <= 1) return;
    WidenRows(width);
    WidenColumns(width);
}

void BitRows::WidenRows(int width) {
    // Pixel x is set when any of the pixels x - width / 2 .. x + (width - 1) / 2 was.
    const int before = (width - 1) / 2, after = width / 2;
    std::vector<uint64_t> in(static_cast<size_t>(words_) + 2, 0);  // with a zero word each side
    for (int y = 0; y < rows_; ++y) {
        uint64_t* row = Row(y);
        std::copy(row, row + words_, in.begin() + 1);
        for (int i = 0; i < words_; ++i) {
            const uint64_t* w = in.data() + 1 + i;
            uint64_t out = w[0];
            for (int d = 1; d <= before; ++d) out |= (w[0] >> d) | (w[1] << (64 - d));
            for (int d = 1; d <= after; ++d) out |= (w[0] << d) | (w[-1] >> (64 - d));
            row[i] = out;
        }
        // Nothing beyond the last pixel.
        if (width_ % 64 != 0) row[words_ - 1] &= (uint64_t{1} << (width_ % 64)) - 1;
    }
}

void BitRows::WidenColumns(int width) {
    const int before = (width - 1) / 2, after = width / 2;
    const std::vector<uint64_t> in = bits_;
    for (int y = 0; y < rows_; ++y) {
        uint64_t* row = Row(y);
        const int from = std::max(0, y - after), to = std::min(rows_ - 1, y + before);
        for (int k = from; k <= to; ++k) {
            const uint64_t* source = in.data() + static_cast<size_t>(k) * words_;
            for (int i = 0; i < words_; ++i) row[i] |= source[i];
        }
    }
}

void RunMerger::AddRow(const BitRows& bits, int row, int y) {
    next_.clear();
    const uint64_t* words = bits.Row(row);
    const int width = bits.Width();
    // The first pixel from `from` on that is set (or clear): width when there is none.
    auto next = [&](int from, bool set) {
        for (int at = from; at < width;) {
            const int i = at >> 6;
            const uint64_t w = (set ? words[i] : ~words[i]) & (~uint64_t{0} << (at & 63));
            if (w != 0) return std::min(width, (i << 6) + __builtin_ctzll(w));
            at = (i + 1) << 6;
        }
        return width;
    };
    for (int x = next(0, true); x < width;) {
        const int end = next(x, false);
        next_.push_back({x, end - 1, y});
        x = next(end, true);
    }
    // Runs of the row before that continue unchanged keep their top.
    size_t i = 0;
    for (Run& n : next_) {
        while (i < open_.size() && open_[i].x0 < n.x0) Close(open_[i++], y);
        if (i < open_.size() && open_[i].x0 == n.x0 && open_[i].x1 == n.x1) {
            n.top = open_[i++].top;
        }
    }
    while (i < open_.size()) Close(open_[i++], y);
    open_.swap(next_);
    lastY_ = y + 1;
}

void RunMerger::Close(const Run& run, int y) {
    rects_.emplace_back(run.x0, run.top, run.x1 - run.x0 + 1, y - run.top);
}

std::vector<QRect> RunMerger::Finish() {
    for (const Run& run : open_) Close(run, lastY_);
    open_.clear();
    return std::move(rects_);
}

void DrawPlotShapes(QPainter& painter, const QRect& rect, const CGraphPanel& panel,
                    const PanelTarget& target, int lineWidth, int bandPixels) {
    if (rect.isEmpty()) return;
    const int width = rect.width(), height = rect.height();
    const uint16_t background = ToRgb555(panel.BackgroundColor());
    const std::vector<uint16_t> colours = SeriesColours(panel, background);
    // Layer of each 16-bit colour: its place in `colours`, -1 for none.
    auto layerOf = std::make_unique<std::array<int8_t, 1 << 16>>();
    layerOf->fill(-1);
    for (size_t i = 0; i < colours.size(); ++i) (*layerOf)[colours[i]] = static_cast<int8_t>(i);

    // Bands with `margin` rows above and below: a pen reaches that far.
    const int margin = std::max(1, lineWidth);
    const int bandRows = std::clamp(bandPixels / width - 2 * margin, 1, height);
    QImage band(width, bandRows + 2 * margin, QImage::Format_RGB555);
    if (band.isNull()) throw std::bad_alloc();
    PanelTarget curves = target, grid = target;
    curves.grid = false;
    grid.curves = false;
    grid.gridWidth = lineWidth;
    std::vector<RunMerger> layers(colours.size());
    RunMerger gridLayer;
    uint16_t gridColour = background;
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        // Band row j is plot row top - margin + j.
        const QRect plot(0, margin - top, width, height);
        band.fill(background);  // rows beyond the plot's ends hold nothing
        panel.DrawContents(band, plot, curves);
        std::vector<BitRows> bits(colours.size(), BitRows(width, band.height()));
        for (int j = 0; j < band.height(); ++j) {
            const uint16_t* pixels = PixelRow(band, j);
            for (int x = 0; x < width; ++x) {
                const int layer = (*layerOf)[pixels[x]];
                if (layer >= 0) bits[static_cast<size_t>(layer)].Set(x, j);
            }
        }
        for (size_t i = 0; i < colours.size(); ++i) {
            bits[i].Widen(lineWidth);
            for (int j = margin; j < margin + rows; ++j)
                layers[i].AddRow(bits[i], j, top + j - margin);
        }
        // The grid lies over the curves; its dotted lines have their own width and pattern.
        panel.DrawContents(band, plot, grid);
        BitRows dots(width, band.height());
        for (int j = margin; j < margin + rows; ++j) {
            const uint16_t* pixels = PixelRow(band, j);
            for (int x = 0; x < width; ++x) {
                if (pixels[x] == background) continue;
                gridColour = pixels[x];
                dots.Set(x, j);
            }
            gridLayer.AddRow(dots, j, top + j - margin);
        }
    }
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(rect, Rgb555Color(background));
    for (size_t i = 0; i < colours.size(); ++i)
        FillShape(painter, layers[i].Finish(), rect.topLeft(), Rgb555Color(colours[i]));
    FillShape(painter, gridLayer.Finish(), rect.topLeft(), Rgb555Color(gridColour));
    painter.restore();
}
