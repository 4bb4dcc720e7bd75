#include "graph/Ruler.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/LinearMap.h"
#include "recording/LocalTime.h"
#include "recording/SampleExport.h"

int DeviceUnits(double inches, double dpi) { return std::max(1, static_cast<int>(inches * dpi)); }

int TickDecimals(double worldStep) {
    if (!(worldStep > 0) || !std::isfinite(worldStep)) return 0;
    // log10 of 0.10000000149 (the single-precision 0.1) or of 0.1 computed as 1 x 10^-1 lies a
    // hair off -1: the allowance keeps such a step in its decade.
    const int decade = static_cast<int>(std::floor(std::log10(worldStep) + 1e-6));
    return std::clamp(-decade, 0, 20);
}

QString TickLabelText(double value, int decimals) {
    QString text = QString::asprintf("%.*f", decimals, value);
    // "-0", "-0.0": a value that rounds to zero is zero.
    if (text.startsWith('-') && text.indexOf(QRegularExpression("[1-9]")) < 0) text.remove(0, 1);
    return text;
}

namespace {

// The power of ten of |v|'s leading digit; the allowance keeps values computed a hair below a
// power of ten (single-precision steps) in their decade.
int Decade(double v) { return static_cast<int>(std::floor(std::log10(std::fabs(v)) + 1e-6)); }

// Longest label written with fixed decimals; longer ones take a power of ten.
constexpr int kMaxFixedLabelLength = 12;

// "1.5e-300", "2e14": the value with `decimals` digits after the mantissa's point.
QString PowerOfTenText(double value, int decimals) {
    const QString text = QString::asprintf("%.*e", decimals, value);
    const qsizetype e = text.indexOf('e');
    return text.left(e) + 'e' + QString::number(text.mid(e + 1).toInt());
}

}  // namespace

QStringList ValueLabelTexts(const TickSet& ticks) {
    QStringList texts;
    const double step = TimesPowerOfTen(ticks.step, ticks.exponent);
    if (!(step > 0) || !std::isfinite(step)) {
        // No step to speak of (a view with equal ends): the values as they are.
        for (double v : ticks.values) texts << TickLabelText(v, 0);
        return texts;
    }
    const int stepDecade = Decade(step);
    bool fixed = -stepDecade <= kMaxFixedLabelLength;
    for (int i = 0; fixed && i < ticks.Count(); ++i) {
        const double v = ticks.values[static_cast<size_t>(i)];
        fixed = std::fabs(v) < 1e15 &&
                TickLabelText(v, TickDecimals(step)).size() <= kMaxFixedLabelLength;
    }
    for (double v : ticks.values) {
        if (fixed) {
            texts << TickLabelText(v, TickDecimals(step));
        } else if (v == 0 || std::fabs(v) < step * 1e-6) {
            texts << QStringLiteral("0");  // zero, or the rounding noise of a zero tick
        } else {
            texts << PowerOfTenText(v, std::clamp(Decade(v) - stepDecade, 0, 15));
        }
    }
    return texts;
}

FRuler::FRuler(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FRuler::SetRange(double low, double high, bool redraw) {
    rangeLow_ = low;
    rangeHigh_ = high;
    if (redraw) repaint();
}

void FRuler::SetUnitsAndCaption(const QString& units, const QString& caption) {
    units_ = units;
    caption_ = caption;
    setToolTip(caption);
}

QFont FRuler::LabelFont(int cellHeight, int& characterHeight) {
    // A variable-pitch roman face whose character cell (ascent + descent) is `cellHeight`.
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(std::max(1, cellHeight));
    const int measured = QFontMetrics(font).height();
    if (measured > 0 && measured != cellHeight) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(static_cast<double>(cellHeight) *
                                                                   cellHeight / measured))));
    }
    characterHeight = QFontMetrics(font).height();
    return font;
}

int FRuler::Capacity(int length, int thickness, const QString& sample, double dpi) {
    int h = 0;
    const QFont font = LabelFont(DeviceUnits(kLabelFontHeight, dpi), h);
    const int sampleWidth = std::max(1, QFontMetrics(font).horizontalAdvance(sample));
    const double q = static_cast<double>(length - thickness) / sampleWidth;
    const int whole = static_cast<int>(q);
    return whole + (q != whole ? 1 : 0);
}

RulerTarget FRuler::ScreenTarget() const {
    RulerTarget target;
    target.dpiX = DpiX();
    target.dpiY = DpiY();
    return target;
}

void FRuler::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter, rect());
}

void FRuler::mouseMoveEvent(QMouseEvent* event) {
    if (!caption_.isEmpty()) QToolTip::showText(event->globalPosition().toPoint(), caption_, this);
    QWidget::mouseMoveEvent(event);
}

void FRuler::Draw(QPainter& painter, const QRect& rect, const RulerTarget& target) const {
    const int left = rect.left(), top = rect.top();
    const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    const int r = right - 1, b = bottom - 1;
    // The raised frame: light grey face, dark bottom and right edges, light top and left, each
    // edge one line wide inside the rectangle.
    const int w = std::max(1, target.lineWidth);
    painter.fillRect(QRect(left, top, right + 1 - left, bottom + 1 - top), QColor(192, 192, 192));
    painter.fillRect(QRect(QPoint(left, b - w + 1), QPoint(r, b)), Qt::black);
    painter.fillRect(QRect(QPoint(r - w + 1, top), QPoint(r, b)), Qt::black);
    painter.fillRect(QRect(QPoint(left, top), QPoint(r, top + w - 1)), Qt::white);
    painter.fillRect(QRect(QPoint(left, top), QPoint(left + w - 1, b)), Qt::white);

    const RulerLayout layout = Layout(rect, target);
    if (!layout.content) return;
    painter.setPen(Qt::black);
    int h = 0;
    const QFont font =
        LabelFont(DeviceUnits(kLabelFontHeight, Vertical() ? target.dpiX : target.dpiY), h);
    painter.setFont(font);
    const int ascent = QFontMetrics(font).ascent();
    // Ticks as wide as the grid lines they continue: one device pixel on the screen.
    QPen tickPen(Qt::black, 0);
    tickPen.setCosmetic(true);
    if (w > 1) tickPen = QPen(Qt::black, w, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(tickPen);
    for (const std::vector<double>* ticks : {&layout.majorTicks, &layout.minorTicks}) {
        for (double t : *ticks) {
            if (Vertical()) {
                painter.drawLine(QLineF(r, t, r - layout.tickLength, t));
            } else {
                painter.drawLine(QLineF(t, b, t, b - layout.tickLength));
            }
        }
    }
    painter.setPen(Qt::black);
    auto text = [&](const RulerLabel& label) {
        if (!label.drawn || label.text.isEmpty()) return;
        if (Vertical()) {
            // Text running upward: its top faces left, it starts at (x, y) and runs up.
            painter.save();
            painter.translate(label.x, label.y);
            painter.rotate(-90);
            painter.drawText(QPointF(0, ascent), label.text);
            painter.restore();
        } else {
            painter.drawText(QPointF(label.x, label.y + ascent), label.text);
        }
    };
    for (const RulerLabel& l : layout.dates) text(l);
    for (const RulerLabel& l : layout.labels) text(l);
    text(layout.units);
}

FHRuler::FHRuler(QWidget* parent)
    : FRuler(parent), startTime_(NullTimeStamp()), endTime_(NullTimeStamp()) {}

void FHRuler::SetTimeRange(double, double, bool, int64_t t0, int64_t t1) {
    if (IsUnsetTimeStamp(t0) && IsUnsetTimeStamp(t1)) return;
    startTime_ = t0;
    endTime_ = t1;
}

int FHRuler::GetThickness(const RulerTarget& target) const {
    return DeviceUnits(kTimeRulerThickness, target.dpiY);
}

int FHRuler::GetLabelCapacity(const QRect& rect, const RulerTarget& target) const {
    return Capacity(rect.width(), GetThickness(target), QStringLiteral("99.99 h "), target.dpiY);
}

RulerTarget FHRuler::ScreenTarget() const {
    RulerTarget target = FRuler::ScreenTarget();
    if (panel_ == nullptr || !panel_->HasMaps()) return target;
    target.panelXMap = &panel_->XMap();
    target.panelScale = panel_->PixelScale();
    // The panel lies above the ruler, side by side in the container.
    target.panelOffset = panel_->parentWidget() == parentWidget() ? panel_->x() - x() : 0.0;
    target.panelWidth = panel_->width();
    return target;
}

std::vector<FHRuler::LabelPlan> FHRuler::PlanLabels(const TickSet& ticks, const QRect& rect,
                                                    const RulerTarget& target) const {
    std::vector<LabelPlan> plan;
    if (panel_ == nullptr) return plan;
    const int left = rect.left();
    const int r = rect.left() + rect.width() - 1;
    const int margin = DeviceUnits(kTimeRulerRightMargin, target.dpiY);
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H));
    const double scale = target.panelScale;
    const double offset = target.panelOffset;
    const CGraphProps* series = panel_->SeriesZero();
    const int64_t spanMinutes = (endTime_ - startTime_) / 60;
    const char* timeFormat = spanMinutes >= 30 ? "%H:%Mh" : "%H:%M:%S";
    bool anyDrawn = false;
    kws::rec::LocalFields previous{};  // of the last drawn label
    QString previousTime;              // its text
    for (int i = 0; i < ticks.Count(); ++i) {
        LabelPlan label;
        // The panel's grid lines lie on device pixels; the ruler lies below the panel.
        label.x =
            static_cast<double>(LinearMap::TruncatePixel(ticks.pixels[static_cast<size_t>(i)])) /
                scale +
            offset;
        // The sample under the tick: the integer part of its world x, clamped to series 0.
        int64_t labelTime = NullTimeStamp();
        if (series != nullptr && series->GetCount() > 0) {
            const double last = series->GetCount() - 1;
            const double index =
                std::clamp(std::trunc(ticks.values[static_cast<size_t>(i)]), 0.0, last);
            labelTime = series->GetPoint(static_cast<int>(index)).time;
        }
        label.time = QString::fromStdString(kws::rec::FormatLocalTime(labelTime, timeFormat));
        const int w = metrics.horizontalAdvance(label.time);
        label.left = static_cast<int>(std::floor(label.x)) - w / 2;
        label.timeWidth = w;
        label.drawn = left + 16 < label.left && label.left + 2 * (w / 2) < r - margin;
        // A date under the first drawn label and wherever the day changes from the label drawn
        // before. A label whose date would run past the ruler's end is left out with it.
        if (label.drawn) {
            kws::rec::LocalFields l{};
            kws::rec::LocalFieldsOf(labelTime, l);
            const bool sameDay =
                l.day == previous.day && l.month == previous.month && l.year == previous.year;
            if (anyDrawn && sameDay && label.time == previousTime) {
                // Ticks closer than a sample read the same sample: a label repeating the one
                // drawn before on the same day says nothing new (its tick stays).
                label.drawn = false;
            } else if (!anyDrawn || !sameDay) {
                label.date =
                    QString::fromStdString(kws::rec::FormatLocalTime(labelTime, "%d/%m/%Y"));
                label.dateWidth = metrics.horizontalAdvance(label.date);
                if (label.left + label.dateWidth >= r - margin) {
                    label.drawn = false;
                    label.date.clear();
                    label.dateWidth = 0;
                }
            }
            if (label.drawn) {
                previous = l;
                previousTime = label.time;
                anyDrawn = true;
            }
        }
        plan.push_back(label);
    }
    return plan;
}

bool FHRuler::Crowded(const std::vector<LabelPlan>& plan, const RulerTarget& target) const {
    int H = 0;
    const int gap = QFontMetrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H))
                        .horizontalAdvance(QLatin1Char(' '));
    const LabelPlan* lastTime = nullptr;
    const LabelPlan* lastDate = nullptr;
    for (const LabelPlan& label : plan) {
        if (!label.drawn) continue;
        if (lastTime != nullptr && label.left < lastTime->left + lastTime->timeWidth + gap)
            return true;
        lastTime = &label;
        if (label.date.isEmpty()) continue;
        if (lastDate != nullptr && label.left < lastDate->left + lastDate->dateWidth + gap)
            return true;
        lastDate = &label;
    }
    return false;
}

int FHRuler::LabelCount(const QRect& rect, const RulerTarget& target) const {
    int n = GetLabelCapacity(QRect(0, 0, target.panelWidth, rect.height()), target);
    if (panel_ == nullptr || target.panelXMap == nullptr) return n;
    // Fewer intervals give a wider tick step; only a new tick set needs a new look.
    int lastCount = -1;
    double lastFirst = 0.0;
    for (; n > 1; --n) {
        const TickSet ticks = target.panelXMap->ComputeTicks(n);
        if (ticks.Count() == lastCount && ticks.Count() > 0 && ticks.values[0] == lastFirst)
            continue;
        lastCount = ticks.Count();
        lastFirst = ticks.Count() > 0 ? ticks.values[0] : 0.0;
        if (!Crowded(PlanLabels(ticks, rect, target), target)) break;
    }
    return n;
}

int FHRuler::LabelCountFor(const LinearMap& panelMap, int panelWidth) const {
    RulerTarget target = ScreenTarget();
    target.panelXMap = &panelMap;
    target.panelWidth = panelWidth;
    return LabelCount(rect(), target);
}

RulerLayout FHRuler::Layout(const QRect& rect, const RulerTarget& target) const {
    RulerLayout out;
    const int left = rect.left(), top = rect.top();
    const int r = rect.left() + rect.width() - 1, b = rect.top() + rect.height() - 1;
    const int thickness = GetThickness(target);
    if (!(b >= top + thickness - 1 && r - left > 21)) {
        out.content = false;
        return out;
    }
    int H = 0;
    LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H);
    out.textHeight = H;
    out.tickLength = DeviceUnits(kTickLength, target.dpiY);
    const int margin = DeviceUnits(kTimeRulerRightMargin, target.dpiY);
    out.units = {units_, r - margin - 1, b - static_cast<int>(H * 1.1), true};
    if (panel_ == nullptr || target.panelXMap == nullptr) return out;

    // The ticks of the panel's vertical grid lines (pixels of the panel), placed on this ruler,
    // which lies below the panel.
    const LinearMap& map = *target.panelXMap;
    const TickSet ticks = map.ComputeTicks(LabelCount(rect, target));
    auto onRuler = [&](double panelPixel) {
        return static_cast<double>(LinearMap::TruncatePixel(panelPixel)) / target.panelScale +
               target.panelOffset;
    };
    const double pow10 = std::pow(10.0, ticks.exponent);
    const std::vector<LabelPlan> plan = PlanLabels(ticks, rect, target);
    for (int i = 0; i < ticks.Count(); ++i) {
        const LabelPlan& label = plan[static_cast<size_t>(i)];
        out.majorTicks.push_back(label.x);
        out.dates.push_back(
            {label.date, label.left, b - static_cast<int>(H * 1.1 * 2), label.drawn});
        out.labels.push_back({label.time, label.left, b - static_cast<int>(H * 1.1), label.drawn});
        const double v = ticks.values[static_cast<size_t>(i)] / pow10;
        for (double minor : {(v - ticks.step / 2) * pow10, (v + ticks.step / 2) * pow10}) {
            const double p = map.WorldToScreen(minor);
            if (p >= std::min(map.ScreenStart(), map.ScreenEnd()) &&
                p <= std::max(map.ScreenStart(), map.ScreenEnd())) {
                out.minorTicks.push_back(onRuler(p));
            }
        }
    }
    return out;
}

FVRuler::FVRuler(QWidget* parent) : FRuler(parent) {}

int FVRuler::GetThickness(const RulerTarget& target) const {
    return DeviceUnits(kValueRulerThickness, target.dpiX);
}

int FVRuler::GetLabelCapacity(const QRect& rect, const RulerTarget& target) const {
    return Capacity(rect.height(), GetThickness(target), QStringLiteral("9.99 "), target.dpiX);
}

RulerTarget FVRuler::ScreenTarget() const {
    RulerTarget target = FRuler::ScreenTarget();
    // The panel beside the ruler draws its grid in device pixels.
    target.panelScale = devicePixelRatioF();
    return target;
}

FVRuler::Plan FVRuler::PlanLabels(int intervals, const QRect& rect,
                                  const RulerTarget& target) const {
    Plan plan;
    const int top = rect.top(), b = rect.top() + rect.height() - 1;
    const int thickness = GetThickness(target);
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiX), H));
    const int captionWidth = metrics.horizontalAdvance(units_ + "-10") +
                             DeviceUnits(kValueRulerCaptionAllowance, target.dpiX);
    // The units text runs upward from unitsBottom; labels stay below it, a space apart from it
    // when there is one.
    const int unitsBottom = top + captionWidth + thickness + 1;
    const int gap = units_.isEmpty() ? 0 : metrics.horizontalAdvance(QLatin1Char(' '));
    const int r = rect.left() + rect.width() - 1;
    plan.units = {units_, r - H, unitsBottom, true};
    // The panel beside the ruler is as high as the ruler; its grid rows are device pixels.
    const double scale = target.panelScale > 0 ? target.panelScale : 1.0;
    const int rows = static_cast<int>(std::lround(rect.height() * scale));
    plan.ticks = ValueAxisTicks(rangeLow_, rangeHigh_, rows, intervals);
    const QStringList texts = ValueLabelTexts(plan.ticks);
    for (int i = 0; i < plan.ticks.Count(); ++i) {
        const double y = top + plan.ticks.pixels[static_cast<size_t>(i)] / scale;
        plan.y.push_back(y);
        const QString& text = texts[i];
        const int w = metrics.horizontalAdvance(text);
        const int h = w / 2;
        // The label runs upward from y + h over w pixels, centred on its tick: it fits between
        // the units text and the bottom end.
        const int start = static_cast<int>(std::floor(y)) + h;
        const bool fits = start < b && start - w >= unitsBottom + gap;
        plan.labels.push_back({text, r - H, start, fits});
    }
    return plan;
}

bool FVRuler::Crowded(const Plan& plan, const QFontMetrics& metrics) {
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    const RulerLabel* previous = nullptr;
    int previousWidth = 0;
    for (const RulerLabel& label : plan.labels) {
        if (!label.drawn) continue;
        const int width = metrics.horizontalAdvance(label.text);
        if (previous != nullptr) {
            // Each covers y - width .. y along the ruler; the ticks run one way, so only
            // neighbours can meet.
            const int upper = std::min(label.y, previous->y);
            const int lowerTop =
                label.y > previous->y ? label.y - width : previous->y - previousWidth;
            if (lowerTop - upper < gap) return true;
        }
        previous = &label;
        previousWidth = width;
    }
    return false;
}

int FVRuler::LabelCount(const QRect& rect, const RulerTarget& target) const {
    int n = GetLabelCapacity(QRect(0, 0, rect.width(), rect.height()), target);
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiX), H));
    // Fewer intervals give a wider step; only a new tick set needs a new look.
    int lastCount = -1;
    double lastFirst = 0.0;
    for (; n > 1; --n) {
        const Plan plan = PlanLabels(n, rect, target);
        const TickSet& ticks = plan.ticks;
        if (ticks.Count() == lastCount && ticks.Count() > 0 && ticks.values[0] == lastFirst)
            continue;
        lastCount = ticks.Count();
        lastFirst = ticks.Count() > 0 ? ticks.values[0] : 0.0;
        if (!Crowded(plan, metrics)) break;
    }
    return n;
}

RulerLayout FVRuler::Layout(const QRect& rect, const RulerTarget& target) const {
    RulerLayout out;
    const int left = rect.left(), top = rect.top();
    const int r = rect.left() + rect.width() - 1, b = rect.top() + rect.height() - 1;
    const int thickness = GetThickness(target);
    if (thickness + 5 >= b - top || r < left + thickness - 1) {
        out.content = false;
        return out;
    }
    int H = 0;
    LabelFont(DeviceUnits(kLabelFontHeight, target.dpiX), H);
    out.textHeight = H;
    out.tickLength = DeviceUnits(kTickLength, target.dpiX);
    const Plan plan = PlanLabels(LabelCount(rect, target), rect, target);
    out.majorTicks = plan.y;
    out.labels = plan.labels;
    out.units = plan.units;
    // Minor ticks halfway between the major ones, on the rows the panel would give them.
    const double scale = target.panelScale > 0 ? target.panelScale : 1.0;
    const int rows = static_cast<int>(std::lround(rect.height() * scale));
    const TickSet& ticks = plan.ticks;
    for (double v : ticks.values) {
        const double scaled = TimesPowerOfTen(v, -ticks.exponent);
        for (double minor : {TimesPowerOfTen(scaled - ticks.step / 2, ticks.exponent),
                             TimesPowerOfTen(scaled + ticks.step / 2, ticks.exponent)}) {
            const double row = ValueAxisRow(rangeLow_, rangeHigh_, rows, minor);
            if (row >= 0 && row <= rows) out.minorTicks.push_back(top + row / scale);
        }
    }
    return out;
}
