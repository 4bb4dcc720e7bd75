// The rulers beside the plot: FVRuler (values, left of the panel) and FHRuler (clock times and
// dates, below it). Their ticks and labels are computed by Layout(), which tests can call; Draw
// paints that layout.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <vector>

class CGraphPanel;
class LinearMap;
class QPainter;
struct TickSet;

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

    virtual int GetThickness() const { return 0; }
    virtual int GetLabelCapacity(const QRect&) const { return 0; }
    virtual RulerLayout Layout(const QRect&) const { return {}; }
    void Draw(QPainter& painter, const QRect& rect) const;

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
    int Capacity(int length, const QString& sample, double dpi) const;

    double rangeLow_ = 1.0;
    double rangeHigh_ = 100.0;
    QString units_;
    QString caption_;
};

class FHRuler : public FRuler {
public:
    explicit FHRuler(QWidget* parent = nullptr);

    // Keeps the previous span when both times are unset (local year 1970).
    void SetTimeRange(double x0, double x1, bool redraw, int64_t t0, int64_t t1);
    int64_t StartTime() const { return startTime_; }
    int64_t EndTime() const { return endTime_; }
    void SetPanel(CGraphPanel* panel) { panel_ = panel; }

    int GetThickness() const override;
    int GetLabelCapacity(const QRect& rect) const override;
    RulerLayout Layout(const QRect& rect) const override;
    // The interval count of the panel's vertical grid and of the time labels: the capacity for
    // the panel's width (device pixels of `panelMap`), lowered until no two drawn time labels and
    // no two dates under them run into each other.
    int LabelCountFor(const LinearMap& panelMap, int panelWidth) const;

private:
    // One tick's label: where it stands on the ruler, its texts and whether it is drawn.
    struct LabelPlan {
        double x = 0;
        QString time;
        QString date;  // empty: no date under this label
        int left = 0;  // left edge of both texts
        int timeWidth = 0;
        int dateWidth = 0;
        bool drawn = false;
    };
    std::vector<LabelPlan> PlanLabels(const TickSet& ticks, const QRect& rect) const;
    bool Crowded(const std::vector<LabelPlan>& plan) const;

    int64_t startTime_;
    int64_t endTime_;
    CGraphPanel* panel_ = nullptr;
};

class FVRuler : public FRuler {
public:
    explicit FVRuler(QWidget* parent = nullptr);

    int GetThickness() const override;
    int GetLabelCapacity(const QRect& rect) const override;
    RulerLayout Layout(const QRect& rect) const override;

protected:
    bool Vertical() const override { return true; }
};
