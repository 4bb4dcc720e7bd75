// The graph as the program sees it: owns the series and the two axis descriptions, offers the
// operations on them, and announces every change through its frame to the panel and legend.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "graph/AxisDescription.h"
#include "graph/GraphBase.h"
#include "graph/GraphProps.h"

class CGraphContainer;
class CGraphPanel;
class CAxisPropertyPage;
class CGraphicsPropertyPage;

// What the graph window needs of its frame: the widget filling it, the container with panel and
// rulers, relaying notifications, and showing or hiding the legend.
class GraphFrameInterface {
public:
    virtual ~GraphFrameInterface() = default;
    virtual QWidget* FrameWidget() = 0;
    virtual CGraphContainer* Container() = 0;
    // Relays a notification to the panel, then to the legend; returns the legend's result.
    virtual int Notify(int code, void* payload) = 0;
    // Bit 1 shows, bit 2 hides the legend bar; 4 and 8 switch its point list off and on.
    virtual void ShowLegend(int flags) = 0;
};

// Makes the frame of a graph window; the graph user interface installs its own. Without one the
// graph window holds the container directly.
using GraphFrameFactory = GraphFrameInterface* (*)(class CGraphWnd* graph, int frameId, int kind);
void SetGraphFrameFactory(GraphFrameFactory factory);

class CGraphWnd : public QWidget, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    CGraphWnd(int maxSeries, int kind);
    ~CGraphWnd() override;

    // Becomes a visible child of `parent` in `rect` and creates its frame.
    bool Create(const QString& title, const QRect& rect, QWidget* parent, int id, int frameId);

    virtual int AddSeries(COLORREF color, const QString& title, int redraw, int sorted,
                          int allowDuplicates);
    virtual int RemoveSeries(int slot, int redraw);
    virtual CGraphProps* GetSeries(int slot) const;
    virtual int GetSeriesCount() const { return seriesCount_; }
    virtual CGraphProps* GetFirstSeries(int& position) const;
    virtual CGraphProps* GetNextSeries(int& position) const;
    virtual int AddPoint(int slot, double x, double y, int redraw, int position, int64_t time);
    // Lets a series read its points from the rows of `table` through `column` (it drops the
    // points it had). Returns the slot, or -1 without such a series.
    int ReadSeriesFrom(int slot, std::shared_ptr<const PointTable> table,
                       const PointColumn& column);
    // Appends the rows of a series' table up to `endRow` (exclusive) as one block: the points
    // are those AddPoint would add row by row, announced by one notification. Returns the
    // number of points added, or -1 without such a series.
    int AddRows(int slot, size_t endRow, int redraw);
    virtual int SetPoint(int slot, int position, double x, double y, int redraw);
    virtual int RemovePoint(int slot, int position, int redraw);
    virtual void RemoveAllPoints(int slot, int redraw);
    virtual void SetModeFlags(int flags, int redraw);
    virtual int GetModeFlags() const;
    virtual void SetRangesKeepFlags(double x0, double x1, double y0, double y1, int redraw);
    virtual void GetRanges(double& x0, double& x1, double& y0, double& y1) const;
    virtual int GetDataRange(double& xmin, double& xmax, double& ymin, double& ymax) const;
    // The lowest and highest finite value of the shown series at x from `xa` to `xb` (xa <= xb);
    // a series without a point there counts with its points on either side, whose line crosses
    // the range. False when no series has any of them.
    bool GetValueRange(double xa, double xb, double& ymin, double& ymax) const;
    virtual const AxisDescription& GetAxis(int axis) const;
    virtual void SetAxisTitle(const QString& name, const QString& units, int precision, int axis,
                              int redraw);
    virtual void FormatAxisValue(double value, int axis, int formatIndex, QString& text) const;
    virtual void Redraw(int flags);
    virtual void ShowLegendBar(int flags);

    // Room for `count` points in a series (for callers that know how many will come).
    void ReservePoints(int slot, size_t count);
    int MaxSeries() const { return static_cast<int>(slots_.size()); }
    int Kind() const { return kind_; }
    int FrameId() const { return frameId_; }
    GraphFrameInterface* Frame() const { return frame_; }
    CGraphContainer* Container() const;
    CGraphPanel* Panel() const;

    int AddPropertyPages(CPropertySheet* sheet) override;
    int OnPropertySheetClosed(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int Notify(int code, void* payload);

    std::vector<std::unique_ptr<CGraphProps>> slots_;
    int seriesCount_ = 0;
    AxisDescription verticalAxis_, horizontalAxis_;
    int frameId_ = 0;
    int kind_;
    GraphFrameInterface* frame_ = nullptr;  // a child widget; Qt deletes it
    CAxisPropertyPage* axisPage_ = nullptr;
    CGraphicsPropertyPage* graphicsPage_ = nullptr;
};
