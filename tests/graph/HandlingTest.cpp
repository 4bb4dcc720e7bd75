// Working with the plot: the view history, bands below lines, hidden curves in the lists.
#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include <array>
#include <functional>
#include <utility>

#include "graph/GraphList.h"
#include "graph/ZoomTracker.h"
#include "tests/graph/GraphTestSupport.h"

using kws::test::GraphFixture;

TEST(ViewHistory, EachGestureIsOneStepBackAndForth) {
    GraphFixture f;
    f.AddThreeCurves(3600, 1'200'000'000);
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 1000, 0, 100, true);
    p->ClearHistory();
    auto view = [p] {
        std::array<double, 4> v;
        p->GetRanges(v[0], v[1], v[2], v[3]);
        return v;
    };
    auto button = [p](Qt::MouseButton b) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(9, 9), QPointF(9, 9), b, b, {});
        QApplication::sendEvent(p, &e);
    };
    std::vector<std::array<double, 4>> seen{view()};  // the views gestures led to, in order
    // Each row: a gesture, and which view seen it shows afterwards (-1: a new one).
    const std::vector<std::pair<std::function<void()>, int>> steps = {
        {[&] { QTest::keyClick(p, Qt::Key_Right), QTest::keyClick(p, Qt::Key_Right); }, -1},
        {[&] { QTest::keyClick(p, Qt::Key_Plus); }, -1},  // another key: another step
        {[&] {                                            // one drag of many moves
             QTest::mousePress(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 100));
             for (int x = 110; x <= 150; x += 10) QTest::mouseMove(p, QPoint(x, 120));
             QTest::mouseRelease(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 120));
         },
         -1},
        {[&] { QTest::keyClick(p, Qt::Key_Backspace); }, 2},
        {[&] { QTest::keyClick(p, Qt::Key_Left, Qt::AltModifier); }, 1},
        {[&] { button(Qt::BackButton); }, 0},
        {[&] { p->OnMenuCommand(kCmdViewBack); }, 0},  // nothing before the first view
        {[&] { QTest::keyClick(p, Qt::Key_Right, Qt::AltModifier); }, 1},
        {[&] { button(Qt::ForwardButton); }, 2},
        {[&] { p->OnMenuCommand(kCmdViewForward); }, 3},
        {[&] { p->OnMenuCommand(kCmdViewBack), p->OnMenuCommand(kCmdFitPage); }, -1},
        {[&] { QTest::keyClick(p, Qt::Key_Right, Qt::AltModifier); }, 4},  // forward dropped
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i].first();
        if (steps[i].second >= 0) {
            EXPECT_EQ(view(), seen[static_cast<size_t>(steps[i].second)]) << "step " << i;
        } else {
            EXPECT_NE(view(), seen.back()) << "step " << i;
            seen.push_back(view());
        }
    }
    // Zooming in ends at four samples across, around the middle of the chosen span.
    p->SetRanges(100, 200, 0, 100, true);
    for (int i = 0; i < 30; ++i) QTest::keyClick(p, Qt::Key_Plus);
    EXPECT_EQ(view()[1] - view()[0], 4.0);
    EXPECT_NEAR(view()[0] + view()[1], 300.0, 2.0);
    // At most 50 steps are kept; the oldest go first.
    ViewHistory h;
    for (int i = 0; i < 60; ++i) h.Leave({double(i), 0, 0, 0});
    int back = 0;
    for (auto v = h.Back({}); v; v = h.Back({})) EXPECT_EQ(v->x0, 59 - back++);
    EXPECT_EQ(back, 50);
}

TEST(PanelDrawing, BandsGoBelowTheLines) {
    // A line in slot 0 and, in slot 1, a pump switching every sample, whose columns fill from 0
    // to 100: the line shows on the screen and in a picture once the pump is a band.
    GraphFixture f(2);
    f.graph->SetModeFlags(0, 1);
    f.graph->AddSeries(RGB(0, 0, 255), "temperature", 1, 1, 0);
    f.graph->AddSeries(RGB(255, 0, 0), "pump", 1, 1, 0);
    for (int i = 0; i < 20000; ++i) {
        f.graph->AddPoint(0, i, 50, 0, -1, 0);
        f.graph->AddPoint(1, i, i % 2 == 0 ? 0 : 100, 0, -1, 0);
    }
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 19999, -10, 110, true);
    for (const bool band : {false, true}) {
        f.graph->GetSeries(1)->SetBand(band);
        p->Render();
        const QImage& screen = p->BackBuffer();
        const int row = static_cast<int>(p->YMap().WorldToPixel(50));
        EXPECT_EQ(kws::test::Raw(screen, screen.width() / 2, row),
                  ToRgb555(band ? RGB(0, 0, 255) : RGB(255, 0, 0)));
        // A picture at three times the screen's resolution: columns holding the line's blue.
        QImage picture(2400, 1500, QImage::Format_RGB32);
        QPainter painter(&picture);
        f.Container()->DrawPicture(painter, picture.rect(), 288, 288);
        painter.end();
        int line = 0;
        for (int x = 0; x < picture.width(); ++x) {
            bool blue = false;
            for (int y = 0; y < picture.height(); ++y)
                blue |= picture.pixel(x, y) == qRgb(0, 0, 255);
            line += blue;
        }
        EXPECT_EQ(line > picture.width() / 2, band) << line;
    }
}

TEST(SeriesList, HiddenCurvesAreGreyed) {
    // A row of a shown and of a hidden curve: the swatch's middle pixel, and whether the name
    // has the palette's text colour.
    const QPalette palette = QApplication::palette();
    // Hidden: the grey of (200, 30, 30), (11 r + 16 g + 5 b) / 32 = 88, half way to white.
    const std::pair<bool, QColor> cases[] = {{true, QColor(200, 30, 30)},
                                             {false, QColor(171, 171, 171)}};
    for (const auto& [shown, swatch] : cases) {
        QImage image(200, CGraphList::kRowHeight, QImage::Format_RGB32);
        QPainter painter(&image);
        DrawSeriesRow(painter, image.rect(), false, RGB(200, 30, 30), "Drehzahl", palette, shown);
        painter.end();
        EXPECT_EQ(image.pixelColor(12, 10), swatch) << shown;
        bool text = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 30; x < image.width(); ++x)
                text |= image.pixelColor(x, y) == palette.color(QPalette::Text);
        EXPECT_EQ(text, shown);
    }
}
