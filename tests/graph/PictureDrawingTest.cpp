// Rulers and plot drawn for a picture of their own: the same pixels as the window at the window's
// size, and the plot as shapes with widened lines for recording devices.
#include <gtest/gtest.h>

#include <QPainter>

#include "graph/PlotShapes.h"
#include "graph/Ruler.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::GraphFixture;

namespace {

// The set pixels of `bits` as a list of (x, y).
std::vector<QPoint> SetPixels(const BitRows& bits) {
    std::vector<QPoint> out;
    for (int y = 0; y < bits.Rows(); ++y)
        for (int x = 0; x < bits.Width(); ++x)
            if (bits.Test(x, y)) out.emplace_back(x, y);
    return out;
}

std::vector<QPoint> Square(int left, int top, int right, int bottom) {
    std::vector<QPoint> out;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) out.emplace_back(x, y);
    return out;
}

}  // namespace

TEST(PlotShapes, APixelWidensToTheSquareOfThePen) {
    // Across a word boundary (x 63 and 64), in both directions; odd and even widths.
    BitRows three(130, 6);
    three.Set(63, 2);
    three.Widen(3);
    EXPECT_EQ(SetPixels(three), Square(62, 1, 64, 3));
    BitRows four(130, 6);
    four.Set(64, 2);
    four.Widen(4);  // one before, two after
    EXPECT_EQ(SetPixels(four), Square(63, 1, 66, 4));
    // At the edges the square is cut off; nothing appears beyond the last pixel.
    BitRows edges(70, 3);
    edges.Set(0, 0);
    edges.Set(69, 2);
    edges.Widen(5);
    std::vector<QPoint> expected = Square(0, 0, 2, 2);
    for (const QPoint& p : Square(67, 0, 69, 2))
        if (std::find(expected.begin(), expected.end(), p) == expected.end()) expected.push_back(p);
    std::sort(expected.begin(), expected.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    EXPECT_EQ(SetPixels(edges), expected);
    EXPECT_EQ(edges.Row(0)[1] >> 6, 0u);
}

TEST(PlotShapes, RunsThatContinueGrowDownward) {
    BitRows bits(80, 3);
    for (int x = 2; x <= 4; ++x) bits.Set(x, 0), bits.Set(x, 1);
    bits.Set(10, 0);
    bits.Set(11, 1);
    bits.Set(12, 1);
    for (int x = 60; x <= 70; ++x) bits.Set(x, 2);  // across a word boundary
    RunMerger merger;
    for (int y = 0; y < 3; ++y) merger.AddRow(bits, y, 100 + y);
    std::vector<QRect> rects = merger.Finish();
    std::sort(rects.begin(), rects.end(),
              [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
    const std::vector<QRect> expected = {QRect(2, 100, 3, 2), QRect(10, 100, 1, 1),
                                         QRect(11, 101, 2, 1), QRect(60, 102, 11, 1)};
    EXPECT_EQ(rects, expected);
}

TEST(PictureDrawing, AtTheWindowsSizeThePictureIsTheWindow) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    GraphFixture f;
    f.AddThreeCurves(3600, kws::test::MkTime(2008, 6, 3, 10, 0, 0));
    f.Panel()->SetRanges(300, 2900, 10, 60, true);
    CGraphContainer* c = f.Container();
    const QImage window = c->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage picture(c->size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        c->DrawPicture(painter, picture.rect(), c->logicalDpiX(), c->logicalDpiY());
    }
    ASSERT_EQ(window.size(), picture.size());
    int differ = 0;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x)
            differ += window.pixel(x, y) != picture.pixel(x, y);
    EXPECT_EQ(differ, 0);
}

TEST(PictureDrawing, ThePlotAsShapesMatchesItsPixelsAndWidensItsLines) {
    GraphFixture f;
    CGraphWnd* g = f.graph;
    g->AddSeries(RGB(255, 0, 0), "flat", 1, 1, 0);
    g->AddSeries(RGB(0, 0, 255), "steep", 1, 1, 1);  // both points at x 63
    g->AddPoint(0, 0, 37, 1, -1, 0);
    g->AddPoint(0, 100, 37, 1, -1, 0);
    g->AddPoint(1, 63, 0, 1, -1, 0);
    g->AddPoint(1, 63, 100, 1, -1, 0);
    g->AddSeries(RGB(0, 255, 0), "top", 1, 1, 0);  // near the top edge, row 4
    g->AddPoint(2, 0, 98, 1, -1, 0);
    g->AddPoint(2, 100, 98, 1, -1, 0);
    f.Panel()->SetModeFlags(Grid, true);
    f.Panel()->SetRanges(0, 100, 0, 100, true);
    // A plot of 401 x 201 pixels. Worked out by hand: y 37 is row 201 - 37 x 2.01 = 126.63, so
    // 126; x 63 is column 63 x 4.01 = 252.63, so 252. With four intervals the grid stands at 0,
    // 50 and 100: row 100 (100.5) and column 200 (200.5).
    const QRect plot(0, 0, 401, 201);
    PanelTarget target;
    target.timeTicks = {0, 50, 100};
    target.valueIntervals = 4;
    QImage pixels(plot.size(), QImage::Format_RGB555);
    f.Panel()->DrawContents(pixels, plot, target);
    const QImage expected = pixels.convertToFormat(QImage::Format_RGB32);
    auto shapes = [&](int width, int bandPixels = 16 << 20) {
        QImage image(plot.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        DrawPlotShapes(painter, plot, *f.Panel(), target, width, bandPixels);
        return image;
    };
    // One pixel wide: the same pixels, colour for colour.
    EXPECT_EQ(shapes(1), expected);
    // In bands of a few rows (the last one shorter) the same as in one piece, lines crossing the
    // bands' edges included.
    EXPECT_EQ(shapes(1, 401 * 9), expected);
    EXPECT_EQ(shapes(3, 401 * 10), shapes(3));
    EXPECT_EQ(shapes(4, 401 * 13), shapes(4));
    // Three wide: the flat red line covers rows 125 to 127, the steep blue line columns 251 to
    // 253, over the red one where they cross.
    const QImage wide = shapes(3);
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), grey = qRgb(107, 107, 107),
               background = qRgb(247, 247, 247);
    for (int x : {20, 80, 300}) {
        int rows = 0;
        for (int y = 0; y < wide.height(); ++y) rows += wide.pixel(x, y) == red;
        EXPECT_EQ(rows, 3) << x;
        EXPECT_EQ(wide.pixel(x, 125), red);
        EXPECT_EQ(wide.pixel(x, 127), red);
    }
    for (int y : {20, 170}) {
        int columns = 0;
        for (int x = 0; x < wide.width(); ++x) columns += wide.pixel(x, y) == blue;
        EXPECT_EQ(columns, 3) << y;
        EXPECT_EQ(wide.pixel(251, y), blue);
        EXPECT_EQ(wide.pixel(253, y), blue);
    }
    EXPECT_EQ(wide.pixel(252, 126), blue);
    // The grid over the curves, its dots three times as long and three pixels thick: the line of
    // row 100 starts at the right end (x 401): dot 393 to 401, gap 384 to 392, dot 375 to 383.
    for (int y : {99, 100, 101}) {
        EXPECT_EQ(wide.pixel(395, y), grey) << y;
        EXPECT_EQ(wide.pixel(388, y), background) << y;
        EXPECT_EQ(wide.pixel(380, y), grey) << y;
    }
    EXPECT_EQ(wide.pixel(395, 98), background);
    EXPECT_EQ(wide.pixel(395, 102), background);
}
