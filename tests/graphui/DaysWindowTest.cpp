// The "Tage" window of the result dialog as a user meets it: in German with six curves and in
// English with three, a click on a day in the chart and in the table, and saving table and chart.
#include <gtest/gtest.h>

#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <tuple>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/DayChart.h"
#include "graphui/DaysWindow.h"
#include "graphui/ResultDialog.h"
#include "recording/Evaluation.h"
#include "recording/LineReader.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/RecordingLines.h"
#include "tests/recording/TestSupport.h"

namespace {

// Ten seconds before and ten after midnight of 02/06/2009, and ten at noon of 03/06/2009; every
// line draws 6 l/min, 0.1 l a second, and runs the pump. A line at 23:59:49 before them opens
// the recording (the evaluation reads its first line apart).
std::string ThreeDayLines(bool six) {
    std::string text = "Kopf\n";
    const std::vector<int> values =
        six ? kws::test::Six(550, 450, 400, 60, 350, 10) : kws::test::Three(450, 300, 60);
    // Date, first second of the day (23:59:49, 00:00:00, 12:00:00) and number of lines.
    for (const auto& [date, first, count] :
         {std::tuple{"02.06.09", 86389, 11}, std::tuple{"03.06.09", 0, 10},
          std::tuple{"03.06.09", 43200, 10}}) {
        for (int s = first; s < first + count; ++s) {
            char line[40];
            std::snprintf(line, sizeof line, "%s\t%02d:%02d:%02d", date, s / 3600, s / 60 % 60,
                          s % 60);
            text += line;
            for (int v : values) text += "\t" + std::to_string(v);
            text += "\n";
        }
    }
    return text;
}

}  // namespace

TEST(DaysWindow, DaysOfBothLayoutsInTwoLanguagesFollowClicks) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::test::ScriptedPrompts prompts;
    struct Case {
        int language, kind;
        const char *button, *date, *litres, *save;
    };
    // By hand: the first day has its ten seconds before midnight, 1.0 l; the second twenty
    // seconds with a gap of 11:59:51 between them, 2.0 l.
    for (const Case& c : {Case{kws::res::kGerman, 0, "Tage", "Datum", "1,0", "Speichern..."},
                          Case{kws::res::kEnglish, 1, "Days", "Date", "1.0", "Save..."}}) {
        ASSERT_EQ(kws::res::SelectLanguage(c.language), c.language);
        const int layout = c.kind != 0 ? kws::rec::kThreeCurveLayout : kws::rec::kSixCurveLayout;
        const std::string text = ThreeDayLines(c.kind == 0);  // the source reads it in place
        kws::rec::MemorySource source(text);
        auto samples = std::make_shared<kws::rec::SampleArray>();
        auto marks = std::make_shared<kws::rec::SampleMarks>();
        ASSERT_TRUE(kws::rec::Evaluate(source, 1, layout, kws::test::MkTime(2009, 6, 2, 23, 59, 50),
                                       kws::test::MkTime(2009, 6, 3, 12, 0, 9), *samples, *marks)
                        .ok);
        CNewGraph dialog(c.kind, nullptr);
        dialog.SetData(samples);
        dialog.SetMarks(marks);
        ASSERT_TRUE(dialog.Build());
        dialog.show();
        EXPECT_EQ(dialog.DaysButton()->text(), c.button);
        EXPECT_EQ(dialog.DaysButton()->y(), dialog.StatisticsButton()->y());
        EXPECT_GT(dialog.DaysButton()->x(), dialog.StatisticsButton()->geometry().right());

        dialog.DaysButton()->click();
        DaysWindow* days = dialog.Days();
        ASSERT_NE(days, nullptr);
        EXPECT_TRUE(days->isVisible());
        EXPECT_FALSE(days->isModal());
        const QAbstractItemModel* table = days->Table()->model();
        ASSERT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->headerData(0, Qt::Horizontal).toString(), c.date);
        EXPECT_EQ(table->index(0, 0).data().toString(), "02/06/2009");
        EXPECT_EQ(table->index(1, 0).data().toString(), "03/06/2009");
        EXPECT_EQ(table->index(0, 4).data().toString(), c.litres);
        EXPECT_EQ(table->index(1, 2).data().toString(), "1");  // gaps
        EXPECT_EQ(days->SaveButton()->text(), c.save);
        EXPECT_GE(days->SaveButton()->width(), days->SaveButton()->sizeHint().width());

        // A click on the second day's column of the chart, then on the first row of the table;
        // the arrow key down goes on to the next day. Each shows its day in the plot.
        DayChart* chart = days->Chart();
        QTableView* view = days->Table();
        for (int step = 0; step < 3; ++step) {
            if (step == 0)
                QTest::mouseClick(chart, Qt::LeftButton, {}, chart->DayColumn(1).center());
            if (step == 1) {
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(table->index(0, 3)).center());
            }
            if (step == 2) QTest::keyClick(view, Qt::Key_Down);
            const int day = step == 1 ? 0 : 1;
            EXPECT_EQ(chart->ChosenDay(), day) << step;
            double x0, x1, y0, y1;
            dialog.Graph()->Panel()->GetRanges(x0, x1, y0, y1);
            EXPECT_EQ(x0, static_cast<double>(days->Days()[day].begin)) << day;
            EXPECT_EQ(x1, static_cast<double>(days->Days()[day].end - 1)) << day;
        }

        // "Speichern...": the rows as --daily writes them, or the chart as a picture.
        QTemporaryDir folder;
        prompts.savePath = folder.filePath("tage.tsv");
        days->SaveButton()->click();
        QFile saved(prompts.savePath);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        const std::string tsv = saved.readAll().toStdString();
        EXPECT_EQ(tsv.substr(0, tsv.find('\t', 5)), "date\trecorded_seconds");
        EXPECT_NE(tsv.find("\n02/06/2009\t10\t0\t0\t1\t"), std::string::npos) << tsv;
        EXPECT_NE(tsv.find("\n03/06/2009\t20\t1\t43190\t2\t"), std::string::npos) << tsv;
        prompts.savePath = folder.filePath("tage.png");
        days->SaveButton()->click();
        const QImage picture(prompts.savePath);
        EXPECT_GE(picture.width(), 1280);
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
    }
    kws::res::SelectLanguage(kws::res::kGerman);
}
