#include "graph/GraphPanel.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

#include "graph/CurveRenderer.h"
#include "graph/GraphNotification.h"
#include "graph/GraphWnd.h"
#include "graph/Ruler.h"
#include "graph/WideLines.h"
#include "graph/ZoomTracker.h"

namespace {

// AutoRange for one added point: moves the view end it lies beyond (the upper y end to 4 above
// it). Only finite values count: a NaN or infinity has no place on the axis. The x ends and the
// y ends move independently of each other. Each returns whether an end moved.
bool WidenX(double px, double& x0, double& x1) {
    if (!std::isfinite(px)) return false;
    if (px < x0 && px < x1) {
        (x0 < x1 ? x0 : x1) = px;
        return true;
    }
    if (px > x0 && px > x1) {
        (x0 > x1 ? x0 : x1) = px;
        return true;
    }
    return false;
}

bool WidenY(double py, double& y0, double& y1) {
    if (!std::isfinite(py)) return false;
    if (py < y0 && py < y1) {
        (y0 < y1 ? y0 : y1) = py;
        return true;
    }
    if (py > y0 && py > y1) {
        (y0 > y1 ? y0 : y1) = py + 4.0;
        return true;
    }
    return false;
}

bool WidenForPoint(double px, double py, double& x0, double& x1, double& y0, double& y1) {
    const bool x = WidenX(px, x0, x1);
    const bool y = WidenY(py, y0, y1);
    return x || y;
}

// The same for the points of `s` from `first` on, in their order, so that a block of points ends
// where adding them one by one would.
bool WidenForPoints(const CPointsCollection& s, size_t first, double& x0, double& x1, double& y0,
                    double& y1) {
    constexpr size_t B = CPointsCollection::kBlock;
    const size_t n = static_cast<size_t>(s.GetCount());
    if (first >= n) return false;
    bool widened = false;
    if (s.IsXOrdered()) {
        // Finite x that never decrease: only the first point can lie left of the view, and the
        // last one moves the right end to where all of them would.
        if (WidenX(s.X(first), x0, x1)) widened = true;
        if (n - 1 > first && WidenX(s.X(n - 1), x0, x1)) widened = true;
    } else {
        for (size_t i = first; i < n; ++i) {
            if (WidenX(s.X(i), x0, x1)) widened = true;
        }
    }
    // Summary blocks whose y lie inside the view move nothing.
    const CPointsCollection::BlockVector& blocks = s.Blocks();
    for (size_t i = first; i < n;) {
        if (i % B == 0 && i + B <= n) {
            const CPointsCollection::BlockSummary& b = blocks[i / B];
            if (!(b.minY < std::min(y0, y1)) && !(b.maxY > std::max(y0, y1))) {
                i += B;
                continue;
            }
        }
        if (WidenY(s.Y(i), y0, y1)) widened = true;
        ++i;
    }
    return widened;
}

}  // namespace

CGraphPanel::CGraphPanel(FVRuler* verticalRuler, FHRuler* horizontalRuler, QWidget* parent)
    : QWidget(parent), verticalRuler_(verticalRuler), horizontalRuler_(horizontalRuler) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    tracker_ = new ZoomTracker(QRect(10, 10, 40, 40));
    history_ = std::make_unique<ViewHistory>();
    if (horizontalRuler_ != nullptr) horizontalRuler_->SetPanel(this);
    UpdateDeviceMetrics();
}

CGraphPanel::~CGraphPanel() { delete tracker_; }

CGraphWnd* CGraphPanel::GraphWindow() const {
    // Looked up once: every notification needs it, and the panel never changes graphs.
    if (graph_ == nullptr) graph_ = FindGraphWnd(parentWidget());
    return graph_;
}

const CGraphProps* CGraphPanel::SeriesZero() const {
    CGraphWnd* graph = GraphWindow();
    return graph != nullptr ? graph->GetSeries(0) : nullptr;
}

int CGraphPanel::MarkerHalfSize() const { return markerHalfSize_; }

void CGraphPanel::UpdateDeviceMetrics() {
    scale_ = devicePixelRatioF();
    markerHalfSize_ = static_cast<int>(logicalDpiY() * scale_ * kMarkerHalfSizeInches);
}

void CGraphPanel::GetRanges(double& x0, double& x1, double& y0, double& y1) const {
    if (!HasMaps()) {
        x0 = 0.0;
        x1 = 10.0;
        y0 = 0.0;
        y1 = 10.0;
        return;
    }
    x0 = xMap_->WorldStart();
    x1 = xMap_->WorldEnd();
    y0 = yMap_->WorldStart();
    y1 = yMap_->WorldEnd();
}

void CGraphPanel::RebuildMaps() {
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    const double w = std::round(width() * scale_), h = std::round(height() * scale_);
    xMap_.emplace(0.0, w, x0, x1);
    yMap_.emplace(h, 0.0, y0, y1);
}

void CGraphPanel::SetRanges(double x0, double x1, double y0, double y1, bool redraw) {
    // A range end that is not a number would make every pixel meaningless.
    if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1))
        return;
    SetRangesInternal(x0, x1, y0, y1, redraw);
}

void CGraphPanel::SetRangesInternal(double x0, double x1, double y0, double y1, bool redraw) {
    // Time stamps of series 0 at both x ends, for the time ruler's span: the samples at the
    // integer parts of the ends, clamped to the series like the ruler's labels.
    int64_t t0 = NullTimeStamp(), t1 = NullTimeStamp();
    if (const CGraphProps* s = SeriesZero(); s != nullptr && s->GetCount() > 0) {
        const double last = s->GetCount() - 1;
        t0 = s->GetPoint(static_cast<int>(std::clamp(std::trunc(x0), 0.0, last))).time;
        t1 = s->GetPoint(static_cast<int>(std::clamp(std::trunc(x1), 0.0, last))).time;
    }
    if (HasMaps()) {
        double a, b, c, d;
        GetRanges(a, b, c, d);
        if (a == x0 && b == x1 && c == y0 && d == y1) return;
    }
    const double w = std::round(width() * scale_), h = std::round(height() * scale_);
    xMap_.emplace(0.0, w, x0, x1);
    yMap_.emplace(h, 0.0, y0, y1);
    if (verticalRuler_ != nullptr) verticalRuler_->SetRange(y0, y1, redraw);
    if (horizontalRuler_ != nullptr) {
        horizontalRuler_->SetTimeRange(x0, x1, redraw, t0, t1);
        if (redraw) horizontalRuler_->repaint();
    }
    if (redraw) Render();
    emit RangesChanged();
}

int CGraphPanel::SetModeFlags(int flags, bool redraw) {
    const int previous = modeFlags_;
    if (flags != modeFlags_) {
        modeFlags_ = flags;
        if (redraw) Render();
    }
    return previous;
}

int CGraphPanel::ToggleModeFlag(int bit, bool redraw) {
    return SetModeFlags((modeFlags_ & bit) ? (modeFlags_ & ~bit) : (modeFlags_ | bit), redraw);
}

void CGraphPanel::Render(const QRect& rect) {
    valid_ = false;
    // Requests while a paint of the whole window is pending add nothing: coalesce them.
    if (fullUpdatePending_) return;
    if (rect.isNull() || rect.contains(this->rect())) {
        fullUpdatePending_ = true;
        update();
    } else {
        update(rect);
    }
}

const QImage& CGraphPanel::BackBuffer() {
    if (!valid_) RenderBuffer();
    return backBuffer_;
}

void CGraphPanel::RenderBuffer() {
    if (backBuffer_.isNull()) return;
    DrawContents(backBuffer_, QRect(0, 0, backBuffer_.width(), backBuffer_.height()));
    valid_ = true;
}

void CGraphPanel::DrawContents(QImage& image, const QRect& rect) const {
    PanelTarget target;
    target.markerHalfSize = MarkerHalfSize();
    // The grid takes as many lines as the rulers have labels for the panel's size.
    if ((modeFlags_ & Grid) && HasMaps()) {
        target.timeTicks = VerticalGridTicks().values;
        target.valueIntervals = verticalRuler_ != nullptr
                                    ? verticalRuler_->LabelCount(QRect(0, 0, width(), height()))
                                    : 5;
    }
    image.setDevicePixelRatio(1.0);
    DrawContents(image, rect, target);
    image.setDevicePixelRatio(scale_);
}

void CGraphPanel::DrawContents(QImage& image, const QRect& rect, const PanelTarget& target) const {
    {
        QPainter painter(&image);
        painter.fillRect(rect, ToQColor(background_));
    }
    CGraphWnd* graph = GraphWindow();
    if (!HasMaps() || graph == nullptr) return;
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    const int left = rect.left(), top = rect.top();
    const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    const LinearMap xLocal(left, right, x0, x1);
    const LinearMap yLocal(bottom, top, y0, y1);
    CurveRasterizer raster(image, rect);
    const SeriesStyle base{0, (modeFlags_ & MarkPoints) != 0, (modeFlags_ & NoLines) != 0,
                           target.markerHalfSize};
    // The bands first, then the lines over them; each in slot order.
    for (const bool bands : {true, false}) {
        int position = 0;
        for (const CGraphProps* s = target.curves ? graph->GetFirstSeries(position) : nullptr;
             s != nullptr; s = graph->GetNextSeries(position)) {
            if (s->IsBand() != bands || !s->IsShown() || s->GetCount() == 0) continue;
            SeriesStyle style = base;
            style.color = ToRgb555(s->GetColor());
            DrawSeries(raster, *s, xLocal, yLocal, style);
        }
    }
    if ((modeFlags_ & Grid) && target.grid) {
        raster.SetColor(ToRgb555(RGB(105, 105, 105)));
        for (double world : target.timeTicks) {
            const int64_t x = xLocal.WorldToPixel(world);
            if (target.gridWidth > 1) {
                WideDottedLine(raster, x, bottom, x, top, target.gridWidth);
            } else {
                raster.DottedLine(x, bottom, x, top);
            }
        }
        // Rows from the plot's top, on which the value ruler puts its ticks too.
        const TickSet yt = ValueAxisTicks(y0, y1, rect.height(), target.valueIntervals);
        for (double row : yt.pixels) {
            const int64_t y = top + static_cast<int64_t>(row);
            if (target.gridWidth > 1) {
                WideDottedLine(raster, right, y, left, y, target.gridWidth);
            } else {
                raster.DottedLine(right, y, left, y);
            }
        }
    }
}

TickSet CGraphPanel::VerticalGridTicks() const {
    if (!HasMaps()) return {};
    if (horizontalRuler_ == nullptr) return xMap_->ComputeTicks(5);
    return horizontalRuler_->TimeTicksFor(*xMap_, width()).ticks;
}

void CGraphPanel::paintEvent(QPaintEvent* event) {
    if (!valid_) RenderBuffer();
    pendingUpdate_ = QRect();
    fullUpdatePending_ = false;
    QPainter painter(this);
    if (backBuffer_.isNull()) {
        painter.fillRect(event->rect(), ToQColor(background_));
        return;
    }
    const QRect r = event->rect();
    painter.drawImage(
        r, backBuffer_,
        QRectF(r.x() * scale_, r.y() * scale_, r.width() * scale_, r.height() * scale_));
    if (zoomRectShown_ || rubberBandActive_) tracker_->Draw(painter, zoomRectShown_);
    if (modeFlags_ & Readout) DrawReadout(painter);
}

void CGraphPanel::resizeEvent(QResizeEvent*) {
    UpdateDeviceMetrics();
    const QSize size(static_cast<int>(std::round(width() * scale_)),
                     static_cast<int>(std::round(height() * scale_)));
    RebuildMaps();
    if (backBuffer_.size() != size) {
        backBuffer_ = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB555);
        if (!backBuffer_.isNull()) backBuffer_.setDevicePixelRatio(scale_);
        valid_ = false;
    }
}

bool CGraphPanel::event(QEvent* e) {
    if (e->type() == GraphNotifyEvent::kType) {
        HandleNotification(static_cast<GraphNotifyEvent&>(*e));
        return true;
    }
    if (e->type() == QEvent::ParentChange) graph_ = nullptr;
    if (e->type() == QEvent::ScreenChangeInternal) {
        QResizeEvent resize(size(), size());
        resizeEvent(&resize);
        Render();
    }
    return QWidget::event(e);
}

void CGraphPanel::HandleNotification(GraphNotifyEvent& e) {
    switch (e.Code()) {
        case kNotifyPointAdded: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            OnPointAdded(n->series, n->point, n->redraw != 0);
            break;
        }
        case kNotifyPointsAppended: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            OnPointsAppended(n->series, n->point, n->redraw != 0);
            break;
        }
        case kNotifyPointRemoved:
        case kNotifyPointChanged:
        case kNotifySeriesRemoved:
        case kNotifyPointsCleared:
            if (static_cast<const SeriesNotify*>(e.Payload())->redraw) Render();
            break;
        case kNotifyRangesAndFlags: {
            const auto* n = static_cast<const RangesNotify*>(e.Payload());
            SetModeFlags(n->flags, n->redraw != 0);
            SetRanges(n->x0, n->x1, n->y0, n->y1, n->redraw != 0);
            break;
        }
        case kNotifyAxisTitle: {
            const auto* n = static_cast<const AxisNotify*>(e.Payload());
            OnAxisTitle(n->axis, n->redraw != 0);
            break;
        }
        case kNotifyRedraw: {
            const int flags = e.Flags();
            if (flags & kRedrawPanel) Render();
            if (flags & kRedrawRulers) {
                if (verticalRuler_ != nullptr) verticalRuler_->repaint();
                if (horizontalRuler_ != nullptr) horizontalRuler_->repaint();
            }
            break;
        }
        default: break;
    }
}

void CGraphPanel::OnAxisTitle(int axis, bool redraw) {
    CGraphWnd* graph = GraphWindow();
    if (graph == nullptr) return;
    const AxisDescription& d = graph->GetAxis(axis);
    FRuler* ruler =
        axis != 0 ? static_cast<FRuler*>(horizontalRuler_) : static_cast<FRuler*>(verticalRuler_);
    if (ruler == nullptr) return;
    ruler->SetUnitsAndCaption(d.Units(), d.Caption());
    if (redraw) ruler->repaint();
}

void CGraphPanel::OnPointsAppended(int seriesIndex, int firstPoint, bool redraw) {
    CGraphWnd* graph = GraphWindow();
    const CGraphProps* s = graph != nullptr ? graph->GetSeries(seriesIndex) : nullptr;
    if (s == nullptr || !s->IsShown() || firstPoint < 0 || firstPoint >= s->GetCount()) return;
    if (modeFlags_ & AutoRange) {
        double x0, x1, y0, y1;
        GetRanges(x0, x1, y0, y1);
        if (WidenForPoints(*s, static_cast<size_t>(firstPoint), x0, x1, y0, y1)) {
            SetRanges(x0, x1, y0, y1, false);
            if (redraw) Render();
            return;
        }
    }
    // One full render for the block (coalesced with whatever else waits for the next paint).
    if (redraw && !backBuffer_.isNull()) Render();
}

void CGraphPanel::OnPointAdded(int seriesIndex, int pointIndex, bool redraw) {
    CGraphWnd* graph = GraphWindow();
    const CGraphProps* s = graph != nullptr ? graph->GetSeries(seriesIndex) : nullptr;
    if (s == nullptr || !s->IsShown() || pointIndex < 0 || pointIndex >= s->GetCount()) return;
    const GraphPoint p = s->GetPoint(pointIndex);
    if (modeFlags_ & AutoRange) {
        double x0, x1, y0, y1;
        GetRanges(x0, x1, y0, y1);
        if (WidenForPoint(p.x, p.y, x0, x1, y0, y1)) {
            SetRanges(x0, x1, y0, y1, false);
            if (redraw) Render();
            return;
        }
    }
    if (!redraw || backBuffer_.isNull()) return;
    if (pointIndex != 0 && pointIndex != s->GetCount() - 1) {
        Render();
        return;
    }
    // A full render is pending: it will draw this point too.
    if (!valid_ || !HasMaps()) return;
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    const int n = s->GetCount();
    const int64_t px = xMap_->WorldToPixel(p.x), py = yMap_->WorldToPixel(p.y);
    int64_t qx = px, qy = py;
    if (n > 1) {
        const GraphPoint q = s->GetPoint(pointIndex == 0 ? 1 : pointIndex - 1);
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
            Render();
            return;
        }
        qx = xMap_->WorldToPixel(q.x);
        qy = yMap_->WorldToPixel(q.y);
        // Most points of a long recording land on the pixel of the one before: nothing to draw.
        if (px == qx && py == qy) return;
    } else if (!(modeFlags_ & MarkPoints)) {
        return;
    }
    const int half = markerHalfSize_;
    CurveRasterizer raster(backBuffer_, QRect(0, 0, backBuffer_.width(), backBuffer_.height()));
    raster.SetColor(ToRgb555(s->GetColor()));
    if (n > 1 && !(modeFlags_ & NoLines)) raster.Line(px, py, qx, qy);
    if (modeFlags_ & MarkPoints) raster.Marker(px, py, half);
    const int64_t m = half + 2;
    auto clampX = [&](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, -1, backBuffer_.width()));
    };
    auto clampY = [&](int64_t v) {
        return static_cast<int>(std::clamp<int64_t>(v, -1, backBuffer_.height()));
    };
    QRect changed(QPoint(clampX(std::min(px, qx) - m), clampY(std::min(py, qy) - m)),
                  QPoint(clampX(std::max(px, qx) + m), clampY(std::max(py, qy) + m)));
    changed = changed.intersected(QRect(0, 0, backBuffer_.width(), backBuffer_.height()));
    if (changed.isEmpty()) return;
    // Copy to the window: in widget pixels, merged with what already waits for its copy.
    const QRect widgetRect(static_cast<int>(changed.x() / scale_),
                           static_cast<int>(changed.y() / scale_),
                           static_cast<int>(std::ceil(changed.width() / scale_)) + 1,
                           static_cast<int>(std::ceil(changed.height() / scale_)) + 1);
    if (!pendingUpdate_.contains(widgetRect)) {
        pendingUpdate_ = pendingUpdate_.united(widgetRect);
        update(widgetRect);
    }
}
