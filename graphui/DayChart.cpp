#include "graphui/DayChart.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "res/Resources.h"

namespace {

const QColor kLitresColor(0, 120, 215);
const QColor kPumpColor(255, 140, 0);
const QColor kTemperatureColor(200, 0, 0);
const QColor kMissingTint(255, 205, 205);
const QColor kChosenColor(60, 60, 60);

QString Text(int id) { return QString::fromStdString(kws::res::Text(id)); }

QString TickText(double v, double step) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QString::number(v, 'f', decimals);
}

}  // namespace

ChartScale NiceScale(double low, double high, int count) {
    if (!(high > low)) high = low + 1.0;
    const double raw = (high - low) / std::max(1, count);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power * 10.0;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power * (1.0 + 1e-9)) {
            step = m * power;
            break;
        }
    }
    const double first = std::floor(low / step + 1e-9) * step;
    const double last = std::ceil(high / step - 1e-9) * step;
    return {first, step, std::max(last, first + step)};
}

// One entry of the legend: a swatch and a name.
struct LegendEntry {
    QColor color;
    QString text;
    bool line;  // drawn as a range mark, not as a filled swatch
};

std::vector<LegendEntry> LegendEntries(const QString& temperatureName) {
    return {
        {kLitresColor, Text(221), false},
        {kPumpColor, Text(222), false},
        {kTemperatureColor,
         QString::fromStdString(kws::res::Format(223, temperatureName.toUtf8().constData())), true},
        {kMissingTint, Text(224), false}};
}

// Where each legend entry starts, relative to the legend's top left, wrapping into further rows
// where the width ends; the rows used go to `rows`.
std::vector<QPoint> LegendPlaces(const std::vector<LegendEntry>& entries, const QFontMetrics& fm,
                                 int width, int& rows) {
    const int em = fm.height(), rowHeight = em + em / 2;
    std::vector<QPoint> places;
    int x = em / 2, y = 0;
    rows = 1;
    for (const LegendEntry& e : entries) {
        const int w = em + em / 3 + fm.horizontalAdvance(e.text);
        if (x > em / 2 && x + w > width) {
            x = em / 2;
            y += rowHeight;
            ++rows;
        }
        places.emplace_back(x, y);
        x += w + em;
    }
    return places;
}

// Where the parts of the chart lie for one area.
struct DayChart::Frame {
    QRect legend, plot;
    int labelRow = 0;  // top of the date labels
    ChartScale litres{}, hours{}, temperature{};
    bool anyTemperature = false;
};

DayChart::DayChart(QWidget* parent) : QWidget(parent) {
    setMouseTracking(false);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void DayChart::SetDays(const std::vector<kws::rec::DayStatistics>* days,
                       const QString& temperatureName) {
    days_ = days;
    temperatureName_ = temperatureName;
    if (days_ == nullptr || chosen_ >= static_cast<int>(days_->size())) chosen_ = -1;
    updateGeometry();
    update();
}

void DayChart::SetChosenDay(int index) {
    chosen_ = index;
    update();
}

QSize DayChart::sizeHint() const {
    const int n = days_ != nullptr ? static_cast<int>(days_->size()) : 0;
    const int em = fontMetrics().height();
    return {std::clamp(n * 3 * em / 2, 40 * em, 70 * em), 18 * em};
}

QSize DayChart::minimumSizeHint() const {
    const int em = fontMetrics().height();
    return {30 * em, 12 * em};
}

DayChart::Frame DayChart::Layout(const QRect& area, const QFontMetrics& fm) const {
    Frame f;
    const int em = fm.height();
    int rows = 1;
    LegendPlaces(LegendEntries(temperatureName_), fm, area.width(), rows);
    f.legend = QRect(area.left(), area.top(), area.width(), rows * (em + em / 2));
    double litres = 0.0, hours = 0.0, low = HUGE_VAL, high = -HUGE_VAL;
    if (days_ != nullptr) {
        for (const kws::rec::DayStatistics& d : *days_) {
            litres = std::max(litres, d.figures.hotWaterLitres);
            hours = std::max(hours, static_cast<double>(d.figures.pumpSeconds) / 3600.0);
            if (!d.figures.curves.empty() && d.figures.curves[0].count > 0) {
                low = std::min(low, d.figures.curves[0].min);
                high = std::max(high, d.figures.curves[0].max);
            }
        }
    }
    f.litres = NiceScale(0.0, std::max(litres, 1.0), 5);
    f.hours = NiceScale(0.0, std::max(hours, 1.0), 5);
    f.anyTemperature = low <= high;
    f.temperature = f.anyTemperature ? NiceScale(low, high + (high == low ? 1.0 : 0.0), 5)
                                     : ChartScale{0.0, 10.0, 60.0};
    // Room for the widest tick label of each scale.
    auto widest = [&fm](const ChartScale& s) {
        return std::max(fm.horizontalAdvance(TickText(s.first, s.step)),
                        fm.horizontalAdvance(TickText(s.last, s.step)));
    };
    const int left = widest(f.litres) + em;
    const int right = widest(f.hours) + widest(f.temperature) + 2 * em;
    const int top = f.legend.bottom() + em;
    const int bottom = area.bottom() - 2 * em;
    f.plot = QRect(QPoint(area.left() + left, top), QPoint(area.right() - right, bottom));
    f.labelRow = bottom + em / 3;
    return f;
}

QRect DayChart::DayColumn(int index) const {
    const Frame f = Layout(rect(), fontMetrics());
    const int n = days_ != nullptr ? static_cast<int>(days_->size()) : 0;
    if (index < 0 || index >= n) return {};
    const double w = static_cast<double>(f.plot.width()) / n;
    const int x0 = f.plot.left() + static_cast<int>(std::lround(index * w));
    const int x1 = f.plot.left() + static_cast<int>(std::lround((index + 1) * w));
    return QRect(x0, f.plot.top(), std::max(1, x1 - x0), f.plot.height());
}

int DayChart::DayAt(const QPoint& point) const {
    const Frame f = Layout(rect(), fontMetrics());
    const int n = days_ != nullptr ? static_cast<int>(days_->size()) : 0;
    if (n == 0 || point.x() < f.plot.left() || point.x() > f.plot.right() ||
        point.y() < f.plot.top() || point.y() > f.labelRow + fontMetrics().height()) {
        return -1;
    }
    const int index = static_cast<int>((point.x() - f.plot.left()) * static_cast<double>(n) /
                                       std::max(1, f.plot.width()));
    return std::clamp(index, 0, n - 1);
}

void DayChart::Paint(QPainter& p, const QRect& area) const {
    const QFontMetrics fm = p.fontMetrics();
    const Frame f = Layout(area, fm);
    const int em = fm.height();
    p.fillRect(area, Qt::white);

    // Legend: a swatch and a name per part.
    const std::vector<LegendEntry> entries = LegendEntries(temperatureName_);
    int rows = 1;
    const std::vector<QPoint> places = LegendPlaces(entries, fm, area.width(), rows);
    for (size_t k = 0; k < entries.size(); ++k) {
        const LegendEntry& e = entries[k];
        const int x = f.legend.left() + places[k].x();
        const QRect swatch(x, f.legend.top() + places[k].y() + em / 4, em, em);
        if (e.line) {
            p.setPen(QPen(e.color, 2));
            p.drawLine(swatch.center().x(), swatch.top(), swatch.center().x(), swatch.bottom());
            p.drawLine(swatch.left() + 2, swatch.top(), swatch.right() - 2, swatch.top());
            p.drawLine(swatch.left() + 2, swatch.bottom(), swatch.right() - 2, swatch.bottom());
        } else {
            p.fillRect(swatch, e.color);
        }
        p.setPen(Qt::black);
        p.drawText(QPoint(x + em + em / 3, swatch.top() + fm.ascent()), e.text);
    }

    const int n = days_ != nullptr ? static_cast<int>(days_->size()) : 0;
    const QRect& plot = f.plot;
    auto yOf = [&plot](const ChartScale& s, double v) {
        return plot.bottom() - (v - s.first) / (s.last - s.first) * plot.height();
    };
    const double w = n > 0 ? static_cast<double>(plot.width()) / n : plot.width();
    auto columnX = [&](int i) { return plot.left() + i * w; };

    // Days that miss data, behind everything.
    for (int i = 0; i < n; ++i) {
        if ((*days_)[static_cast<size_t>(i)].MissesData()) {
            p.fillRect(QRectF(columnX(i), plot.top(), w, plot.height()), kMissingTint);
        }
    }
    // Grid and the three scales: litres on the left, hours and temperature on the right.
    p.setPen(QColor(225, 225, 225));
    for (double v = f.litres.first; v <= f.litres.last + f.litres.step / 2; v += f.litres.step) {
        p.drawLine(QPointF(plot.left(), yOf(f.litres, v)), QPointF(plot.right(), yOf(f.litres, v)));
    }
    auto axis = [&](const ChartScale& s, int at, bool leftSide, const QColor& color) {
        p.setPen(color);
        p.drawLine(at, plot.top(), at, plot.bottom());
        for (double v = s.first; v <= s.last + s.step / 2; v += s.step) {
            const double y = yOf(s, v);
            const QString t = TickText(v, s.step);
            const int tw = fm.horizontalAdvance(t);
            p.drawLine(QPointF(at - (leftSide ? 4 : 0), y), QPointF(at + (leftSide ? 0 : 4), y));
            p.drawText(QPointF(leftSide ? at - 6 - tw : at + 6, y + fm.ascent() / 2.0 - 1), t);
        }
    };
    axis(f.litres, plot.left(), true, kLitresColor.darker(130));
    axis(f.hours, plot.right(), false, kPumpColor.darker(130));
    const int temperatureAxis =
        plot.right() + em +
        std::max(fm.horizontalAdvance(TickText(f.hours.first, f.hours.step)),
                 fm.horizontalAdvance(TickText(f.hours.last, f.hours.step)));
    axis(f.temperature, temperatureAxis, false, kTemperatureColor);
    p.setPen(Qt::black);
    p.drawLine(plot.left(), plot.bottom(), plot.right(), plot.bottom());

    // The bars and ranges.
    for (int i = 0; i < n; ++i) {
        const kws::rec::WindowStatistics& s = (*days_)[static_cast<size_t>(i)].figures;
        const double x0 = columnX(i);
        const double litres = yOf(f.litres, s.hotWaterLitres);
        const double hours = yOf(f.hours, static_cast<double>(s.pumpSeconds) / 3600.0);
        p.fillRect(QRectF(x0 + w * 0.1, litres, std::max(1.0, w * 0.4), plot.bottom() - litres),
                   kLitresColor);
        p.fillRect(QRectF(x0 + w * 0.5, hours, std::max(1.0, w * 0.25), plot.bottom() - hours),
                   kPumpColor);
        if (!s.curves.empty() && s.curves[0].count > 0) {
            const double cx = x0 + w * 0.85;
            const double lo = yOf(f.temperature, s.curves[0].min);
            const double hi = yOf(f.temperature, s.curves[0].max);
            const double cap = std::max(1.0, w * 0.1);
            p.setPen(QPen(kTemperatureColor, w >= 6 ? 2 : 1));
            p.drawLine(QPointF(cx, lo), QPointF(cx, hi));
            p.drawLine(QPointF(cx - cap, lo), QPointF(cx + cap, lo));
            p.drawLine(QPointF(cx - cap, hi), QPointF(cx + cap, hi));
        }
    }
    if (chosen_ >= 0 && chosen_ < n) {
        p.setPen(QPen(kChosenColor, 2, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(columnX(chosen_), plot.top(), w, plot.height()));
    }

    // Dates below the columns: every day where there is room, else every k-th.
    p.setPen(Qt::black);
    const int label = fm.horizontalAdvance(QStringLiteral("88.88.")) + em / 2;
    const int every = std::max(1, static_cast<int>(std::ceil(label / std::max(w, 1.0))));
    for (int i = 0; i < n; i += every) {
        const kws::rec::DayStatistics& d = (*days_)[static_cast<size_t>(i)];
        const QString t = QStringLiteral("%1.%2.")
                              .arg(d.day, 2, 10, QLatin1Char('0'))
                              .arg(d.month, 2, 10, QLatin1Char('0'));
        const double cx = columnX(i) + w / 2;
        p.drawText(QPointF(cx - fm.horizontalAdvance(t) / 2.0, f.labelRow + fm.ascent()), t);
    }
}

void DayChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    Paint(p, rect());
}

void DayChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int day = DayAt(event->position().toPoint());
    if (day >= 0) emit DayClicked(day);
}
