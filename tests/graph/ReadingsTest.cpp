// What the panel shows a user: the value tooltip, hidden series, and the view after fitting.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolTip>

#include <ctime>
#include <string>

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
    // Sample 123 is 369 seconds after 14:00:00; the value is height - 77.
    const QString expected =
        QString("Datum = 12/03/2009, 14:06:09, Temp = %1.0 °C").arg(p->height() - 77);
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
    GraphFixture f;
    AddSeries(f, {std::vector<double>(100, 60.0)});
    CGraphPanel* p = f.Panel();
    p->FitToData(4105);
    View v = Ranges(p);
    EXPECT_EQ(v.y0, 56);
    EXPECT_EQ(v.y1, 64);
    EXPECT_EQ(v.x0, 4);  // enough samples: the trim of 4 at each end stays
    EXPECT_EQ(v.x1, 95);

    GraphFixture pump;
    AddSeries(pump, {std::vector<double>(50, 100.0), std::vector<double>(50, 100.0)});
    pump.Panel()->FitToData(4105);
    v = Ranges(pump.Panel());
    EXPECT_EQ(v.y0, 96);
    EXPECT_EQ(v.y1, 104);

    GraphFixture zero;
    AddSeries(zero, {std::vector<double>(50, 0.0)});
    zero.Panel()->FitToData(4104);  // "Höhe"
    v = Ranges(zero.Panel());
    EXPECT_EQ(v.y0, -4);
    EXPECT_EQ(v.y1, 4);
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
