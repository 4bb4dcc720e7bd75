// The zoom rectangle: a solid frame with a hatched inside and resize handles inside its
// corners and edges; it can be moved and resized with the mouse.
#pragma once

#include <QCursor>
#include <QPoint>
#include <QRect>

class QPainter;

class ZoomTracker {
public:
    enum Hit {
        kOutside = -1,
        kTopLeft,
        kTopRight,
        kBottomRight,
        kBottomLeft,
        kTop,
        kRight,
        kBottom,
        kLeft,
        kInside
    };

    explicit ZoomTracker(const QRect& rect) : rect_(rect) {}

    const QRect& Rect() const { return rect_; }
    void SetRect(const QRect& rect) { rect_ = rect.normalized(); }
    // Handle size in pixels (scaled with the screen's logical DPI).
    void SetHandleSize(int size) { handle_ = size; }

    Hit HitTest(const QPoint& p) const;
    Qt::CursorShape CursorFor(Hit hit) const;

    // Dragging: Begin at a press on a handle or inside, Move while the button is held, End.
    bool Begin(const QPoint& p);
    bool Tracking() const { return hit_ != kOutside; }
    // Returns whether the rectangle changed.
    bool Move(const QPoint& p);
    void End() { hit_ = kOutside; }

    void Draw(QPainter& painter, bool withHandles) const;
    QRect HandleRect(Hit hit) const;

private:
    QRect rect_;
    int handle_ = 6;
    Hit hit_ = kOutside;
    QRect startRect_;
    QPoint startPoint_;
};
