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
    // The value units are shown by the container, in the corner below the ruler.
    if (parentWidget() != nullptr) parentWidget()->update();
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

namespace {

// Room kept between two time labels (or dates): three spaces of the label font, so that labels
// read apart; a coarser step is taken rather than labels that nearly touch.
int TimeLabelGap(const RulerTarget& target) {
    int H = 0;
    return 3 * QFontMetrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H))
                   .horizontalAdvance(QLatin1Char(' '));
}

}  // namespace

std::vector<FHRuler::LabelPlan> FHRuler::PlanLabels(const TimeTickPlan& ticks, const QRect& rect,
                                                    const RulerTarget& target, bool thin) const {
    std::vector<LabelPlan> plan;
    // Labels stay inside the frame and clear of the right margin; one near an end is moved
    // inward rather than left out, as long as its tick stays under it.
    const int line = std::max(1, target.lineWidth);
    const int leftLimit = rect.left() + line;
    const int r = rect.left() + rect.width() - 1;
    const int rightLimit = r - DeviceUnits(kTimeRulerRightMargin, target.dpiY);
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H));
    const char* timeFormat = ticks.step.ShowsSeconds() ? "%H:%M:%S" : "%H:%Mh";
    // Centred on x, moved inward at the ends; false when it does not fit beside its tick.
    bool moved = false;
    auto place = [&](double x, int width, int& left) {
        left = static_cast<int>(std::floor(x)) - width / 2;
        const int centred = left;
        left = std::max(std::min(left, rightLimit - width), leftLimit);
        moved = moved || left != centred;
        return left + width <= rightLimit && x >= left - line - 1 && x <= left + width + line + 1;
    };
    bool anyDrawn = false;
    kws::rec::LocalFields previous{};  // of the last drawn label
    const int gap = TimeLabelGap(target);
    int timeEnd = INT32_MIN, dateEnd = INT32_MIN;  // where the last drawn texts end, with a gap
    for (int i = 0; i < ticks.ticks.Count(); ++i) {
        LabelPlan label;
        // The panel's grid lines lie on device pixels; the ruler lies below the panel.
        label.x = static_cast<double>(
                      LinearMap::TruncatePixel(ticks.ticks.pixels[static_cast<size_t>(i)])) /
                      target.panelScale +
                  target.panelOffset;
        const size_t k = static_cast<size_t>(i);
        moved = false;
        if (k < ticks.times.size() && k < ticks.labelled.size() && ticks.labelled[k]) {
            const int64_t t = ticks.times[k];
            kws::rec::LocalFields l{};
            kws::rec::LocalFieldsOf(t, l);
            const bool sameDay = anyDrawn && l.day == previous.day && l.month == previous.month &&
                                 l.year == previous.year;
            const bool sameMinute =
                sameDay && l.hour == previous.hour && l.minute == previous.minute;
            // In the hour the clocks repeat in autumn the zone tells the two passes apart.
            label.time = QString::fromStdString(kws::rec::FormatLocalTimeMarked(
                t, ticks.shortSeconds && sameMinute ? ":%S" : timeFormat));
            label.timeWidth = metrics.horizontalAdvance(label.time);
            label.drawn = place(label.x, label.timeWidth, label.left);
            // A date under the first drawn label and wherever the day changes from the label
            // drawn before; a label whose date has no room is left out with it.
            if (label.drawn && !sameDay) {
                label.date = QString::fromStdString(kws::rec::FormatLocalTime(t, "%d/%m/%Y"));
                label.dateWidth = metrics.horizontalAdvance(label.date);
                if (!place(label.x, label.dateWidth, label.dateLeft)) {
                    label.drawn = false;
                    label.date.clear();
                    label.dateWidth = 0;
                }
            }
            label.moved = moved;
            // Thinning: a label running into the one drawn before is left out (its tick stays).
            if (thin && label.drawn &&
                (label.left < timeEnd || (!label.date.isEmpty() && label.dateLeft < dateEnd))) {
                label.drawn = false;
                label.date.clear();
                label.dateWidth = 0;
            }
            if (label.drawn) {
                previous = l;
                anyDrawn = true;
                timeEnd = label.left + label.timeWidth + gap;
                if (!label.date.isEmpty()) dateEnd = label.dateLeft + label.dateWidth + gap;
            }
        }
        plan.push_back(label);
    }
    return plan;
}

bool FHRuler::Crowded(const std::vector<LabelPlan>& plan, const RulerTarget& target,
                      double minDistance) const {
    const int gap = TimeLabelGap(target);
    const LabelPlan* lastTime = nullptr;
    const LabelPlan* lastDate = nullptr;
    for (const LabelPlan& label : plan) {
        if (!label.drawn) continue;
        if (lastTime != nullptr && label.x - lastTime->x < minDistance) continue;
        // A label moved inward at an end may meet its neighbour: thinning settles that.
        const bool counts = !label.moved && (lastTime == nullptr || !lastTime->moved);
        if (counts && lastTime != nullptr &&
            label.left < lastTime->left + lastTime->timeWidth + gap)
            return true;
        lastTime = &label;
        if (label.date.isEmpty()) continue;
        if (!label.moved && lastDate != nullptr && !lastDate->moved &&
            label.dateLeft < lastDate->dateLeft + lastDate->dateWidth + gap)
            return true;
        lastDate = &label;
    }
    return false;
}

void FHRuler::Thin(TimeTickPlan& plan, const QRect& rect, const RulerTarget& target) const {
    const std::vector<LabelPlan> labels = PlanLabels(plan, rect, target, true);
    for (size_t k = 0; k < labels.size() && k < plan.labelled.size(); ++k) {
        if (!labels[k].drawn) plan.labelled[k] = 0;
    }
}

TimeTickPlan FHRuler::StepTicks(const TimeStep& step, const SampleClock& clock,
                                const LinearMap& map, size_t limit) const {
    TimeTickPlan plan;
    plan.step = step;
    const double lo = std::min(map.WorldStart(), map.WorldEnd());
    const double hi = std::max(map.WorldStart(), map.WorldEnd());
    const double from = std::ceil(clock.TimeAt(lo)), to = std::floor(clock.TimeAt(hi));
    // Views beyond any calendar have no clock times.
    if (!(from >= -1e15 && to <= 1e15)) return plan;
    plan.times = RoundTimes(static_cast<int64_t>(from), static_cast<int64_t>(to), step, limit + 1);
    if (plan.times.size() > limit) return plan;  // too many: the caller looks no further
    // Ticks run from the ruler's left end, whichever way the view runs.
    if (map.WorldStart() > map.WorldEnd()) std::reverse(plan.times.begin(), plan.times.end());
    // Only ticks on the panel's pixels: the view's far end lies just beyond its last one.
    const double lowEnd = std::min(map.ScreenStart(), map.ScreenEnd());
    const double highEnd = std::max(map.ScreenStart(), map.ScreenEnd());
    std::vector<int64_t> times;
    for (int64_t t : plan.times) {
        const double x = clock.XAt(static_cast<double>(t));
        const double p = map.WorldToScreen(x);
        const double pixel = static_cast<double>(LinearMap::TruncatePixel(p));
        if (pixel < lowEnd || pixel >= highEnd) continue;
        times.push_back(t);
        plan.ticks.values.push_back(x);
        plan.ticks.pixels.push_back(p);
    }
    plan.times = std::move(times);
    plan.labelled.assign(plan.times.size(), 1);
    return plan;
}

TimeTickPlan FHRuler::TimeTicks(const QRect& rect, const RulerTarget& target) const {
    TimeTickPlan chosen;
    if (panel_ == nullptr || target.panelXMap == nullptr) return chosen;
    const LinearMap& map = *target.panelXMap;
    const SampleClock clock(panel_->SeriesZero());
    const int width = target.panelWidth;
    if (!clock.Valid()) {
        // No times to read: the grid keeps plain steps of x, without labels.
        chosen.ticks =
            map.ComputeTicks(GetLabelCapacity(QRect(0, 0, width, rect.height()), target));
        chosen.labelled.assign(static_cast<size_t>(chosen.ticks.Count()), 0);
        return chosen;
    }
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiY), H));
    const int narrowest = std::max(1, metrics.horizontalAdvance(QStringLiteral("00:00h")));
    const double span = std::fabs(clock.TimeAt(map.WorldEnd()) - clock.TimeAt(map.WorldStart()));
    const std::vector<TimeStep>& steps = TimeSteps();
    // Steps with more ticks than labels could ever fit are not looked at.
    const size_t allLimit = static_cast<size_t>(std::max(0, width) / narrowest) + 2;
    // Ticks clearly closer than their even spacing stand in a gap of the recording, where few
    // samples carry the time of many (a month's 28 days are still 92 % of the mean): their
    // labels are thinned rather than the step widened.
    auto evenSpacing = [&](const TimeStep& step) {
        return span > 0 ? width * step.ApproxSeconds() / span : 0.0;
    };
    size_t index = steps.size();
    for (size_t i = 0; i < steps.size(); ++i) {
        if (span / steps[i].ApproxSeconds() > static_cast<double>(allLimit) + 2) continue;
        TimeTickPlan plan = StepTicks(steps[i], clock, map, allLimit);
        if (plan.times.size() > allLimit) continue;
        const bool fits =
            !Crowded(PlanLabels(plan, rect, target), target, 0.85 * evenSpacing(steps[i]));
        if (fits || i + 1 == steps.size()) {
            chosen = std::move(plan);
            index = i;
            if (fits) break;
        }
    }
    Thin(chosen, rect, target);
    const auto drawnCount = [&](const TimeTickPlan& plan) {
        const std::vector<LabelPlan> labels = PlanLabels(plan, rect, target);
        return std::count_if(labels.begin(), labels.end(),
                             [](const LabelPlan& l) { return l.drawn; });
    };
    if (index == steps.size() || width < 100 || drawnCount(chosen) >= 2) return chosen;
    // Fewer than two labels: a finer step, labelling the ticks whose labels have room one after
    // the other (ticks at most every 8 pixels); then the same with seconds shown alone.
    const size_t fineLimit = static_cast<size_t>(width / 8) + 2;
    for (const bool shortSeconds : {false, true}) {
        for (size_t i = shortSeconds ? index + 1 : index; i-- > 0;) {
            if (shortSeconds && !steps[i].ShowsSeconds()) continue;
            if (span / steps[i].ApproxSeconds() > static_cast<double>(fineLimit) + 2) break;
            TimeTickPlan plan = StepTicks(steps[i], clock, map, fineLimit);
            if (plan.times.size() > fineLimit) break;
            plan.shortSeconds = shortSeconds;
            Thin(plan, rect, target);
            if (drawnCount(plan) >= 2 && !Crowded(PlanLabels(plan, rect, target), target))
                return plan;
        }
    }
    return chosen;
}

TimeTickPlan FHRuler::TimeTicksFor(const LinearMap& panelMap, int panelWidth) const {
    RulerTarget target = ScreenTarget();
    target.panelXMap = &panelMap;
    target.panelWidth = panelWidth;
    return TimeTicks(rect(), target);
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
    const TimeTickPlan ticks = TimeTicks(rect, target);
    auto onRuler = [&](double panelPixel) {
        return static_cast<double>(LinearMap::TruncatePixel(panelPixel)) / target.panelScale +
               target.panelOffset;
    };
    const std::vector<LabelPlan> plan = PlanLabels(ticks, rect, target);
    const std::vector<double>& pixels = ticks.ticks.pixels;
    for (size_t i = 0; i < plan.size(); ++i) {
        const LabelPlan& label = plan[i];
        out.majorTicks.push_back(label.x);
        out.dates.push_back(
            {label.date, label.dateLeft, b - static_cast<int>(H * 1.1 * 2), label.drawn});
        out.labels.push_back({label.time, label.left, b - static_cast<int>(H * 1.1), label.drawn});
    }
    // Minor ticks halfway between the major ones, and as far beyond the outer ones.
    const double lowEnd = std::min(map.ScreenStart(), map.ScreenEnd());
    const double highEnd = std::max(map.ScreenStart(), map.ScreenEnd());
    for (size_t i = 0; pixels.size() >= 2 && i < pixels.size(); ++i) {
        const double next = i + 1 < pixels.size() ? pixels[i + 1] : 2 * pixels[i] - pixels[i - 1];
        const double half = (next - pixels[i]) / 2;
        if (i == 0 && pixels[0] - half >= lowEnd)
            out.minorTicks.push_back(onRuler(pixels[0] - half));
        const double p = pixels[i] + half;
        if (p >= lowEnd && p <= highEnd) out.minorTicks.push_back(onRuler(p));
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
    int H = 0;
    const QFontMetrics metrics(LabelFont(DeviceUnits(kLabelFontHeight, target.dpiX), H));
    const int r = rect.left() + rect.width() - 1;
    // The units text stands in the corner below the ruler (DrawUnits), clear of every label:
    // the labels have the ruler's whole length inside its frame.
    const int limitTop = top + std::max(1, target.lineWidth);
    plan.units = {units_, r - H, limitTop, false};
    // The panel beside the ruler is as high as the ruler; its grid rows are device pixels.
    const double scale = target.panelScale > 0 ? target.panelScale : 1.0;
    const int rows = static_cast<int>(std::lround(rect.height() * scale));
    plan.ticks = ValueAxisTicks(rangeLow_, rangeHigh_, rows, intervals);
    const QStringList texts = ValueLabelTexts(plan.ticks);
    std::vector<int> moved;  // the labels moved into the ruler at its ends
    std::vector<int> widths;
    for (int i = 0; i < plan.ticks.Count(); ++i) {
        const double y = top + plan.ticks.pixels[static_cast<size_t>(i)] / scale;
        plan.y.push_back(y);
        const QString& text = texts[i];
        const int w = metrics.horizontalAdvance(text);
        const int h = w / 2;
        // The label runs upward from start over w pixels, centred on its tick. At either end
        // it moves into the ruler rather than being left out, its end beside its tick.
        int start = static_cast<int>(std::floor(y)) + h;
        if (start - w < limitTop && y >= top) {
            start = limitTop + w;
            moved.push_back(i);
        } else if (start >= b && y <= b + 1) {
            start = b - 1;
            moved.push_back(i);
        }
        const bool fits = start < b && start - w >= limitTop && y >= start - w - 2;
        plan.labels.push_back({text, r - H, start, fits});
        widths.push_back(w);
    }
    // A label moved in at an end keeps its place; a neighbour it would run into gives way (its
    // tick stays), so that both ends are labelled without a coarser step.
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    for (const int m : moved) {
        const RulerLabel& kept = plan.labels[static_cast<size_t>(m)];
        if (!kept.drawn) continue;
        for (size_t i = 0; i < plan.labels.size(); ++i) {
            RulerLabel& l = plan.labels[i];
            if (static_cast<int>(i) == m || !l.drawn) continue;
            if (l.y - widths[i] < kept.y + gap &&
                kept.y - widths[static_cast<size_t>(m)] < l.y + gap)
                l.drawn = false;
        }
    }
    return plan;
}

int FVRuler::LabelDecimals(const QRect& rect) const {
    const Plan plan = PlanLabels(LabelCount(rect), rect, ScreenTarget());
    int decimals = 0;
    for (const RulerLabel& l : plan.labels) {
        const qsizetype dot = l.text.indexOf('.');
        if (dot >= 0 && !l.text.contains('e')) decimals = static_cast<int>(l.text.size() - dot - 1);
    }
    return decimals;
}

void FVRuler::DrawUnits(QPainter& painter, const QRect& corner, const RulerTarget& target) const {
    if (units_.isEmpty() || corner.isEmpty()) return;
    int H = 0;
    const QFont font = LabelFont(DeviceUnits(kLabelFontHeight, target.dpiX), H);
    const QFontMetrics metrics(font);
    const int w = metrics.horizontalAdvance(units_);
    painter.save();
    painter.setClipRect(corner);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QPointF centre = QRectF(corner).center();
    if (w <= corner.width() - 2 || w > corner.height()) {
        painter.drawText(QPointF(centre.x() - w / 2.0, centre.y() - H / 2.0 + metrics.ascent()),
                         units_);
    } else {
        painter.translate(centre.x() - H / 2.0, centre.y() + w / 2.0);
        painter.rotate(-90);
        painter.drawText(QPointF(0, metrics.ascent()), units_);
    }
    painter.restore();
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
