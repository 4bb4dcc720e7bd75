#include <gtest/gtest.h>

#include <QPainter>

#include "graph/GraphNotification.h"
#include "graph/Ruler.h"
#include "recording/SampleExport.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::CountRaw;
using kws::test::GraphFixture;
using kws::test::Raw;

TEST(GraphWindow, SlotsSeriesAndPoints) {
    GraphFixture f;
    EXPECT_EQ(f.graph->AddSeries(RGB(1, 1, 1), "a", 1, 1, 0), 0);
    EXPECT_EQ(f.graph->AddSeries(RGB(2, 2, 2), "b", 1, 1, 0), 1);
    EXPECT_EQ(f.graph->AddSeries(RGB(3, 3, 3), "c", 1, 1, 0), 2);
    EXPECT_EQ(f.graph->AddSeries(RGB(4, 4, 4), "d", 1, 1, 0), -1);
    EXPECT_EQ(f.graph->GetSeriesCount(), 3);
    EXPECT_EQ(f.graph->AddPoint(0, 1, 2, 1, -1, 0),
              -1);  // the index travels only in the notification
    EXPECT_EQ(f.graph->AddPoint(9, 1, 2, 1, -1, 0), -1);
    EXPECT_EQ(f.graph->GetSeries(0)->GetCount(), 1);
    int pos = 0;
    EXPECT_EQ(f.graph->GetFirstSeries(pos)->GetTitle(), "a");
    EXPECT_EQ(f.graph->GetNextSeries(pos)->GetTitle(), "b");
    EXPECT_EQ(pos, 1);

    // The data range skips hidden series and series without points.
    double xmin, xmax, ymin, ymax;
    f.graph->AddPoint(1, -5, 100, 1, -1, 0);
    f.graph->GetSeries(1)->SetShown(0);
    ASSERT_EQ(f.graph->GetDataRange(xmin, xmax, ymin, ymax), 1);
    EXPECT_EQ(xmin, 1);
    EXPECT_EQ(ymax, 2);
    f.graph->GetSeries(0)->SetShown(0);
    EXPECT_EQ(f.graph->GetDataRange(xmin, xmax, ymin, ymax), 0);
}

TEST(GraphWindow, AxisTitlesAndFormats) {
    GraphFixture f;
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    QString text;
    f.graph->FormatAxisValue(21.46, 0, 1, text);
    EXPECT_EQ(text, "21.5 °C");
    f.graph->FormatAxisValue(21.46, 0, 0, text);
    EXPECT_EQ(text, "21.5");
    f.graph->FormatAxisValue(21.46, 0, 2, text);
    EXPECT_EQ(text, "Temperatur: 21.5 °C");
    f.graph->FormatAxisValue(21.46, 0, 3, text);
    EXPECT_EQ(text, "");
    EXPECT_EQ(f.Container()->VerticalRuler()->toolTip(), "Temperatur, °C");
    // A "%" typed into the units stays a "%".
    f.graph->SetAxisTitle("Drehzahl", "%", 0, 0, 1);
    f.graph->FormatAxisValue(42.0, 0, 1, text);
    EXPECT_EQ(text, "42 %");
}

TEST(GraphPanel, AutoRangeWideningAndUnchangedRanges) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 10, 0, 10, true);
    f.graph->SetModeFlags(AutoRange, 1);
    f.graph->AddSeries(RGB(0, 0, 0), "s", 1, 1, 0);
    f.graph->AddPoint(0, 5, 12, 1, -1, 0);
    double x0, x1, y0, y1;
    p->GetRanges(x0, x1, y0, y1);
    EXPECT_EQ(y1, 16);  // above both ends: the top moves to the value plus 4
    f.graph->AddPoint(0, -3, 5, 1, -1, 0);
    p->GetRanges(x0, x1, y0, y1);
    EXPECT_EQ(x0, -3);
    EXPECT_EQ(x1, 10);
    // NaN and infinity never move the view.
    f.graph->AddPoint(0, std::nan(""), 1e308 * 10, 1, -1, 0);
    p->GetRanges(x0, x1, y0, y1);
    EXPECT_EQ(x0, -3);
    EXPECT_EQ(y1, 16);
    // Setting the same ranges changes and repaints nothing.
    (void)p->BackBuffer();
    ASSERT_TRUE(p->BackBufferValid());
    p->SetRanges(-3, 10, 0, 16, true);
    EXPECT_TRUE(p->BackBufferValid());
    // A point added in the middle asks for a full render.
    f.graph->AddPoint(0, 1, 5, 1, -1, 0);
    EXPECT_FALSE(p->BackBufferValid());
}

TEST(GraphPanel, IncrementalDrawingMatchesAFullRender) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    f.graph->SetModeFlags(MarkPoints, 1);  // no auto range: points only get appended
    p->SetRanges(0, 200, 0, 100, true);
    f.graph->AddSeries(RGB(255, 0, 0), "s", 1, 1, 0);
    (void)p->BackBuffer();
    for (int i = 0; i < 200; ++i) f.graph->AddPoint(0, i, 50 + 40 * std::sin(i / 9.0), 1, -1, 0);
    ASSERT_TRUE(p->BackBufferValid());  // every point was drawn into the buffer as it came
    const QImage incremental = p->BackBuffer().copy();
    p->Render();
    EXPECT_EQ(p->BackBuffer(), incremental);
}

TEST(GraphWindow, RendersBackgroundCurvesAndGridAtTheTickPixels) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
    f.AddThreeCurves(3600, start);
    CGraphPanel* p = f.Panel();
    const QImage& image = p->BackBuffer();
    ASSERT_FALSE(image.isNull());
    // Background at a corner no curve reaches, curves in their colours.
    EXPECT_EQ(Raw(image, 1, 1), ToRgb555(RGB(245, 245, 245)));
    for (COLORREF c : {RGB(0, 188, 255), RGB(255, 0, 0), RGB(0, 255, 0)})
        EXPECT_GT(CountRaw(image, ToRgb555(c)), 300);
    // The grid: dotted grey lines exactly at the tick pixels of both maps.
    const uint16_t grey = ToRgb555(RGB(105, 105, 105));
    const TickSet xt = p->VerticalGridTicks();
    ASSERT_GT(xt.Count(), 2);
    for (double px : xt.pixels) {
        const int x = static_cast<int>(px);
        if (x < 0 || x >= image.width()) continue;
        int dots = 0;
        for (int y = 0; y < image.height(); ++y) dots += Raw(image, x, y) == grey;
        EXPECT_GT(dots, image.height() / 4) << "no grid line at x " << x;
        if (x + 2 < image.width()) {
            int beside = 0;
            for (int y = 0; y < image.height(); ++y) beside += Raw(image, x + 2, y) == grey;
            EXPECT_LT(beside, image.height() / 8);  // not a vertical line
        }
    }
    // Hiding the grid removes every grey pixel.
    p->ToggleModeFlag(Grid, true);
    EXPECT_EQ(CountRaw(p->BackBuffer(), grey), 0);
}

TEST(Rulers, TimeLabelsDatesAndTheirFit) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    const int64_t start = kws::test::MkTime(2008, 6, 3, 23, 30, 0);  // crosses midnight
    f.AddThreeCurves(3600, start);
    FHRuler* ruler = f.Container()->HorizontalRuler();
    EXPECT_EQ(ruler->GetThickness(), static_cast<int>(ruler->DpiY() / 3));
    const RulerLayout layout = ruler->Layout(ruler->rect());
    ASSERT_GT(layout.labels.size(), 3u);
    // A span of an hour: "%H:%Mh" labels; a date under the first label and at the new day.
    int dates = 0;
    for (size_t i = 0; i < layout.labels.size(); ++i) {
        const QString t = layout.labels[i].text;
        EXPECT_TRUE(t.endsWith('h')) << t.toStdString();
        if (!layout.dates[i].text.isEmpty()) ++dates;
    }
    EXPECT_EQ(layout.dates[0].text, "03/06/2008");
    EXPECT_GE(dates, 2);
    bool newDay = false;
    for (const auto& d : layout.dates) newDay = newDay || d.text == "04/06/2008";
    EXPECT_TRUE(newDay);
    EXPECT_EQ(layout.majorTicks.size(), layout.labels.size());

    // The picture agrees: no text in the 16 pixels left of the first tick area, text under a
    // drawn label.
    QImage picture(ruler->size(), QImage::Format_RGB32);
    {
        QPainter painter(&picture);
        ruler->Draw(painter, ruler->rect());
    }
    auto dark = [&](QRect r) {
        int n = 0;
        r = r.intersected(picture.rect().adjusted(1, 1, -2, -2));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += qGray(picture.pixel(x, y)) < 80;
        return n;
    };
    for (const auto& l : layout.labels) {
        const QRect box(l.x, l.y, 20, layout.textHeight - 2);
        if (l.drawn) {
            EXPECT_GT(dark(box), 5) << l.text.toStdString();
        }
    }

    // A label at an end is moved inward over its tick rather than left out. With the view
    // starting on a tick (sample 0 at the panel's left edge), the first tick sits at the
    // ruler's start.
    double x0, x1, y0, y1;
    f.Panel()->GetRanges(x0, x1, y0, y1);
    f.Panel()->SetRanges(0, 3000, y0, y1, true);
    const RulerLayout edge = ruler->Layout(ruler->rect());
    f.Panel()->SetRanges(x0, x1, y0, y1, true);
    ASSERT_FALSE(edge.labels.empty());
    ASSERT_EQ(edge.majorTicks.size(), edge.labels.size());
    EXPECT_EQ(edge.majorTicks[0], 0);
    EXPECT_TRUE(edge.labels[0].drawn);
    EXPECT_EQ(edge.labels[0].x, 1);  // inside the frame
    EXPECT_EQ(edge.labels[0].text, "23:30h");

    // Ticks under a minute apart label with seconds: five minutes take steps of 30 seconds.
    f.Panel()->SetRanges(100, 400, 0, 100, true);
    const RulerLayout close = ruler->Layout(ruler->rect());
    EXPECT_EQ(close.labels[1].text.size(), 8);
    // Unset times keep the span.
    const int64_t before = ruler->StartTime();
    ruler->SetTimeRange(0, 0, true, NullTimeStamp(), NullTimeStamp());
    EXPECT_EQ(ruler->StartTime(), before);
}

TEST(Rulers, ValueLabelsScaledByTheExponentAndSuppressedWhenCrowded) {
    GraphFixture f;
    FVRuler* ruler = f.Container()->VerticalRuler();
    auto largest = [&](double low, double high) {
        ruler->SetRange(low, high, false);
        const RulerLayout layout = ruler->Layout(ruler->rect());
        double most = -1e9;
        for (const auto& l : layout.labels) {
            bool ok = false;
            most = std::max(most, l.text.toDouble(&ok));
            EXPECT_TRUE(ok) << l.text.toStdString();
        }
        return most;
    };
    // 0 .. 0.5 and 0 .. 250: labels show the values themselves.
    const double tenths = largest(0, 0.5);
    EXPECT_GE(tenths, 0.4);
    EXPECT_LE(tenths, 0.5);
    const double values = largest(0, 250);
    EXPECT_GE(values, 200);
    EXPECT_LE(values, 250);
    // Both ends are labelled: their labels move into the ruler.
    ruler->SetRange(0, 250, false);
    const RulerLayout ends = ruler->Layout(ruler->rect());
    ASSERT_FALSE(ends.labels.empty());
    EXPECT_TRUE(ends.labels.front().drawn);
    EXPECT_TRUE(ends.labels.back().drawn);
    // Too small a rectangle: only the frame.
    EXPECT_FALSE(ruler->Layout(QRect(0, 0, 16, 10)).content);
}

TEST(GraphPanel, BlocksOfRowsMoveTheViewAsTheirPointsAddedOneByOneDo) {
    // Steps up, a fall below the view and a wave: the upper end lands 4 above the point that
    // moved it last, so where it ends depends on the order the points come in.
    struct Row {
        double value[3];
        int64_t time;
    };
    auto rows = std::make_shared<std::vector<Row>>(700);
    for (size_t i = 0; i < rows->size(); ++i) {
        Row& r = (*rows)[i];
        r.value[0] = 10 + (i % 97) * 0.37 + static_cast<double>(i / 200) * 6;
        r.value[1] = 50 - static_cast<double>(i) * 0.3;
        r.value[2] = 20 + 30 * std::sin(i / 40.0);
        r.time = 1236852000 + static_cast<int64_t>(i);
    }
    const auto table = std::make_shared<const PointTable>(rows->data(), rows->size(), sizeof(Row),
                                                          offsetof(Row, time), rows);
    const size_t ends[] = {1, 5, 64, 100, 128, 129, 300, 384, 448, 512, 513, 600, 640, 700};
    const struct {
        double x0, x1, y0, y1;
    } views[] = {{0, 10, 0, 10}, {10, 0, 10, 0}, {5, 5, 3, 3}, {-50, 9000, -100, 500}};
    for (const auto& v : views) {
        GraphFixture one, block;
        for (GraphFixture* f : {&one, &block}) {
            f->graph->SetModeFlags(AutoRange | Grid, 1);
            f->graph->SetRangesKeepFlags(v.x0, v.x1, v.y0, v.y1, 1);
            for (int s = 0; s < 3; ++s) f->graph->AddSeries(RGB(0, 60 * s, 255), "s", 1, 1, 0);
            f->graph->GetSeries(2)->SetShown(0);  // a hidden series moves nothing
        }
        for (int s = 0; s < 3; ++s) {
            PointColumn column;
            column.offset = offsetof(Row, value) + static_cast<size_t>(s) * sizeof(double);
            block.graph->ReadSeriesFrom(s, table, column);
            size_t from = 0;
            for (size_t end : ends) {
                for (size_t i = from; i < end; ++i)
                    one.graph->AddPoint(s, static_cast<double>(i), (*rows)[i].value[s], 1, -1,
                                        (*rows)[i].time);
                EXPECT_EQ(block.graph->AddRows(s, end, 1), static_cast<int>(end - from));
                from = end;
                double a[4], b[4];
                one.graph->GetRanges(a[0], a[1], a[2], a[3]);
                block.graph->GetRanges(b[0], b[1], b[2], b[3]);
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(a[k], b[k]) << "view " << v.x0 << ".." << v.x1 << ", series " << s
                                          << ", rows to " << end << ", end " << k;
            }
        }
        // Fitted and drawn, the same pixels.
        for (GraphFixture* f : {&one, &block}) {
            f->graph->GetSeries(2)->SetShown(1);
            f->Panel()->FitToData(4105);
            f->Panel()->Render();
        }
        EXPECT_EQ(one.Panel()->BackBuffer(), block.Panel()->BackBuffer());
    }
}
