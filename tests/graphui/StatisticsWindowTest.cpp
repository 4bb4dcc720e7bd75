// The statistics window of the result dialog: the figures of the window and of the visible range
// as a user reads them, in German and in English, and saving the draw list.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
#include "recording/Evaluation.h"
#include "recording/LineReader.h"
#include "recording/WindowStatistics.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/RecordingLines.h"
#include "tests/recording/TestSupport.h"

using kws::test::Line;
using kws::test::ScriptedPrompts;
using kws::test::Six;
using kws::test::Three;

namespace {

// The hand-made six-curve window of the command-line test: 10 data seconds, one filler.
const std::string kSixLines = "Kopf\n" + kws::test::HandMadeSixCurveWindow();

struct Window {
    std::shared_ptr<kws::rec::SampleArray> samples = std::make_shared<kws::rec::SampleArray>();
    std::shared_ptr<kws::rec::SampleMarks> marks = std::make_shared<kws::rec::SampleMarks>();
};

Window Evaluate(const std::string& text, int layout, int64_t start, int64_t end) {
    kws::rec::MemorySource source(text);
    Window w;
    EXPECT_TRUE(kws::rec::Evaluate(source, 1, layout, start, end, *w.samples, *w.marks).ok);
    return w;
}

QString Cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item != nullptr ? item->text() : QStringLiteral("<none>");
}

QString DrawCell(const QTableView* v, int row, int column) {
    return v->model()->data(v->model()->index(row, column)).toString();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(StatisticsWindow, GermanFiguresOfTheWindowAndOfTheZoomedView) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    ASSERT_EQ(kws::res::SelectLanguage(kws::res::kGerman), kws::res::kGerman);
    ScriptedPrompts prompts;
    const int64_t t0 = kws::test::MkTime(2009, 6, 3, 10, 0, 0);
    const Window w = Evaluate(kSixLines, kws::rec::kSixCurveLayout, t0, t0 + 21);
    ASSERT_EQ(w.samples->size(), 11u);
    CNewGraph dialog(0, nullptr);
    dialog.SetData(w.samples);
    dialog.SetMarks(w.marks);
    ASSERT_TRUE(dialog.Build());
    dialog.show();
    EXPECT_EQ(dialog.StatisticsButton()->text(), "Statistik");
    // Beside "Speichern" and "Ausdrucken", on their row.
    EXPECT_EQ(dialog.StatisticsButton()->y(), dialog.PrintButton()->y());
    EXPECT_GT(dialog.StatisticsButton()->x(), dialog.PrintButton()->geometry().right());

    dialog.StatisticsButton()->click();
    StatisticsWindow* stats = dialog.Statistics();
    ASSERT_NE(stats, nullptr);
    EXPECT_TRUE(stats->isVisible());
    EXPECT_FALSE(stats->isModal());
    const QTableWidget* f = stats->Figures();
    EXPECT_EQ(f->horizontalHeaderItem(0)->text(), "Kennzahl");
    EXPECT_TRUE(f->horizontalHeaderItem(1)->text().startsWith(
        "Auswertungszeitraum\n03/06/2009 10:00:00 -\n03/06/2009 10:00:21"));
    // Worked out by hand (see the command-line test); numbers with a decimal comma.
    const QStringList labels = {"Aufgezeichnete Zeit",
                                "Lücken",
                                "Fehlende Zeit",
                                "Warmwasser gezapft (l)",
                                "Anzahl Zapfungen",
                                "Längste Zapfung",
                                "Warmwasserpumpe: Laufzeit",
                                "Warmwasserpumpe: Starts",
                                "Zirkulationspumpe: Laufzeit",
                                "Zirkulationspumpe: Starts"};
    const QStringList values = {"0:00:10", "1",       "0:00:12", "0,7",     "4",
                                "0:00:02", "0:00:05", "4",       "0:00:05", "4"};
    for (int r = 0; r < labels.size(); ++r) {
        EXPECT_EQ(Cell(f, r, 0), labels[r]);
        EXPECT_EQ(Cell(f, r, 1), values[r]) << labels[r].toStdString();
    }
    EXPECT_EQ(Cell(f, 10, 0), "Speicher Temp. (°C)");
    EXPECT_EQ(Cell(f, 11, 0), "Minimum");
    EXPECT_EQ(Cell(f, 11, 1), "51,0 am 03/06/2009 10:00:21");
    EXPECT_EQ(Cell(f, 12, 1), "60,0 am 03/06/2009 10:00:00");
    EXPECT_EQ(Cell(f, 13, 0), "Mittelwert");
    EXPECT_EQ(Cell(f, 13, 1), "55,50");
    EXPECT_EQ(Cell(f, 18, 0), "Warmwasser Temp. (°C)");
    EXPECT_EQ(Cell(f, 19, 1), "0,0 am 03/06/2009 10:00:03");  // 250.0 is drawn as 0
    EXPECT_EQ(Cell(f, 30, 0), "Zirkulation Pumpe (EIN / AUS)");
    EXPECT_EQ(Cell(f, 33, 1), "100,56");  // 905 / 9: the -25 is no point
    EXPECT_EQ(f->rowCount(), 34);
    // Before any zoom there is no second column.
    EXPECT_FALSE(stats->VisibleRangeShown());
    EXPECT_TRUE(f->isColumnHidden(2));

    // Zooming to x 1 to 3 (10:00:01 to 10:00:03) brings the visible range, once the view has
    // settled.
    CGraphPanel* panel = dialog.Graph()->Panel();
    double x0, x1, y0, y1;
    panel->GetRanges(x0, x1, y0, y1);
    panel->SetRanges(0.5, 3.2, y0, y1, true);
    EXPECT_FALSE(stats->VisibleRangeShown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return stats->VisibleRangeShown(); }, 3000));
    EXPECT_FALSE(f->isColumnHidden(2));
    EXPECT_TRUE(f->horizontalHeaderItem(2)->text().startsWith(
        "Sichtbarer Bereich\n03/06/2009 10:00:01 -\n03/06/2009 10:00:03"));
    // :01 to :03: 3 s, no gap, flow 6 + 12 = 0.3 l in one draw of 2 s, the pumps on for 2 s.
    const QStringList visible = {"0:00:03", "0",       "0:00:00", "0,3",     "1",
                                 "0:00:02", "0:00:02", "1",       "0:00:02", "1"};
    for (int r = 0; r < visible.size(); ++r)
        EXPECT_EQ(Cell(f, r, 2), visible[r]) << labels[r].toStdString();
    EXPECT_EQ(Cell(f, 11, 2), "57,0 am 03/06/2009 10:00:03");
    // The window's column stays as it was.
    EXPECT_EQ(Cell(f, 0, 1), "0:00:10");
    // The window has grown to show all three columns.
    auto columnsFit = [&] {
        int columns = 0;
        for (int c = 0; c < 3; ++c) columns += f->horizontalHeader()->sectionSize(c);
        return columns <= f->viewport()->width();
    };
    EXPECT_TRUE(QTest::qWaitFor(columnsFit, 3000)) << stats->width();

    // Panning on: the figures follow.
    panel->SetRanges(6.8, 10.5, y0, y1, true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Cell(f, 0, 2) == "0:00:03"; }, 3000) &&
                QTest::qWaitFor([&] { return Cell(f, 1, 2) == "1"; }, 3000))
        << Cell(f, 0, 2).toStdString();
    // x 7 to 10: :07, the filler, :20 and :21; the gap lies inside.
    EXPECT_EQ(Cell(f, 2, 2), "0:00:12");
    // Back to the fitted view: only the window's figures again.
    panel->FitToData(4105);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stats->VisibleRangeShown(); }, 3000));
    EXPECT_TRUE(f->isColumnHidden(2));

    // The draw list.
    const QTableView* list = stats->DrawList();
    ASSERT_EQ(list->model()->rowCount(), 4);
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(), "Liter");
    EXPECT_EQ(DrawCell(list, 0, 0), "03/06/2009 10:00:01");
    EXPECT_EQ(DrawCell(list, 0, 1), "2");
    EXPECT_EQ(DrawCell(list, 0, 2), "0,30");
    EXPECT_EQ(DrawCell(list, 0, 3), "46,0");
    EXPECT_EQ(DrawCell(list, 1, 4), "47,5");
    EXPECT_EQ(DrawCell(list, 3, 0), "03/06/2009 10:00:20");

    // Saving it: the same tab-separated text as --draws.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kws_stats_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    prompts.savePath = QString::fromStdString((dir / "z.tsv").string());
    stats->SaveDrawsButton()->click();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    const std::string saved = ReadFile((dir / "z.tsv").string());
    EXPECT_EQ(saved.rfind("start\tseconds\tlitres\tmin_hot_water_temp\tmean_hot_water_temp\n"
                          "03/06/2009 10:00:01\t2\t",
                          0),
              0u)
        << saved;
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 5);
    // A missing folder is reported like a failed picture, with its reason.
    prompts.savePath = QString::fromStdString((dir / "nowhere" / "z.tsv").string());
    stats->SaveDrawsButton()->click();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Die Datei " + prompts.savePath +
                                               " wurde nicht gespeichert."))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(prompts.messages[0].contains("existiert nicht"))
        << prompts.messages[0].toStdString();
    EXPECT_EQ(prompts.captions[0], "Calora Control Auswerter");
    std::filesystem::remove_all(dir);

    // Pressing the button again shows the same window.
    stats->hide();
    dialog.StatisticsButton()->click();
    EXPECT_EQ(dialog.Statistics(), stats);
    EXPECT_TRUE(stats->isVisible());
}

TEST(StatisticsWindow, EnglishThreeCurveFiguresWithDecimalPoints) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    ASSERT_EQ(kws::res::SelectLanguage(kws::res::kEnglish), kws::res::kEnglish);
    ScriptedPrompts prompts;
    const std::string text =
        "Kopf\n" + Line("10:00:00", Three(450, 0, 0)) + Line("10:00:01", Three(460, 400, 50)) +
        Line("10:00:02", Three(470, 400, 70)) + Line("10:00:03", Three(440, 0, 0)) +
        Line("10:00:08", Three(430, 800, 60)) + Line("10:00:09", Three(420, 0, 0));
    const int64_t t0 = kws::test::MkTime(2009, 6, 3, 10, 0, 0);
    const Window w = Evaluate(text, kws::rec::kThreeCurveLayout, t0, t0 + 9);
    ASSERT_EQ(w.samples->size(), 9u);  // three fillers
    CNewGraph dialog(1, nullptr);
    dialog.SetData(w.samples);
    dialog.SetMarks(w.marks);
    ASSERT_TRUE(dialog.Build());
    dialog.show();
    EXPECT_EQ(dialog.StatisticsButton()->text(), "Statistics");
    dialog.StatisticsButton()->click();
    StatisticsWindow* stats = dialog.Statistics();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->Tabs()->tabText(0), "Figures");
    EXPECT_EQ(stats->Tabs()->tabText(1), "Draws");
    const QTableWidget* f = stats->Figures();
    EXPECT_EQ(f->horizontalHeaderItem(0)->text(), "Figure");
    // 6 s, one gap missing 4 s, 0.3 l in 2 draws, the pump 3 s in 2 starts; no circulation.
    const QStringList values = {"0:00:06", "1", "0:00:04", "0.3", "2", "0:00:02", "0:00:03", "2"};
    for (int r = 0; r < values.size(); ++r) EXPECT_EQ(Cell(f, r, 1), values[r]) << r;
    EXPECT_EQ(Cell(f, 0, 0), "Recorded time");
    EXPECT_EQ(Cell(f, 8, 0), "Hot water temp. (°C)");
    EXPECT_EQ(Cell(f, 9, 1), "42.0 on 03/06/2009 10:00:09");
    EXPECT_EQ(Cell(f, 11, 1), "44.50");
    EXPECT_EQ(Cell(f, 12, 0), "Speed (%)");
    EXPECT_EQ(f->rowCount(), 8 + 3 * 4);
    EXPECT_EQ(DrawCell(stats->DrawList(), 0, 2), "0.20");
    kws::res::SelectLanguage(kws::res::kGerman);
}

TEST(StatisticsWindow, TheCommandLineNamesTheCurvesAsTheGraphDoes) {
    for (int kind : {0, 1}) {
        std::vector<int> graphIds;
        for (const CNewGraph::SeriesLook& look : CNewGraph::SeriesOf(kind))
            graphIds.push_back(look.stringId);
        EXPECT_EQ(kws::rec::CurveNameIds(kind), graphIds) << kind;
    }
}

TEST(StatisticsWindow, SampleIndicesOfAViewRange) {
    size_t b, e;
    SampleIndexRange(0.5, 3.2, 10, b, e);
    EXPECT_EQ(b, 1u);
    EXPECT_EQ(e, 4u);
    SampleIndexRange(3.2, 0.5, 10, b, e);  // either order
    EXPECT_EQ(b, 1u);
    EXPECT_EQ(e, 4u);
    SampleIndexRange(-4, 13, 10, b, e);  // wider than the samples
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(e, 10u);
    SampleIndexRange(2.0, 2.0, 10, b, e);
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(e, 3u);
    SampleIndexRange(2.2, 2.8, 10, b, e);  // between two samples: none
    EXPECT_EQ(b, e);
    SampleIndexRange(11, 20, 10, b, e);
    EXPECT_EQ(b, e);
    SampleIndexRange(-9, -1, 10, b, e);
    EXPECT_EQ(b, e);
    SampleIndexRange(0, 5, 0, b, e);
    EXPECT_EQ(b, e);
}
