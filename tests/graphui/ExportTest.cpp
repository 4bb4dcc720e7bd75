// "Speichern" and "Ausdrucken" as a user meets them, checked with independent tools.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QTemporaryDir>

#include <functional>

#include "graph/Prompts.h"
#include "graphui/GraphExport.h"
#include "graphui/ResultDialog.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::ScriptedPrompts;

namespace {

// A built result dialog of six curves, shown offscreen.
struct Built {
    kws::test::ScopedTimeZone zone{"Europe/Berlin"};
    std::unique_ptr<CNewGraph> dialog;
    Built() {
        kws::rec::SampleArray samples;
        const int64_t start = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
        for (int i = 0; i < 7200; ++i) {
            kws::rec::SampleRecord r;
            r.value[0] = 58 + (i % 600) / 100.0;
            r.value[1] = 40 + 5 * ((i / 900) % 2);
            r.value[2] = 45 + (i % 300) / 30.0;
            r.value[3] = (i / 400) % 3 == 0 ? 8 : 0;
            r.value[4] = (i / 400) % 3 == 0 ? 30 : 0;
            r.value[5] = 100 + (i / 1000) % 2;
            r.time = start + i;
            samples.push_back(r);
        }
        dialog = std::make_unique<CNewGraph>(0, nullptr);
        dialog->SetData(samples);
        EXPECT_TRUE(dialog->Build());
        dialog->show();
        QApplication::processEvents();
    }
};

std::string Shell(const std::string& command) { return kws::test::Capture(command); }

}  // namespace

TEST(SaveCommand, WritesA1280x1024PictureOfTheWholeGraph) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    prompts.savePath = dir.filePath("graph.png");
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(prompts.saveSuggested, "bild00");
    EXPECT_EQ(prompts.saveFilter, "PNG Files (*.png);;JPG Files (*.jpg);;BMP Files (*.bmp)");
    EXPECT_EQ(prompts.saveSuffix, "png");
    QImage saved(prompts.savePath);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(1280, 1024));
    // The curve colours are in it (legend swatches and curves), and the rulers' grey.
    int cyan = 0, magenta = 0, grey = 0;
    for (int y = 0; y < saved.height(); y += 2) {
        for (int x = 0; x < saved.width(); x += 2) {
            const QRgb p = saved.pixel(x, y);
            cyan += qRed(p) < 20 && qGreen(p) > 170 && qBlue(p) > 240;
            magenta += qRed(p) > 240 && qGreen(p) < 20 && qBlue(p) > 240;
            grey += p == qRgb(192, 192, 192);
        }
    }
    EXPECT_GT(cyan, 50);
    EXPECT_GT(magenta, 50);
    EXPECT_GT(grey, 1000);
    // Cancelling writes nothing; a JPG gets the default quality.
    prompts.savePath.clear();
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    prompts.savePath = dir.filePath("graph.jpg");
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(Shell("identify -format '%w %h %Q' '" + prompts.savePath.toStdString() + "'"),
              "1280 1024 80");
}

TEST(PrintCommand, OneLandscapePageWithTitleGraphAndLegend) {
    Built b;
    QTemporaryDir dir;
    // Files of the user with the names of the temporary bitmaps stay as they are.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    for (const char* name : {"skgraph.bmp", "skleyend.bmp"}) {
        QFile f(name);
        f.open(QIODevice::WriteOnly);
        f.write("mine");
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("page.pdf"));
    printer.setPageOrientation(QPageLayout::Portrait);  // landscape whatever was chosen
    ASSERT_TRUE(PrintGraphPage(*b.dialog, printer));
    for (const char* name : {"skgraph.bmp", "skleyend.bmp"}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "mine");
    }
    QDir::setCurrent(previous);
    const std::string pdf = dir.filePath("page.pdf").toStdString();
    const std::string text = Shell("pdftotext '" + pdf + "' -");
    EXPECT_NE(text.find(b.dialog->Title().toStdString()), std::string::npos);
    EXPECT_NE(text.find("Legende"), std::string::npos);
    const std::string info = Shell("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           1"), std::string::npos);
    int w = 0, h = 0;
    const size_t at = info.find("Page size:");
    ASSERT_NE(at, std::string::npos);
    std::sscanf(info.c_str() + at, "Page size: %d x %d", &w, &h);
    EXPECT_GT(w, h) << "not landscape";
    // Rendered, the graph area holds the curves' colours.
    Shell("pdftoppm -r 40 -png '" + pdf + "' '" + dir.filePath("render").toStdString() + "'");
    QImage render(dir.filePath("render-1.png"));
    ASSERT_FALSE(render.isNull());
    int coloured = 0;
    for (int y = render.height() / 4; y < render.height() * 3 / 4; ++y) {
        for (int x = 0; x < render.width() * 2 / 3; ++x) {
            const QColor c = render.pixelColor(x, y);
            coloured += c.saturation() > 150;
        }
    }
    EXPECT_GT(coloured, 200);
}

TEST(PrintCommand, CancelledSetupPrintsNothing) {
    Built b;
    ScriptedPrompts prompts;
    OnPrintCommand(*b.dialog);  // returns without a page or leftovers
    SUCCEED();
}
