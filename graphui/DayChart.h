// The chart of the "Tage" window: per day a bar of the litres drawn and, beside it, a bar of the
// hours the hot-water pump ran, each on its own scale, and the range between the day's lowest
// and highest temperature of the first curve (storage in the six-curve layout, hot water in the
// three-curve layout) on a third scale. Days that miss data are tinted. A click on a day reports
// it; one day can be shown as chosen.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

#include "recording/DayStatistics.h"

class QPainter;

class DayChart : public QWidget {
    Q_OBJECT

public:
    explicit DayChart(QWidget* parent = nullptr);

    // The days to show and the name of the temperature whose range is drawn.
    void SetDays(const std::vector<kws::rec::DayStatistics>* days, const QString& temperatureName);
    void SetChosenDay(int index);
    int ChosenDay() const { return chosen_; }

    // Draws the chart into `area` of any paint device (the screen, a saved picture).
    void Paint(QPainter& painter, const QRect& area) const;
    // The day under the point of the widget, or -1.
    int DayAt(const QPoint& point) const;
    // Where day `index` lies in the widget (its column of the plot).
    QRect DayColumn(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void DayClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Frame;
    Frame Layout(const QRect& area, const QFontMetrics& metrics) const;

    const std::vector<kws::rec::DayStatistics>* days_ = nullptr;
    QString temperatureName_;
    int chosen_ = -1;
};

// Steps of a scale from 0 (or `low`) to at least `high` with about `count` ticks of 1, 2 or 5
// times a power of ten: the first tick, the step and the last tick.
struct ChartScale {
    double first, step, last;
};
ChartScale NiceScale(double low, double high, int count);
