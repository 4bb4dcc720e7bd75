// The readout of every curve: a vertical line at the sample under the mouse and a box with
// that sample's time and the value of each shown curve.
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/TimeTicks.h"
#include "recording/SampleExport.h"

namespace {

// Inner margin of the box and its distance from the line, in widget pixels.
constexpr int kBoxPadding = 4;
constexpr int kBoxOffset = 10;
// How far below the pointer the value tooltip opens, in widget pixels.
constexpr int kTooltipDrop = 24;

// The point of `s` whose x lies nearest to x; -1 without points.
int NearestByX(const CPointsCollection& s, double x) {
    const int n = s.GetCount();
    if (n == 0) return -1;
    if (!s.IsXOrdered()) {
        // Points in no order of x: the one at the index x, as the series was built.
        const double i = std::clamp(std::round(x), 0.0, static_cast<double>(n - 1));
        return static_cast<int>(i);
    }
    const int lo = static_cast<int>(s.FirstAtOrAfterX(x));
    if (lo == n) return n - 1;
    if (lo > 0 && x - s.X(static_cast<size_t>(lo - 1)) <= s.X(static_cast<size_t>(lo)) - x)
        return lo - 1;
    return lo;
}

}  // namespace

PanelReadout CGraphPanel::ReadoutAt(const QPoint& pos) const {
    PanelReadout readout;
    CGraphWnd* graph = GraphWindow();
    const CGraphProps* zero = SeriesZero();
    if (!HasMaps() || graph == nullptr || zero == nullptr || zero->GetCount() == 0) return readout;
    const double wx = xMap_->PixelToWorld(DevicePos(pos).x());
    // The sample nearest in time: samples are not evenly spread over x where the window was
    // thinned or has gaps.
    const SampleClock clock(zero);
    const int sample = clock.Valid() ? clock.NearestPoint(clock.TimeAt(wx)) : NearestByX(*zero, wx);
    if (sample < 0) return readout;
    const GraphPoint at = zero->GetPoint(sample);
    readout.sample = sample;
    readout.lineX = xMap_->WorldToScreen(at.x) / scale_;
    readout.lines.push_back(
        {QString::fromStdString(kws::rec::FormatLocalTimeMarked(at.time, "%d/%m/%Y, %H:%M:%S")),
         RGB(0, 0, 0), false});
    const AxisDescription& axis = graph->GetAxis(0);
    int position = 0;
    for (const CGraphProps* s = graph->GetFirstSeries(position); s != nullptr;
         s = graph->GetNextSeries(position)) {
        if (!s->IsShown()) continue;
        // The series' point at the sample; a series without one there (a skipped reading)
        // shows a dash.
        const int i = NearestByX(*s, at.x);
        QString value = QStringLiteral("\u2013");
        if (i >= 0 && std::fabs(s->X(static_cast<size_t>(i)) - at.x) < 0.5)
            value = axis.FormatReading(s->Y(static_cast<size_t>(i)), 0, false);
        // The title carries the curve's unit ("Drehzahl (%)").
        readout.lines.push_back({s->GetTitle() + ": " + value, s->GetColor(), true});
    }
    return readout;
}

QRect CGraphPanel::ReadoutBox(const PanelReadout& readout, const QPoint& pos) const {
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    int textWidth = 0;
    for (const PanelReadout::Line& line : readout.lines)
        textWidth = std::max(textWidth,
                             metrics.horizontalAdvance(line.text) + (line.curve ? lineHeight : 0));
    const int w = textWidth + 2 * kBoxPadding;
    const int h = static_cast<int>(readout.lines.size()) * lineHeight + 2 * kBoxPadding;
    // The value tooltip of "track the mouse" opens below and right of the pointer, so the box
    // goes above the pointer, right of the line (left of it where the plot ends). Where there is
    // no room above, it goes below, on the other side of the line than the tooltip.
    const int lineX = static_cast<int>(std::floor(readout.lineX));
    int left = lineX + kBoxOffset;
    int top = pos.y() - kBoxOffset - h;
    if (top < 0) {
        top = pos.y() + kBoxOffset;
        left = lineX - kBoxOffset - w;
        if (left < 0) {
            // No room left of the line either: right of it, below the tooltip.
            left = lineX + kBoxOffset;
            top = pos.y() + kTooltipDrop + lineHeight + kBoxOffset;
        }
    } else if (left + w > width()) {
        left = lineX - kBoxOffset - w;
    }
    left = std::max(0, std::min(left, width() - w));
    top = std::max(0, std::min(top, height() - h));
    return QRect(left, top, w, h);
}

void CGraphPanel::DrawReadout(QPainter& painter) const {
    if (!readoutPos_) return;
    const PanelReadout readout = ReadoutAt(*readoutPos_);
    if (readout.sample < 0) return;
    painter.save();
    painter.setPen(QPen(QColor(64, 64, 64), 0));
    painter.drawLine(QLineF(readout.lineX, 0, readout.lineX, height()));
    const QRect box = ReadoutBox(readout, *readoutPos_);
    painter.fillRect(box, QColor(255, 255, 225));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    int y = box.top() + kBoxPadding;
    for (const PanelReadout::Line& line : readout.lines) {
        int x = box.left() + kBoxPadding;
        if (line.curve) {
            // A swatch in the curve's colour before its value.
            const int side = lineHeight - 4;
            painter.fillRect(QRect(x, y + 2, side, side), ToQColor(line.color));
            painter.drawRect(QRect(x, y + 2, side - 1, side - 1));
            x += lineHeight;
        }
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x, y + metrics.ascent()), line.text);
        painter.setPen(QPen(QColor(64, 64, 64), 0));
        y += lineHeight;
    }
    painter.restore();
}
