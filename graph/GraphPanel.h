// The plotting area: view ranges and their pixel maps, a 16-bit back buffer holding background,
// curves, markers and grid, and the reaction to the graph notifications. Painting only copies
// from the back buffer; full renders are coalesced into one per paint.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

#include "graph/GraphBase.h"
#include "graph/GraphProps.h"
#include "graph/LinearMap.h"

class FHRuler;
class FVRuler;
class CGraphWnd;
class CGraphPropertyPage;
class GraphNotifyEvent;
class ZoomTracker;
class ViewHistory;

// Panel mode flags.
enum PanelMode : int {
    AutoRange = 1,
    MarkPoints = 2,
    TrackMouse = 4,
    Grid = 8,
    NoLines = 16,
    Readout = 32,  // a line at the sample under the mouse and a box with every curve's value
};

// What the readout shows for one mouse position: the sample of series 0 nearest in time, where
// its line stands (widget pixels) and the box's lines, the time first, then one per shown curve
// (with the curve's colour).
struct PanelReadout {
    int sample = -1;  // -1: nothing to read
    double lineX = 0;
    struct Line {
        QString text;
        COLORREF color = 0;
        bool curve = false;
    };
    std::vector<Line> lines;
};

// Half side of a point marker: 1/35 inch.
inline constexpr double kMarkerHalfSizeInches = 0.02857142857142857;

// How the panel draws into a picture of its own: the marker half size (1/35 inch of the
// picture), the grid: the world x of its vertical lines (the time ruler's ticks) and the
// interval count of its horizontal ones (the value ruler's label count), both for the
// picture's size and resolution, the width of the grid's dotted lines (one pixel of the window
// on a device of a higher resolution), and which parts to draw over the background.
struct PanelTarget {
    int markerHalfSize = 2;
    std::vector<double> timeTicks;
    int valueIntervals = 5;
    int gridWidth = 1;
    bool curves = true;
    bool grid = true;
};

class CGraphPanel : public QWidget, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    CGraphPanel(FVRuler* verticalRuler, FHRuler* horizontalRuler, QWidget* parent = nullptr);
    ~CGraphPanel() override;

    void SetRanges(double x0, double x1, double y0, double y1, bool redraw);
    void GetRanges(double& x0, double& x1, double& y0, double& y1) const;
    int GetModeFlags() const { return modeFlags_; }
    int SetModeFlags(int flags, bool redraw);
    int ToggleModeFlag(int bit, bool redraw);

    // Asks for a full redraw of the back buffer; the redraw happens once, at the next paint.
    void Render(const QRect& rect = QRect());
    // Draws background, curves and grid into `image` for the rectangle (device pixels).
    void DrawContents(QImage& image, const QRect& rect) const;
    // The same for a picture: the view's ranges over `rect` of `image` (Format_RGB555), which
    // may reach beyond the image (a picture drawn in bands); the back buffer is not touched.
    void DrawContents(QImage& image, const QRect& rect, const PanelTarget& target) const;
    // The back buffer, rendered now if stale.
    const QImage& BackBuffer();
    bool BackBufferValid() const { return valid_; }

    COLORREF BackgroundColor() const { return background_; }
    void SetBackgroundColor(COLORREF c) { background_ = c; }

    // Device pixels per widget pixel (the screen's scale); all maps work in device pixels.
    double PixelScale() const { return scale_; }
    bool HasMaps() const { return xMap_.has_value() && yMap_.has_value(); }
    const LinearMap& XMap() const { return *xMap_; }
    const LinearMap& YMap() const { return *yMap_; }
    // Half side of a point marker: 1/35 inch in device pixels.
    int MarkerHalfSize() const;
    const CGraphProps* SeriesZero() const;
    // The ticks of the vertical grid lines on the x map (device pixels): the time ruler's ticks,
    // which stand at round clock times.
    TickSet VerticalGridTicks() const;
    CGraphWnd* GraphWindow() const;

    // Handles a graph notification (what sending the event does, without the application's
    // event dispatch: the frame relays millions of them while a graph is built).
    void Deliver(GraphNotifyEvent& event) { HandleNotification(event); }

    // Interaction (context menu, zoom, fit, property sheet).
    void ApplyZoom();
    void FitToData(int command);
    bool ZoomRectShown() const { return zoomRectShown_; }
    QRect ZoomRect() const;  // the tracker's rectangle in widget pixels
    void ShowZoomRect(const QRect& rect);
    QString TooltipText(const QPoint& widgetPos) const;
    PanelReadout ReadoutAt(const QPoint& widgetPos) const;
    // Where the readout's box stands for the mouse at `widgetPos`: beside the line, inside the
    // plot.
    QRect ReadoutBox(const PanelReadout& readout, const QPoint& widgetPos) const;
    void ShowContextMenu(const QPoint& globalPos);
    // Builds the context menu through the participants (for the caller to show).
    void BuildContextMenu(QMenu* menu);
    void OpenPropertySheet();
    // Back and forth through the views left by zoom, fit and pan gestures; each goes one step.
    void GoBack();
    void GoForward();
    const ViewHistory& History() const { return *history_; }
    // Forgets the views left so far (the first view of a new graph has nothing before it).
    void ClearHistory();

    // Participant operations.
    int AppendMenuItems(QMenu* menu) override;
    int OnMenuCommand(int id) override;
    int AddPropertyPages(CPropertySheet* sheet) override;
    int OnPropertySheetClosed(int result) override;

signals:
    // The view ranges changed (zoom, pan, fit, the property page); sent after the maps are set.
    void RangesChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void HandleNotification(GraphNotifyEvent& event);
    void OnPointAdded(int seriesIndex, int pointIndex, bool redraw);
    void OnPointsAppended(int seriesIndex, int firstPoint, bool redraw);
    void OnAxisTitle(int axis, bool redraw);
    void RebuildMaps();
    void UpdateDeviceMetrics();
    void RenderBuffer();
    void SetRangesInternal(double x0, double x1, double y0, double y1, bool redraw);
    QPointF DevicePos(const QPointF& widgetPos) const { return widgetPos * scale_; }
    void PanTo(const QPoint& pos);
    void PanBy(double fractionX, double fractionY);
    void UpdateTooltip(const QPoint& pos, const QPoint& globalPos);
    void UpdateCursor(const QPoint& pos);
    // The user's ways of changing the view. A drag, a run of wheel steps and a run of presses
    // of one key are each one gesture, whatever number of changes they make.
    enum class Gesture { kNone, kZoom, kFit, kPan, kWheel, kKey };
    // Shows the given ranges as the result of `gesture`; the view left is kept for going back,
    // once per gesture.
    void ChangeView(Gesture gesture, double x0, double x1, double y0, double y1);
    void ZoomAround(double factor, const QPointF& widgetPos, bool vertical, Gesture gesture);
    void DrawReadout(QPainter& painter) const;

    FVRuler* verticalRuler_;
    FHRuler* horizontalRuler_;
    std::optional<LinearMap> xMap_, yMap_;
    QImage backBuffer_;
    bool valid_ = false;
    COLORREF background_ = RGB(245, 245, 245);
    int modeFlags_ = AutoRange | MarkPoints | Grid;
    double scale_ = 1.0;
    int markerHalfSize_ = 2;  // 1/35 inch in device pixels
    QRect pendingUpdate_;     // area of the window waiting for its copy from the back buffer
    bool fullUpdatePending_ = false;      // the whole window waits for its next paint
    mutable CGraphWnd* graph_ = nullptr;  // the enclosing graph window, found once

    // Interaction state.
    bool zoomRectShown_ = false;
    ZoomTracker* tracker_ = nullptr;
    bool rubberBandActive_ = false;
    QPoint anchor_, current_;
    bool panActive_ = false;
    QPoint panPrevious_, panLast_;
    int tooltipCountdown_ = 0;
    std::optional<QPoint> readoutPos_;  // the mouse over the plot, while the readout is on
    CGraphPropertyPage* propertyPage_ = nullptr;
    std::unique_ptr<ViewHistory> history_;
    Gesture gesture_ = Gesture::kNone;  // the gesture whose run may still go on
    int gestureKey_ = 0;                // the key of a run of key presses
    QElapsedTimer gestureTime_;         // since the last change of that run
};
