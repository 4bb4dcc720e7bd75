// The zoom rectangle: a solid frame with a hatched inside and resize handles inside its
// corners and edges; it can be moved and resized with the mouse.
#pragma once

#include <QCursor>
#include <QPoint>
#include <QRect>

#include <deque>
#include <optional>

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

// The views the user has left, for going back and forth between them: each zoom, fit or pan
// gesture leaves one step. At most kMaxSteps are kept each way; the oldest go first.
class ViewHistory {
public:
    static constexpr size_t kMaxSteps = 50;

    struct View {
        double x0, x1, y0, y1;
        bool operator==(const View&) const = default;
    };

    // The view `left` is being left for another one: it becomes the step back, and the steps
    // forward are dropped.
    void Leave(const View& left);
    bool CanGoBack() const { return !back_.empty(); }
    bool CanGoForward() const { return !forward_.empty(); }
    // The view to go back (forward) to from `current`, which becomes the step the other way.
    std::optional<View> Back(const View& current);
    std::optional<View> Forward(const View& current);
    void Clear() {
        back_.clear();
        forward_.clear();
    }

private:
    static void Push(std::deque<View>& steps, const View& view);

    std::deque<View> back_, forward_;
};
