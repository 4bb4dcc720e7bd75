#include "graphui/PointViewBar.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "graph/GraphNotification.h"
#include "graph/GraphWnd.h"
#include "graph/ParticipantCommands.h"
#include "recording/SampleExport.h"

QVariant PointListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || graph_ == nullptr || !index.isValid()) return {};
    const CGraphProps* s = graph_->GetSeries(series_);
    if (s == nullptr || index.row() >= s->GetCount()) return {};
    const GraphPoint p = s->GetPoint(index.row());
    if (index.column() == 0)
        return QString::fromStdString(kws::rec::FormatLocalTime(p.time, "%d.%m.%Y, %H:%M:%S"));
    if (index.column() == 1) {
        QString text;
        graph_->FormatAxisValue(p.x, 1, 1, text);
        return text;
    }
    return {};
}

void PointListModel::SetRowCount(int rows) {
    scheduled_ = rows;
    if (rows == rows_) return;
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

void PointListModel::RefreshRows() {
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
}

void PointListModel::ScheduleRowCount(int rows) {
    scheduled_ = rows;
    if (syncPending_) return;
    syncPending_ = true;
    QTimer::singleShot(0, this, [this] {
        syncPending_ = false;
        SetRowCount(scheduled_);
    });
}

C3DListCtrl::C3DListCtrl(QWidget* parent) : QTableView(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);  // the client edge
}

void C3DListCtrl::showEvent(QShowEvent* event) {
    if (pendingModel_ != nullptr) {
        setModel(pendingModel_);
        pendingModel_ = nullptr;
    }
    QTableView::showEvent(event);
}

void C3DListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        RunParticipantMenu(this, event->globalPosition().toPoint());
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

CPointViewBar::CPointViewBar(QWidget* parent) : CSizingControlBar(parent) {
    client_ = new QWidget(this);
    client_->setAutoFillBackground(true);
    client_->setBackgroundRole(QPalette::Button);
    setWidget(client_);
    pointList_ = new C3DListCtrl(client_);
    pointList_->setObjectName("11006");
    pointList_->setGeometry(0, 0, 100, 100);
    pointList_->hide();
    model_ = new PointListModel(pointList_);
    pointList_->SetModelWhenShown(model_);
    seriesList_ = new CGraphList(client_);
    seriesList_->setObjectName("11007");
    seriesList_->setGeometry(0, 0, 100, 100);
    seriesList_->setFont(QFont());
    connect(seriesList_, &QListWidget::currentRowChanged, this, [this](int row) {
        selectedSeries_ = row < 0 ? -1 : seriesList_->ItemSeriesIndex(row);
        RefreshPointList();
    });
    client_->installEventFilter(this);
}

void CPointViewBar::LayoutChildren() {
    seriesList_->setGeometry(5, 5, std::max(0, client_->width() - 10),
                             std::max(0, client_->height() - 5));
}

void CPointViewBar::RefreshPointList(CGraphWnd* graph) {
    if (!pointListActive_) return;
    if (graph == nullptr) graph = GetGraphWnd();
    const int selected = SelectedSeries();
    model_->SetSource(graph, selected);
    const CGraphProps* s = graph != nullptr ? graph->GetSeries(selected) : nullptr;
    if (selected < 0 || s == nullptr) {
        model_->SetRowCount(0);
        return;
    }
    const int n = s->GetCount();
    if (model_->rowCount() != n) {
        model_->SetRowCount(n);
    } else {
        model_->RefreshRows();
    }
}

bool CPointViewBar::event(QEvent* e) {
    if (e->type() == GraphNotifyEvent::kType) {
        auto& n = static_cast<GraphNotifyEvent&>(*e);
        n.SetResult(HandleNotification(n));
        return true;
    }
    return CSizingControlBar::event(e);
}

bool CPointViewBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) LayoutChildren();
    return CSizingControlBar::eventFilter(watched, event);
}

int CPointViewBar::HandleNotification(GraphNotifyEvent& e) {
    const int code = e.Code();
    // Changes asked for without redraw are applied with painting held back.
    const bool quiet = ((code >= kNotifyPointAdded && code <= kNotifyPointsCleared) ||
                        code == kNotifyPointsAppended) &&
                       static_cast<const SeriesNotify*>(e.Payload())->redraw == 0 && isVisible();
    if (quiet) setUpdatesEnabled(false);
    switch (code) {
        case kNotifyPointAdded:
        case kNotifyPointRemoved:
        case kNotifyPointChanged:
        case kNotifyPointsAppended: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            if (!pointListActive_ || n->series != SelectedSeries()) break;
            if (code == kNotifyPointChanged) {
                model_->RefreshRows();
                break;
            }
            // Inserting and removing items follows the series' count, once per event-loop turn.
            model_->SetSource(n->graph, n->series);
            if (const CGraphProps* s = n->graph->GetSeries(n->series))
                model_->ScheduleRowCount(s->GetCount());
            break;
        }
        case kNotifySeriesAdded: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            const bool hadSelection = seriesList_->currentRow() >= 0;
            seriesList_->AddSeriesItem(n->series);
            if (!hadSelection) seriesList_->setCurrentRow(seriesList_->count() - 1);
            break;
        }
        case kNotifySeriesRemoved: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            const bool wasSelected = n->series == SelectedSeries();
            for (int row = 0; row < seriesList_->count(); ++row) {
                if (seriesList_->ItemSeriesIndex(row) == n->series) {
                    delete seriesList_->takeItem(row);
                    break;
                }
            }
            if (seriesList_->count() == 0) {
                model_->SetRowCount(0);
                seriesList_->clear();
            } else if (wasSelected) {
                seriesList_->setCurrentRow(0);
                RefreshPointList(n->graph);
            }
            break;
        }
        case kNotifyPointsCleared: {
            const auto* n = static_cast<const SeriesNotify*>(e.Payload());
            if (n->series == SelectedSeries() || n->series == -1) model_->SetRowCount(0);
            break;
        }
        case kNotifyRangesAndFlags: seriesList_->viewport()->update(); break;
        case kNotifyAxisTitle: {
            const auto* n = static_cast<const AxisNotify*>(e.Payload());
            if (n->redraw) RefreshPointList(n->graph);
            break;
        }
        case kNotifyPointListOn: pointListActive_ = 1; [[fallthrough]];
        case kNotifyRedraw:
            seriesList_->viewport()->repaint();
            RefreshPointList();
            break;
        case kNotifyPointListOff: pointListActive_ = 0; break;
        default: break;
    }
    if (quiet) setUpdatesEnabled(true);
    return 0;
}

void CPointViewBar::BuildContextMenu(QMenu* menu) {
    ForEachParticipant(this, [menu](CGraphBaseClass& p) { return p.AppendMenuItems(menu); });
}

void CPointViewBar::contextMenuEvent(QContextMenuEvent* event) {
    RunParticipantMenu(this, event->globalPos());
}

int CPointViewBar::AppendMenuItems(QMenu* menu) {
    QAction* a = menu->addAction(PropertiesText());
    a->setData(kCmdProperties);
    return 0;
}

int CPointViewBar::OnMenuCommand(int id) {
    if (id == kCmdProperties) OpenParticipantSheet(this);
    return 0;
}
