// The panel driven with simulated mouse and keys.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <functional>

#include "graph/Prompts.h"
#include "graph/PropertyPages.h"
#include "tests/graph/GraphTestSupport.h"
#include "tests/graph/ScriptedPrompts.h"

using kws::test::GraphFixture;
using kws::test::ScriptedPrompts;

namespace {

// Prompts answered by the test: each Exec runs a script on the dialog instead of a person.

void Ranges(CGraphPanel* p, double& x0, double& x1, double& y0, double& y1) {
    p->GetRanges(x0, x1, y0, y1);
}

}  // namespace

TEST(PanelInteraction, RubberBandZoomsToTheDraggedCornersWhicheverWayItRuns) {
    // A view of 0 .. 1000 by 0 .. 100: the world under widget pixel (px, py) is
    // (1000 px / width, 100 (height - py) / height).
    const QPoint corners[4][2] = {{{100, 50}, {300, 200}},
                                  {{300, 200}, {100, 50}},
                                  {{300, 50}, {100, 200}},
                                  {{100, 200}, {300, 50}}};
    for (const auto& drag : corners) {
        GraphFixture f;
        CGraphPanel* p = f.Panel();
        p->SetRanges(0, 1000, 0, 100, true);
        const double w = p->width(), h = p->height();
        QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, drag[0]);
        QTest::mouseMove(p, QPoint(200, 120));
        QTest::mouseMove(p, drag[1]);
        QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, drag[1]);
        ASSERT_TRUE(p->ZoomRectShown());
        QTest::mouseDClick(p, Qt::LeftButton, Qt::NoModifier, QPoint(200, 120));
        EXPECT_FALSE(p->ZoomRectShown());
        double x0, x1, y0, y1;
        Ranges(p, x0, x1, y0, y1);
        const std::string from = std::to_string(drag[0].x()) + "," + std::to_string(drag[0].y());
        EXPECT_DOUBLE_EQ(x0, 1000 * 100 / w) << from;
        EXPECT_DOUBLE_EQ(x1, 1000 * 300 / w) << from;
        EXPECT_DOUBLE_EQ(y0, 100 * (h - 200) / h) << from;
        EXPECT_DOUBLE_EQ(y1, 100 * (h - 50) / h) << from;
    }
}

TEST(PanelInteraction, ClickWithoutDragShowsNoZoomRectangleAndApplyClips) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 1000, 0, 100, true);
    QTest::mouseClick(p, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    EXPECT_FALSE(p->ZoomRectShown());
    // A rectangle reaching beyond the panel is clipped to it when applied.
    p->ShowZoomRect(QRect(QPoint(-50, -50), QPoint(p->width() + 80, 100)));
    p->OnMenuCommand(4102);
    double x0, x1, y0, y1;
    Ranges(p, x0, x1, y0, y1);
    EXPECT_DOUBLE_EQ(x0, 0);
    EXPECT_DOUBLE_EQ(x1, 1000);
    EXPECT_DOUBLE_EQ(y1, 100);
}

TEST(PanelInteraction, ShiftDragPansByTheDraggedDistance) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 1000, 0, 100, true);
    const LinearMap x = p->XMap(), y = p->YMap();
    QTest::mousePress(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 100));
    QTest::mouseMove(p, QPoint(250, 140));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
    double x0, x1, y0, y1;
    Ranges(p, x0, x1, y0, y1);
    const double dx = x.PixelToWorld(300) - x.PixelToWorld(200);
    const double dy = y.PixelToWorld(100) - y.PixelToWorld(150);
    EXPECT_NEAR(x0, dx, 1e-9);
    EXPECT_NEAR(x1, 1000 + dx, 1e-9);
    EXPECT_NEAR(y0, dy, 1e-9);
    EXPECT_FALSE(p->ZoomRectShown());
    // Shift pressed only after the button went down: a rubber band, no panning.
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(p, QPoint(150, 150));
    QTest::mouseRelease(p, Qt::LeftButton, Qt::ShiftModifier, QPoint(160, 160));
    double a, b, c, d;
    Ranges(p, a, b, c, d);
    EXPECT_EQ(a, x0);
    EXPECT_TRUE(p->ZoomRectShown());
}

TEST(PanelInteraction, ContextMenuHoldsTheItemsWithChecksAndGreying) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    p->SetModeFlags(Grid | MarkPoints, false);
    QMenu menu;
    p->BuildContextMenu(&menu);
    const auto top = menu.actions();
    ASSERT_EQ(top.size(), 3);
    EXPECT_EQ(top[0]->text(), "Zoom...  ");
    EXPECT_EQ(top[1]->text(), "Anpassen...");
    EXPECT_EQ(top[2]->text(), "Anzeigen");
    const auto zoom = top[0]->menu()->actions();
    ASSERT_EQ(zoom.size(), 5);
    EXPECT_EQ(zoom[0]->text(), "Zoom-Werkzeug");
    EXPECT_FALSE(zoom[0]->isChecked());
    EXPECT_EQ(zoom[1]->text(), "Anwenden");
    EXPECT_FALSE(zoom[1]->isEnabled());
    // Back and forth through the views: greyed while there is nowhere to go.
    EXPECT_EQ(zoom[3]->text(), "Zurück");
    EXPECT_FALSE(zoom[3]->isEnabled());
    EXPECT_EQ(zoom[4]->text(), "Vor");
    EXPECT_FALSE(zoom[4]->isEnabled());
    const auto fit = top[1]->menu()->actions();
    ASSERT_EQ(fit.size(), 3);
    EXPECT_EQ(fit[1]->text(), "Höhe");
    const auto show = top[2]->menu()->actions();
    ASSERT_EQ(show.size(), 4);  // no frame here, so no "Legende"
    EXPECT_EQ(show[0]->text(), "Achse");
    EXPECT_TRUE(show[0]->isChecked());
    EXPECT_EQ(show[1]->text(), "Mauskoordinaten verfolgen");
    EXPECT_FALSE(show[1]->isChecked());
    EXPECT_EQ(show[2]->text(), "Werte aller Kurven anzeigen");
    EXPECT_FALSE(show[2]->isChecked());
    EXPECT_TRUE(show[3]->isChecked());
    // With the zoom tool on, the tool is checked and "Anwenden" enabled.
    p->OnMenuCommand(4101);
    QMenu again;
    p->BuildContextMenu(&again);
    EXPECT_TRUE(again.actions()[0]->menu()->actions()[0]->isChecked());
    EXPECT_TRUE(again.actions()[0]->menu()->actions()[1]->isEnabled());
    EXPECT_EQ(p->ZoomRect(), QRect(QPoint(5, 5), QPoint(49, 49)));
}

TEST(PanelInteraction, FitToDataArithmetic) {
    GraphFixture f;
    f.graph->AddSeries(RGB(0, 0, 0), "s", 1, 1, 0);
    f.graph->AddSeries(RGB(0, 0, 9), "hidden", 1, 1, 0);
    f.graph->SetModeFlags(0, 1);
    for (int i = 0; i < 3600; ++i) {
        f.graph->AddPoint(0, i, i == 7 ? 10 : i == 9 ? 60 : i == 1000 ? 47.5 : 30, 1, -1, 0);
        f.graph->AddPoint(1, i, 1000, 1, -1, 0);
    }
    f.graph->GetSeries(1)->SetShown(0);
    CGraphPanel* p = f.Panel();
    // Each row: the view before, the command, the view after (worked out by hand: "Seite" shrinks
    // the data's x by 4 and widens its y by 4; "Breite" the same x with y kept exactly; "Höhe"
    // x kept, y the shown values within it widened by 4; hidden curves never count).
    struct Row {
        double before[4];
        int command;
        double after[4];
    } rows[] = {
        {{100, 200, 0, 1}, 4105, {4, 3595, 6, 64}},
        {{100, 200, 44, 52}, 4103, {4, 3595, 44, 52}},
        {{4, 3595, 44, 52}, 4103, {4, 3595, 44, 52}},
        {{100, 200, 0, 1}, 4104, {100, 200, 26, 34}},
        {{990, 1010, 0, 1}, 4104, {990, 1010, 26, 51.5}},
        {{5, 10, 0, 1}, 4104, {5, 10, 6, 64}},
        {{7.2, 7.8, 0, 1}, 4104, {7.2, 7.8, 6, 34}},   // no sample inside: its neighbours
        {{200, 100, 1, 0}, 4104, {200, 100, 34, 26}},  // reversed ranges stay reversed
    };
    for (const Row& r : rows) {
        p->SetRanges(r.before[0], r.before[1], r.before[2], r.before[3], true);
        p->OnMenuCommand(r.command);
        double v[4];
        Ranges(p, v[0], v[1], v[2], v[3]);
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(v[i], r.after[i]) << "command " << r.command << " end " << i;
    }
}

TEST(PanelInteraction, WheelAndKeysGoThroughSetRanges) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 1000, 0, 100, true);
    QTest::keyClick(p, Qt::Key_Right);
    double x0, x1, y0, y1;
    Ranges(p, x0, x1, y0, y1);
    EXPECT_DOUBLE_EQ(x0, 100);
    QTest::keyClick(p, Qt::Key_Plus);
    Ranges(p, x0, x1, y0, y1);
    EXPECT_NEAR(x1 - x0, 800, 1e-9);
    QWheelEvent wheel(QPointF(p->width() / 2.0, 50), p->mapToGlobal(QPointF(p->width() / 2.0, 50)),
                      QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(p, &wheel);
    Ranges(p, x0, x1, y0, y1);
    EXPECT_NEAR(x1 - x0, 1000, 1e-9);
}

TEST(PropertySheet, AppliesOnOkAndChangesNothingOnCancel) {
    GraphFixture f;
    f.graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    f.graph->AddSeries(RGB(10, 20, 30), "eins", 1, 1, 0);
    f.graph->AddSeries(RGB(40, 50, 60), "zwei", 1, 1, 0);
    CGraphPanel* p = f.Panel();
    p->SetRanges(0, 100, 0, 50, true);
    ScriptedPrompts prompts;
    auto edit = [](QDialog& d, const char* id, const QString& text) {
        d.findChild<QLineEdit*>(id)->setText(text);
    };
    auto change = [&](QDialog& sheet) {
        edit(sheet, "1016", "10");
        edit(sheet, "1030", "3");
        edit(sheet, "1023", "Wärme");
        auto* page = sheet.findChild<CGraphicsPropertyPage*>();
        page->OnShowHide();  // hides "eins"
        EXPECT_EQ(page->ShowHideButton()->text(), "Einblenden");
        page->OnShowAll();
        EXPECT_EQ(page->ShowHideButton()->text(), "Ausblenden");
        page->OnShowHide();
        page->Copies()[1]->SetColor(RGB(1, 2, 3));
    };
    // Cancel: nothing changes.
    prompts.onExec = [&](QDialog& sheet) {
        change(sheet);
        sheet.reject();
        return static_cast<int>(QDialog::Rejected);
    };
    p->OpenPropertySheet();
    double x0, x1, y0, y1;
    Ranges(p, x0, x1, y0, y1);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(f.graph->GetAxis(0).Precision(), 1);
    EXPECT_EQ(f.graph->GetAxis(0).Name(), "Temperatur");
    EXPECT_EQ(f.graph->GetSeries(0)->IsShown(), 1);
    EXPECT_EQ(f.graph->GetSeries(1)->GetColor(), RGB(40, 50, 60));
    // OK: everything applies.
    prompts.onExec = [&](QDialog& sheet) {
        change(sheet);
        sheet.accept();
        return sheet.result();
    };
    p->OpenPropertySheet();
    Ranges(p, x0, x1, y0, y1);
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(f.graph->GetAxis(0).Precision(), 3);
    EXPECT_EQ(f.graph->GetAxis(0).Name(), "Wärme");
    EXPECT_EQ(f.graph->GetSeries(0)->IsShown(), 0);
    EXPECT_EQ(f.graph->GetSeries(1)->GetColor(), RGB(1, 2, 3));
    EXPECT_EQ(f.graph->GetSeries(1)->GetCount(), 0);
}

TEST(PropertySheet, DecimalPlacesAreCheckedZeroToTen) {
    GraphFixture f;
    CGraphPanel* p = f.Panel();
    ScriptedPrompts prompts;
    std::vector<int> results;
    for (const char* value : {"11", "abc", "10", "0"}) {
        prompts.onExec = [&, value](QDialog& sheet) {
            sheet.findChild<QLineEdit*>("1029")->setText(value);
            sheet.accept();
            results.push_back(sheet.result());
            sheet.reject();
            return results.back();
        };
        p->OpenPropertySheet();
    }
    EXPECT_EQ(results, (std::vector<int>{0, 0, 1, 1}));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], "Geben Sie bitte eine ganze Zahl zwischen 0 und 10 ein.");
    EXPECT_EQ(prompts.messages[1], "Geben Sie bitte eine ganze Zahl ein.");
}
