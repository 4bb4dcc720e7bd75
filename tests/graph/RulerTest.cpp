// What the rulers say: the value under each value tick with the decimals its step needs, the
// time of the series-0 sample under each time tick, the tick places on the grid lines, dates.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>

#include <cmath>
#include <ctime>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "graph/Ruler.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::CountRaw;
using kws::test::GraphFixture;
using kws::test::MkTime;
using kws::test::Raw;
using kws::test::ScopedTimeZone;

namespace {

// Series 0 (and nothing else) with one point per entry of `times`, y = 50.
void AddSeriesZero(GraphFixture& f, const std::vector<int64_t>& times) {
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    f.graph->AddSeries(RGB(0, 0, 255), "Kurve", 1, 1, 0);
    for (size_t i = 0; i < times.size(); ++i)
        f.graph->AddPoint(0, static_cast<double>(i), 50, 0, -1, times[i]);
}

std::vector<int64_t> Seconds(int64_t start, int count, int64_t step = 1) {
    std::vector<int64_t> t;
    for (int i = 0; i < count; ++i) t.push_back(start + i * step);
    return t;
}

// The decimals a label needs for ticks `spacing` apart.
int DecimalsFor(double spacing) {
    if (spacing >= 0.999) return 0;
    if (spacing >= 0.0999) return 1;
    if (spacing >= 0.00999) return 2;
    return 3;
}

int Decimals(const QString& text) {
    const int dot = text.indexOf('.');
    return dot < 0 ? 0 : static_cast<int>(text.size()) - dot - 1;
}

// A graph and its value ruler.
class ValueRuler : public ::testing::Test {
protected:
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
};

// The drawn labels of a value ruler layout that run into each other or into the units text,
// measured with the label font at `dpi`: each text covers y - width .. y along the ruler.
std::vector<std::string> Collisions(const RulerLayout& layout, double dpi, int minimumGap) {
    int h = 0;
    const QFontMetrics metrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, dpi), h));
    std::vector<std::pair<int, int>> spans;  // top, bottom
    std::vector<std::string> names;
    if (layout.units.drawn && !layout.units.text.isEmpty()) {
        spans.push_back(
            {layout.units.y - metrics.horizontalAdvance(layout.units.text), layout.units.y});
        names.push_back("units");
    }
    for (const RulerLabel& l : layout.labels) {
        if (!l.drawn) continue;
        spans.push_back({l.y - metrics.horizontalAdvance(l.text), l.y});
        names.push_back(l.text.toStdString());
    }
    std::vector<std::string> out;
    for (size_t i = 0; i < spans.size(); ++i) {
        for (size_t j = i + 1; j < spans.size(); ++j) {
            const int apart = std::max(spans[i].first, spans[j].first) -
                              std::min(spans[i].second, spans[j].second);
            if (apart < minimumGap) out.push_back(names[i] + " / " + names[j]);
        }
    }
    return out;
}

// The drawn time labels of the ruler, each as "date time" where it has a date, else "time".
std::vector<std::string> DrawnTimeLabels(const RulerLayout& layout) {
    std::vector<std::string> out;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        if (!layout.labels[i].drawn) continue;
        const QString date = layout.dates[i].text;
        out.push_back(((date.isEmpty() ? "" : date + " ") + layout.labels[i].text).toStdString());
    }
    return out;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : ", ") + t;
    return out;
}

// Drawn time labels (or dates) of a layout closer than `gap` pixels, measured with the font.
int TimeCollisions(const std::vector<RulerLabel>& labels, double dpi, int gap) {
    int h = 0;
    const QFontMetrics metrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, dpi), h));
    int end = INT32_MIN, collisions = 0;
    for (const RulerLabel& l : labels) {
        if (!l.drawn || l.text.isEmpty()) continue;
        if (l.x < end + gap) ++collisions;
        end = l.x + metrics.horizontalAdvance(l.text);
    }
    return collisions;
}

}  // namespace

TEST_F(ValueRuler, LabelsShowTheValueUnderEachTickWithTheDecimalsOfItsStep) {
    const QRect rect = ruler->rect();
    const double bottom = rect.height() - 1;  // the ruler's pixel for its low end; top is 0
    struct Case {
        double low, high;
        const char* pattern;  // every label
    };
    const Case cases[] = {
        {0, 100, R"(^\d+$)"},          {0, 250, R"(^\d+$)"},
        {0, 0.5, R"(^0\.\d\d?$)"},     {20, 20.5, R"(^20\.\d\d?$)"},
        {0, 0.05, R"(^0\.0\d\d?$)"},   {1000, 1000.5, R"(^1000\.\d\d?$)"},
        {-1, 1, R"(^-?[01]\.\d\d?$)"}, {-0.3, 0.3, R"(^-?0\.\d\d?$)"},
        {100, 0, R"(^\d+$)"},  // reversed
    };
    for (const Case& c : cases) {
        ruler->SetRange(c.low, c.high, false);
        const RulerLayout layout = ruler->Layout(rect);
        const std::string what = std::to_string(c.low) + ".." + std::to_string(c.high);
        ASSERT_EQ(layout.labels.size(), layout.majorTicks.size()) << what;
        ASSERT_GE(layout.labels.size(), 3u) << what;
        const double worldPerPixel = std::fabs(c.high - c.low) / bottom;
        const double spacing =
            std::fabs(layout.labels[1].text.toDouble() - layout.labels[0].text.toDouble());
        int drawn = 0;
        for (size_t i = 0; i < layout.labels.size(); ++i) {
            const QString& text = layout.labels[i].text;
            drawn += layout.labels[i].drawn;
            EXPECT_TRUE(QRegularExpression(c.pattern).match(text).hasMatch())
                << what << ": " << text.toStdString();
            EXPECT_FALSE(text.startsWith("-0") && text.toDouble() == 0.0) << what;
            EXPECT_EQ(Decimals(text), DecimalsFor(spacing)) << what << ": " << text.toStdString();
            // The value at the tick's pixel, within a pixel and the label's rounding.
            const double y = layout.majorTicks[i];
            const double under = c.low + (bottom - y) / bottom * (c.high - c.low);
            EXPECT_NEAR(text.toDouble(), under, worldPerPixel + 0.5 * std::pow(10, -Decimals(text)))
                << what << ": " << text.toStdString();
            if (i > 0) {
                EXPECT_NE(text, layout.labels[i - 1].text) << what;
            }
        }
        EXPECT_GE(drawn, 2) << what;
    }
}

TEST_F(ValueRuler, UsualViewsKeepTheirLabels) {
    ASSERT_EQ(ruler->DpiX(), 96.0);
    // Labels of everyday views at several ruler heights, bottom to top; "~" marks a label whose
    // tick has no room for its text beside a label at an end, which moves into the ruler. The
    // steps are exact: 0 .. 100 in tenths of 100 reaches 100.
    struct Case {
        std::vector<int> heights;
        double low, high;
        const char* labels;
    };
    const Case cases[] = {
        {{200}, 0, 100, "0 20 40 60 80 100"},
        {{200}, -17, 113, "0 20 40 60 80 100"},
        {{200}, 0, 0.5, "0.0 0.1 0.2 0.3 0.4 0.5"},
        {{200}, 1000, 1000.5, "1000.0 ~1000.1 1000.2 1000.3 ~1000.4 1000.5"},
        {{200, 347, 447, 600}, 20, 20.5, "20.0 20.1 20.2 20.3 20.4 20.5"},
        {{347, 447, 600}, 0, 100, "0 10 20 30 40 50 60 70 80 90 100"},
        {{347}, 0, 0.5, "0.00 ~0.05 0.10 0.15 0.20 0.25 0.30 0.35 0.40 ~0.45 0.50"},
        {{447, 600}, 0, 0.5, "0.00 0.05 0.10 0.15 0.20 0.25 0.30 0.35 0.40 0.45 0.50"},
        {{347, 447, 600}, 1000, 1000.5, "1000.0 1000.1 1000.2 1000.3 1000.4 1000.5"},
        {{347, 447, 600}, -17, 113, "-10 0 10 20 30 40 50 60 70 80 90 100 110"},
    };
    for (const Case& c : cases) {
        for (int height : c.heights) {
            ruler->SetRange(c.low, c.high, false);
            const RulerLayout layout = ruler->Layout(QRect(0, 0, ruler->width(), height));
            QStringList shown;
            for (const RulerLabel& l : layout.labels) shown << (l.drawn ? "" : "~") + l.text;
            EXPECT_EQ(shown.join(' ').toStdString(), c.labels)
                << height << " px, " << c.low << ".." << c.high;
        }
    }
}

TEST_F(ValueRuler, HugeTinyAndNarrowViewsGetLabelsThatDoNotRunIntoEachOther) {
    ruler->SetUnitsAndCaption("°C", "Temperatur, °C");
    const std::pair<double, double> views[] = {
        {0, 1e15},        {0, 1e-300},      {99.99, 100.01},
        {1e300, 1.5e300}, {-1e308, 1e308},  {-1.7e308, 1.7e308},
        {0, 1e-320},      {-5e-7, 5e-7},    {123456.25, 123456.75},
        {1e9, 1e9 + 1},   {0, 100},         {55, 55.012},
        {55, 55.0027},    {54.993, 55.008},
    };
    for (int height : {200, 415, 700}) {
        for (auto [low, high] : views) {
            ruler->SetRange(low, high, false);
            const RulerLayout layout = ruler->Layout(QRect(0, 0, ruler->width(), height));
            std::ostringstream what;
            what << height << " px, " << low << ".." << high;
            EXPECT_EQ(Collisions(layout, ruler->DpiX(), 2), std::vector<std::string>{})
                << what.str();
            // In long double, whose range holds these spans: the value at each drawn label's
            // tick, within a pixel and half the step between labels.
            const long double lo = low, hi = high;
            std::vector<long double> values;
            for (size_t i = 0; i < layout.labels.size(); ++i) {
                if (!layout.labels[i].drawn) continue;
                bool ok = false;
                const double v = layout.labels[i].text.toDouble(&ok);
                ASSERT_TRUE(ok && std::isfinite(v))
                    << what.str() << layout.labels[i].text.toStdString();
                const long double under = lo + (height - layout.majorTicks[i]) / height * (hi - lo);
                const long double step = std::fabs(hi - lo) / 4;  // at most a quarter
                EXPECT_LE(std::fabs(v - under), std::fabs(hi - lo) / height + step / 2)
                    << what.str() << ": " << layout.labels[i].text.toStdString();
                if (!values.empty()) {
                    EXPECT_NE(values.back(), static_cast<long double>(v));
                }
                values.push_back(v);
            }
            // Labels of up to a dozen characters: two of them need more room than 200 pixels
            // leave beside the units text.
            EXPECT_GE(values.size(), height > 200 ? 2u : 1u) << what.str();
        }
    }
    // By hand: 0 .. 1e15 on 415 pixels steps by 1e14 (41.5 pixels, room for "8e14" and a
    // space); 0 at the bottom end and 1e15 at the top end move into the ruler, and 9e14 gives
    // way to 1e15.
    ruler->SetRange(0, 1e15, false);
    QStringList drawn;
    for (const RulerLabel& l : ruler->Layout(QRect(0, 0, ruler->width(), 415)).labels)
        if (l.drawn) drawn << l.text;
    EXPECT_EQ(drawn.join(' ').toStdString(), "0 1e14 2e14 3e14 4e14 5e14 6e14 7e14 8e14 1.0e15");
}

TEST_F(ValueRuler, NoTwoLabelsRunIntoEachOtherAtAnyHeight) {
    ruler->SetUnitsAndCaption("°C", "Temperatur, °C");
    for (double dpi : {96.0, 300.0}) {
        RulerTarget target;
        target.dpiX = target.dpiY = dpi;
        const double k = dpi / 96;
        for (int height = 100; height <= 900; height += 11) {
            for (auto [low, high] :
                 {std::pair{0.0, 100.0}, std::pair{0.0, 0.5}, std::pair{20.0, 20.5},
                  std::pair{99.99, 100.01}, std::pair{1000.0, 1000.5}, std::pair{-17.0, 113.0}}) {
                ruler->SetRange(low, high, false);
                const int h = static_cast<int>(height * k);
                const RulerLayout layout = ruler->Layout(QRect(0, 0, 16 * k, h), target);
                EXPECT_EQ(Collisions(layout, dpi, 2), std::vector<std::string>{})
                    << dpi << " dpi, " << h << " px, " << low << ".." << high;
                int drawn = 0;
                for (const RulerLabel& l : layout.labels) drawn += l.drawn;
                if (height >= 150) {
                    EXPECT_GE(drawn, 1) << h << " px, " << low << ".." << high;
                }
            }
        }
    }
}

TEST_F(ValueRuler, TheTopIsLabelledAndTheUnitsStandInTheCornerBelow) {
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    // Views whose top end is a tick: its label is drawn at every height, inside the ruler.
    const std::pair<double, double> views[] = {{0, 100}, {0, 1000}, {20, 21}, {-100, 100}, {0, 1}};
    int h = 0;
    const QFontMetrics metrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, ruler->DpiX()), h));
    int checked = 0;
    for (int height = 120; height <= 620; height += 25) {
        for (auto [low, high] : views) {
            ruler->SetRange(low, high, false);
            const RulerLayout layout = ruler->Layout(QRect(0, 0, ruler->width(), height));
            EXPECT_FALSE(layout.units.drawn);
            ASSERT_FALSE(layout.labels.empty());
            // The ticks run from the low end; the last one stands at the top (row 0).
            const RulerLabel& last = layout.labels.back();
            EXPECT_EQ(layout.majorTicks.back(), 0.0) << height << " " << high;
            EXPECT_TRUE(last.drawn) << height << " " << low << ".." << high;
            EXPECT_EQ(last.text.toDouble(), high) << height;
            EXPECT_GE(last.y - metrics.horizontalAdvance(last.text), 0);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 21 * 5);
    // The picture: the units in the corner below the ruler, left of the time ruler.
    QImage picture(f.Container()->size(), QImage::Format_RGB32);
    picture.fill(Qt::white);  // once: the second picture is drawn over the first
    const CGraphContainer::Arrangement a = CGraphContainer::Arrange(
        picture.rect(), ruler->GetThickness(), f.Container()->HorizontalRuler()->GetThickness());
    const QRect corner = CGraphContainer::Corner(a);
    EXPECT_EQ(corner, QRect(0, picture.height() - 32, 16, 32));
    auto darkInCorner = [&] {
        QPainter painter(&picture);
        f.Container()->DrawPicture(painter, picture.rect(), 96, 96);
        painter.end();
        int dark = 0;
        for (int y = corner.top(); y <= corner.bottom(); ++y)
            for (int x = corner.left(); x <= corner.right(); ++x)
                dark += qGray(picture.pixel(x, y)) < 80;
        return dark;
    };
    EXPECT_GT(darkInCorner(), 4);
    // Without units the corner stays empty.
    f.graph->SetAxisTitle("Temperatur", "", 1, 0, 1);
    EXPECT_EQ(darkInCorner(), 0);
}

TEST(TimeRuler, TicksStandOnTheVerticalGridLines) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    f.AddThreeCurves(3600, MkTime(2008, 6, 3, 10, 0, 0));
    FHRuler* ruler = f.Container()->HorizontalRuler();
    CGraphPanel* p = f.Panel();
    const uint16_t grey = ToRgb555(RGB(105, 105, 105));
    for (auto [x0, x1] : {std::pair{4.0, 3595.0}, std::pair{100.0, 130.0}, std::pair{-40.0, 9.5},
                          std::pair{1234.5, 1800.25}}) {
        p->SetRanges(x0, x1, 0, 100, true);
        const QImage& image = p->BackBuffer();
        // The columns holding a vertical grid line: grey on at least a third of their height.
        std::vector<double> lines;
        for (int x = 0; x < image.width(); ++x) {
            int dots = 0;
            for (int y = 0; y < image.height(); ++y) dots += Raw(image, x, y) == grey;
            if (dots > image.height() / 3) lines.push_back(x);
        }
        const RulerLayout layout = ruler->Layout(ruler->rect());
        ASSERT_GE(lines.size(), 3u) << x0;
        EXPECT_EQ(layout.majorTicks, lines) << x0 << ".." << x1;
    }
}

TEST(TimeRuler, LabelsStandAtRoundClockTimes) {
    ScopedTimeZone zone("Europe/Berlin");
    struct Case {
        const char* what;
        int64_t start;    // time of sample 0
        int64_t spacing;  // seconds between samples
        int count;
        double x0, x1;       // the view, in samples
        const char* labels;  // joined by ", "
        int gapAt = 0;       // the sample after which the recording jumps 20 minutes
    };
    const int64_t morning = MkTime(2009, 5, 4, 10, 0, 0);
    const Case cases[] = {
        // 10:00:30 .. 11:16:30, every 5 minutes; 11:15h, moved in from the edge, would stand too
        // close to 11:10h.
        {"76 min", morning, 1, 4600, 30, 4590,
         "04/05/2009 10:05h, 10:10h, 10:15h, 10:20h, 10:25h, 10:30h, 10:35h, 10:40h, 10:45h, "
         "10:50h, 10:55h, 11:00h, 11:05h, 11:10h"},
        // 10:00:30 .. 10:16:30, every minute.
        {"16 min", morning, 1, 4600, 30, 990,
         "04/05/2009 10:01h, 10:02h, 10:03h, 10:04h, 10:05h, 10:06h, 10:07h, 10:08h, 10:09h, "
         "10:10h, 10:11h, 10:12h, 10:13h, 10:14h, 10:15h, 10:16h"},
        // The same times, 8 s per sample.
        {"16 min thinned", morning, 8, 600, 3.75, 123.75,
         "04/05/2009 10:01h, 10:02h, 10:03h, 10:04h, 10:05h, 10:06h, 10:07h, 10:08h, 10:09h, "
         "10:10h, 10:11h, 10:12h, 10:13h, 10:14h, 10:15h, 10:16h"},
        // Every 6 hours.
        {"2.5 days", MkTime(2009, 5, 1, 0, 0, 0), 60, 4000, 0.5, 3599.5,
         "01/05/2009 06:00h, 12:00h, 18:00h, 02/05/2009 00:00h, 06:00h, 12:00h, 18:00h, "
         "03/05/2009 00:00h, 06:00h"},
        // 23 hours: 02:00 does not exist, and the next day starts at 00:00 all the same.
        {"23-hour day", MkTime(2009, 3, 29, 0, 0, 0), 60, 1500, 0.5, 1400,
         "29/03/2009 04:00h, 06:00h, 08:00h, 10:00h, 12:00h, 14:00h, 16:00h, 18:00h, 20:00h, "
         "22:00h, 30/03/2009 00:00h"},
        // The repeated hour: both passes, each with the zone's name.
        {"25-hour day", MkTime(2009, 10, 25, 0, 0, 0), 60, 1600, 91, 280,
         "25/10/2009 02:00h CEST, 02:30h CEST, 02:00h CET, 02:30h CET, 03:00h, 03:30h"},
        // Months.
        {"120 days", MkTime(2009, 3, 1, 0, 0, 0), 864, 12100, 50, 12050,
         "01/04/2009 00:00h, 01/05/2009 00:00h, 01/06/2009 00:00h"},
        // 10:00:00 .. 10:19:59 and 10:40:00 .. 10:59:59: the ticks of the gap stand together
        // between two samples; their labels give way, the step stays.
        {"gap", morning, 1, 2400, 30, 2370,
         "04/05/2009 10:05h, 10:10h, 10:15h, 10:20h, 10:45h, 10:50h, 10:55h", 1200},
    };
    // The world x of time t among the case's samples.
    auto xOf = [](const Case& c, int64_t t) {
        const double s = static_cast<double>(t - c.start) / c.spacing;
        if (c.gapAt == 0 || s < c.gapAt) return s;
        if (s >= c.gapAt + 1200) return s - 1200;
        return c.gapAt - 1 + (s - (c.gapAt - 1)) / 1201;
    };
    for (const Case& c : cases) {
        GraphFixture f;
        std::vector<int64_t> times = Seconds(c.start, c.count, c.spacing);
        for (int i = c.gapAt; c.gapAt > 0 && i < c.count; ++i)
            times[static_cast<size_t>(i)] += 1200;
        AddSeriesZero(f, times);
        CGraphPanel* p = f.Panel();
        FHRuler* ruler = f.Container()->HorizontalRuler();
        p->SetRanges(c.x0, c.x1, 0, 100, true);
        const RulerLayout layout = ruler->Layout(ruler->rect());
        EXPECT_EQ(Joined(DrawnTimeLabels(layout)), c.labels)
            << c.what << ", " << p->width() << " px";
        // Each tick stands where its time lies among the samples, on a grid line.
        const TimeTickPlan plan = ruler->TimeTicksFor(p->XMap(), p->width());
        ASSERT_EQ(plan.times.size(), layout.majorTicks.size()) << c.what;
        for (size_t i = 0; i < plan.times.size(); ++i) {
            const double x = xOf(c, plan.times[i]);
            EXPECT_DOUBLE_EQ(plan.ticks.values[i], x) << c.what;
            EXPECT_EQ(layout.majorTicks[i], static_cast<double>(p->XMap().WorldToPixel(x)))
                << c.what;
        }
        EXPECT_EQ(p->VerticalGridTicks().values, plan.ticks.values) << c.what;
    }
}

TEST(TimeRuler, AnyViewAtLeastAHundredPixelsWideShowsTwoLabels) {
    ScopedTimeZone zone("Europe/Berlin");
    // A month, one sample per 8 seconds, in a wide window: the views a user reached by zooming
    // in step by step (fit, about 2 days, 3.6 hours, 16 minutes), panned by a third.
    const int64_t start = MkTime(2009, 3, 1, 0, 0, 0);
    const int count = 31 * 86400 / 8;
    GraphFixture f(3, QSize(1600, 1000));
    AddSeriesZero(f, Seconds(start, count, 8));
    CGraphPanel* p = f.Panel();
    FHRuler* ruler = f.Container()->HorizontalRuler();
    const double dpi = ruler->DpiY();
    const double spans[] = {count, 2 * 10800, 1620, 120, 30, 4, 1.25};  // samples
    auto check = [&](const char* what, double longest) {
        for (double span : spans) {
            if (span > longest) continue;
            for (double shift : {0.0, span / 3}) {
                const double x0 = count / 2.0 + shift;
                p->SetRanges(x0, std::min<double>(x0 + span, count), 0, 100, true);
                const RulerLayout layout = ruler->Layout(ruler->rect());
                EXPECT_GE(DrawnTimeLabels(layout).size(), 2u)
                    << what << ": " << p->width() << " px, " << span * 8 << " s";
                EXPECT_EQ(TimeCollisions(layout.labels, dpi, 2), 0) << what << " " << span;
                EXPECT_EQ(TimeCollisions(layout.dates, dpi, 2), 0) << what << " " << span;
            }
        }
    };
    check("wide", count);
    // Two labels a day or more apart carry two dates, which need about 140 pixels.
    for (int width : {100, 140, 220}) {
        // The whole window narrowed until the plot is `width` pixels wide.
        f.host->resize(f.host->width() - (p->width() - width), f.host->height());
        f.graph->resize(f.graph->width() - (p->width() - width), f.graph->height());
        QApplication::processEvents();
        ASSERT_EQ(p->width(), width);
        check("narrow", width < 140 ? 1620 : count);
    }
}
