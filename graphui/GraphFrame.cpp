#include "graphui/GraphFrame.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QTimerEvent>

#include "graph/GraphNotification.h"
#include "res/Resources.h"

namespace {

GraphFrameInterface* MakeFrame(CGraphWnd* graph, int frameId, int kind) {
    return new CGraphFrame(graph, frameId, kind);
}

}  // namespace

void InstallGraphFrame() { SetGraphFrameFactory(&MakeFrame); }

CGraphFrame::CGraphFrame(CGraphWnd* graph, int timerFlag, int kind)
    : QMainWindow(graph), kind_(kind) {
    setWindowFlags(Qt::Widget);
    setDockNestingEnabled(false);
    // The strips between the bars and the plot show the button face.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    container_ = new CGraphContainer(this);
    container_->setObjectName(QString::number(kContainerId));
    setCentralWidget(container_);

    legend_ = new CPointViewBar(this);
    const QString title = QString::fromStdString(kws::res::Text(134));
    legend_->Create(title, this, QSize(180, kind != 0 ? 80 : 140), true, kLegendBarId);
    legend_->setAllowedAreas(Qt::TopDockWidgetArea);
    addDockWidget(Qt::TopDockWidgetArea, legend_);
    legend_->hide();

    legendCommand_ = legend_->toggleViewAction();
    legendCommand_->setData(kLegendBarId);
    addAction(legendCommand_);

    if (timerFlag) timerId_ = startTimer(100);
}

CGraphFrame::~CGraphFrame() {
    if (timerId_ != 0) killTimer(timerId_);
}

int CGraphFrame::Notify(int code, void* payload) {
    // Relayed synchronously to the panel, then to the legend, by calling their handlers
    // directly: a month of samples sends 15 million of these.
    container_->Notify(code, payload);
    GraphNotifyEvent event(code, payload);
    return legend_->Deliver(event);
}

void CGraphFrame::ShowLegend(int flags) {
    if (flags & 1) legend_->show();
    if (flags & 2) legend_->hide();
    if (flags & 4) Notify(kNotifyPointListOff, nullptr);
    if (flags & 8) Notify(kNotifyPointListOn, nullptr);
}

void CGraphFrame::DockLegend() {
    addDockWidget(Qt::TopDockWidgetArea, legend_);
    resizeDocks({legend_}, {legend_->HorizontalSize().height()}, Qt::Vertical);
}

void CGraphFrame::ShowLegendNow() {
    legend_->show();
    resizeDocks({legend_}, {legend_->HorizontalSize().height()}, Qt::Vertical);
}

void CGraphFrame::timerEvent(QTimerEvent* event) {
    // The frame lives inside a modal dialog, where no idle processing runs: keep the bars'
    // command state current from here.
    if (event->timerId() == timerId_) {
        legend_->UpdateCommandState();
        return;
    }
    QMainWindow::timerEvent(event);
}

int CGraphFrame::AppendMenuItems(QMenu* menu) {
    const auto actions = menu->actions();
    if (actions.size() < 3 || actions[2]->menu() == nullptr) return 0;
    QAction* a = actions[2]->menu()->addAction(QString::fromStdString(kws::res::Text(134)));
    a->setData(kCmdLegend);
    if (legend_->isVisible()) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    return 0;
}

int CGraphFrame::OnMenuCommand(int id) {
    if (id == kCmdLegend) legend_->setVisible(!legend_->isVisible());
    return 0;
}
