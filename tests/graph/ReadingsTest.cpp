// What the panel shows a user: the value tooltip, hidden series, and the view after fitting.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <string>

#include "res/Resources.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::CountRaw;
using kws::test::GraphFixture;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;

namespace {

struct View {
    double x0, x1, y0, y1;
};

View Ranges(CGraphPanel* p) {
    View v;
    p->GetRanges(v.x0, v.x1, v.y0, v.y1);
    return v;
}

// A graph with one series per entry: x from 0 (or `firstX`), y as given.
void AddSeries(GraphFixture& f, const std::vector<std::vector<double>>& series, double firstX = 0) {
    const COLORREF colors[] = {RGB(0, 0, 255), RGB(255, 0, 0), RGB(0, 160, 0)};
    for (size_t s = 0; s < series.size(); ++s) {
        const int slot = f.graph->AddSeries(colors[s], "s", 1, 1, 0);
        for (size_t i = 0; i < series[s].size(); ++i)
            f.graph->AddPoint(slot, firstX + static_cast<double>(i), series[s][i], 0, -1, 0);
    }
}

}  // namespace

TEST(ValueTooltip, ShowsTimeAndValueUnderTheMouseUntilSwitchedOff) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    f.graph->AddSeries(RGB(0, 0, 255), "Kurve", 1, 1, 0);
    for (int i = 0; i < 3600; ++i) f.graph->AddPoint(0, i, 50, 0, -1, start + 3 * i);
    CGraphPanel* p = f.Panel();
    // One sample per pixel across, one unit per pixel upward from the bottom.
    p->SetRanges(0, p->width(), 0, p->height(), true);
    const QPoint at(123, 77);
    // Sample 123 is 369 seconds after 14:00:00; the value is height - 77, with one decimal more
    // than the ruler's whole numbers and the German decimal comma.
    const QString expected =
        QString("Datum = 12/03/2009, 14:06:09, Temp = %1,0 °C").arg(p->height() - 77);
    EXPECT_EQ(p->TooltipText(at), expected);
    // Left of the data: the unset time.
    EXPECT_TRUE(p->TooltipText(QPoint(-5, 77)).startsWith("Datum = 01/01/1970, "));

    // Through the mouse: with "Mauskoordinaten verfolgen" the text shows after some moves.
    p->SetModeFlags(p->GetModeFlags() | TrackMouse, false);
    for (int i = 0; i < 5; ++i) QTest::mouseMove(p, at);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), expected);
    // Switched off through the menu: gone at the next refresh, nothing repainted.
    p->OnMenuCommand(4099);
    EXPECT_FALSE(p->GetModeFlags() & TrackMouse);
    for (int i = 0; i < 5; ++i) QTest::mouseMove(p, at + QPoint(i % 2, 0));
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

TEST(ValueTooltip, ShowsOneDecimalMoreThanTheRulerInTheLanguagesNotation) {
    ScopedTimeZone zone("Europe/Berlin");
    struct Case {
        double y0, y1;
        int precision;  // the axis page's decimals
        int language;
        int decimals;  // worked out from the ruler's labels
        char point;
    };
    const Case cases[] = {
        {0, 100, 1, kws::res::kGerman, 1, ','},          // labels 0, 10, ...: one decimal
        {0, 100, 3, kws::res::kGerman, 3, ','},          // the axis page asks for more
        {20, 20.5, 1, kws::res::kGerman, 2, ','},        // labels 20.0, 20.1, ...
        {46.896, 46.904, 1, kws::res::kGerman, 4, ','},  // labels 46.896, 46.897, ...
        {20, 20.5, 0, kws::res::kEnglish, 2, '.'},      {0, 100, 0, kws::res::kFrench, 1, ','},
    };
    GraphFixture f;
    f.graph->AddSeries(RGB(0, 0, 255), "Kurve", 1, 1, 0);
    for (int i = 0; i < 100; ++i) f.graph->AddPoint(0, i, 50, 0, -1, MkTime(2009, 3, 12, 14, 0, i));
    CGraphPanel* p = f.Panel();
    const QPoint at(123, 77);
    for (const Case& c : cases) {
        ASSERT_EQ(kws::res::SelectLanguage(c.language), c.language);
        f.graph->SetAxisTitle("Temperatur", "°C", c.precision, 0, 1);
        p->SetRanges(0, 99, c.y0, c.y1, true);
        const double value = c.y0 + (c.y1 - c.y0) * (p->height() - 77) / p->height();
        QString number = QString::number(value, 'f', c.decimals);
        number.replace('.', QChar(c.point));
        const QString text = p->TooltipText(at);
        EXPECT_TRUE(text.endsWith(" = " + number + " °C")) << text.toStdString();
    }
    kws::res::SelectLanguage(kws::res::kGerman);
}

TEST(Readout, ListsTheTimeAndEveryShownCurveAtTheNearestSample) {
    ScopedTimeZone zone("Europe/Berlin");
    using kws::test::Utc;
    // Lines of a recording as the curves hold them: the time and three values. Samples 0-3 are a
    // thinned stretch (8 s apart), then a gap of 36 s; 6-7 lie in the hour repeated in autumn.
    struct Line {
        int64_t utc;
        double v[3];
    };
    const Line lines[] = {
        {Utc(2009, 10, 24, 13, 0, 0), {46.9, 35.0, 0.0}},  // 24/10 15:00:00
        {Utc(2009, 10, 24, 13, 0, 8), {47.1, 35.0, 2.5}},
        {Utc(2009, 10, 24, 13, 0, 16), {47.3, 40.0, 2.6}},
        {Utc(2009, 10, 24, 13, 0, 24), {47.5, 45.0, 2.7}},
        {Utc(2009, 10, 24, 13, 1, 0), {48.0, 50.0, 3.1}},  // after the gap
        {Utc(2009, 10, 24, 13, 1, 8), {48.2, 55.0, 3.3}},
        {Utc(2009, 10, 25, 0, 30, 0), {41.0, 0.0, 0.0}},  // 02:30:00 CEST
        {Utc(2009, 10, 25, 1, 30, 0), {40.5, 0.0, 0.0}},  // 02:30:00 CET
    };
    GraphFixture f;
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    const COLORREF colors[3] = {RGB(0, 188, 255), RGB(255, 0, 0), RGB(0, 255, 0)};
    const char* titles[3] = {"Warmwasser Temp. (°C)", "Drehzahl (%)", "Durchfluss (l / min)"};
    for (int s = 0; s < 3; ++s) f.graph->AddSeries(colors[s], titles[s], 1, 1, 0);
    for (int s = 0; s < 3; ++s) {
        for (size_t i = 0; i < std::size(lines); ++i)
            f.graph->AddPoint(s, static_cast<double>(i), lines[i].v[s], 0, -1, lines[i].utc);
    }
    CGraphPanel* p = f.Panel();
    p->SetRanges(-0.5, 7.5, 0, 100, true);
    const double perSample = p->width() / 8.0;
    auto mouseAt = [&](double x) {
        return QPoint(static_cast<int>((x + 0.5) * perSample + 0.5), 100);
    };
    struct Case {
        double x;              // world x under the mouse
        bool hideRpm;          // "Drehzahl" hidden
        const char* expected;  // the lines, joined by " | "
    };
    const Case cases[] = {
        {0.2, false,
         "24/10/2009, 15:00:00 | Warmwasser Temp. (°C): 46,9 | Drehzahl (%): 35,0 | "
         "Durchfluss (l / min): 0,0"},
        // In the gap: 3.4 is 14.4 s after sample 3 and 21.6 s before sample 4.
        {3.4, false,
         "24/10/2009, 15:00:24 | Warmwasser Temp. (°C): 47,5 | Drehzahl (%): 45,0 | "
         "Durchfluss (l / min): 2,7"},
        {3.6, true,
         "24/10/2009, 15:01:00 | Warmwasser Temp. (°C): 48,0 | Durchfluss (l / min): 3,1"},
        {6.1, true,
         "25/10/2009, 02:30:00 CEST | Warmwasser Temp. (°C): 41,0 | Durchfluss (l / min): 0,0"},
        {6.9, true,
         "25/10/2009, 02:30:00 CET | Warmwasser Temp. (°C): 40,5 | Durchfluss (l / min): 0,0"},
    };
    for (const Case& c : cases) {
        f.graph->GetSeries(1)->SetShown(c.hideRpm ? 0 : 1);
        const PanelReadout r = p->ReadoutAt(mouseAt(c.x));
        QStringList shown;
        for (const PanelReadout::Line& l : r.lines) shown << l.text;
        EXPECT_EQ(shown.join(" | ").toStdString(), c.expected) << c.x;
        // The line stands on the sample.
        EXPECT_NEAR(r.lineX, (std::round(c.x) + 0.5) * perSample, 1.0) << c.x;
    }

    // Through the menu and the mouse: the line and the box are painted, the box inside the plot
    // wherever the mouse is.
    p->OnMenuCommand(kCmdReadout);
    ASSERT_TRUE(p->GetModeFlags() & Readout);
    const QPoint corners[] = {QPoint(1, 1), QPoint(p->width() - 2, 1), QPoint(1, p->height() - 2),
                              QPoint(p->width() - 2, p->height() - 2), mouseAt(3)};
    for (const QPoint& at : corners) {
        QTest::mouseMove(p, at);
        const PanelReadout r = p->ReadoutAt(at);
        const QRect box = p->ReadoutBox(r, at);
        EXPECT_TRUE(p->rect().contains(box)) << at.x() << "," << at.y();
        // Clear of the value tooltip, which opens just below and right of the pointer.
        EXPECT_FALSE(box.intersects(QRect(at + QPoint(2, 16), QSize(40, 12)))) << at.x();
        const QImage shot = p->grab().toImage();
        EXPECT_EQ(shot.pixelColor(box.center()), QColor(255, 255, 225)) << at.x();
        const int column = std::clamp(static_cast<int>(r.lineX), 0, p->width() - 1);
        int dark = 0;
        for (int y = 0; y < shot.height(); ++y)
            dark += shot.pixelColor(column, y) == QColor(64, 64, 64);
        EXPECT_GT(dark, shot.height() / 3) << at.x();
    }
    p->OnMenuCommand(kCmdReadout);
    EXPECT_FALSE(p->GetModeFlags() & Readout);
}

TEST(GraphPanel, HiddenSeriesAreNotDrawn) {
    GraphFixture f;
    AddSeries(f, {{10, 20, 30, 40}, {60, 50, 40, 30}});
    CGraphPanel* p = f.Panel();
    p->SetRanges(-1, 4, 0, 70, true);
    const uint16_t red = ToRgb555(RGB(255, 0, 0)), blue = ToRgb555(RGB(0, 0, 255));
    EXPECT_GT(CountRaw(p->BackBuffer(), red), 50);
    f.graph->GetSeries(1)->SetShown(0);
    p->Render();
    EXPECT_EQ(CountRaw(p->BackBuffer(), red), 0);
    EXPECT_GT(CountRaw(p->BackBuffer(), blue), 50);
}

TEST(FitToData, FlatSeriesStayInsideTheView) {
    const struct {
        std::vector<std::vector<double>> series;
        int command;  // 4104: "Höhe"
        double y0, y1;
        bool trimmed = false;  // enough samples: the trim of 4 at each end stays, x 4 .. 95
    } cases[] = {
        {{std::vector<double>(100, 60.0)}, 4105, 56, 64, true},
        {{std::vector<double>(50, 100.0), std::vector<double>(50, 100.0)}, 4105, 96, 104},  // pump
        {{std::vector<double>(50, 0.0)}, 4104, -4, 4},
    };
    for (const auto& c : cases) {
        GraphFixture f;
        AddSeries(f, c.series);
        f.Panel()->FitToData(c.command);
        const View v = Ranges(f.Panel());
        EXPECT_EQ(v.y0, c.y0) << c.y1;
        EXPECT_EQ(v.y1, c.y1);
        if (c.trimmed) {
            EXPECT_EQ(v.x0, 4);
            EXPECT_EQ(v.x1, 95);
        }
    }
}

TEST(FitToData, ShortSeriesGetAForwardXRange) {
    struct Case {
        int count;
        double firstX;
        double x0, x1;
    };
    const Case cases[] = {
        {1, 7, 6.5, 7.5},  // a single sample: half a sample on each side
        {2, 0, 0, 1},     {5, 0, 0, 4},       {9, 0, 0, 8},  // the trim would leave nothing
        {10, 0, 4, 5},    {3600, 0, 4, 3595},                // the trim leaves a range: kept
        {5, -2, -2, 2},
    };
    for (const Case& c : cases) {
        GraphFixture f;
        std::vector<double> y;
        for (int i = 0; i < c.count; ++i) y.push_back(10 + i % 3);
        AddSeries(f, {y}, c.firstX);
        f.Panel()->FitToData(4105);
        const View v = Ranges(f.Panel());
        EXPECT_EQ(v.x0, c.x0) << c.count;
        EXPECT_EQ(v.x1, c.x1) << c.count;
        EXPECT_EQ(v.y0, c.count == 1 ? 6 : 6) << c.count;
        EXPECT_EQ(v.y1, c.count == 1 ? 14 : c.count == 2 ? 15 : 16) << c.count;
    }
}
