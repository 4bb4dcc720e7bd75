// The frame inside every graph window: a main window used as a child, with the plot container
// as its central widget and the legend bar docked at its top. It relays each graph notification
// to the panel, then to the legend, and adds "Legende" to the graph's context menu.
#pragma once

#include <QMainWindow>

#include "graph/GraphBase.h"
#include "graph/GraphContainer.h"
#include "graph/GraphWnd.h"
#include "graphui/PointViewBar.h"

class CGraphFrame : public QMainWindow, public GraphFrameInterface, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    static constexpr int kContainerId = 11001;
    static constexpr int kLegendBarId = 11003;

    // The frame of `graph`; `timerFlag` starts the 100 ms idle-update timer, `kind` is nonzero
    // for the three-curve layout (a lower legend).
    CGraphFrame(CGraphWnd* graph, int timerFlag, int kind);
    ~CGraphFrame() override;

    // GraphFrameInterface
    QWidget* FrameWidget() override { return this; }
    CGraphContainer* Container() override { return container_; }
    int Notify(int code, void* payload) override;
    void ShowLegend(int flags) override;

    void NotifyRefresh(int flags) {
        Notify(kNotifyRedraw, reinterpret_cast<void*>(static_cast<intptr_t>(flags)));
    }
    void DockLegend();
    void ShowLegendNow();
    CPointViewBar* LegendBar() const { return legend_; }
    // Command 11003: shows or hides the legend bar; checked while the bar is visible.
    QAction* LegendCommand() const { return legendCommand_; }

    int AppendMenuItems(QMenu* menu) override;
    int OnMenuCommand(int id) override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    CGraphContainer* container_;
    CPointViewBar* legend_;
    QAction* legendCommand_;
    int timerId_ = 0;
    int kind_;
};

// Makes every graph window from now on hold a CGraphFrame.
void InstallGraphFrame();
