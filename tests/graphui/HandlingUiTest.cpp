// The result window as a user handles it: where the keys go, what a saved picture and a printed
// page leave out or show, where the statistics window and the cancel message open, and the
// words of the windows in every language.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "graph/GraphPanel.h"
#include "graph/ParticipantCommands.h"
#include "graph/Prompts.h"
#include "graphui/GraphExport.h"
#include "graphui/GraphFrame.h"
#include "graphui/GraphPicture.h"
#include "graphui/ProgressWnd.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::ScriptedPrompts;

namespace {

kws::rec::SampleArray Samples(int n) {
    kws::rec::SampleArray samples;
    const int64_t start = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
    for (int i = 0; i < n; ++i) {
        kws::rec::SampleRecord r;
        for (int c = 0; c < 6; ++c) r.value[c] = 10 * c + (i % 300) / 30.0;
        r.time = start + i;
        samples.push_back(r);
    }
    return samples;
}

// A built six-curve result dialog, shown offscreen.
struct Shown {
    kws::test::ScopedTimeZone zone{"Europe/Berlin"};
    CNewGraph dialog{0, nullptr};
    explicit Shown(QRect geometry = QRect(0, 0, 700, 500)) {
        dialog.SetData(Samples(7200));
        EXPECT_TRUE(dialog.Build());
        dialog.setGeometry(geometry);
        dialog.show();
        QApplication::processEvents();
    }
};

// Prompts that also note where each message box would be centred.
struct PlacedPrompts : ScriptedPrompts {
    QList<QPoint> centres;
    void Message(QWidget* parent, const QString& text, const QString& caption, Icon i) override {
        centres << (parent != nullptr ? parent->geometry().center() : QPoint());
        ScriptedPrompts::Message(parent, text, caption, i);
    }
};

}  // namespace

TEST(ResultWindow, ThePlotHasTheKeysWhenItOpens) {
    Shown s;
    s.dialog.activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(s.dialog.focusWidget(), s.dialog.Graph()->Panel());
    // "+" zooms at once.
    double x0, x1, y0, y1;
    s.dialog.Graph()->Panel()->GetRanges(x0, x1, y0, y1);
    QTest::keyClick(s.dialog.focusWidget(), Qt::Key_Plus);
    double a0, a1;
    s.dialog.Graph()->Panel()->GetRanges(a0, a1, y0, y1);
    EXPECT_NEAR(a1 - a0, 0.8 * (x1 - x0), 1e-6);
}

TEST(SavedPicture, TheLegendsWindowControlsAreLeftOut) {
    // The picture at the window's own size and resolution: where the legend bar has its gripper
    // and close cross on the screen, the picture shows the plain face of the bar.
    Shown s;
    CGraphFrame* frame = s.dialog.Frame();
    QWidget* title = frame->LegendBar()->titleBarWidget();
    ASSERT_TRUE(title != nullptr && title->isVisible());
    const QImage picture = GraphPicture(*frame, frame->size());
    const QRect controls(title->mapTo(frame, QPoint(0, 0)), title->size());
    const QColor face = frame->palette().color(frame->backgroundRole());
    int differing = 0;
    for (int y = controls.top(); y <= controls.bottom(); ++y)
        for (int x = controls.left(); x <= controls.right(); ++x)
            differing += picture.pixelColor(x, y) != face;
    EXPECT_EQ(differing, 0) << "in " << controls.width() << "x" << controls.height();
}

TEST(PrintedPage, TheLegendIsReadableUnderItsCaption) {
    // A Letter page rendered at 150 dpi: right of the plot, the caption's ink comes first, then
    // one swatch per curve, each at least as tall as the capitals of 8-point type (0.7 of the
    // em of 8/72 inch) with the name's ink beside it about as tall.
    Shown s;
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("page.pdf"));
    printer.setPageSize(QPageSize(QPageSize::Letter));
    ASSERT_TRUE(PrintGraphPage(s.dialog, printer));
    kws::test::Capture("pdftoppm -r 150 -png '" + dir.filePath("page.pdf").toStdString() + "' '" +
                       dir.filePath("page").toStdString() + "'");
    QImage page(dir.filePath("page-1.png"));
    ASSERT_FALSE(page.isNull());
    if (qEnvironmentVariableIsSet("KWS_SHOT_DIR"))
        page.save(qEnvironmentVariable("KWS_SHOT_DIR") + "/printed-letter.png");
    const int left =
        static_cast<int>((printer.pageLayout().paintRect(QPageLayout::Inch).left() + 8.6) * 150);
    const double minimum = 0.7 * 8 / 72.0 * 150;
    auto ink = [&](int x, int y) { return qGray(page.pixel(x, y)) < 160; };
    auto coloured = [&](int x, int y) { return QColor(page.pixel(x, y)).hsvSaturation() > 120; };
    int firstInk = -1;
    std::vector<std::pair<int, int>> swatches;  // top and bottom rows
    for (int y = 0; y < page.height(); ++y) {
        bool inkRow = false, swatchRow = false;
        for (int x = left; x < page.width(); ++x) {
            inkRow |= ink(x, y);
            swatchRow |= coloured(x, y);
        }
        if (inkRow && firstInk < 0) firstInk = y;
        if (swatchRow && (swatches.empty() || swatches.back().second < y - 1))
            swatches.push_back({y, y});
        if (swatchRow) swatches.back().second = y;
    }
    ASSERT_EQ(swatches.size(), 6u);
    EXPECT_LT(firstInk, swatches[0].first - minimum / 2);  // the caption above the entries
    for (const auto& [top, bottom] : swatches) {
        EXPECT_GE(bottom - top + 1, minimum) << top;
        int textTop = bottom, textBottom = top;
        for (int y = top - 8; y <= bottom + 8; ++y)
            for (int x = left; x < page.width(); ++x)
                if (ink(x, y) && !coloured(x, y))
                    textTop = std::min(textTop, y), textBottom = std::max(textBottom, y);
        EXPECT_GE(textBottom - textTop + 1, minimum) << top;
    }
}

TEST(PrintCommand, ThePrintDialogOffersThePaperChosenLast) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    QSettings().remove("Print");
    Shown s;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QPageSize::PageSizeId offered = QPageSize::Custom;
    for (const auto chosen : {QPageSize::Letter, QPageSize::A3, QPageSize::A4}) {
        prompts.onExec = [&](QDialog& d) {
            QPrinter* printer = dynamic_cast<QPrintDialog&>(d).printer();
            offered = printer->pageLayout().pageSize().id();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(dir.filePath("page.pdf"));
            printer->setPageSize(QPageSize(chosen));
            return static_cast<int>(QDialog::Accepted);
        };
        OnPrintCommand(s.dialog);
        prompts.onExec = [&](QDialog& d) {
            offered = dynamic_cast<QPrintDialog&>(d).printer()->pageLayout().pageSize().id();
            return static_cast<int>(QDialog::Rejected);
        };
        OnPrintCommand(s.dialog);
        EXPECT_EQ(offered, chosen);
    }
    QSettings().remove("Print");
}

TEST(StatisticsWindow, OpensBesideTheResultWindowSizedToItsFigures) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // A narrow result window at the screen's left and at its right edge.
    for (const bool atLeft : {true, false}) {
        const QRect geometry(atLeft ? screen.left() : screen.right() + 1 - 250, screen.top(), 250,
                             300);
        Shown s(geometry);
        QTest::mouseClick(s.dialog.StatisticsButton(), Qt::LeftButton);
        StatisticsWindow* w = s.dialog.Statistics();
        ASSERT_NE(w, nullptr);
        QApplication::processEvents();
        const QRect result = s.dialog.frameGeometry(), stats = w->frameGeometry();
        EXPECT_FALSE(stats.intersects(result)) << atLeft;
        EXPECT_EQ(atLeft, stats.left() > result.right()) << atLeft;
        // Every figure without scrolling, and no wider than the figures and their frame.
        QTableWidget* figures = w->Figures();
        const int content = figures->horizontalHeader()->length() + 2 * figures->frameWidth();
        EXPECT_GE(figures->width(), content);
        EXPECT_LE(figures->width(), content + 4);
        EXPECT_GE(figures->height(), figures->verticalHeader()->length());
        w->close();
    }
}

TEST(ResultDialog, TheCancelMessageShowsOverTheMainDialog) {
    QWidget main;
    main.setGeometry(300, 200, 400, 300);
    main.show();
    PlacedPrompts prompts;
    CNewGraph dialog(0, &main);
    dialog.SetData(Samples(400000));
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = dynamic_cast<CProgressWnd*>(w); p && p->isVisible())
                QTest::mouseClick(p->CancelButton(), Qt::LeftButton);
        }
    });
    timer.start(0);
    EXPECT_EQ(dialog.DoModal(), 0);
    ASSERT_EQ(prompts.centres.size(), 1);
    EXPECT_LE((prompts.centres[0] - main.geometry().center()).manhattanLength(), 4);
}

TEST(Words, TheWindowsSpeakTheUsersLanguage) {
    // The command, the progress window's button and a file type, in each language.
    QCoreApplication::setOrganizationName("kwsekunde-test");
    const struct {
        int code;
        const char *properties, *cancel, *png;
    } languages[] = {
        {kws::res::kGerman, "Eigenschaften", " Abbrechen ", "PNG-Dateien (*.png)"},
        {kws::res::kEnglish, "Properties", " Cancel ", "PNG files (*.png)"},
        {kws::res::kSpanish, "Propiedades", " Cancelar ", "Archivos PNG (*.png)"},
        {kws::res::kFrench, "Propriétés", " Annuler ", "Fichiers PNG (*.png)"},
        {kws::res::kItalian, "Proprietà", " Annulla ", "File PNG (*.png)"},
        {kws::res::kPortuguese, "Propriedades", " Cancelar ", "Ficheiros PNG (*.png)"},
    };
    for (const auto& l : languages) {
        ASSERT_EQ(kws::res::SelectLanguage(l.code), l.code);
        EXPECT_EQ(PropertiesText(), QString::fromUtf8(l.properties));
        EXPECT_EQ(Prompts::FileTypeFilter("PNG", "png"), QString::fromUtf8(l.png));
        CProgressWnd progress(nullptr, "x", true);
        EXPECT_EQ(progress.CancelButton()->text(), QString::fromUtf8(l.cancel));
    }
    kws::res::SelectLanguage(kws::res::kGerman);
    QSettings().clear();
}
