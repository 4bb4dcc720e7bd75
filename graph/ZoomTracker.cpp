#include "graph/ZoomTracker.h"

#include <QPainter>

QRect ZoomTracker::HandleRect(Hit hit) const {
    const int s = handle_;
    const QRect r = rect_;
    const int cx = r.left() + r.width() / 2 - s / 2, cy = r.top() + r.height() / 2 - s / 2;
    const int right = r.left() + r.width() - s, bottom = r.top() + r.height() - s;
    switch (hit) {
        case kTopLeft: return QRect(r.left(), r.top(), s, s);
        case kTopRight: return QRect(right, r.top(), s, s);
        case kBottomRight: return QRect(right, bottom, s, s);
        case kBottomLeft: return QRect(r.left(), bottom, s, s);
        case kTop: return QRect(cx, r.top(), s, s);
        case kRight: return QRect(right, cy, s, s);
        case kBottom: return QRect(cx, bottom, s, s);
        case kLeft: return QRect(r.left(), cy, s, s);
        default: return {};
    }
}

ZoomTracker::Hit ZoomTracker::HitTest(const QPoint& p) const {
    for (int h = kTopLeft; h <= kLeft; ++h) {
        if (HandleRect(static_cast<Hit>(h)).contains(p)) return static_cast<Hit>(h);
    }
    return rect_.contains(p) ? kInside : kOutside;
}

Qt::CursorShape ZoomTracker::CursorFor(Hit hit) const {
    switch (hit) {
        case kTopLeft:
        case kBottomRight: return Qt::SizeFDiagCursor;
        case kTopRight:
        case kBottomLeft: return Qt::SizeBDiagCursor;
        case kTop:
        case kBottom: return Qt::SizeVerCursor;
        case kLeft:
        case kRight: return Qt::SizeHorCursor;
        case kInside: return Qt::SizeAllCursor;
        default: return Qt::ArrowCursor;
    }
}

bool ZoomTracker::Begin(const QPoint& p) {
    hit_ = HitTest(p);
    startRect_ = rect_;
    startPoint_ = p;
    return hit_ != kOutside;
}

bool ZoomTracker::Move(const QPoint& p) {
    if (hit_ == kOutside) return false;
    const QPoint d = p - startPoint_;
    int l = startRect_.left(), t = startRect_.top();
    int r = startRect_.left() + startRect_.width(), b = startRect_.top() + startRect_.height();
    switch (hit_) {
        case kInside:
            l += d.x();
            r += d.x();
            t += d.y();
            b += d.y();
            break;
        case kTopLeft:
            l += d.x();
            t += d.y();
            break;
        case kTopRight:
            r += d.x();
            t += d.y();
            break;
        case kBottomRight:
            r += d.x();
            b += d.y();
            break;
        case kBottomLeft:
            l += d.x();
            b += d.y();
            break;
        case kTop: t += d.y(); break;
        case kRight: r += d.x(); break;
        case kBottom: b += d.y(); break;
        case kLeft: l += d.x(); break;
        default: break;
    }
    // No inversion: an edge dragged over its opposite stops one pixel short of it.
    if (r <= l) {
        if (hit_ == kLeft || hit_ == kTopLeft || hit_ == kBottomLeft) {
            l = r - 1;
        } else {
            r = l + 1;
        }
    }
    if (b <= t) {
        if (hit_ == kTop || hit_ == kTopLeft || hit_ == kTopRight) {
            t = b - 1;
        } else {
            b = t + 1;
        }
    }
    const QRect next(l, t, r - l, b - t);
    if (next == rect_) return false;
    rect_ = next;
    return true;
}

void ZoomTracker::Draw(QPainter& painter, bool withHandles) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Cosmetic pens: one device pixel wide, crisp on any screen scale.
    QPen pen(Qt::black, 0, Qt::SolidLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(QBrush(QColor(0, 0, 0, 110), Qt::BDiagPattern));
    painter.drawRect(rect_.adjusted(0, 0, -1, -1));
    if (withHandles) {
        painter.setBrush(Qt::black);
        for (int h = kTopLeft; h <= kLeft; ++h)
            painter.drawRect(HandleRect(static_cast<Hit>(h)).adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

void ViewHistory::Push(std::deque<View>& steps, const View& view) {
    steps.push_back(view);
    if (steps.size() > kMaxSteps) steps.pop_front();
}

void ViewHistory::Leave(const View& left) {
    Push(back_, left);
    forward_.clear();
}

std::optional<ViewHistory::View> ViewHistory::Back(const View& current) {
    if (back_.empty()) return std::nullopt;
    const View view = back_.back();
    back_.pop_back();
    Push(forward_, current);
    return view;
}

std::optional<ViewHistory::View> ViewHistory::Forward(const View& current) {
    if (forward_.empty()) return std::nullopt;
    const View view = forward_.back();
    forward_.pop_back();
    Push(back_, current);
    return view;
}
