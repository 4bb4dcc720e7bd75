// The graph notification: every change the graph window makes travels as an event of type
// 50000, sent synchronously (the payload lives for the duration of the call).
#pragma once

#include <QEvent>

class CGraphWnd;

enum GraphNotifyCode : int {
    kNotifyPointAdded = 1,
    kNotifyPointRemoved = 2,
    kNotifyPointChanged = 3,
    kNotifySeriesAdded = 4,
    kNotifySeriesRemoved = 5,
    kNotifyPointsCleared = 6,
    kNotifyRangesAndFlags = 8,
    kNotifyAxisTitle = 9,
    kNotifyRedraw = 10,
    kNotifyPointListOn = 11,
    kNotifyPointListOff = 12,
    // A block of points appended at the end of a series: the payload's `point` is the first of
    // them, the block runs to the series' last point.
    kNotifyPointsAppended = 13,
};

// Bits of the redraw request (code 10).
enum : int { kRedrawPanel = 1, kRedrawRulers = 4, kRedrawAll = -1 };

// Payload of codes 1 to 6 and 13.
struct SeriesNotify {
    int series;
    int point;
    int redraw;
    CGraphWnd* graph;
};

// Payload of code 8.
struct RangesNotify {
    double x0, x1, y0, y1;
    int flags;
    int redraw;
    CGraphWnd* graph;
};

// Payload of code 9.
struct AxisNotify {
    int axis;  // 1 horizontal, 0 vertical
    int redraw;
    CGraphWnd* graph;
};

class GraphNotifyEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(50000);

    // `payload` points to one of the records above, or carries the flags of code 10 and the
    // point-list codes.
    GraphNotifyEvent(int code, void* payload) : QEvent(kType), code_(code), payload_(payload) {}

    int Code() const { return code_; }
    void* Payload() const { return payload_; }
    int Flags() const { return static_cast<int>(reinterpret_cast<intptr_t>(payload_)); }
    int Result() const { return result_; }
    void SetResult(int r) { result_ = r; }

private:
    int code_;
    void* payload_;
    int result_ = 0;
};
