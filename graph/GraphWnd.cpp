#include "graph/GraphWnd.h"

#include <QCoreApplication>
#include <QResizeEvent>

#include <cmath>
#include <limits>

#include "graph/GraphContainer.h"
#include "graph/GraphNotification.h"
#include "graph/GraphPanel.h"
#include "graph/PropertyPages.h"

namespace {

GraphFrameFactory g_frameFactory = nullptr;

// Without the graph user interface the graph window holds the container itself.
class DirectFrame : public QWidget, public GraphFrameInterface {
public:
    explicit DirectFrame(QWidget* parent)
        : QWidget(parent), container_(new CGraphContainer(this)) {}
    QWidget* FrameWidget() override { return this; }
    CGraphContainer* Container() override { return container_; }
    int Notify(int code, void* payload) override { return container_->Notify(code, payload); }
    void ShowLegend(int) override {}

protected:
    void resizeEvent(QResizeEvent*) override { container_->setGeometry(rect()); }

private:
    CGraphContainer* container_;
};

// The finite extremes of a series' points (bounds that a NaN or an infinity reached are of no
// use for the view).
bool FiniteBounds(const CGraphProps& s, double& xmin, double& xmax, double& ymin, double& ymax) {
    if (std::isfinite(s.MinX()) && std::isfinite(s.MaxX()) && std::isfinite(s.MinY()) &&
        std::isfinite(s.MaxY())) {
        xmin = s.MinX();
        xmax = s.MaxX();
        ymin = s.MinY();
        ymax = s.MaxY();
        return true;
    }
    bool any = false;
    for (int i = 0; i < s.GetCount(); ++i) {
        const GraphPoint p = s.GetPoint(i);
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
        if (!any) {
            xmin = xmax = p.x;
            ymin = ymax = p.y;
            any = true;
        }
        xmin = std::min(xmin, p.x);
        xmax = std::max(xmax, p.x);
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    return any;
}

// Widens [lo, hi] by the finite values of `s` at x within [xa, xb], or, without any, by its
// nearest finite points on either side. Returns whether a value was found.
bool ValuesWithin(const CGraphProps& s, double xa, double xb, double& lo, double& hi) {
    bool any = false;
    auto take = [&](double y) {
        if (!std::isfinite(y)) return;
        lo = any ? std::min(lo, y) : y;
        hi = any ? std::max(hi, y) : y;
        any = true;
    };
    const size_t n = static_cast<size_t>(s.GetCount());
    if (!s.IsXOrdered()) {
        for (size_t i = 0; i < n; ++i) {
            if (s.X(i) >= xa && s.X(i) <= xb) take(s.Y(i));
        }
        return any;
    }
    // Ordered x: the points within are one run; whole summary blocks count by their bounds.
    const size_t first = s.FirstAtOrAfterX(xa);
    size_t end = first;
    constexpr size_t B = CPointsCollection::kBlock;
    const CPointsCollection::BlockVector& blocks = s.Blocks();
    while (end < n && s.X(end) <= xb) {
        if (end % B == 0 && end + B <= n && s.X(end + B - 1) <= xb) {
            const CPointsCollection::BlockSummary& b = blocks[end / B];
            if (b.minY <= b.maxY) {
                take(b.minY);
                take(b.maxY);
            }
            end += B;
            continue;
        }
        take(s.Y(end));
        ++end;
    }
    if (end == first) {
        for (size_t i = first; i-- > 0;) {
            if (std::isfinite(s.Y(i))) {
                take(s.Y(i));
                break;
            }
        }
        for (size_t i = first; i < n; ++i) {
            if (std::isfinite(s.Y(i))) {
                take(s.Y(i));
                break;
            }
        }
    }
    return any;
}

}  // namespace

void SetGraphFrameFactory(GraphFrameFactory factory) { g_frameFactory = factory; }

CGraphWnd::CGraphWnd(int maxSeries, int kind) : kind_(kind) {
    slots_.resize(static_cast<size_t>(std::max(0, maxSeries)));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CGraphWnd::~CGraphWnd() = default;

bool CGraphWnd::Create(const QString& title, const QRect& rect, QWidget* parent, int id,
                       int frameId) {
    frameId_ = frameId;
    setParent(parent);
    setWindowTitle(title);
    setProperty("controlId", id);
    setGeometry(rect);
    frame_ =
        g_frameFactory != nullptr ? g_frameFactory(this, frameId, kind_) : new DirectFrame(this);
    if (frame_ == nullptr) return false;
    frame_->FrameWidget()->setGeometry(0, 0, width(), height());
    frame_->FrameWidget()->show();
    show();
    return true;
}

void CGraphWnd::resizeEvent(QResizeEvent*) {
    if (frame_ != nullptr) frame_->FrameWidget()->setGeometry(0, 0, width(), height());
}

CGraphContainer* CGraphWnd::Container() const { return frame_ ? frame_->Container() : nullptr; }

CGraphPanel* CGraphWnd::Panel() const {
    CGraphContainer* c = Container();
    return c ? c->Panel() : nullptr;
}

int CGraphWnd::Notify(int code, void* payload) {
    return frame_ != nullptr ? frame_->Notify(code, payload) : 0;
}

int CGraphWnd::AddSeries(COLORREF color, const QString& title, int redraw, int sorted,
                         int allowDuplicates) {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i]) continue;
        slots_[i] = std::make_unique<CGraphProps>(color, title, 1, 1, -1, sorted, allowDuplicates);
        ++seriesCount_;
        SeriesNotify n{static_cast<int>(i), 0, redraw, this};
        Notify(kNotifySeriesAdded, &n);
        return static_cast<int>(i);
    }
    return -1;
}

int CGraphWnd::RemoveSeries(int slot, int redraw) {
    if (slot < 0 || slot > MaxSeries()) return -1;
    --seriesCount_;
    SeriesNotify n{slot, 0, redraw, this};
    Notify(kNotifySeriesRemoved, &n);
    return slot;
}

CGraphProps* CGraphWnd::GetSeries(int slot) const {
    if (slot < 0 || slot >= MaxSeries()) return nullptr;
    return slots_[static_cast<size_t>(slot)].get();
}

CGraphProps* CGraphWnd::GetFirstSeries(int& position) const {
    position = -1;
    return GetNextSeries(position);
}

CGraphProps* CGraphWnd::GetNextSeries(int& position) const {
    for (int i = position + 1; i < MaxSeries(); ++i) {
        if (slots_[static_cast<size_t>(i)]) {
            position = i;
            return slots_[static_cast<size_t>(i)].get();
        }
    }
    position = -1;
    return nullptr;
}

int CGraphWnd::AddPoint(int slot, double x, double y, int redraw, int position, int64_t time) {
    CGraphProps* s = GetSeries(slot);
    if (s == nullptr) return -1;
    const int index =
        position == -1 ? s->AddPoint(x, y, 1, time) : s->InsertPoint(position, x, y, 1, time);
    SeriesNotify n{slot, index, redraw, this};
    Notify(kNotifyPointAdded, &n);
    return position;
}

int CGraphWnd::ReadSeriesFrom(int slot, std::shared_ptr<const PointTable> table,
                              const PointColumn& column) {
    CGraphProps* s = GetSeries(slot);
    if (s == nullptr) return -1;
    const bool hadPoints = s->GetCount() > 0;
    s->ReadFrom(std::move(table), column);
    if (hadPoints) {
        SeriesNotify n{slot, 0, 0, this};
        Notify(kNotifyPointsCleared, &n);
    }
    return slot;
}

int CGraphWnd::AddRows(int slot, size_t endRow, int redraw) {
    CGraphProps* s = GetSeries(slot);
    if (s == nullptr) return -1;
    const int first = s->GetCount();
    const int added = s->AppendRows(endRow);
    if (added > 0) {
        SeriesNotify n{slot, first, redraw, this};
        Notify(kNotifyPointsAppended, &n);
    }
    return added;
}

int CGraphWnd::SetPoint(int slot, int position, double x, double y, int redraw) {
    CGraphProps* s = GetSeries(slot);
    if (s == nullptr) return -1;
    const int index = s->SetPoint(position, x, y, 1, NullTimeStamp());
    SeriesNotify n{slot, index, redraw, this};
    Notify(kNotifyPointChanged, &n);
    return index;
}

int CGraphWnd::RemovePoint(int slot, int position, int redraw) {
    CGraphProps* s = GetSeries(slot);
    if (s == nullptr) return -1;
    s->RemovePoint(position, 1);
    SeriesNotify n{slot, position, redraw, this};
    Notify(kNotifyPointRemoved, &n);
    return position;
}

void CGraphWnd::RemoveAllPoints(int slot, int redraw) {
    if (slot == -1) {
        for (auto& s : slots_) {
            if (s) s->RemoveAll();
        }
    } else if (CGraphProps* s = GetSeries(slot)) {
        s->RemoveAll();
    } else {
        return;
    }
    SeriesNotify n{slot, 0, redraw, this};
    Notify(kNotifyPointsCleared, &n);
}

void CGraphWnd::SetModeFlags(int flags, int redraw) {
    RangesNotify n{0, 0, 0, 0, flags, redraw, this};
    GetRanges(n.x0, n.x1, n.y0, n.y1);
    Notify(kNotifyRangesAndFlags, &n);
}

int CGraphWnd::GetModeFlags() const {
    const CGraphContainer* c = Container();
    return c ? c->PanelModeFlags() : 0;
}

void CGraphWnd::SetRangesKeepFlags(double x0, double x1, double y0, double y1, int redraw) {
    RangesNotify n{x0, x1, y0, y1, GetModeFlags(), redraw, this};
    Notify(kNotifyRangesAndFlags, &n);
}

void CGraphWnd::GetRanges(double& x0, double& x1, double& y0, double& y1) const {
    if (const CGraphContainer* c = Container()) {
        c->PanelRanges(x0, x1, y0, y1);
    } else {
        x0 = 0.0;
        x1 = 10.0;
        y0 = 0.0;
        y1 = 10.0;
    }
}

int CGraphWnd::GetDataRange(double& xmin, double& xmax, double& ymin, double& ymax) const {
    bool any = false;
    for (const auto& s : slots_) {
        if (!s || !s->IsShown() || s->GetCount() == 0) continue;
        double a, b, c, d;
        if (!FiniteBounds(*s, a, b, c, d)) continue;
        if (!any) {
            xmin = a;
            xmax = b;
            ymin = c;
            ymax = d;
            any = true;
            continue;
        }
        xmin = std::min(xmin, a);
        xmax = std::max(xmax, b);
        ymin = std::min(ymin, c);
        ymax = std::max(ymax, d);
    }
    return any ? 1 : 0;
}

bool CGraphWnd::GetValueRange(double xa, double xb, double& ymin, double& ymax) const {
    bool any = false;
    for (const auto& s : slots_) {
        if (!s || !s->IsShown() || s->GetCount() == 0) continue;
        double lo = 0, hi = 0;
        if (!ValuesWithin(*s, xa, xb, lo, hi)) continue;
        ymin = any ? std::min(ymin, lo) : lo;
        ymax = any ? std::max(ymax, hi) : hi;
        any = true;
    }
    return any;
}

const AxisDescription& CGraphWnd::GetAxis(int axis) const {
    return axis == 1 ? horizontalAxis_ : verticalAxis_;
}

void CGraphWnd::SetAxisTitle(const QString& name, const QString& units, int precision, int axis,
                             int redraw) {
    (axis != 0 ? horizontalAxis_ : verticalAxis_).Set(name, units, precision);
    AxisNotify n{axis != 0 ? 1 : 0, redraw, this};
    Notify(kNotifyAxisTitle, &n);
}

void CGraphWnd::FormatAxisValue(double value, int axis, int formatIndex, QString& text) const {
    text = (axis != 0 ? horizontalAxis_ : verticalAxis_).FormatValue(value, formatIndex);
}

void CGraphWnd::Redraw(int flags) {
    Notify(kNotifyRedraw, reinterpret_cast<void*>(static_cast<intptr_t>(flags)));
}

void CGraphWnd::ShowLegendBar(int flags) {
    if (frame_ != nullptr) frame_->ShowLegend(flags);
}

void CGraphWnd::ReservePoints(int slot, size_t count) {
    if (CGraphProps* s = GetSeries(slot)) s->Reserve(count);
}

// The graph window's contributions: the axis page, then the graphics page.
int CGraphWnd::AddPropertyPages(CPropertySheet* sheet) {
    axisPage_ = new CAxisPropertyPage();
    axisPage_->horizontalPrecision = horizontalAxis_.Precision();
    axisPage_->horizontalName = horizontalAxis_.Name();
    axisPage_->horizontalUnits = horizontalAxis_.Units();
    axisPage_->verticalPrecision = verticalAxis_.Precision();
    axisPage_->verticalName = verticalAxis_.Name();
    axisPage_->verticalUnits = verticalAxis_.Units();
    graphicsPage_ = new CGraphicsPropertyPage(this);
    sheet->AddPage(axisPage_);
    sheet->AddPage(graphicsPage_);
    return 0;
}

int CGraphWnd::OnPropertySheetClosed(int result) {
    if (result == IDOK && axisPage_ != nullptr && graphicsPage_ != nullptr) {
        SetAxisTitle(axisPage_->horizontalName, axisPage_->horizontalUnits,
                     static_cast<int>(axisPage_->horizontalPrecision), 1, 0);
        SetAxisTitle(axisPage_->verticalName, axisPage_->verticalUnits,
                     static_cast<int>(axisPage_->verticalPrecision), 0, 0);
        for (const auto& copy : graphicsPage_->Copies()) {
            if (CGraphProps* s = GetSeries(copy->GetIndex())) s->CopyFrom(*copy);
        }
    }
    delete axisPage_;
    delete graphicsPage_;
    axisPage_ = nullptr;
    graphicsPage_ = nullptr;
    return 0;
}
