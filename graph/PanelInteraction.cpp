// How the user works with the panel: value tooltip, Shift-drag panning, rubber band and zoom
// rectangle, context menu, fitting to the data, the property sheet; and the wheel and keys.
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/ParticipantCommands.h"
#include "graph/PropertyPages.h"
#include "graph/Ruler.h"
#include "graph/ZoomTracker.h"
#include "recording/SampleExport.h"
#include "res/Resources.h"

namespace {

QString Text(int id) { return QString::fromStdString(kws::res::Format(id)); }

constexpr const char* kTextViewBack = "G.zoom_back";
constexpr const char* kTextViewForward = "G.zoom_forward";

// The narrowest view a zoom leads to, in samples across.
constexpr double kMinimumZoomSamples = 4.0;

// A run of wheel steps, or of presses of one key, with pauses shorter than this is one gesture.
constexpr int kGestureRunMs = 600;

// The menu text of the readout of every curve.
constexpr const char* kReadoutTextKey = "G.readout";

QAction* AddCommand(QMenu* menu, const QString& text, int id, bool checked = false,
                    bool enabled = true) {
    QAction* a = menu->addAction(text);
    a->setData(id);
    if (checked) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    a->setEnabled(enabled);
    return a;
}

// The rubber band between the point where the drag started and where it is now, whichever way
// it runs: its corners are the two points, so that left + width and top + height are the far
// corner itself (a QRect spanned by two points would reach one pixel past it).
QRect BandRect(const QPoint& a, const QPoint& b) {
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QSize(std::abs(a.x() - b.x()), std::abs(a.y() - b.y())));
}

}  // namespace

QRect CGraphPanel::ZoomRect() const { return tracker_->Rect(); }

void CGraphPanel::ShowZoomRect(const QRect& rect) {
    tracker_->SetRect(rect);
    zoomRectShown_ = true;
    update();
}

int CGraphPanel::AppendMenuItems(QMenu* menu) {
    QMenu* zoom = menu->addMenu(QStringLiteral("Zoom...  "));
    AddCommand(zoom, Text(111), kCmdZoomTool, zoomRectShown_);
    AddCommand(zoom, Text(112), kCmdApplyZoom, false, zoomRectShown_);
    zoom->addSeparator();
    QAction* back = AddCommand(zoom, QString::fromStdString(kws::res::Text(kTextViewBack)),
                               kCmdViewBack, false, history_->CanGoBack());
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    QAction* forward = AddCommand(zoom, QString::fromStdString(kws::res::Text(kTextViewForward)),
                                  kCmdViewForward, false, history_->CanGoForward());
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    // The keys are the panel's own; the menu only names them.
    back->setShortcutContext(Qt::WidgetShortcut);
    forward->setShortcutContext(Qt::WidgetShortcut);
    QMenu* fit = menu->addMenu(Text(113));
    AddCommand(fit, Text(114), kCmdFitWidth);
    AddCommand(fit, Text(115), kCmdFitHeight);
    AddCommand(fit, Text(116), kCmdFitPage);
    QMenu* show = menu->addMenu(Text(117));
    AddCommand(show, Text(118), kCmdGrid, modeFlags_ & Grid);
    AddCommand(show, Text(119), kCmdTrackMouse, modeFlags_ & TrackMouse);
    AddCommand(show, QString::fromStdString(kws::res::Text(kReadoutTextKey)), kCmdReadout,
               modeFlags_ & Readout);
    AddCommand(show, Text(120), kCmdMarkPoints, modeFlags_ & MarkPoints);
    return 0;
}

int CGraphPanel::OnMenuCommand(int id) {
    switch (id) {
        case kCmdMarkPoints: ToggleModeFlag(MarkPoints, true); break;
        case kCmdNoLines: ToggleModeFlag(NoLines, true); break;
        case kCmdTrackMouse: ToggleModeFlag(TrackMouse, false); break;
        case kCmdReadout:
            ToggleModeFlag(Readout, false);
            update();
            break;
        case kCmdGrid: ToggleModeFlag(Grid, true); break;
        case kCmdZoomTool:
            if (zoomRectShown_) {
                zoomRectShown_ = false;
            } else {
                tracker_->SetRect(QRect(QPoint(5, 5), QPoint(49, 49)));
                zoomRectShown_ = true;
            }
            update(tracker_->Rect().adjusted(-2, -2, 2, 2));
            break;
        case kCmdApplyZoom: ApplyZoom(); break;
        case kCmdFitWidth:
        case kCmdFitHeight:
        case kCmdFitPage: FitToData(id); break;
        case kCmdProperties: OpenPropertySheet(); break;
        case kCmdViewBack: GoBack(); break;
        case kCmdViewForward: GoForward(); break;
        default: break;
    }
    return 0;
}

void CGraphPanel::BuildContextMenu(QMenu* menu) {
    ForEachParticipant(this, [menu](CGraphBaseClass& p) { return p.AppendMenuItems(menu); });
}

void CGraphPanel::ShowContextMenu(const QPoint& globalPos) { RunParticipantMenu(this, globalPos); }

void CGraphPanel::OpenPropertySheet() { OpenParticipantSheet(this); }

int CGraphPanel::AddPropertyPages(CPropertySheet* sheet) {
    propertyPage_ = new CGraphPropertyPage();
    GetRanges(propertyPage_->x0, propertyPage_->x1, propertyPage_->y0, propertyPage_->y1);
    propertyPage_->markPoints = modeFlags_ & MarkPoints;
    propertyPage_->trackMouse = modeFlags_ & TrackMouse;
    propertyPage_->grid = modeFlags_ & Grid;
    sheet->AddPage(propertyPage_);
    return 0;
}

int CGraphPanel::OnPropertySheetClosed(int result) {
    if (result == IDOK && propertyPage_ != nullptr) {
        // Ranges typed on the page are a step of the view history as well.
        double x0, x1, y0, y1;
        GetRanges(x0, x1, y0, y1);
        const ViewHistory::View now{x0, x1, y0, y1};
        if (!(ViewHistory::View{propertyPage_->x0, propertyPage_->x1, propertyPage_->y0,
                                propertyPage_->y1} == now)) {
            history_->Leave(now);
            gesture_ = Gesture::kNone;
        }
        SetRanges(propertyPage_->x0, propertyPage_->x1, propertyPage_->y0, propertyPage_->y1,
                  false);
        int flags = modeFlags_ & ~(MarkPoints | TrackMouse | Grid);
        if (propertyPage_->markPoints) flags |= MarkPoints;
        if (propertyPage_->trackMouse) flags |= TrackMouse;
        if (propertyPage_->grid) flags |= Grid;
        SetModeFlags(flags, false);
    }
    delete propertyPage_;
    propertyPage_ = nullptr;
    return 0;
}

void CGraphPanel::FitToData(int command) {
    CGraphWnd* graph = GraphWindow();
    double xmin, xmax, ymin, ymax;
    if (graph == nullptr || !graph->GetDataRange(xmin, xmax, ymin, ymax)) return;
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    // x shrinks by 4 samples at each end where that leaves a range; otherwise the view spans
    // the samples, and a single sample gets half a sample on each side.
    double left = xmin + 4, right = xmax - 4;
    if (!(right > left)) {
        left = xmin;
        right = xmax;
        if (left == right) {
            left -= 0.5;
            right += 0.5;
        }
    }
    if (command == kCmdFitWidth) {
        // The value range stays exactly as it is.
        ChangeView(Gesture::kFit, left, right, y0, y1);
        return;
    }
    if (command == kCmdFitHeight) {
        // The values of the shown curves within the kept time range, with the margin of a
        // fit of both; the time range and both ranges' directions stay.
        if (!graph->GetValueRange(std::min(x0, x1), std::max(x0, x1), ymin, ymax)) return;
        const double bottom = ymin - 4, top = ymax + 4;
        ChangeView(Gesture::kFit, x0, x1, y0 <= y1 ? bottom : top, y0 <= y1 ? top : bottom);
        return;
    }
    // y grows by 4 at each end, so equal ends (a flat curve) get a range around their value.
    ChangeView(Gesture::kFit, left, right, ymin - 4, ymax + 4);
}

void CGraphPanel::ChangeView(Gesture gesture, double x0, double x1, double y0, double y1) {
    double a, b, c, d;
    GetRanges(a, b, c, d);
    // Zooming in stops at a few samples across: the time ruler labels whole seconds, and a
    // narrower view would show one label or none.
    const bool zoom =
        gesture == Gesture::kZoom || gesture == Gesture::kWheel || gesture == Gesture::kKey;
    if (zoom && x1 - x0 < kMinimumZoomSamples && x1 - x0 < b - a) {
        const double middle = (x0 + x1) / 2;
        const double half = std::min(kMinimumZoomSamples, b - a) / 2;
        x0 = middle - half;
        x1 = middle + half;
    }
    if (HasMaps() && a == x0 && b == x1 && c == y0 && d == y1) return;
    // Wheel steps and key presses join the run of their gesture while it goes on; a drag runs
    // from its press to its release.
    const bool joins =
        gesture == gesture_ && (gesture == Gesture::kPan ||
                                ((gesture == Gesture::kWheel || gesture == Gesture::kKey) &&
                                 gestureTime_.isValid() && gestureTime_.elapsed() < kGestureRunMs));
    if (!joins) history_->Leave({a, b, c, d});
    gesture_ = gesture;
    gestureTime_.start();
    SetRanges(x0, x1, y0, y1, true);
}

void CGraphPanel::GoBack() {
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    gesture_ = Gesture::kNone;
    if (const auto view = history_->Back({x0, x1, y0, y1}))
        SetRanges(view->x0, view->x1, view->y0, view->y1, true);
}

void CGraphPanel::GoForward() {
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    gesture_ = Gesture::kNone;
    if (const auto view = history_->Forward({x0, x1, y0, y1}))
        SetRanges(view->x0, view->x1, view->y0, view->y1, true);
}

void CGraphPanel::ClearHistory() {
    history_->Clear();
    gesture_ = Gesture::kNone;
}

void CGraphPanel::ApplyZoom() {
    zoomRectShown_ = false;
    if (!HasMaps()) {
        update();
        return;
    }
    // The tracker's rectangle runs from its left/top corner to left + width / top + height.
    const QRect r = tracker_->Rect();
    const int left = std::max(0, r.left()), top = std::max(0, r.top());
    const int right = std::min(width(), r.left() + r.width()),
              bottom = std::min(height(), r.top() + r.height());
    ChangeView(Gesture::kZoom, xMap_->PixelToWorld(left * scale_),
               xMap_->PixelToWorld(right * scale_), yMap_->PixelToWorld(bottom * scale_),
               yMap_->PixelToWorld(top * scale_));
    update();
}

QString CGraphPanel::TooltipText(const QPoint& pos) const {
    CGraphWnd* graph = GraphWindow();
    if (!HasMaps() || graph == nullptr) return {};
    const QPointF d = DevicePos(pos);
    const double wx = xMap_->PixelToWorld(d.x()), wy = yMap_->PixelToWorld(d.y());
    int64_t time = NullTimeStamp();
    if (const CGraphProps* s = SeriesZero()) {
        if (wx >= 0 && wx < s->GetCount()) time = s->GetPoint(static_cast<int>(wx)).time;
    }
    // One decimal more than the value ruler's labels, so that the reading refines the scale.
    const int rulerDecimals = verticalRuler_ != nullptr
                                  ? verticalRuler_->LabelDecimals(QRect(0, 0, width(), height()))
                                  : 0;
    const QString value = graph->GetAxis(0).FormatReading(wy, rulerDecimals + 1);
    const std::string date = kws::rec::FormatLocalTimeMarked(time, "%d/%m/%Y, %H:%M:%S");
    return QString::fromStdString(kws::res::Format(135, date.c_str(), value.toStdString().c_str()));
}

void CGraphPanel::UpdateTooltip(const QPoint& pos, const QPoint& globalPos) {
    if (--tooltipCountdown_ > 0) return;
    tooltipCountdown_ = 4;
    if (!(modeFlags_ & TrackMouse)) {
        QToolTip::hideText();
        return;
    }
    const QString text = TooltipText(pos);
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(globalPos, text, this);
    }
}

void CGraphPanel::UpdateCursor(const QPoint& pos) {
    if (zoomRectShown_) {
        setCursor(tracker_->CursorFor(tracker_->Tracking() ? ZoomTracker::kInside
                                                           : tracker_->HitTest(pos)));
    } else {
        unsetCursor();
    }
}

void CGraphPanel::PanTo(const QPoint& pos) {
    panPrevious_ = panLast_;
    panLast_ = pos;
    if (!HasMaps()) return;
    const double dx =
        xMap_->PixelToWorld(panPrevious_.x() * scale_) - xMap_->PixelToWorld(panLast_.x() * scale_);
    const double dy =
        yMap_->PixelToWorld(panPrevious_.y() * scale_) - yMap_->PixelToWorld(panLast_.y() * scale_);
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    ChangeView(Gesture::kPan, x0 + dx, x1 + dx, y0 + dy, y1 + dy);
}

void CGraphPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::BackButton || event->button() == Qt::ForwardButton) {
        if (event->button() == Qt::BackButton) {
            GoBack();
        } else {
            GoForward();
        }
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        gesture_ = Gesture::kNone;  // a new drag, a new step
        panPrevious_ = panLast_ = p;
        panActive_ = true;
        return;
    }
    if (!zoomRectShown_) {
        if (rubberBandActive_) {
            // The release of the last band got lost: finish it here.
            current_ = p;
            tracker_->SetRect(BandRect(anchor_, current_));
            rubberBandActive_ = false;
            if (current_ != anchor_) zoomRectShown_ = true;
            anchor_ = current_ = p;
            update();
            if (!zoomRectShown_) return;
        } else {
            rubberBandActive_ = true;
            anchor_ = current_ = p;
            tracker_->SetRect(BandRect(anchor_, current_));
            return;
        }
    }
    // A zoom rectangle is shown: the tracker follows the mouse.
    tracker_->SetHandleSize(std::max(4, logicalDpiX() / 16));
    if (tracker_->Begin(p)) UpdateCursor(p);
}

void CGraphPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    UpdateTooltip(p, event->globalPosition().toPoint());
    if (modeFlags_ & Readout) {
        readoutPos_ = p;
        update();
    }
    if (panActive_) {
        PanTo(p);
    } else if (rubberBandActive_) {
        const QRect old = BandRect(anchor_, current_);
        current_ = p;
        const QRect now = BandRect(anchor_, current_);
        tracker_->SetRect(now);
        update(old.united(now).adjusted(-2, -2, 2, 2));
    } else if (tracker_->Tracking()) {
        const QRect old = tracker_->Rect();
        if (tracker_->Move(p)) update(old.united(tracker_->Rect()).adjusted(-2, -2, 2, 2));
    }
    UpdateCursor(p);
}

void CGraphPanel::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        ShowContextMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    if (panActive_) {
        PanTo(p);
        panActive_ = false;
        return;
    }
    if (rubberBandActive_) {
        const QRect old = BandRect(anchor_, current_);
        current_ = p;
        const QRect now = BandRect(anchor_, current_);
        tracker_->SetRect(now);
        rubberBandActive_ = false;
        if (current_ != anchor_) zoomRectShown_ = true;
        update(old.united(now).adjusted(-2, -2, 2, 2));
        UpdateCursor(p);
        return;
    }
    if (tracker_->Tracking()) {
        tracker_->End();
        update();
    }
}

void CGraphPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && zoomRectShown_) {
        tracker_->End();
        ApplyZoom();
        return;
    }
    mousePressEvent(event);
}

void CGraphPanel::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse opens the menu on button release; this is the keyboard's menu key.
    if (event->reason() == QContextMenuEvent::Keyboard) ShowContextMenu(event->globalPos());
}

void CGraphPanel::leaveEvent(QEvent* event) {
    QToolTip::hideText();
    if (readoutPos_) {
        readoutPos_.reset();
        update();
    }
    QWidget::leaveEvent(event);
}

// Zooms the x range (or the y range) by `factor` around the world value under the mouse.
void CGraphPanel::ZoomAround(double factor, const QPointF& widgetPos, bool vertical,
                             Gesture gesture) {
    if (!HasMaps()) return;
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    if (vertical) {
        const double c = yMap_->PixelToWorld(widgetPos.y() * scale_);
        ChangeView(gesture, x0, x1, c + (y0 - c) * factor, c + (y1 - c) * factor);
    } else {
        const double c = xMap_->PixelToWorld(widgetPos.x() * scale_);
        ChangeView(gesture, c + (x0 - c) * factor, c + (x1 - c) * factor, y0, y1);
    }
}

void CGraphPanel::PanBy(double fractionX, double fractionY) {
    double x0, x1, y0, y1;
    GetRanges(x0, x1, y0, y1);
    const double dx = (x1 - x0) * fractionX, dy = (y1 - y0) * fractionY;
    ChangeView(Gesture::kKey, x0 + dx, x1 + dx, y0 + dy, y1 + dy);
}

void CGraphPanel::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const double factor = std::pow(0.8, delta / 120.0);
    ZoomAround(factor, event->position(), event->modifiers() & Qt::ControlModifier,
               Gesture::kWheel);
    event->accept();
}

void CGraphPanel::keyPressEvent(QKeyEvent* event) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    const bool vertical = event->modifiers() & Qt::ControlModifier;
    // Back and forth: Alt with an arrow, and Backspace for back.
    if (event->modifiers() & Qt::AltModifier &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        if (event->key() == Qt::Key_Left) {
            GoBack();
        } else {
            GoForward();
        }
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        GoBack();
        event->accept();
        return;
    }
    // Presses of another key start a new step.
    if (event->key() != gestureKey_ && gesture_ == Gesture::kKey) gesture_ = Gesture::kNone;
    gestureKey_ = event->key();
    switch (event->key()) {
        case Qt::Key_Plus: ZoomAround(0.8, centre, vertical, Gesture::kKey); break;
        case Qt::Key_Minus: ZoomAround(1.25, centre, vertical, Gesture::kKey); break;
        case Qt::Key_Left: PanBy(-0.1, 0); break;
        case Qt::Key_Right: PanBy(0.1, 0); break;
        case Qt::Key_Up: PanBy(0, 0.1); break;
        case Qt::Key_Down: PanBy(0, -0.1); break;
        case Qt::Key_Home: FitToData(kCmdFitPage); break;
        case Qt::Key_Escape:
            // Escape drops a zoom rectangle; without one it belongs to the dialog (closing it).
            if (!zoomRectShown_ && !rubberBandActive_) {
                event->ignore();
                return;
            }
            zoomRectShown_ = rubberBandActive_ = false;
            update();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() & Qt::AltModifier) {
                OpenPropertySheet();
            } else if (zoomRectShown_) {
                ApplyZoom();
            } else {
                event->ignore();
                return;
            }
            break;
        default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}
