// What the rulers say: the value under each value tick with the decimals its step needs, the
// time of the series-0 sample under each time tick, the tick places on the grid lines, dates.
#include <gtest/gtest.h>

#include <QFontMetrics>
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

// Local time through the C library, as the expected label texts.
QString Local(int64_t t, const char* format) {
    const time_t tt = static_cast<time_t>(t);
    struct tm tm;
    localtime_r(&tt, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, format, &tm);
    return QString::fromLatin1(buf);
}

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

}  // namespace

TEST(ValueRuler, LabelsShowTheValueUnderEachTickWithTheDecimalsOfItsStep) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
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

TEST(ValueRuler, UsualViewsKeepTheirLabels) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
    ASSERT_EQ(ruler->DpiX(), 96.0);
    // Labels of everyday views at several ruler heights, bottom to top; "~" marks a label whose
    // tick has no room for its text (at the bottom end or under the units text). The steps
    // come in single precision: 0 .. 100 in tenths of 100 stops at 90.
    struct Case {
        int height;
        double low, high;
        const char* labels;
    };
    const Case cases[] = {
        {200, 0, 100, "~0 20 40 60 ~80"},
        {200, 20, 20.5, "~20.0 20.1 20.2 20.3 ~20.4"},
        {200, 0, 0.5, "~0.0 0.1 0.2 0.3 ~0.4 ~0.5"},
        {200, 1000, 1000.5, "~1000.0 1000.1 1000.2 1000.3 ~1000.4"},
        {200, -17, 113, "0 20 40 60 80 ~100"},
        {347, 0, 100, "~0 10 20 30 40 50 60 70 80 ~90"},
        {347, 20, 20.5, "~20.0 20.1 20.2 20.3 20.4"},
        {347, 0, 0.5, "~0.00 0.05 0.10 0.15 0.20 0.25 0.30 0.35 0.40 ~0.45 ~0.50"},
        {347, 1000, 1000.5, "~1000.0 1000.1 1000.2 1000.3 1000.4"},
        {347, -17, 113, "-10 0 10 20 30 40 50 60 70 80 90 ~100 ~110"},
        {447, 0, 100, "~0 10 20 30 40 50 60 70 80 90"},
        {447, 20, 20.5, "~20.0 20.1 20.2 20.3 20.4"},
        {447, 0, 0.5, "~0.00 0.05 0.10 0.15 0.20 0.25 0.30 0.35 0.40 ~0.45 ~0.50"},
        {447, 1000, 1000.5, "~1000.0 1000.1 1000.2 1000.3 1000.4"},
        {447, -17, 113, "-10 0 10 20 30 40 50 60 70 80 90 ~100 ~110"},
        {600, 0, 100, "~0 10 20 30 40 50 60 70 80 90"},
        {600, 20, 20.5, "~20.0 20.1 20.2 20.3 20.4"},
        {600, 0, 0.5, "~0.00 0.05 0.10 0.15 0.20 0.25 0.30 0.35 0.40 0.45 ~0.50"},
        {600, 1000, 1000.5, "~1000.0 1000.1 1000.2 1000.3 1000.4"},
        {600, -17, 113, "-10 0 10 20 30 40 50 60 70 80 90 100 ~110"},
    };
    for (const Case& c : cases) {
        ruler->SetRange(c.low, c.high, false);
        const RulerLayout layout = ruler->Layout(QRect(0, 0, ruler->width(), c.height));
        QStringList shown;
        for (const RulerLabel& l : layout.labels) shown << (l.drawn ? "" : "~") + l.text;
        EXPECT_EQ(shown.join(' ').toStdString(), c.labels)
            << c.height << " px, " << c.low << ".." << c.high;
    }
}

namespace {

// The drawn labels of a value ruler layout that run into each other or into the units text,
// measured with the label font at `dpi`: each text covers y - width .. y along the ruler.
std::vector<std::string> Collisions(const RulerLayout& layout, double dpi, int minimumGap) {
    int h = 0;
    const QFontMetrics metrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, dpi), h));
    std::vector<std::pair<int, int>> spans;  // top, bottom
    std::vector<std::string> names;
    if (!layout.units.text.isEmpty()) {
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

}  // namespace

TEST(ValueRuler, HugeTinyAndNarrowViewsGetLabelsThatDoNotRunIntoEachOther) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
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
    // space); 1e15 at the top end gives way to the units.
    ruler->SetRange(0, 1e15, false);
    QStringList drawn;
    for (const RulerLabel& l : ruler->Layout(QRect(0, 0, ruler->width(), 415)).labels)
        if (l.drawn) drawn << l.text;
    EXPECT_EQ(drawn.join(' ').toStdString(), "1e14 2e14 3e14 4e14 5e14 6e14 7e14 8e14");
}

TEST(ValueRuler, NoTwoLabelsRunIntoEachOtherAtAnyHeight) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
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

TEST(ValueRuler, TheUnitsTextNeverOverlapsALabel) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
    ruler->SetUnitsAndCaption("°C", "Temperatur, °C");
    int h = 0;
    const QFontMetrics metrics(FRuler::LabelFont(DeviceUnits(kLabelFontHeight, ruler->DpiX()), h));
    const int unitsWidth = metrics.horizontalAdvance("°C");
    int checked = 0;
    for (int height = 120; height <= 520; height += 7) {
        for (auto [low, high] :
             {std::pair{0.0, 100.0}, std::pair{0.0, 250.0}, std::pair{20.0, 20.5},
              std::pair{-17.0, 113.0}, std::pair{1000.0, 1000.5}}) {
            ruler->SetRange(low, high, false);
            const RulerLayout layout = ruler->Layout(QRect(0, 0, ruler->width(), height));
            // Text runs upward: the units from units.y up over their width, a label from its y
            // up over its width.
            const int unitsLow = layout.units.y;
            EXPECT_GE(unitsLow - unitsWidth, 0);
            for (const RulerLabel& l : layout.labels) {
                if (!l.drawn) continue;
                const int labelTop = l.y - metrics.horizontalAdvance(l.text);
                EXPECT_GE(labelTop, unitsLow + 2) << height << " " << l.text.toStdString();
                EXPECT_LT(l.y, height - 1);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 500);
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

TEST(TimeRuler, LabelsReadTheSeriesZeroSampleUnderEachTickClampedToTheData) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    AddSeriesZero(f, Seconds(start, 600, 2));  // two seconds apart: index and time differ
    FHRuler* ruler = f.Container()->HorizontalRuler();
    CGraphPanel* p = f.Panel();
    const double w = p->width();
    // One sample per pixel, the view from `shift` on: the tick at pixel x stands on sample
    // x + shift (ticks at whole samples), clamped to 0 .. 599.
    for (double shift : {0.0, -200.0, 300.0}) {
        p->SetRanges(shift, shift + w, 0, 100, true);
        const RulerLayout layout = ruler->Layout(ruler->rect());
        ASSERT_GE(layout.labels.size(), 5u);
        int drawn = 0;
        QString lastDrawn;
        for (size_t i = 0; i < layout.labels.size(); ++i) {
            const double sample = std::clamp(layout.majorTicks[i] + shift, 0.0, 599.0);
            EXPECT_EQ(layout.labels[i].text,
                      Local(start + 2 * static_cast<int64_t>(sample), "%H:%M:%S"))
                << "shift " << shift << " tick " << layout.majorTicks[i];
            if (!layout.labels[i].drawn) continue;
            // Past the data the ticks read the clamped sample: its time is drawn once.
            EXPECT_NE(layout.labels[i].text, lastDrawn) << "shift " << shift;
            lastDrawn = layout.labels[i].text;
            ++drawn;
        }
        EXPECT_GE(drawn, 3);
    }
}

TEST(TimeRuler, TicksCloserThanASampleDrawEachSampleTimeOnce) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    AddSeriesZero(f, Seconds(start, 100));
    FHRuler* ruler = f.Container()->HorizontalRuler();
    CGraphPanel* p = f.Panel();
    // A sample and a half across the panel: ticks a tenth or a fifth of a sample apart.
    p->SetRanges(10, 11.5, 0, 100, true);
    const RulerLayout layout = ruler->Layout(ruler->rect());
    const double perSample = p->width() / 1.5;
    std::vector<QString> drawn, expected;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        // The sample under the tick: its world x (a whole tenth, back from its truncated
        // pixel), the integer part.
        const double world = std::round(layout.majorTicks[i] / perSample * 10) / 10;
        const int sample = 10 + static_cast<int>(world + 1e-9);
        const QString time = Local(start + sample, "%H:%M:%S");
        EXPECT_EQ(layout.labels[i].text, time) << i;
        if (layout.labels[i].drawn) drawn.push_back(layout.labels[i].text);
        // Every sample met by a tick well inside the ruler gets its label.
        const bool inside = layout.majorTicks[i] > 60 && layout.majorTicks[i] < ruler->width() - 60;
        if (inside && (expected.empty() || expected.back() != time)) expected.push_back(time);
    }
    EXPECT_GE(layout.majorTicks.size(), 10u);  // the ticks all stay
    EXPECT_GE(expected.size(), 2u);
    for (const QString& time : expected)
        EXPECT_NE(std::find(drawn.begin(), drawn.end(), time), drawn.end()) << time.toStdString();
    for (size_t i = 1; i < drawn.size(); ++i) EXPECT_NE(drawn[i], drawn[i - 1]);
}

TEST(TimeRuler, ATenSecondViewStartingBetweenMinusOneAndZeroReadsSeconds) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    AddSeriesZero(f, Seconds(start, 3600));
    FHRuler* ruler = f.Container()->HorizontalRuler();
    f.Panel()->SetRanges(-0.5, 9.5, 0, 100, true);
    const RulerLayout layout = ruler->Layout(ruler->rect());
    ASSERT_GE(layout.labels.size(), 5u);
    // Ticks at the whole samples 0, 1, ... (or every second one), each with its own second.
    const double perSample = f.Panel()->width() / 10.0;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        const int sample = static_cast<int>(std::lround(layout.majorTicks[i] / perSample - 0.5));
        EXPECT_EQ(layout.labels[i].text, Local(start + sample, "%H:%M:%S"));
        if (i > 0) {
            EXPECT_NE(layout.labels[i].text, layout.labels[i - 1].text);
        }
    }
}

TEST(TimeRuler, SwitchesToMinutesAtThirtyMinutesOfView) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    AddSeriesZero(f, Seconds(start, 3600));
    FHRuler* ruler = f.Container()->HorizontalRuler();
    const QRegularExpression seconds(R"(^\d\d:\d\d:\d\d$)"), minutes(R"(^\d\d:\d\dh$)");
    f.Panel()->SetRanges(0, 1799, 0, 100, true);  // 29 minutes 59 seconds
    for (const RulerLabel& l : ruler->Layout(ruler->rect()).labels)
        EXPECT_TRUE(seconds.match(l.text).hasMatch()) << l.text.toStdString();
    f.Panel()->SetRanges(0, 1800, 0, 100, true);  // 30 minutes
    const RulerLayout layout = ruler->Layout(ruler->rect());
    for (const RulerLabel& l : layout.labels)
        EXPECT_TRUE(minutes.match(l.text).hasMatch()) << l.text.toStdString();
    EXPECT_EQ(layout.labels[0].text, "14:00h");
}

TEST(TimeRuler, DatesUnderTheFirstDrawnLabelAndAtEveryChangeOfDay) {
    ScopedTimeZone zone("Europe/Berlin");
    // Labels three days apart at the same clock time: each one is a new day.
    {
        GraphFixture f;
        const int64_t start = MkTime(2009, 5, 2, 6, 40, 0);  // no clock change in 27 days
        AddSeriesZero(f, Seconds(start, 10, 3 * 86400));
        FHRuler* ruler = f.Container()->HorizontalRuler();
        f.Panel()->SetRanges(-0.5, 9.5, 0, 100, true);
        const RulerLayout layout = ruler->Layout(ruler->rect());
        const double perSample = f.Panel()->width() / 10.0;
        int dated = 0;
        for (size_t i = 0; i < layout.labels.size(); ++i) {
            if (!layout.labels[i].drawn) continue;
            const int sample =
                static_cast<int>(std::lround(layout.majorTicks[i] / perSample - 0.5));
            EXPECT_EQ(layout.labels[i].text, "06:40h");
            EXPECT_EQ(layout.dates[i].text, Local(start + sample * 3 * 86400, "%d/%m/%Y"));
            ++dated;
        }
        EXPECT_GE(dated, 4);
    }
    // Across midnight, one sample per pixel from 23:50:00: the tick at pixel 0 has no room for
    // its label, so the first drawn label carries the first date; the next date comes with
    // the first drawn label after midnight, and no other label has one.
    {
        GraphFixture f;
        const int64_t start = MkTime(2009, 3, 16, 23, 50, 0);
        AddSeriesZero(f, Seconds(start, 3600));
        FHRuler* ruler = f.Container()->HorizontalRuler();
        f.Panel()->SetRanges(0, f.Panel()->width(), 0, 100, true);
        const RulerLayout layout = ruler->Layout(ruler->rect());
        ASSERT_GE(layout.labels.size(), 4u);
        EXPECT_EQ(layout.majorTicks[0], 0.0);
        EXPECT_FALSE(layout.labels[0].drawn);
        QString previousDay;
        std::vector<QString> dates;
        for (size_t i = 0; i < layout.labels.size(); ++i) {
            if (!layout.labels[i].drawn) continue;
            const QString day =
                Local(start + static_cast<int64_t>(layout.majorTicks[i]), "%d/%m/%Y");
            EXPECT_EQ(layout.dates[i].text, day == previousDay ? QString() : day) << i;
            if (day != previousDay) dates.push_back(day);
            previousDay = day;
        }
        EXPECT_EQ(dates, (std::vector<QString>{"16/03/2009", "17/03/2009"}));
    }
}

TEST(TimeRuler, AMonthOnScreenHasNoDatesRunningIntoEachOther) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f(3, QSize(1600, 500));
    // A month of 100 samples a day, shown whole on a wide panel: the ruler's capacity alone
    // would put a label (and, each being a new day, a date) every day, about 50 pixels apart,
    // closer than a date is wide.
    // From noon, so that a tick's sample, worked out back from its pixel, is never a sample off
    // across midnight.
    const int64_t start = MkTime(2009, 5, 1, 12, 0, 0);
    const int count = 30 * 100;
    AddSeriesZero(f, Seconds(start, count, 864));
    FHRuler* ruler = f.Container()->HorizontalRuler();
    f.Panel()->SetRanges(0, count - 1, 0, 100, true);
    const RulerLayout layout = ruler->Layout(ruler->rect());
    int characterHeight = 0;
    const QFontMetrics metrics(
        FRuler::LabelFont(DeviceUnits(kLabelFontHeight, ruler->DpiY()), characterHeight));
    int drawn = 0, lastTimeEnd = INT32_MIN, lastDateEnd = INT32_MIN;
    QString previousDay;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        if (!layout.labels[i].drawn) continue;
        ++drawn;
        const RulerLabel& time = layout.labels[i];
        const RulerLabel& date = layout.dates[i];
        EXPECT_GT(time.x, lastTimeEnd) << i;
        lastTimeEnd = time.x + metrics.horizontalAdvance(time.text);
        // The sample under the tick, worked out from its pixel.
        const double perSample = f.Panel()->width() / static_cast<double>(count - 1);
        const int64_t sample = std::lround(layout.majorTicks[i] / perSample);
        const QString day = Local(start + sample * 864, "%d/%m/%Y");
        EXPECT_EQ(date.text, day == previousDay ? QString() : day) << i;
        previousDay = day;
        if (date.text.isEmpty()) continue;
        EXPECT_GT(date.x, lastDateEnd) << i;
        lastDateEnd = date.x + metrics.horizontalAdvance(date.text);
    }
    EXPECT_GE(drawn, 5);
    // The grid follows the labels: as many vertical grid lines as time ticks.
    EXPECT_EQ(f.Panel()->VerticalGridTicks().Count(), static_cast<int>(layout.majorTicks.size()));
}
