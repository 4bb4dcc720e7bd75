#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <array>
#include <functional>
#include <vector>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/GraphFrame.h"
#include "graphui/ProgressWnd.h"
#include "graphui/ResultDialog.h"
#include "recording/HugePageAllocator.h"
#include "recording/SampleExport.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/TestSupport.h"

using kws::test::ScriptedPrompts;

namespace {

kws::rec::SampleArray Samples(int n, int64_t start, int kind) {
    kws::rec::SampleArray s;
    for (int i = 0; i < n; ++i) {
        kws::rec::SampleRecord r;
        for (int k = 0; k < 6; ++k) r.value[k] = 10.0 * k + i % 17;
        if (kind == 0) r.value[5] = 100.0 + (i / 50) % 2;
        r.time = start + i;
        s.push_back(r);
    }
    return s;
}

}  // namespace

TEST(ProgressWnd, PercentInTheCaption) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    CProgressWnd p(nullptr, "Bearbeitung", true);
    p.SetBarRange(0, 100, 1);
    p.SetBarPosition(49);
    EXPECT_EQ(p.windowTitle(), "Bearbeitung [49%]");
    p.SetBarPosition(50);
    EXPECT_EQ(p.windowTitle(), "Bearbeitung [50%]");
    p.SetBarRange(0, 3, 1);
    p.SetBarPosition(1);
    EXPECT_EQ(p.windowTitle(), "Bearbeitung [33%]");
    p.SetBarPosition(2);
    EXPECT_EQ(p.windowTitle(), "Bearbeitung [67%]");
    p.setWindowTitle("marker");
    p.SetBarPosition(2);  // same percentage: the caption is not rewritten
    EXPECT_EQ(p.windowTitle(), "marker");
    p.SetBarRange(5, 5, 1);
    p.SetBarPosition(9);
    EXPECT_EQ(p.Percent(), 0);
    std::string longText(700, 'x');
    p.SetMessageText("%s", longText.c_str());
    EXPECT_EQ(p.MessageText().size(), 511);
}

TEST(ProgressWnd, EscapeCancelsOnceAndThePositionIsKept) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    QSettings settings;
    settings.setValue("Settings/X", -50);  // off screen: centred instead
    settings.setValue("Settings/Y", 40);
    {
        CProgressWnd p(nullptr, "Bearbeitung", true);
        EXPECT_GE(p.x(), 0);
        QTimer::singleShot(5, [] {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                        : qApp->topLevelWidgets().first(),
                            Qt::Key_Escape);
        });
        QTest::qWait(40);
        p.PumpPendingMessages(true);
        QTest::keyClick(&p, Qt::Key_Escape);
        EXPECT_TRUE(p.Cancelled());
        EXPECT_FALSE(p.isVisible());
        p.PumpPendingMessages(true);  // returns at once
        p.move(120, 80);
        p.DestroyWindow();
    }
    EXPECT_EQ(settings.value("Settings/X").toInt(), 120);
    CProgressWnd again(nullptr, "x", false);
    EXPECT_EQ(again.pos(), QPoint(120, 80));
    settings.clear();
}

namespace {

// The series of each layout as a user sees them: name and colour (COLORREF, 0x00BBGGRR).
struct Look {
    const char* name;
    uint32_t color;
};
const Look kThreeCurveLooks[] = {{"Warmwasser Temp. (°C)", 0xFFBC00},
                                 {"Drehzahl (%)", 0x0000FF},
                                 {"Durchfluss (l / min)", 0x00FF00}};
const Look kSixCurveLooks[] = {
    {"Speicher Temp. (°C)", 0xFFBC00},   {"Zirkulation Temp. (°C)", 0x0000FF},
    {"Warmwasser Temp. (°C)", 0xFF0000}, {"Durchfluss (l / min)", 0x00FF00},
    {"Warmwasser Pumpe (%)", 0xFF00FF},  {"Zirkulation Pumpe (EIN / AUS)", 0x007FFF}};

}  // namespace

TEST(ResultDialog, BuildsTheCurvesOfBothLayoutsWithTitleAndLegend) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    ScriptedPrompts prompts;
    for (int kind : {1, 0}) {
        CNewGraph dialog(kind, nullptr);
        const int64_t start = kws::test::MkTime(2008, 6, 3, 10, 0, 0);
        kws::rec::SampleArray samples = Samples(9001, start, kind);
        // Exactly -250 and 250 are plotted as 0 in series 0 to 4; -249.9 stays. Series 5 (six
        // curves) takes its values as they are, but -25 adds no point.
        for (int k = 0; k < 5; ++k) {
            samples[5].value[k] = -250.0;
            samples[6].value[k] = 250.0;
            samples[7].value[k] = -249.9;
        }
        if (kind == 0) {
            samples[5].value[5] = -250.0;
            samples[6].value[5] = 250.0;
            samples[8].value[5] = -25.0;
        }
        dialog.SetData(samples);
        bool ran = false;
        prompts.onExec = [&](QDialog& d) {
            ran = true;
            EXPECT_EQ(&d, &dialog);
            CGraphWnd* g = dialog.Graph();
            const std::vector<Look> looks =
                kind ? std::vector<Look>(std::begin(kThreeCurveLooks), std::end(kThreeCurveLooks))
                     : std::vector<Look>(std::begin(kSixCurveLooks), std::end(kSixCurveLooks));
            EXPECT_EQ(g->GetSeriesCount(), static_cast<int>(looks.size()));
            if (g->GetSeriesCount() != static_cast<int>(looks.size())) return 0;
            for (size_t s = 0; s < looks.size(); ++s) {
                const CGraphProps* series = g->GetSeries(static_cast<int>(s));
                EXPECT_EQ(series->GetTitle(), QString::fromUtf8(looks[s].name)) << s;
                EXPECT_EQ(series->GetColor(), looks[s].color) << looks[s].name;
            }
            const int replaced = kind ? 3 : 5;  // series with the -250 / 250 rule
            for (int s = 0; s < replaced; ++s) {
                const CGraphProps* series = g->GetSeries(s);
                EXPECT_EQ(series->GetPoint(5).y, 0.0) << s;
                EXPECT_EQ(series->GetPoint(6).y, 0.0) << s;
                EXPECT_EQ(series->GetPoint(7).y, -249.9) << s;
                EXPECT_EQ(series->GetPoint(7).x, 7.0) << s;
                EXPECT_EQ(series->GetCount(), 9001) << s;
            }
            if (kind == 0) {
                const CGraphProps* pump = g->GetSeries(5);
                EXPECT_EQ(pump->GetCount(), 9000);  // -25 adds no point
                EXPECT_EQ(pump->GetPoint(5).y, -250.0);
                EXPECT_EQ(pump->GetPoint(6).y, 250.0);
                EXPECT_EQ(pump->GetPoint(8).x, 9.0);  // x stays the sample's index
            }
            EXPECT_EQ(g->GetSeries(0)->GetPoint(100).x, 100.0);
            EXPECT_EQ(g->GetSeries(0)->GetPoint(100).time, start + 100);
            EXPECT_EQ(dialog.windowTitle(),
                      "Auswertung des Tages 03/06/2008 von 10:00h bis 12:30h Uhr");
            EXPECT_TRUE(dialog.Frame()->LegendBar()->isVisibleTo(&dialog));
            EXPECT_EQ(g->GetModeFlags(), 13);
            return 0;
        };
        EXPECT_EQ(dialog.DoModal(), 0);
        EXPECT_TRUE(ran);
    }
    // Across midnight the title names both days.
    CNewGraph dialog(1, nullptr);
    dialog.SetData(Samples(7201, kws::test::MkTime(2008, 6, 3, 23, 0, 0), 1));
    prompts.onExec = [](QDialog&) { return 0; };
    dialog.DoModal();
    EXPECT_EQ(dialog.Title(), "Auswertung von 03/06/2008 (um 23:00h) bis 04/06/2008 (um 01:00h)");
    // Out of order: the title ends at the latest time, not the last sample's, and starts at the
    // first sample's time even when a later one is earlier.
    kws::rec::SampleArray unordered = Samples(3, kws::test::MkTime(2008, 6, 3, 10, 0, 0), 1);
    unordered[1].time = kws::test::MkTime(2008, 6, 3, 14, 45, 0);
    unordered[2].time = kws::test::MkTime(2008, 6, 3, 9, 15, 0);
    CNewGraph shuffled(1, nullptr);
    shuffled.SetData(unordered);
    shuffled.DoModal();
    EXPECT_EQ(shuffled.Title(), "Auswertung des Tages 03/06/2008 von 10:00h bis 14:45h Uhr");
}

namespace {

// The curves as the result dialog builds them point by point: series 0 over all samples, then
// the others sample by sample; -250 and 250 plotted as 0 except in the circulation pump series
// of the six-curve layout, which takes no point where its value is -25.
void AddPointByPoint(CGraphWnd& g, int kind, const kws::rec::SampleArray& samples) {
    auto plotted = [](double v) { return v == 250.0 || v == -250.0 ? 0.0 : v; };
    const int n = static_cast<int>(samples.size());
    for (int i = 0; i < n; ++i)
        g.AddPoint(0, i, plotted(samples[i].value[0]), 1, -1, samples[i].time);
    for (int i = 0; i < n; ++i) {
        const kws::rec::SampleRecord& r = samples[i];
        for (int s = 1; s < (kind ? 3 : 5); ++s)
            g.AddPoint(s, i, plotted(r.value[s]), 1, -1, r.time);
        if (kind == 0 && r.value[5] != -25.0) g.AddPoint(5, i, r.value[5], 1, -1, r.time);
    }
}

}  // namespace

TEST(ResultDialog, TheCurvesAreThoseOfThePointByPointBuild) {
    ScriptedPrompts prompts;
    for (int kind : {1, 0}) {
        kws::rec::SampleArray samples = Samples(20011, 1212480000, kind);
        // Sensor codes in every value, the circulation pump's -25 in runs and alone, a series
        // that starts with a skipped sample, values beyond the others in both directions.
        for (int i : {0, 3, 64, 65, 127, 5000, 20010}) {
            for (int k = 0; k < 6; ++k) samples[i].value[k] = (i + k) % 2 ? 250.0 : -250.0;
        }
        for (int i = 0; i < 20011; i += 997) samples[i].value[5] = -25.0;
        for (int i = 7000; i < 7300; ++i) samples[i].value[5] = -25.0;
        samples[8].value[2] = -25.0;  // only the pump series leaves it out
        samples[9].value[1] = -249.9;
        samples[12000].value[0] = 900.0;
        samples[12001].value[3] = -400.0;
        CNewGraph dialog(kind, nullptr);
        dialog.SetData(samples);
        auto compare = [&](QDialog& d) {
            d.show();
            QApplication::processEvents();
            CGraphWnd* g = dialog.Graph();
            CGraphPanel* panel = g->Panel();
            const int series = kind ? 3 : 6;
            // What the dialog built, kept aside.
            std::vector<std::vector<GraphPoint>> points(series);
            std::vector<std::array<double, 4>> bounds(series);
            for (int s = 0; s < series; ++s) {
                const CGraphProps* p = g->GetSeries(s);
                for (int i = 0; i < p->GetCount(); ++i) points[s].push_back(p->GetPoint(i));
                bounds[s] = {p->MinX(), p->MaxX(), p->MinY(), p->MaxY()};
            }
            double built[4], rebuilt[4];
            g->GetRanges(built[0], built[1], built[2], built[3]);
            panel->Render();
            const QImage pixels = panel->BackBuffer().copy();
            // The same graph window built again point by point, fitted as the dialog fits.
            for (int s = 0; s < series; ++s) g->RemoveAllPoints(s, 1);
            AddPointByPoint(*g, kind, samples);
            panel->FitToData(4105);
            g->GetRanges(rebuilt[0], rebuilt[1], rebuilt[2], rebuilt[3]);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(built[k], rebuilt[k]) << kind << " range " << k;
            for (int s = 0; s < series; ++s) {
                const CGraphProps* p = g->GetSeries(s);
                ASSERT_EQ(p->GetCount(), static_cast<int>(points[s].size())) << kind << " " << s;
                for (int i = 0; i < p->GetCount(); ++i) {
                    const GraphPoint q = p->GetPoint(i);
                    ASSERT_TRUE(q.x == points[s][i].x && q.y == points[s][i].y &&
                                q.time == points[s][i].time)
                        << "layout " << kind << ", series " << s << ", point " << i;
                }
                EXPECT_EQ(bounds[s],
                          (std::array<double, 4>{p->MinX(), p->MaxX(), p->MinY(), p->MaxY()}));
            }
            panel->Render();
            EXPECT_EQ(panel->BackBuffer(), pixels) << "layout " << kind;
        };
        prompts.onExec = [&](QDialog& d) {
            compare(d);
            return 0;
        };
        EXPECT_EQ(dialog.DoModal(), 0);
    }
}

TEST(ResultDialog, CancellingTheBuildClosesItWithAMessage) {
    ScriptedPrompts prompts;
    CNewGraph dialog(0, nullptr);
    dialog.SetData(Samples(400000, 1212480000, 0));
    bool shown = false;
    prompts.onExec = [&](QDialog&) {
        shown = true;
        return 0;
    };
    // Press the progress window's cancel button once it is up.
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = dynamic_cast<CProgressWnd*>(w); p && p->isVisible())
                QTest::mouseClick(p->CancelButton(), Qt::LeftButton);
        }
    });
    timer.start(0);  // fires at the build's first pump
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_FALSE(shown);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], "Grafik Berechnung abgebrochen");
}

TEST(ResultDialog, EmptySamplesStillOpenTheDialog) {
    ScriptedPrompts prompts;
    CNewGraph dialog(1, nullptr);
    bool shown = false;
    prompts.onExec = [&](QDialog&) {
        shown = true;
        return 0;
    };
    dialog.DoModal();
    EXPECT_TRUE(shown);
    EXPECT_EQ(dialog.Graph()->GetSeries(0)->GetCount(), 0);
    EXPECT_TRUE(dialog.Title().startsWith("Auswertung des Tages 01/01/1970"));
}

TEST(ResultDialog, LayoutKeepsItsMarginsOnResize) {
    ScriptedPrompts prompts;
    CNewGraph dialog(1, nullptr);
    dialog.SetData(Samples(100, 1212480000, 1));
    prompts.onExec = [&](QDialog& d) {
        d.show();
        d.resize(900, 640);
        QApplication::processEvents();
        EXPECT_EQ(dialog.Graph()->geometry(), QRect(10, 10, 880, 587));
        EXPECT_EQ(dialog.SaveButton()->geometry(), QRect(10, 604, 80, 33));
        EXPECT_EQ(dialog.PrintButton()->geometry(), QRect(145, 604, 80, 33));
        return 0;
    };
    dialog.DoModal();
}

TEST(ProgressWnd, EscapeIsTakenOnlyFromTheWindowsOfTheWork) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    QDialog work, other;
    auto* workField = new QLineEdit(&work);
    auto* otherField = new QLineEdit(&other);
    work.show();
    other.show();
    CProgressWnd p(&work, "Bearbeitung", true);
    QTest::qWait(CProgressWnd::kPumpIntervalMs + 10);
    p.PumpPendingMessages(true);
    // Escape in another window (a message box, the main dialog) is that window's.
    QTest::keyClick(otherField, Qt::Key_Escape);
    EXPECT_FALSE(p.Cancelled());
    EXPECT_FALSE(other.isVisible()) << "the other window did not get its Escape";
    // Escape in the window the work is for cancels.
    QTest::keyClick(workField, Qt::Key_Escape);
    EXPECT_TRUE(p.Cancelled());
    QSettings().clear();
}

TEST(ProgressWnd, CancelAndEscapeAnswerWhileAnotherWindowRunsModally) {
    // The main dialog runs modally and the result dialog, outside it, does its work under the
    // progress window: a click on Cancel and Escape, delivered as the window system delivers
    // them, still reach the progress window.
    QCoreApplication::setOrganizationName("kwsekunde-test");
    QDialog main;
    QWidget work;
    bool clickCancelled = false, escapeCancelled = false;
    QTimer::singleShot(0, &main, [&] {
        {
            CProgressWnd p(&work, "Bearbeitung", true);
            p.PumpPendingMessages(true);
            ASSERT_NE(p.windowHandle(), nullptr);
            QTest::mouseClick(p.windowHandle(), Qt::LeftButton, {},
                              p.CancelButton()->geometry().center());
            clickCancelled = p.Cancelled();
        }
        {
            CProgressWnd p(&work, "Bearbeitung", true);
            p.PumpPendingMessages(true);
            QTest::keyClick(p.windowHandle(), Qt::Key_Escape);
            escapeCancelled = p.Cancelled();
        }
        main.done(0);
    });
    main.exec();
    EXPECT_TRUE(clickCancelled);
    EXPECT_TRUE(escapeCancelled);
    QSettings().clear();
}

namespace {

// Whether a label shows its whole text, by the label's own measure.
bool ShowsAllItsText(const QLabel* label) {
    if (label->wordWrap()) return label->heightForWidth(label->width()) <= label->height();
    return label->sizeHint().width() <= label->width() &&
           label->sizeHint().height() <= label->height();
}

}  // namespace

TEST(ProgressWnd, TheBuildMessageShowsWholeInEveryLanguage) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    for (int code : {2, 0, 1, 3, 4, 5}) {
        ASSERT_EQ(kws::res::SelectLanguage(code), code) << kws::res::ModuleName(code);
        CProgressWnd p(nullptr, "Bearbeitung", true);
        p.SetMessageText("%s", kws::res::Format(124).c_str());
        const auto* text = p.findChild<QLabel*>("11");
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(ShowsAllItsText(text)) << "language " << code;
        // Text, bar and button inside the window, the button below the text.
        EXPECT_TRUE(p.rect().contains(text->geometry())) << code;
        EXPECT_TRUE(p.rect().contains(p.CancelButton()->geometry())) << code;
        EXPECT_GT(p.CancelButton()->geometry().top(), text->geometry().bottom()) << code;
    }
    kws::res::SelectLanguage(kws::res::kGerman);
    QSettings().clear();
}

namespace {
bool FailLargeBlocks(size_t bytes) { return bytes >= 4096; }
}  // namespace

TEST(ResultDialog, ABuildThatRunsOutOfMemoryReleasesTheGraph) {
    ScriptedPrompts prompts;
    CNewGraph dialog(0, nullptr);
    dialog.SetData(Samples(20000, 1212480000, 0));
    bool shown = false;
    prompts.onExec = [&](QDialog&) {
        shown = true;
        return 0;
    };
    // Room for the summaries the curves are drawn from cannot be had.
    kws::rec::SetAllocationFailureHook(&FailLargeBlocks);
    EXPECT_EQ(dialog.DoModal(), 0);
    kws::rec::SetAllocationFailureHook(nullptr);
    EXPECT_FALSE(shown);
    EXPECT_TRUE(dialog.OutOfMemory());
    EXPECT_EQ(dialog.Graph(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(dynamic_cast<CProgressWnd*>(w) != nullptr && w->isVisible());
}
