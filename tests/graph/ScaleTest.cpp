// The world values a user reaches with the mouse and reads on the time ruler do not depend on
// the screen's scale. Run once as it is and once with QT_SCALE_FACTOR=2 (see CMakeLists.txt):
// every expected value is worked out from widget pixels alone.
#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "graph/Ruler.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::GraphFixture;
using kws::test::MkTime;
using kws::test::Raw;
using kws::test::ScopedTimeZone;

namespace {

double ExpectedScale() {
    const char* factor = std::getenv("QT_SCALE_FACTOR");
    return factor != nullptr ? std::atof(factor) : 1.0;
}

struct ScaledFixture : GraphFixture {
    ScaledFixture() {
        EXPECT_EQ(Panel()->PixelScale(), ExpectedScale());
        Panel()->SetRanges(0, 1000, 0, 100, true);
        w = Panel()->width();
        h = Panel()->height();
    }
    // The world under a widget pixel of the view 0 .. 1000 by 0 .. 100.
    double X(double px) const { return 1000 * px / w; }
    double Y(double py) const { return 100 * (h - py) / h; }
    void Ranges(double& x0, double& x1, double& y0, double& y1) {
        Panel()->GetRanges(x0, x1, y0, y1);
    }
    double w = 0, h = 0;
};

}  // namespace

TEST(ScreenScale, RubberBandZoomReachesTheDraggedCorners) {
    ScaledFixture f;
    CGraphPanel* p = f.Panel();
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    QTest::mouseMove(p, QPoint(200, 100));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
    double x0, x1, y0, y1;
    f.Ranges(x0, x1, y0, y1);
    EXPECT_DOUBLE_EQ(x0, f.X(100));
    EXPECT_DOUBLE_EQ(x1, f.X(300));
    EXPECT_DOUBLE_EQ(y0, f.Y(200));
    EXPECT_DOUBLE_EQ(y1, f.Y(50));
}

TEST(ScreenScale, ShiftDragPansByTheDraggedDistance) {
    ScaledFixture f;
    CGraphPanel* p = f.Panel();
    QTest::mousePress(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 100));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
    double x0, x1, y0, y1;
    f.Ranges(x0, x1, y0, y1);
    const double dx = f.X(300) - f.X(200), dy = f.Y(100) - f.Y(150);
    EXPECT_NEAR(x0, dx, 1e-9);
    EXPECT_NEAR(x1, 1000 + dx, 1e-9);
    EXPECT_NEAR(y0, dy, 1e-9);
    EXPECT_NEAR(y1, 100 + dy, 1e-9);
}

TEST(ScreenScale, WheelZoomsAroundTheWorldUnderTheMouse) {
    ScaledFixture f;
    CGraphPanel* p = f.Panel();
    const QPointF at(250, 50);
    QWheelEvent wheel(at, p->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(p, &wheel);
    double x0, x1, y0, y1;
    f.Ranges(x0, x1, y0, y1);
    // One notch out: the range grows by 1/0.8 around the world under the mouse.
    const double c = f.X(250);
    EXPECT_NEAR(x0, c - c * 1.25, 1e-9);
    EXPECT_NEAR(x1, c + (1000 - c) * 1.25, 1e-9);
    EXPECT_EQ(y0, 0);
    EXPECT_EQ(y1, 100);
}

TEST(ScreenScale, TooltipReadsTheSampleAndValueUnderTheMouse) {
    ScopedTimeZone zone("Europe/Berlin");
    ScaledFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    f.graph->SetAxisTitle("Temperatur", "°C", 2, 0, 1);
    f.graph->AddSeries(RGB(0, 0, 255), "Kurve", 1, 1, 0);
    for (int i = 0; i < 2000; ++i) f.graph->AddPoint(0, i, 50, 0, -1, start + i);
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, f.w, 0, f.h, true);  // one unit per widget pixel both ways
    // Sample 100 is 14:01:40; the value at y 40 is height - 40.
    EXPECT_EQ(p->TooltipText(QPoint(100, 40)),
              QString("Datum = 12/03/2009, 14:01:40, Temp = %1,00 °C").arg(f.h - 40));
}

TEST(ScreenScale, TimeRulerLabelsAndTicksStandOnTheSamplesOfTheGridLines) {
    ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = MkTime(2009, 3, 12, 14, 0, 0);
    f.graph->AddSeries(RGB(0, 0, 255), "Kurve", 1, 1, 0);
    for (int i = 0; i < 2000; ++i) f.graph->AddPoint(0, i, 50, 0, -1, start + i);
    CGraphPanel* p = f.Panel();
    const double scale = p->PixelScale();
    p->SetRanges(0, p->width(), 0, 100, true);  // one sample per widget pixel
    FHRuler* ruler = f.Container()->HorizontalRuler();
    const RulerLayout layout = ruler->Layout(ruler->rect());
    const QImage& image = p->BackBuffer();
    const uint16_t grey = ToRgb555(RGB(105, 105, 105));
    ASSERT_GE(layout.labels.size(), 5u);
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        // Ticks lie on whole samples, at round clock times: at widget pixel k for sample k,
        // a whole number of 30 seconds after the full hour the samples start at.
        const double x = layout.majorTicks[i];
        EXPECT_EQ(x, std::round(x));
        EXPECT_EQ(static_cast<int64_t>(x) % 30, 0) << x;
        const time_t t = static_cast<time_t>(start + static_cast<int64_t>(x));
        struct tm tm;
        localtime_r(&t, &tm);
        char text[16];
        const bool seconds = layout.labels[i].text.count(':') == 2;
        std::strftime(text, sizeof text, seconds ? "%H:%M:%S" : "%H:%Mh", &tm);
        if (layout.labels[i].drawn) {
            EXPECT_EQ(layout.labels[i].text, text);
        }
        // A grid line in the panel's device pixels under the tick.
        const int column = static_cast<int>(x * scale);
        int dots = 0;
        for (int y = 0; y < image.height(); ++y) dots += Raw(image, column, y) == grey;
        EXPECT_GT(dots, image.height() / 3) << "no grid line under tick " << x;
    }
}

TEST(ScreenScale, ValueRulerTicksStandOnTheHorizontalGridLines) {
    const uint16_t grey = ToRgb555(RGB(105, 105, 105));
    int compared = 0;
    for (int hostHeight : {331, 500, 547, 612}) {
        GraphFixture f(3, QSize(700, hostHeight));
        CGraphPanel* p = f.Panel();
        FVRuler* ruler = f.Container()->VerticalRuler();
        const double scale = p->PixelScale();
        for (auto [low, high] :
             {std::pair{0.0, 100.0}, std::pair{-17.0, 113.0}, std::pair{20.0, 20.5},
              std::pair{99.99, 100.01}, std::pair{0.0, 1e15}, std::pair{3.0, 7.0}}) {
            p->SetRanges(0, 100, low, high, true);
            const QImage& image = p->BackBuffer();
            // The rows holding a horizontal grid line: grey on at least a third of the width.
            std::vector<double> lines;
            for (int y = 0; y < image.height(); ++y) {
                int dots = 0;
                for (int x = 0; x < image.width(); ++x) dots += Raw(image, x, y) == grey;
                if (dots > image.width() / 3) lines.push_back(y);
            }
            // The ruler's ticks in device pixels, those inside the panel.
            std::vector<double> ticks;
            for (double t : ruler->Layout(ruler->rect()).majorTicks)
                if (t * scale < image.height()) ticks.push_back(t * scale);
            std::sort(ticks.begin(), ticks.end());
            // At least two lines; a third tick may stand on the bottom edge, below the rows.
            EXPECT_GE(lines.size(), 2u) << hostHeight << " " << low << ".." << high;
            EXPECT_EQ(ticks, lines) << "panel " << p->height() << " px, " << low << ".." << high;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 24);
}
