// The saved picture and the printed page are drawn at their own size and resolution: checked
// against the window on the screen, the view's ranges and independent tools.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QRegularExpression>
#include <QStyle>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <memory>

#include "graph/GraphContainer.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/GraphExport.h"
#include "graphui/GraphFrame.h"
#include "graphui/ResultDialog.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::ScriptedPrompts;

namespace {

// Two hours from 3 June 2008 10:00 in the layout `kind`, with steep sawtooth curves (so that
// neighbouring pixel columns of a picture differ) and flat steps.
struct Evaluated {
    kws::test::ScopedTimeZone zone{"Europe/Berlin"};
    int64_t start = 0;
    std::unique_ptr<CNewGraph> dialog;
    explicit Evaluated(int kind) {
        kws::rec::SampleArray samples;
        start = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
        for (int i = 0; i < 7200; ++i) {
            kws::rec::SampleRecord r;
            const double saw = 45 + (i % 300) / 30.0;
            const bool drawing = (i / 370) % 3 == 0;  // edges away from the grid's round numbers
            if (kind != 0) {
                r.value[0] = saw;
                r.value[1] = drawing ? 30 : 0;
                r.value[2] = drawing ? 8 : 0;
            } else {
                r.value[0] = 58 + (i % 600) / 100.0;
                r.value[1] = 40 + 5 * ((i / 900) % 2);
                r.value[2] = saw;
                r.value[3] = drawing ? 8 : 0;
                r.value[4] = drawing ? 30 : 0;
                r.value[5] = 100 + (i / 1000) % 2;
            }
            r.time = start + i;
            samples.push_back(r);
        }
        dialog = std::make_unique<CNewGraph>(kind, nullptr);
        dialog->SetData(samples);
        EXPECT_TRUE(dialog->Build());
        dialog->show();
        QApplication::processEvents();
    }
    CGraphFrame& Frame() const { return *dialog->Frame(); }
    CGraphPanel& Panel() const { return *dialog->Graph()->Panel(); }
    // The picture "Speichern" writes.
    QImage Saved(const QTemporaryDir& dir) const {
        ScriptedPrompts prompts;
        prompts.savePath = dir.filePath("graph.png");
        OnSaveCommand(*dialog);
        EXPECT_TRUE(prompts.messages.isEmpty());
        return QImage(prompts.savePath).convertToFormat(QImage::Format_RGB32);
    }
};

// The curve colours of a layout, from the result dialog's series table.
std::vector<QRgb> SeriesColours(int kind) {
    if (kind != 0) return {qRgb(0, 188, 255), qRgb(255, 0, 0), qRgb(0, 255, 0)};
    return {qRgb(0, 188, 255), qRgb(255, 0, 0),   qRgb(0, 0, 255),
            qRgb(0, 255, 0),   qRgb(255, 0, 255), qRgb(255, 127, 0)};
}

// A colour as the plot shows it: 5 bits per channel, widened again by repeating the top bits.
QRgb Quantised(QRgb c) {
    auto q = [](int v) { return ((v >> 3) << 3) | (v >> 5); };
    return qRgb(q(qRed(c)), q(qGreen(c)), q(qBlue(c)));
}

// Share of the pixel columns that equal the column to their left.
double RepeatedColumns(const QImage& image) {
    int repeated = 0;
    for (int x = 1; x < image.width(); ++x) {
        bool same = true;
        for (int y = 0; y < image.height() && same; ++y)
            same = image.pixel(x, y) == image.pixel(x - 1, y);
        repeated += same;
    }
    return static_cast<double>(repeated) / (image.width() - 1);
}

QRect BoxOf(const QImage& image, QRgb colour, const QRect& area) {
    QRect box;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x)
            if (image.pixel(x, y) == colour) box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

TEST(SavedPicture, IsDrawnAt1280x1024WithoutRepeatedColumnsAndLeavesTheWindowAlone) {
    for (int kind : {0, 1}) {
        Evaluated e(kind);
        const QSize windowSize = e.dialog->Graph()->size(), panelSize = e.Panel().size();
        double before[4], after[4];
        e.Panel().GetRanges(before[0], before[1], before[2], before[3]);
        const QImage buffer = e.Panel().BackBuffer();
        QTemporaryDir dir;
        const QImage picture = e.Saved(dir);
        ASSERT_EQ(picture.size(), QSize(1280, 1024)) << kind;
        // A stretched screen capture repeats about every second column.
        EXPECT_LT(RepeatedColumns(picture), 0.15) << kind;
        // The window is as it was: sizes, view and its pixels.
        EXPECT_EQ(e.dialog->Graph()->size(), windowSize);
        EXPECT_EQ(e.Panel().size(), panelSize);
        e.Panel().GetRanges(after[0], after[1], after[2], after[3]);
        EXPECT_TRUE(std::equal(before, before + 4, after)) << kind;
        EXPECT_EQ(e.Panel().BackBuffer(), buffer) << kind;
    }
}

TEST(SavedPicture, TheLegendLooksAsInTheWindow) {
    for (int kind : {0, 1}) {
        Evaluated e(kind);
        QTemporaryDir dir;
        const QImage picture = e.Saved(dir);
        const QImage window =
            e.dialog->Graph()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The legend fills the window above the plot: the same height in the picture.
        const int strip = e.Frame().Container()->y();
        ASSERT_GT(strip, 60);
        // Its left part (list frame, swatches and names) and the middle of the strip are the
        // window's pixels; only the list is wider. The bar's gripper and close button and the
        // sizing edge below it are window controls: the picture shows the bar's plain face there.
        QWidget* title = e.Frame().LegendBar()->titleBarWidget();
        const QRect controls(title->mapTo(&e.Frame(), QPoint(0, 0)), title->size());
        const QRgb face = e.Frame().palette().color(e.Frame().backgroundRole()).rgb();
        const int edge = e.Frame().style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent,
                                                        nullptr, &e.Frame());
        int differ = 0;
        for (int y = 0; y < strip - edge; ++y) {
            for (int x = 0; x < 250; ++x) {
                differ +=
                    picture.pixel(x, y) != (controls.contains(x, y) ? face : window.pixel(x, y));
            }
            for (int d = -40; d < 40; ++d) {
                differ += picture.pixel(picture.width() / 2 + d, y) !=
                          window.pixel(window.width() / 2 + d, y);
            }
        }
        EXPECT_EQ(differ, 0) << kind;
        // One row per series in its colour, one below the other, a swatch of 20 pixels.
        int previous = -1;
        for (QRgb colour : SeriesColours(kind)) {
            const QRect swatch = BoxOf(picture, colour, QRect(0, 0, 1280, strip));
            ASSERT_FALSE(swatch.isEmpty()) << kind;
            EXPECT_EQ(swatch.width(), 20) << kind;
            EXPECT_GT(swatch.top(), previous) << kind;
            previous = swatch.bottom();
        }
        // The list reaches across the picture: its frame ends 5 pixels before the right edge,
        // as it does in the window.
        const QRgb frameColour = window.pixel(window.width() - 6, strip / 2);
        EXPECT_EQ(picture.pixel(picture.width() - 6, strip / 2), frameColour) << kind;
    }
}

namespace {

// Rows (or columns) of `area` where the grid's grey covers more than a quarter of the line.
std::vector<int> GridLines(const QImage& image, const QRect& area, bool rows) {
    const QRgb grey = Quantised(qRgb(105, 105, 105));
    std::vector<int> lines;
    const int count = rows ? area.height() : area.width();
    const int length = rows ? area.width() : area.height();
    for (int i = 0; i < count; ++i) {
        int n = 0;
        for (int j = 0; j < length; ++j) {
            const int x = rows ? area.left() + j : area.left() + i;
            const int y = rows ? area.top() + i : area.top() + j;
            n += image.pixel(x, y) == grey;
        }
        if (n * 4 > length) lines.push_back((rows ? area.top() : area.left()) + i);
    }
    return lines;
}

bool Dark(QRgb p) { return qGray(p) < 110; }

}  // namespace

TEST(SavedPicture, RulersAndCurvesShowTheVisibleView) {
    for (int kind : {0, 1}) {
        Evaluated e(kind);
        // The user has zoomed in on 10:30 to 11:30, values 20 to 70.
        const double x0 = 1800, x1 = 5400, y0 = 20, y1 = 70;
        e.Panel().SetRanges(x0, x1, y0, y1, true);
        QTemporaryDir dir;
        const QImage picture = e.Saved(dir);
        // Worked out by hand at the window's resolution: the value ruler is 1/6 inch wide, the
        // time ruler 1/3 inch high; the plot fills the rest below the legend.
        const double dpi = e.Frame().logicalDpiY();
        const int rulerWidth = static_cast<int>(dpi / 6), rulerHeight = static_cast<int>(dpi / 3);
        const int strip = e.Frame().Container()->y();
        const QRect plot(rulerWidth, strip, 1280 - rulerWidth, 1024 - rulerHeight - strip);
        auto column = [&](double sample) {
            return plot.left() + static_cast<int>((sample - x0) / (x1 - x0) * plot.width());
        };
        auto row = [&](double value) {
            return plot.top() + static_cast<int>((y1 - value) / (y1 - y0) * plot.height());
        };
        // Every curve colour below the legend lies within the plot.
        const std::vector<QRgb> colours = SeriesColours(kind);
        for (QRgb c : colours) {
            const QRect box =
                BoxOf(picture, Quantised(c), QRect(0, strip, picture.width(), 1024 - strip));
            if (box.isEmpty()) continue;
            EXPECT_TRUE(plot.contains(box)) << kind << " " << qRed(c) << "," << qGreen(c);
        }
        // The sawtooth (10 degrees over 300 samples from 45) where the view puts it.
        const QRgb saw = Quantised(colours[kind != 0 ? 0 : 2]);
        int found = 0, tried = 0;
        for (int i = 1810; i < 5400; i += 37) {
            if (i % 300 > 290) continue;  // the drop back to 45
            const double value = 45 + (i % 300) / 30.0;
            const int x = column(i), y = row(value);
            bool hit = false;
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -2; dy <= 2; ++dy) hit |= picture.pixel(x + dx, y + dy) == saw;
            found += hit;
            ++tried;
        }
        EXPECT_GE(found, tried - 2) << kind << ": " << found << " of " << tried;
        // Horizontal grid lines at values of one step of 1, 2 or 5 times a power of ten, with a
        // tick and a label on the value ruler beside each.
        const std::vector<int> rows = GridLines(picture, plot, true);
        ASSERT_GE(rows.size(), 3u) << kind;
        auto valueAt = [&](int y) { return y1 - (y - plot.top()) * (y1 - y0) / plot.height(); };
        const double step = valueAt(rows[0]) - valueAt(rows[1]);
        const double magnitude = std::pow(10.0, std::floor(std::log10(step)));
        const double mantissa = step / magnitude;
        EXPECT_TRUE(std::abs(mantissa - 1) < 0.05 || std::abs(mantissa - 2) < 0.1 ||
                    std::abs(mantissa - 5) < 0.2)
            << kind << ": step " << step;
        const double nice = std::round(mantissa) * magnitude;
        const double perPixel = (y1 - y0) / plot.height();
        for (int y : rows) {
            const double v = valueAt(y);
            EXPECT_LT(std::abs(v - std::round(v / nice) * nice), 1.5 * perPixel)
                << kind << " " << v;
            // The ruler's own map runs from its last row, the plot's from below it: a row apart.
            bool tick = false;
            for (int dy = -1; dy <= 1; ++dy) tick |= Dark(picture.pixel(rulerWidth - 3, y + dy));
            EXPECT_TRUE(tick) << kind << " tick at " << y;
            if (y < plot.top() + 40 || y > plot.bottom() - 10) continue;  // beside the units
            int ink = 0;
            for (int dy = -8; dy <= 8; ++dy)
                for (int x = 1; x < rulerWidth - 5; ++x) ink += Dark(picture.pixel(x, y + dy));
            EXPECT_GT(ink, 5) << kind << " label at " << y;
        }
        // Vertical grid lines with their ticks on the time ruler and a time label under each
        // that fits.
        const std::vector<int> columns = GridLines(picture, plot, false);
        ASSERT_GE(columns.size(), 3u) << kind;
        int labelled = 0;
        for (int x : columns) {
            EXPECT_TRUE(Dark(picture.pixel(x, 1024 - 3))) << kind << " tick at " << x;
            int ink = 0;
            for (int y = 1024 - rulerHeight + 2; y < 1024 - 6; ++y)
                for (int dx = -12; dx <= 12; ++dx) ink += Dark(picture.pixel(x + dx, y));
            labelled += ink > 10;
        }
        EXPECT_GE(labelled, static_cast<int>(columns.size()) - 2) << kind;
    }
}

namespace {

struct Word {
    QString text;
    QRectF box;  // points, from the page's top-left corner
};

// The words of a PDF with their boxes, as pdftotext reads them.
std::vector<Word> Words(const std::string& pdf) {
    const QString html =
        QString::fromStdString(kws::test::Capture("pdftotext -bbox '" + pdf + "' -"));
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<Word> out;
    for (auto m = word.globalMatch(html); m.hasNext();) {
        const auto w = m.next();
        out.push_back(
            {w.captured(5), QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                                   QPointF(w.captured(3).toDouble(), w.captured(4).toDouble()))});
    }
    return out;
}

}  // namespace

TEST(PrintedPage, TheGraphIsDrawnAtThePrintersResolution) {
    for (int kind : {0, 1}) {
        Evaluated e(kind);
        const double x0 = 1800, x1 = 5400, y0 = 0, y1 = 60;
        e.Panel().SetRanges(x0, x1, y0, y1, true);
        QTemporaryDir dir;
        const std::string pdf = dir.filePath("page.pdf").toStdString();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageSize(QPageSize(QPageSize::A4));
        ASSERT_TRUE(PrintGraphPage(*e.dialog, printer));
        ASSERT_EQ(printer.resolution(), 1200);
        const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Inch);
        // Worked out by hand: the graph's box starts 0.4 inch into the printable area and is
        // 7 inches high; the value ruler takes 1/6 inch of its 8.1 inches, the time ruler 1/3
        // inch of its height; the plot has the remaining 7.9333 x 6.6667 inches.
        const double plotLeft = (printable.left() + 0.4 + 1.0 / 6) * 72, plotWidth = 7.9333 * 72;
        const double pointsPerUnit = (7.0 - 1.0 / 3) * 72 / (y1 - y0);
        // The rulers' labels are text on the page. Value labels: numbers in the ruler's strip,
        // each at the height of its value in the view; time labels below the plot.
        std::vector<Word> values, times;
        const std::vector<Word> words = Words(pdf);
        for (const Word& w : words) {
            // Labels at the view's ends move into the ruler, off their ticks: left out here.
            if (w.box.right() < plotLeft + 1 && w.box.left() > plotLeft - 0.25 * 72 &&
                QRegularExpression(R"(^-?\d+$)").match(w.text).hasMatch() &&
                w.text.toDouble() != y0 && w.text.toDouble() != y1)
                values.push_back(w);
            if (w.box.top() > (printable.top() + 4) * 72 &&
                QRegularExpression(R"(^\d\d:\d\dh$)").match(w.text).hasMatch())
                times.push_back(w);
        }
        ASSERT_GE(values.size(), 4u) << kind;
        // Where value v lies on the page (points from the top), from the first label.
        const double v0 = values[0].text.toDouble(), c0 = values[0].box.center().y();
        auto pointsOf = [&](double v) { return c0 + (v0 - v) * pointsPerUnit; };
        for (const Word& w : values) {
            const double v = w.text.toDouble();
            EXPECT_GE(v, y0) << kind;
            EXPECT_LE(v, y1) << kind;
            EXPECT_LT(std::abs(w.box.center().y() - pointsOf(v)), 2.0)
                << kind << " label " << w.text.toStdString();
        }
        // The view's ends lie 6.6667 inches apart: its top lies within the box below the title.
        EXPECT_GT(pointsOf(y1), (printable.top() + 0.5) * 72) << kind;
        EXPECT_LT(pointsOf(y0), (printable.top() + 8.5) * 72) << kind;
        // Time labels: each names the sample under its middle (one sample per second from
        // 10:00:00), give or take the width of a few printer pixels.
        ASSERT_GE(times.size(), 4u) << kind;
        for (const Word& w : times) {
            const double sample = x0 + (w.box.center().x() - plotLeft) / plotWidth * (x1 - x0);
            bool named = false;
            for (int d = -40; d <= 40; ++d) {
                const time_t t = static_cast<time_t>(e.start + static_cast<int64_t>(sample) + d);
                struct tm local;
                localtime_r(&t, &local);
                char text[16];
                std::strftime(text, sizeof text, "%H:%Mh", &local);
                named |= w.text == text;
            }
            EXPECT_TRUE(named) << kind << " " << w.text.toStdString() << " at sample " << sample;
        }
        // The legend's names are text in the legend's box.
        int names = 0;
        for (const Word& w : words)
            names += w.text == "Temp." && w.box.left() > (printable.left() + 8.8) * 72;
        EXPECT_EQ(names, kind != 0 ? 1 : 3) << kind;

        // Two inches of the plot at the printer's 1200 pixels per inch, without smoothing, from
        // the height of 55 down to that of 5.
        const int left = static_cast<int>((printable.left() + 0.4 + 1.0 / 6 + 0.5) * 1200);
        const int top = static_cast<int>(pointsOf(55) / 72 * 1200);
        const int height = static_cast<int>((pointsOf(5) - pointsOf(55)) / 72 * 1200);
        kws::test::Capture("pdftoppm -r 1200 -aa no -aaVector no -x " + std::to_string(left) +
                           " -y " + std::to_string(top) + " -W 2400 -H " + std::to_string(height) +
                           " -png '" + pdf + "' '" + dir.filePath("plot").toStdString() + "'");
        const QImage crop =
            QImage(dir.filePath("plot-1.png")).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(crop.size(), QSize(2400, height)) << kind;
        // Not a stretched picture: its columns differ where the curves slope.
        EXPECT_LT(RepeatedColumns(crop), 0.15) << kind;
        // Curves in their colours, as wide as one pixel of a 96 dpi window: 12.5 printer pixels,
        // drawn 12 wide (13 in the rendering, which takes in the pixel an edge ends on). The
        // pump's edges (0 to 30), measured across at the height of 17, between grid lines.
        const QRgb pump = Quantised(SeriesColours(kind)[kind != 0 ? 1 : 4]);
        const int y17 = static_cast<int>(pointsOf(17) / 72 * 1200) - top;
        std::vector<int> runs;
        for (int x = 0, run = 0; x <= crop.width(); ++x) {
            if (x < crop.width() && crop.pixel(x, y17) == pump) {
                ++run;
            } else if (run > 0) {
                runs.push_back(run);
                run = 0;
            }
        }
        ASSERT_EQ(runs.size(), 2u) << kind;  // on at sample 2220, off at 2590
        for (int run : runs) EXPECT_TRUE(run == 12 || run == 13) << kind << ": " << run;
        // The dots of the vertical grid line richest in grey: 3 pixels of the window, 36 printer
        // pixels long (37 rendered), where no horizontal grid line crosses them.
        const QRgb grey = Quantised(qRgb(105, 105, 105));
        int line = -1, most = 0;
        for (int x = 0; x < crop.width(); ++x) {
            int n = 0;
            for (int y = 0; y < crop.height(); ++y) n += crop.pixel(x, y) == grey;
            if (n > most) most = n, line = x;
        }
        std::vector<int> dots;
        for (int y = 0, run = 0; y <= crop.height(); ++y) {
            if (y < crop.height() && crop.pixel(line, y) == grey) {
                ++run;
            } else if (run > 0) {
                dots.push_back(run);
                run = 0;
            }
        }
        ASSERT_GE(dots.size(), 20u) << kind;
        const long regular = std::count_if(dots.begin() + 1, dots.end() - 1,
                                           [](int d) { return d == 36 || d == 37; });
        EXPECT_GE(regular, static_cast<long>(dots.size()) - 2 - 10) << kind;
    }
}

TEST(PrintedPage, SmallPapersGetTheWholeLayoutDrawnSmaller) {
    // Worked out by hand: the layout needs 10.5 inches across and 3 rows + 7.05 inches down.
    EXPECT_DOUBLE_EQ(PrintedLayoutScale(11.41, 7.99, 0.25), 1.0);          // A4
    EXPECT_DOUBLE_EQ(PrintedLayoutScale(10.72, 8.22, 0.25), 1.0);          // Letter
    EXPECT_NEAR(PrintedLayoutScale(7.99, 5.55, 0.25), 5.55 / 7.8, 1e-12);  // A5: the height
    EXPECT_NEAR(PrintedLayoutScale(9.52, 8.0, 0.25), 9.52 / 10.5, 1e-12);  // the width

    // On A5 and B5 everything printed stays on the paper: the title, the time labels below the
    // plot and the legend's names.
    Evaluated e(0);
    for (const auto id : {QPageSize::A5, QPageSize::B5, QPageSize::A4}) {
        QTemporaryDir dir;
        const std::string pdf = dir.filePath("page.pdf").toStdString();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setPageSize(QPageSize(id));
        ASSERT_TRUE(PrintGraphPage(*e.dialog, printer));
        const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Point);
        const std::string paper = QPageSize(id).name().toStdString();
        int times = 0, names = 0, titles = 0;
        for (const Word& w : Words(pdf)) {
            EXPECT_GE(w.box.left(), printable.left() - 0.5) << paper << " " << w.text.toStdString();
            EXPECT_LE(w.box.right(), printable.right() + 0.5)
                << paper << " " << w.text.toStdString();
            EXPECT_LE(w.box.bottom(), printable.bottom() + 0.5)
                << paper << " " << w.text.toStdString();
            times += QRegularExpression(R"(^\d\d:\d\dh$)").match(w.text).hasMatch();
            names += w.text == "Temp.";
            titles += w.text == "Auswertung";
        }
        EXPECT_GE(times, 4) << paper;
        EXPECT_EQ(names, 3) << paper;
        EXPECT_EQ(titles, 1) << paper;
    }
}
