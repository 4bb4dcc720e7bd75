// The result window as a user handles it: where the keys go, the printed legend and paper, and
// where the statistics window and the cancel message open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
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
#include "graphui/GraphExport.h"
#include "graphui/GraphFrame.h"
#include "graphui/ProgressWnd.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
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

TEST(ResultWindow, ThePlotHasTheKeysWhenItOpensAndAfterThePropertySheet) {
    Shown s;
    ScriptedPrompts prompts;
    prompts.onExec = [](QDialog& sheet) { return (sheet.accept(), sheet.result()); };
    CGraphPanel* panel = s.dialog.Graph()->Panel();
    for (int opened = 0; opened < 2; ++opened) {
        if (opened == 1) {
            s.dialog.SaveButton()->setFocus();
            s.dialog.Frame()->LegendBar()->OnMenuCommand(kCmdProperties);
        }
        EXPECT_EQ(s.dialog.focusWidget(), panel) << opened;
        // "+" zooms at once.
        double x0, x1, y0, y1, a0, a1;
        panel->GetRanges(x0, x1, y0, y1);
        QTest::keyClick(s.dialog.focusWidget(), Qt::Key_Plus);
        panel->GetRanges(a0, a1, y0, y1);
        EXPECT_NEAR(a1 - a0, 0.8 * (x1 - x0), 1e-6) << opened;
    }
}

TEST(PrintedPage, TheLegendIsReadableUnderItsCaption) {
    // A Letter page at 150 dpi, right of the plot: the caption's ink first, then one swatch per
    // curve at least as tall as the capitals of 8-point type (0.7 of 8/72 inch).
    QCoreApplication::setOrganizationName("kwsekunde-test");
    Shown s;
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    prompts.onExec = [&](QDialog& d) {
        QPrinter* printer = dynamic_cast<QPrintDialog&>(d).printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.filePath("page.pdf"));
        printer->setPageSize(QPageSize(QPageSize::Letter));
        return static_cast<int>(QDialog::Accepted);
    };
    OnPrintCommand(s.dialog);
    kws::test::Capture("pdftoppm -r 150 -png '" + dir.filePath("page.pdf").toStdString() + "' '" +
                       dir.filePath("page").toStdString() + "'");
    const QImage page(dir.filePath("page-1.png"));
    ASSERT_FALSE(page.isNull());
    if (qEnvironmentVariableIsSet("KWS_SHOT_DIR"))
        page.save(qEnvironmentVariable("KWS_SHOT_DIR") + "/printed-letter.png");
    const double minimum = 0.7 * 8 / 72.0 * 150;
    QPrinter letter(QPrinter::HighResolution);  // the page's inches count from its margin
    letter.setPageSize(QPageSize(QPageSize::Letter));
    letter.setPageOrientation(QPageLayout::Landscape);
    const int left = (letter.pageLayout().paintRect(QPageLayout::Inch).left() + 8.65) * 150;
    int firstInk = -1;
    std::vector<std::pair<int, int>> swatches;  // top and bottom rows
    for (int y = 0; y < page.height(); ++y) {
        bool ink = false, swatch = false;
        for (int x = left; x < page.width(); ++x) {
            ink |= qGray(page.pixel(x, y)) < 160;
            swatch |= QColor(page.pixel(x, y)).hsvSaturation() > 120;
        }
        if (ink && firstInk < 0) firstInk = y;
        if (swatch && (swatches.empty() || swatches.back().second < y - 1))
            swatches.push_back({y, y});
        if (swatch) swatches.back().second = y;
    }
    ASSERT_EQ(swatches.size(), 6u);
    EXPECT_LT(firstInk, swatches[0].first - minimum / 2);
    for (const auto& [top, bottom] : swatches) EXPECT_GE(bottom - top + 1, minimum) << top;
    // The next print offers the paper chosen here.
    prompts.onExec = [](QDialog& d) {
        EXPECT_EQ(dynamic_cast<QPrintDialog&>(d).printer()->pageLayout().pageSize().id(),
                  QPageSize::Letter);
        return static_cast<int>(QDialog::Rejected);
    };
    OnPrintCommand(s.dialog);
    QSettings().remove("Print");
}

TEST(StatisticsWindow, OpensBesideTheResultWindowSizedToItsFigures) {
    // A narrow result window at the screen's left edge and at its right edge.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const bool atLeft : {true, false}) {
        Shown s(QRect(atLeft ? screen.left() : screen.right() - 249, screen.top(), 250, 300));
        QTest::mouseClick(s.dialog.StatisticsButton(), Qt::LeftButton);
        const QRect result = s.dialog.frameGeometry(),
                    stats = s.dialog.Statistics()->frameGeometry();
        EXPECT_EQ(atLeft ? stats.left() - result.right() : result.left() - stats.right(), 1);
        // Every figure's column without scrolling, and no wider than they need.
        QTableWidget* figures = s.dialog.Statistics()->Figures();
        EXPECT_EQ(figures->width(),
                  figures->horizontalHeader()->length() + 2 * figures->frameWidth());
        s.dialog.Statistics()->close();
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
