// The graph frame, the legend bar and the sizing bar, as a user meets them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <functional>

#include "graph/GraphNotification.h"
#include "graph/Prompts.h"
#include "graph/PropertyPages.h"
#include "graphui/GraphFrame.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/graph/ScriptedPrompts.h"

using kws::test::GraphFixture;
using kws::test::ScriptedPrompts;

namespace {

// A graph window of the layout `kind` with its frame, in a 900 x 600 host.
struct FrameFixture : GraphFixture {
    explicit FrameFixture(int kind = 1, int series = 3)
        : GraphFixture(ToInstall(series), QSize(900, 600), kind) {}
    static int ToInstall(int series) {
        InstallGraphFrame();
        return series;
    }
    CGraphFrame* Frame() const { return dynamic_cast<CGraphFrame*>(graph->Frame()); }
};

}  // namespace

TEST(GraphFrame, LegendListsTheSeriesInOrder) {
    FrameFixture f;
    CGraphFrame* frame = f.Frame();
    ASSERT_NE(frame, nullptr);
    CPointViewBar* legend = frame->LegendBar();
    EXPECT_FALSE(legend->isVisible());  // hidden until the curves exist
    f.AddThreeCurves(500, 1212480000);
    frame->DockLegend();
    frame->ShowLegendNow();
    QApplication::processEvents();
    ASSERT_TRUE(legend->isVisible());
    CGraphList* list = legend->SeriesList();
    ASSERT_EQ(list->count(), 3);
    for (int row = 0; row < 3; ++row) {
        COLORREF color = 0;
        QString name;
        ASSERT_TRUE(list->ItemLook(row, color, name));
        EXPECT_EQ(name, QString("Kurve %1").arg(row));
        EXPECT_EQ(color, f.graph->GetSeries(row)->GetColor());
    }
    EXPECT_EQ(list->sizeHintForRow(0), 20);
    // The first series is selected; its point list follows its 500 points, formatted on demand.
    EXPECT_EQ(legend->SelectedSeries(), 0);
    QApplication::processEvents();
    EXPECT_EQ(legend->PointModel()->rowCount(), 500);
    EXPECT_EQ(legend->PointModel()->index(1, 0).data().toString().size(),
              20);  // "dd.mm.yyyy, hh:mm:ss"
}

TEST(GraphFrame, LegendHeightsHideShowAndFreedSpace) {
    for (int kind : {1, 0}) {
        FrameFixture f(kind, kind ? 3 : 6);
        CGraphWnd* graph = f.graph;
        EXPECT_EQ(graph->Kind(), kind);
        CGraphFrame* frame = f.Frame();
        frame->DockLegend();
        frame->ShowLegendNow();
        QApplication::processEvents();
        EXPECT_EQ(frame->LegendBar()->height(), kind ? 80 : 140);
        const int withLegend = graph->Container()->height();
        // "Legende" in the third submenu, checked while the bar is visible.
        QMenu menu;
        graph->Panel()->BuildContextMenu(&menu);
        QAction* legendItem = menu.actions()[2]->menu()->actions().last();
        EXPECT_EQ(legendItem->text(), "Legende");
        EXPECT_TRUE(legendItem->isChecked());
        ForEachParticipant(graph->Panel(),
                           [](CGraphBaseClass& p) { return p.OnMenuCommand(4106); });
        QApplication::processEvents();
        EXPECT_FALSE(frame->LegendBar()->isVisible());
        EXPECT_EQ(graph->Container()->height(), frame->height());  // the container takes the space
        EXPECT_GT(graph->Container()->height(), withLegend);
        QMenu again;
        graph->Panel()->BuildContextMenu(&again);
        EXPECT_FALSE(again.actions()[2]->menu()->actions().last()->isChecked());
        frame->LegendCommand()->trigger();  // command 11003 shows it again
        QApplication::processEvents();
        EXPECT_TRUE(frame->LegendBar()->isVisible());
        EXPECT_EQ(graph->Container()->height(), withLegend);
    }
}

TEST(SizingBar, CloseButtonHidesAndTheMinimumHolds) {
    FrameFixture f;
    CGraphFrame* frame = f.Frame();
    frame->ShowLegendNow();
    QApplication::processEvents();
    CPointViewBar* bar = frame->LegendBar();
    // Dragging the edge (through the frame's layout) never goes below 33 x 32.
    frame->resizeDocks({bar}, {5}, Qt::Vertical);
    QApplication::processEvents();
    EXPECT_GE(bar->height(), 32);
    EXPECT_GE(bar->minimumHeight(), 32);
    EXPECT_GE(bar->minimumWidth(), 33);
    // The close button sits in the gripper strip on the left of a bar docked at the top.
    const QRect close = bar->CloseButtonRect();
    EXPECT_EQ(close.size(), QSize(11, 11));
    EXPECT_LT(close.left(), 20);
    QTest::mouseClick(bar->titleBarWidget(), Qt::LeftButton, Qt::NoModifier,
                      bar->titleBarWidget()->mapFrom(bar, close.center()));
    QApplication::processEvents();
    EXPECT_FALSE(bar->isVisible());
    ForEachParticipant(f.Panel(), [](CGraphBaseClass& p) { return p.OnMenuCommand(4106); });
    EXPECT_TRUE(bar->isVisible());
}

TEST(SizingBar, SizesSurviveInTheSettings) {
    QCoreApplication::setOrganizationName("kwsekunde-test");
    QCoreApplication::setApplicationName("sizing-bar");
    QSettings().clear();
    FrameFixture f;
    CPointViewBar* bar = f.Frame()->LegendBar();
    f.Frame()->ShowLegendNow();
    QApplication::processEvents();
    bar->SaveSizes("Graph");
    QSettings settings;
    EXPECT_EQ(settings.value("Graph-SCBar-11003/sizeHorzCY").toInt(),
              bar->HorizontalSize().height());
    settings.setValue("Graph-SCBar-11003/sizeFloatCX", 3);  // below the minimum
    bar->LoadSizes("Graph");
    EXPECT_EQ(bar->FloatingSize().width(), 33);
    settings.clear();
}

TEST(PointViewBar, MenuHoldsPropertiesAloneAndItsSheetHasNoViewPage) {
    FrameFixture f;
    f.AddThreeCurves(100, 1212480000);
    CPointViewBar* bar = f.Frame()->LegendBar();
    QMenu menu;
    bar->BuildContextMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "Eigenschaften");
    ScriptedPrompts prompts;
    QStringList tabs;
    prompts.onExec = [&](QDialog& sheet) {
        auto* tabWidget = sheet.findChild<QTabWidget*>();
        for (int i = 0; i < tabWidget->count(); ++i) tabs << tabWidget->tabText(i);
        return static_cast<int>(QDialog::Rejected);
    };
    bar->OnMenuCommand(4107);
    EXPECT_EQ(tabs, (QStringList{"Achsen", "Kurven"}));
}

TEST(PointViewBar, MillionsOfPointsCostNothingUntilShown) {
    FrameFixture f(1, 1);
    f.graph->AddSeries(RGB(1, 2, 3), "viele", 1, 1, 0);
    CPointViewBar* bar = f.Frame()->LegendBar();
    for (int i = 0; i < 2'000'000; ++i) f.graph->AddPoint(0, i, i % 100, 1, -1, 1212480000 + i);
    EXPECT_EQ(bar->PointModel()->rowCount(), 0);  // not one item made yet
    QApplication::processEvents();
    EXPECT_EQ(bar->PointModel()->rowCount(), 2'000'000);
    // Removing the last series empties legend and point list.
    f.graph->RemoveSeries(0, 1);
    EXPECT_EQ(bar->SeriesList()->count(), 0);
    EXPECT_EQ(bar->PointModel()->rowCount(), 0);
}
