// The "Tage" window of the result dialog as a user meets it: in German with six curves and in
// English with three, a click on a day in the chart and in the table, and saving table and chart.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <fstream>
#include <sstream>
#include <string>

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
    auto lines = [&](const char* date, int hour, int minute, int second, int count = 10) {
        for (int k = 0; k < count; ++k) {
            char line[40];
            std::snprintf(line, sizeof line, "%s\t%02d:%02d:%02d", date, hour, minute, second + k);
            text += line;
            for (int v : six ? kws::test::Six(550, 450, 400, 60, 350, 10)
                             : kws::test::Three(450, 300, 60)) {
                text += "\t" + std::to_string(v);
            }
            text += "\n";
        }
    };
    lines("02.06.09", 23, 59, 49, 11);
    lines("03.06.09", 0, 0, 0);
    lines("03.06.09", 12, 0, 0);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ExpectViewOfDay(CNewGraph& dialog, const kws::rec::DayStatistics& day) {
    double x0, x1, y0, y1;
    dialog.Graph()->Panel()->GetRanges(x0, x1, y0, y1);
    EXPECT_EQ(x0, static_cast<double>(day.begin));
    EXPECT_EQ(x1, static_cast<double>(day.end - 1));
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

        // A click on the second day's column of the chart, then on the first row of the table.
        DayChart* chart = days->Chart();
        QTest::mouseClick(chart, Qt::LeftButton, {}, chart->DayColumn(1).center());
        EXPECT_EQ(chart->ChosenDay(), 1);
        ExpectViewOfDay(dialog, days->Days()[1]);
        QTableView* view = days->Table();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(table->index(0, 3)).center());
        EXPECT_EQ(chart->ChosenDay(), 0);
        ExpectViewOfDay(dialog, days->Days()[0]);
        // The arrow key down goes on to the next day.
        QTest::keyClick(view, Qt::Key_Down);
        EXPECT_EQ(chart->ChosenDay(), 1);
        ExpectViewOfDay(dialog, days->Days()[1]);

        // "Speichern...": the rows as --daily writes them, or the chart as a picture.
        kws::test::TempFile folder("", "unused");
        prompts.savePath = QString::fromStdString(folder.Dir() + "/tage.tsv");
        days->SaveButton()->click();
        const std::string tsv = ReadFile(folder.Dir() + "/tage.tsv");
        EXPECT_EQ(tsv.substr(0, tsv.find('\t', 5)), "date\trecorded_seconds");
        EXPECT_NE(tsv.find("\n02/06/2009\t10\t0\t0\t1\t"), std::string::npos) << tsv;
        EXPECT_NE(tsv.find("\n03/06/2009\t20\t1\t43190\t2\t"), std::string::npos) << tsv;
        prompts.savePath = QString::fromStdString(folder.Dir() + "/tage.png");
        days->SaveButton()->click();
        const QImage picture(prompts.savePath);
        EXPECT_GE(picture.width(), 1280);
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
        std::remove((folder.Dir() + "/tage.tsv").c_str());
        std::remove((folder.Dir() + "/tage.png").c_str());
    }
    kws::res::SelectLanguage(kws::res::kGerman);
}
