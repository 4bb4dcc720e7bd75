// The rulers beside the plot: FVRuler (values, left of the panel) and FHRuler (clock times and
// dates, below it). Their ticks and labels are computed by Layout(), which tests can call; Draw
// paints that layout. Both work for a target: the widget on the screen, or a picture or printed
// page of its own size and resolution, so that all of them are laid out by the same code.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "graph/LinearMap.h"
#include "graph/TimeTicks.h"

class CGraphPanel;
class LinearMap;
class QPainter;

// Physical sizes of the rulers (inches).
inline constexpr double kTimeRulerThickness = 1.0 / 3.0;
inline constexpr double kValueRulerThickness = 1.0 / 6.0;
inline constexpr double kLabelFontHeight = 0.14749262536873156;
inline constexpr double kTickLength = 1.0 / 24.0;
inline constexpr double kTimeRulerRightMargin = 1.0 / 30.0;
inline constexpr double kValueRulerCaptionAllowance = 1.0 / 60.0;

// A length in inches as device pixels: the integer part of inches x dpi, at least 1.
int DeviceUnits(double inches, double dpi);

// Decimals a tick label needs to show its value at a tick step of `worldStep` (world units):
// none from 1 up, one for 0.1 to 0.5, two for 0.01 to 0.05, ... The steps are 1, 2 or 5 times a
// power of ten, some of them single-precision constants, so the step is rounded first.
int TickDecimals(double worldStep);
// The value with that many decimals; a value that rounds to zero never shows a minus sign.
QString TickLabelText(double value, int decimals);

// The value ruler's label texts for `ticks`, one per tick: the value with the decimals its step
// needs, or, where that would take more than a dozen characters (views of huge or tiny
// magnitude), as mantissa and power of ten ("2e14", "1.5e-300") with the digits the step needs.
QStringList ValueLabelTexts(const TickSet& ticks);

// What a ruler is laid out for: the pixels per inch of the device, the width of its lines in
// pixels (one pixel of the window on a device of a higher resolution) and, for the time ruler,
// the panel above it: the panel's x map (in the panel's pixels), the panel's pixels per ruler
// pixel, the ruler x of the panel's pixel 0 and the panel's width in ruler pixels.
struct RulerTarget {
    double dpiX = 96.0;
    double dpiY = 96.0;
    int lineWidth = 1;
    const LinearMap* panelXMap = nullptr;  // none: the time ruler has no ticks
    double panelScale = 1.0;
    double panelOffset = 0.0;
    int panelWidth = 0;
};

struct RulerLabel {
    QString text;
    int x, y;    // top-left of the text (for the value ruler: of the upward-running text)
    bool drawn;  // false when it would not fit (its tick stays)
};

struct RulerLayout {
    // Pixel along the ruler. The time ruler's ticks stand on the panel's grid lines, which lie on
    // device pixels: with a screen scale they may fall between two widget pixels.
    std::vector<double> majorTicks;
    std::vector<double> minorTicks;
    std::vector<RulerLabel> labels;  // time ruler: the time labels
    std::vector<RulerLabel> dates;   // time ruler: the date texts (possibly empty)
    RulerLabel units{};
    int tickLength = 0;
    int textHeight = 0;
    bool framed = true;   // the frame is always drawn
    bool content = true;  // false when the rectangle is too small for anything else
};

class FRuler : public QWidget {
public:
    explicit FRuler(QWidget* parent = nullptr);

    void SetRange(double low, double high, bool redraw);
    void SetUnitsAndCaption(const QString& units, const QString& caption);
    double RangeLow() const { return rangeLow_; }
    double RangeHigh() const { return rangeHigh_; }
    const QString& Units() const { return units_; }
    const QString& Caption() const { return caption_; }

    virtual int GetThickness(const RulerTarget&) const { return 0; }
    virtual int GetLabelCapacity(const QRect&, const RulerTarget&) const { return 0; }
    virtual RulerLayout Layout(const QRect&, const RulerTarget&) const { return {}; }
    // Paints the ruler into `rect` of the painter's device (frame, ticks and labels).
    void Draw(QPainter& painter, const QRect& rect, const RulerTarget& target) const;

    // The same for the ruler on the screen.
    virtual RulerTarget ScreenTarget() const;
    int GetThickness() const { return GetThickness(ScreenTarget()); }
    int GetLabelCapacity(const QRect& rect) const { return GetLabelCapacity(rect, ScreenTarget()); }
    RulerLayout Layout(const QRect& rect) const { return Layout(rect, ScreenTarget()); }
    void Draw(QPainter& painter, const QRect& rect) const { Draw(painter, rect, ScreenTarget()); }

    // Pixels per inch of the ruler's device.
    double DpiX() const { return logicalDpiX(); }
    double DpiY() const { return logicalDpiY(); }

    // The label font at a cell height in pixels, with its character height.
    static QFont LabelFont(int cellHeight, int& characterHeight);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    virtual bool Vertical() const { return false; }
    // q = (length - thickness) / sample width, truncated, plus 1 for a fractional part.
    static int Capacity(int length, int thickness, const QString& sample, double dpi);

    double rangeLow_ = 1.0;
    double rangeHigh_ = 100.0;
    QString units_;
    QString caption_;
};

// The ticks of the time axis: round local clock times, their world x on the panel's map and
// which of them carry a label. Without series 0 (or without times in it) the ticks are plain
// 1-2-5 steps of x and carry no labels.
struct TimeTickPlan {
    TimeStep step;
    std::vector<int64_t> times;  // per tick; empty without times
    TickSet ticks;               // values: world x; pixels: on the panel's map
    std::vector<char> labelled;  // per tick: whether its label is shown
    // Labels after the first of a minute show only ":SS" (where two whole times do not fit).
    bool shortSeconds = false;
};

class FHRuler : public FRuler {
public:
    explicit FHRuler(QWidget* parent = nullptr);

    // Keeps the previous span when both times are unset (local year 1970).
    void SetTimeRange(double x0, double x1, bool redraw, int64_t t0, int64_t t1);
    int64_t StartTime() const { return startTime_; }
    int64_t EndTime() const { return endTime_; }
    void SetPanel(CGraphPanel* panel) { panel_ = panel; }

    using FRuler::GetLabelCapacity;
    using FRuler::GetThickness;
    using FRuler::Layout;
    int GetThickness(const RulerTarget& target) const override;
    int GetLabelCapacity(const QRect& rect, const RulerTarget& target) const override;
    RulerLayout Layout(const QRect& rect, const RulerTarget& target) const override;
    RulerTarget ScreenTarget() const override;
    // The ticks of the panel's vertical grid and of the time labels on the ruler in `rect`: the
    // finest step of round clock times whose labels do not run into each other. Where that
    // leaves fewer than two labels on a ruler at least 100 pixels long, a finer step labels
    // only the ticks that have room, and failing that, seconds after the first label of their
    // minute are shown alone.
    TimeTickPlan TimeTicks(const QRect& rect, const RulerTarget& target) const;
    // The same for the screen, with the panel's map `panelMap` (device pixels) and its width in
    // widget pixels.
    TimeTickPlan TimeTicksFor(const LinearMap& panelMap, int panelWidth) const;

private:
    // One tick's label: where it stands on the ruler, its texts and whether it is drawn.
    struct LabelPlan {
        double x = 0;
        QString time;
        QString date;      // empty: no date under this label
        int left = 0;      // left edge of the time
        int dateLeft = 0;  // left edge of the date
        int timeWidth = 0;
        int dateWidth = 0;
        bool drawn = false;
        bool moved = false;  // moved inward at an end of the ruler
    };
    // The labels of `ticks` on the ruler in `rect`; with `thin`, each label that would run into
    // the one drawn before is left out.
    std::vector<LabelPlan> PlanLabels(const TimeTickPlan& ticks, const QRect& rect,
                                      const RulerTarget& target, bool thin = false) const;
    // Two drawn labels (or dates) closer than two spaces apart; ticks closer than `minDistance`
    // (squeezed together by a gap in the recording) do not count.
    bool Crowded(const std::vector<LabelPlan>& plan, const RulerTarget& target,
                 double minDistance = 0) const;
    // Leaves out the labels that run into the one drawn before (their ticks stay).
    void Thin(TimeTickPlan& plan, const QRect& rect, const RulerTarget& target) const;
    // The ticks of `step` in the view, at most `limit` of them, all labelled.
    TimeTickPlan StepTicks(const TimeStep& step, const SampleClock& clock, const LinearMap& map,
                           size_t limit) const;

    int64_t startTime_;
    int64_t endTime_;
    CGraphPanel* panel_ = nullptr;
};

class FVRuler : public FRuler {
public:
    explicit FVRuler(QWidget* parent = nullptr);

    using FRuler::GetLabelCapacity;
    using FRuler::GetThickness;
    using FRuler::Layout;
    int GetThickness(const RulerTarget& target) const override;
    int GetLabelCapacity(const QRect& rect, const RulerTarget& target) const override;
    RulerLayout Layout(const QRect& rect, const RulerTarget& target) const override;
    RulerTarget ScreenTarget() const override;
    // The interval count of the panel's horizontal grid and of the value labels on a ruler
    // `rect` (as high as the panel): the capacity for its height, lowered until no two labels
    // drawn on it run into each other.
    int LabelCount(const QRect& rect, const RulerTarget& target) const;
    int LabelCount(const QRect& rect) const { return LabelCount(rect, ScreenTarget()); }
    // Decimals of the labels on a ruler `rect` for the current range (0 where they take a
    // power of ten).
    int LabelDecimals(const QRect& rect) const;
    // Paints the units text into `corner`, the square below the ruler beside the time ruler:
    // across when it fits the width, else running upward, centred either way.
    void DrawUnits(QPainter& painter, const QRect& corner, const RulerTarget& target) const;

protected:
    bool Vertical() const override { return true; }

private:
    // The ticks for `intervals` and their labels, placed on the ruler in `rect`.
    struct Plan {
        TickSet ticks;
        std::vector<double> y;  // ruler pixel of each tick
        std::vector<RulerLabel> labels;
        RulerLabel units;
    };
    Plan PlanLabels(int intervals, const QRect& rect, const RulerTarget& target) const;
    // Two drawn labels closer than a space apart.
    static bool Crowded(const Plan& plan, const QFontMetrics& metrics);
};
