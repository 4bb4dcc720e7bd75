// The user's frame-by-frame gestures on a graph panel, each followed by its repaint: pan steps
// (Shift-drag) and wheel steps, alternating in direction so the view stays where it was.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

namespace kws::bench {

// Presses Shift and the left button at `centre` on creation, releases them on destruction.
class ShiftDrag {
public:
    ShiftDrag(QWidget* panel, QPointF centre) : panel_(panel), centre_(centre) {
        Send(QEvent::MouseButtonPress, centre_, Qt::LeftButton, Qt::LeftButton);
    }
    ~ShiftDrag() { Send(QEvent::MouseButtonRelease, centre_, Qt::LeftButton, Qt::NoButton); }
    ShiftDrag(const ShiftDrag&) = delete;
    ShiftDrag& operator=(const ShiftDrag&) = delete;

    // Step `i`: 7 pixels right of the centre for odd steps, left for even ones.
    void Step(int i) {
        Send(QEvent::MouseMove, centre_ + QPointF(i % 2 ? 7 : -7, 0), Qt::NoButton, Qt::LeftButton);
        panel_->repaint();
    }

private:
    void Send(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, panel_->mapToGlobal(at), button, buttons, Qt::ShiftModifier);
        QApplication::sendEvent(panel_, &e);
    }

    QWidget* panel_;
    QPointF centre_;
};

// Wheel step `i` at `centre`: one notch in for odd steps, out for even ones.
inline void WheelStep(QWidget* panel, QPointF centre, int i) {
    QWheelEvent w(centre, panel->mapToGlobal(centre), QPoint(), QPoint(0, i % 2 ? 120 : -120),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(panel, &w);
    panel->repaint();
}

}  // namespace kws::bench
