// "Speichern" and "Ausdrucken" as a user meets them, checked with independent tools.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

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

// Runs `work` under a file-size limit of `bytes`, with SIGXFSZ ignored so that a write past it
// fails with an error (as on a full disk) instead of ending the process; both are undone
// afterwards. False when the limit could not be set.
bool WithFileSizeLimit(rlim_t bytes, const std::function<void()>& work) {
    struct rlimit saved;
    if (getrlimit(RLIMIT_FSIZE, &saved) != 0) return false;
    struct rlimit limited = saved;
    limited.rlim_cur = bytes;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    const bool limitedNow = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    if (limitedNow) work();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    return limitedNow;
}

}  // namespace

TEST(SaveCommand, WritesA1280x1024PictureOfTheWholeGraph) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    prompts.savePath = dir.filePath("graph.png");
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(prompts.saveSuggested, "bild00");
    EXPECT_EQ(prompts.saveFilter, "PNG-Dateien (*.png);;JPG-Dateien (*.jpg);;BMP-Dateien (*.bmp)");
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
}

namespace {

// Bounding box of the pixels of `image` within `area` that are not white (any channel below 235).
QRect InkBox(const QImage& image, const QRect& area) {
    QRect box;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) < 235 || qGreen(p) < 235 || qBlue(p) < 235) box |= QRect(x, y, 1, 1);
        }
    return box;
}

}  // namespace

TEST(PrintCommand, GraphAndLegendLandInTheirBoxes) {
    Built b;
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("page.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A3));  // room for the whole layout
    ASSERT_TRUE(PrintGraphPage(*b.dialog, printer));
    // Rendered at 100 pixels per inch without smoothing (pixels keep the curves' colours); the
    // page's inches count from the printable area's corner.
    const int dpi = 100;
    Shell("pdftoppm -r 100 -aa no -aaVector no -png '" + dir.filePath("page.pdf").toStdString() +
          "' '" + dir.filePath("render").toStdString() + "'");
    QImage render(dir.filePath("render-1.png"));
    ASSERT_FALSE(render.isNull());
    render = render.convertToFormat(QImage::Format_RGB32);
    const QRectF printable = printer.pageLayout().paintRect(QPageLayout::Inch);
    auto x = [&](double inches) {
        return static_cast<int>(std::lround((printable.left() + inches) * dpi));
    };
    auto y = [&](double inches) {
        return static_cast<int>(std::lround((printable.top() + inches) * dpi));
    };
    // The plot: 0.4 to 8.5 inches across, 7 inches high, below the title (which ends within the
    // first half inch); nothing else lies left of 8.65 inches below the title.
    const QRect plot =
        InkBox(render, QRect(QPoint(0, y(0.45)), QPoint(x(8.65), render.height() - 1)));
    ASSERT_FALSE(plot.isEmpty());
    EXPECT_NEAR(plot.left(), x(0.4), 3);
    EXPECT_NEAR(plot.right(), x(8.5), 3);
    EXPECT_NEAR(plot.height(), 7.0 * dpi, 4);
    EXPECT_GT(plot.top(), y(0.5));
    EXPECT_LT(plot.top(), y(1.2));
    const double r = (plot.top() - y(0)) / static_cast<double>(dpi);  // the plot's row, inches
    // The legend: from 8.8 inches across and 3.15 inches below the plot's top, within its box
    // (8.8 to 12.15 inches, 1.45 inches high); "Legende" follows below it.
    const QRect legendArea(QPoint(x(8.7), y(r + 3.05)), QPoint(x(12.3), y(r + 4.62)));
    const QRect legend = InkBox(render, legendArea);
    ASSERT_FALSE(legend.isEmpty());
    EXPECT_NEAR(legend.left(), x(8.8), 3);
    EXPECT_NEAR(legend.top(), y(r + 3.15), 3);
    EXPECT_LE(legend.right(), x(12.15) + 3);
    EXPECT_LE(legend.bottom(), y(r + 4.6) + 3);
    // Nothing of the page between the plot and the legend, nor above the legend beside the plot.
    EXPECT_TRUE(
        InkBox(render, QRect(QPoint(x(8.6), y(r)), QPoint(x(12.3), y(r + 3.05)))).isEmpty());
    // The series' colours by hue (the page's pictures are stretched and compressed, so exact
    // values do not survive): cyan 196, red 0, blue 240, green 120, magenta 300, orange 30.
    const int hues[6] = {196, 0, 240, 120, 300, 30};
    auto hasHue = [&](int px, int py, int hue) {
        const QColor c = render.pixelColor(px, py);
        if (c.hsvSaturation() < 120 || c.value() < 90) return false;
        const int d = std::abs(c.hsvHue() - hue);
        return std::min(d, 360 - d) <= 12;
    };
    // The legend's rows: each series' colour, one row under the other, in the order of the
    // series (found by the first row that holds the colour).
    int previousRow = -1;
    for (int s = 0; s < 6; ++s) {
        int row = -1;
        for (int yy = legend.top(); yy <= legend.bottom() && row < 0; ++yy)
            for (int xx = legend.left(); xx <= legend.right() && row < 0; ++xx)
                if (hasHue(xx, yy, hues[s])) row = yy;
        EXPECT_GT(row, previousRow) << "series " << s;
        previousRow = std::max(row, previousRow);
    }
    // The plot holds the curves: every series' colour is in it, and no colour lies outside the
    // plot and the legend.
    for (int s = 0; s < 6; ++s) {
        int inPlot = 0, elsewhere = 0;
        for (int yy = 0; yy < render.height(); ++yy)
            for (int xx = 0; xx < render.width(); ++xx) {
                if (!hasHue(xx, yy, hues[s])) continue;
                if (plot.contains(xx, yy)) {
                    ++inPlot;
                } else if (!legend.contains(xx, yy)) {
                    ++elsewhere;
                }
            }
        EXPECT_GT(inPlot, 5) << "series " << s;
        EXPECT_EQ(elsewhere, 0) << "series " << s;
    }
    if (qEnvironmentVariableIsSet("KWS_SHOT_DIR"))
        render.save(qEnvironmentVariable("KWS_SHOT_DIR") + "/printed-page.png");
}

TEST(PrintCommand, ThePrintSetupDecidesWhetherAPageIsPrinted) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    // The setup dialog is answered with a PDF file as printer, then cancelled or confirmed.
    int setups = 0;
    int answer = QDialog::Rejected;
    QString pdf;
    prompts.onExec = [&](QDialog& d) {
        auto* setup = dynamic_cast<QPrintDialog*>(&d);
        if (setup == nullptr) return static_cast<int>(QDialog::Rejected);
        ++setups;
        setup->printer()->setOutputFormat(QPrinter::PdfFormat);
        setup->printer()->setOutputFileName(pdf);
        return answer;
    };
    pdf = dir.filePath("cancelled.pdf");
    OnPrintCommand(*b.dialog);
    EXPECT_EQ(setups, 1);
    EXPECT_FALSE(QFile::exists(pdf));  // cancelled: no page
    EXPECT_TRUE(prompts.messages.isEmpty());
    answer = QDialog::Accepted;
    pdf = dir.filePath("printed.pdf");
    OnPrintCommand(*b.dialog);
    EXPECT_EQ(setups, 2);
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_NE(Shell("pdfinfo '" + pdf.toStdString() + "'").find("Pages:           1"),
              std::string::npos);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"printed.pdf"});
}

namespace {

QByteArray Head(const QString& path, int n) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

}  // namespace

TEST(SaveCommand, TheChosenFileTypeDecidesTheFormatUnlessOneIsTyped) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    // The proposed name kept, "JPG Files" chosen: a JPEG named .jpg.
    prompts.savePath = dir.filePath("bild00");
    prompts.saveChosenFilter = "JPG Files (*.jpg)";
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(Head(dir.filePath("bild00.jpg"), 3), QByteArray("\xFF\xD8\xFF"));
    prompts.saveChosenFilter = "BMP Files (*.bmp)";
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(Head(dir.filePath("bild00.bmp"), 2), QByteArray("BM"));
    // A typed extension wins over the chosen type.
    prompts.savePath = dir.filePath("typed.png");
    prompts.saveChosenFilter = "JPG Files (*.jpg)";
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(Head(dir.filePath("typed.png"), 4), QByteArray("\x89PNG"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList({"bild00.bmp", "bild00.jpg", "typed.png"}));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST(SaveCommand, TheSaveDialogGivesTheNameTheChosenTypesExtension) {
    // The real file dialog: the user picks "JPG Files" and keeps the proposed name.
    QTemporaryDir dir;
    QString chosen;
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        if (types == nullptr) return dialog->reject();
        types->setFocus();
        QTest::keyClick(types, Qt::Key_Down);  // PNG -> JPG, as the user's choice
        driven = types->currentIndex() == 1;
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Prompts real;
    const QString path =
        real.SaveFile(nullptr, QString(), dir.filePath("bild00"),
                      "PNG Files (*.png);;JPG Files (*.jpg);;BMP Files (*.bmp)", "png", &chosen);
    ASSERT_TRUE(driven);
    EXPECT_EQ(path, dir.filePath("bild00.jpg"));
    EXPECT_EQ(chosen, "JPG Files (*.jpg)");
}

TEST(SaveCommand, FailuresAreReportedWithTheirReason) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    const QString missing = dir.filePath("missing"), folder = dir.filePath("folder.png");
    ASSERT_TRUE(QDir().mkdir(folder));
    const struct {
        QString path, message;
    } cases[] = {
        {missing + "/g.png", "Die Datei " + missing + "/g.png wurde nicht gespeichert.\n\nDer " +
                                 "Ordner " + missing + " existiert nicht."},
        {"/sys/g.png",
         "Die Datei /sys/g.png wurde nicht gespeichert.\n\nIm Ordner /sys dürfen "
         "keine Dateien angelegt werden (schreibgeschützt)."},
        {folder, "Die Datei " + folder + " wurde nicht gespeichert.\n\n" + folder +
                     " ist ein Ordner, keine Datei."},
        {dir.filePath("g.pdf"), "Die Datei " + dir.filePath("g.pdf") +
                                    " wurde nicht gespeichert.\n\nDie Dateiendung von g.pdf ist "
                                    "unbekannt. Bilder werden als png, jpg, bmp, tga, gif, tif "
                                    "oder ico gespeichert."},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        prompts.captions.clear();
        prompts.savePath = c.path;
        OnSaveCommand(*b.dialog);
        ASSERT_EQ(prompts.messages.size(), 1) << c.path.toStdString();
        EXPECT_EQ(prompts.messages[0], c.message);
        EXPECT_EQ(prompts.captions[0], "Calora Control Auswerter");
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(SaveCommand, AFullDiskKeepsTheOldFileAndItsPermissions) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    const QString path = dir.filePath("old.bmp");
    QByteArray old(30000, '\0');
    for (int i = 0; i < old.size(); ++i) old[i] = static_cast<char>(i * 7);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    ASSERT_EQ(chmod(path.toUtf8().constData(), 0640), 0);
    prompts.savePath = path;
    // A file-size limit of 20000 bytes (the picture needs 3.9 MB).
    ASSERT_TRUE(WithFileSizeLimit(20000, [&] { OnSaveCommand(*b.dialog); }));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], "Die Datei " + path + " wurde nicht gespeichert.\n\n" +
                                       QString::fromLocal8Bit(std::strerror(EFBIG)));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
    f.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.bmp"});
    // Without the limit the picture replaces the file, which keeps its permissions.
    OnSaveCommand(*b.dialog);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(Head(path, 2), QByteArray("BM"));
    struct stat st;
    ASSERT_EQ(stat(path.toUtf8().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.bmp"});
}

TEST(PrintCommand, APageThatCannotBeWrittenIsReported) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    const struct {
        QString file, reason;
    } cases[] = {
        {"/sys/page.pdf",
         "Im Ordner /sys dürfen keine Dateien angelegt werden (schreibgeschützt)."},
        {dir.filePath("missing/page.pdf"),
         "Der Ordner " + dir.filePath("missing") + " existiert nicht."},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        prompts.onExec = [&](QDialog& d) {
            auto& setup = dynamic_cast<QPrintDialog&>(d);
            setup.printer()->setOutputFormat(QPrinter::PdfFormat);
            setup.printer()->setOutputFileName(c.file);
            return static_cast<int>(QDialog::Accepted);
        };
        OnPrintCommand(*b.dialog);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0], "Die Seite wurde nicht gedruckt.\n\n" + c.reason);
        EXPECT_EQ(prompts.captions.last(), "Calora Control Auswerter");
    }
    // A page that can be written replaces an earlier file and leaves nothing beside it.
    const QString pdf = dir.filePath("page.pdf");
    {
        QFile f(pdf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    prompts.messages.clear();
    prompts.onExec = [&](QDialog& d) {
        auto& setup = dynamic_cast<QPrintDialog&>(d);
        setup.printer()->setOutputFormat(QPrinter::PdfFormat);
        setup.printer()->setOutputFileName(pdf);
        return static_cast<int>(QDialog::Accepted);
    };
    // The PDF writer ignores failed writes; a page cut short by a file-size limit (as on a full
    // disk) is reported and the earlier file stays.
    ASSERT_TRUE(WithFileSizeLimit(20000, [&] { OnPrintCommand(*b.dialog); }));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0],
              "Die Seite wurde nicht gedruckt.\n\n" + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(Head(pdf, 7), QByteArray("earlier"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.pdf"});
    prompts.messages.clear();
    OnPrintCommand(*b.dialog);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(Head(pdf, 5), QByteArray("%PDF-"));
    EXPECT_TRUE(QFile(pdf).size() > 20000);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"page.pdf"});
}

TEST(PrintLayout, TheLegendFitsThePrintableWidthOfCommonPapers) {
    // Printable widths in landscape as Qt's printer gives them; the legend box of 8.8 + 3.35
    // inches fits A3 as it is and is scaled down (its height too) on A4 and Letter.
    for (const auto id : {QPageSize::A4, QPageSize::Letter, QPageSize::A3}) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(id));
        printer.setPageOrientation(QPageLayout::Landscape);
        const double width = printer.pageLayout().paintRect(QPageLayout::Inch).width();
        const PageBox box = PrintedLegendBox(1.0, width);
        EXPECT_LE(box.right, width + 1e-9) << QPageSize(id).name().toStdString();
        EXPECT_DOUBLE_EQ(box.left, 8.8);
        EXPECT_DOUBLE_EQ(box.top, 4.15);
        EXPECT_NEAR((box.right - box.left) / (box.bottom - box.top), 3.35 / 1.45, 1e-9);
        if (id == QPageSize::A3) {
            EXPECT_DOUBLE_EQ(box.right, 12.15);
        }
    }
    // Worked out by hand: 1.7 of 3.35 inches left, a factor of 0.507463.
    const PageBox narrow = PrintedLegendBox(0.5, 10.5);
    EXPECT_NEAR(narrow.right, 10.5, 1e-9);
    EXPECT_NEAR(narrow.bottom, 3.65 + 0.735821, 1e-6);
}

TEST(SaveCommand, PicturesAndPagesAreWrittenIntoAPipe) {
    Built b;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    const struct {
        const char* name;
        bool print;
        QByteArray start;
    } cases[] = {
        {"graph.png", false, QByteArray("\x89PNG\r\n\x1a\n")},
        {"graph.bmp", false, QByteArray("BM")},
        {"page.pdf", true, QByteArray("%PDF-")},
    };
    for (const auto& c : cases) {
        const QString fifo = dir.filePath(c.name);
        ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
        // A reader that gives up after a while: a pipe that was replaced never gets a writer.
        std::string received;
        std::thread reader(
            [&] { received = Shell("timeout 30 cat '" + fifo.toStdString() + "'"); });
        prompts.messages.clear();
        prompts.savePath = fifo;
        prompts.onExec = [&](QDialog& d) {
            auto& setup = dynamic_cast<QPrintDialog&>(d);
            setup.printer()->setOutputFormat(QPrinter::PdfFormat);
            setup.printer()->setOutputFileName(fifo);
            return static_cast<int>(QDialog::Accepted);
        };
        c.print ? OnPrintCommand(*b.dialog) : OnSaveCommand(*b.dialog);
        reader.join();
        EXPECT_TRUE(prompts.messages.isEmpty()) << c.name;
        EXPECT_TRUE(QByteArray::fromStdString(received).startsWith(c.start)) << c.name;
        struct stat st;
        ASSERT_EQ(stat(fifo.toUtf8().constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << c.name;
    }
    EXPECT_EQ(QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              3);
}
