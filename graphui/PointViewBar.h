// The legend: a sizing bar with the list of series (colour and name), kept in step with the
// graph through its notifications, and a point list for the selected series whose rows are
// formatted only when asked for.
#pragma once

#include <QAbstractTableModel>
#include <QTableView>

#include "graph/GraphBase.h"
#include "graph/GraphList.h"
#include "graphui/SizingControlBar.h"

class CGraphWnd;
class GraphNotifyEvent;

// Rows of the point list: time stamp and x value of each point of one series, produced on
// demand; the row count follows the series lazily, so millions of points cost nothing until
// someone looks.
class PointListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit PointListModel(QObject* parent) : QAbstractTableModel(parent) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 2;
    }
    QVariant data(const QModelIndex& index, int role) const override;

    void SetSource(CGraphWnd* graph, int series) {
        graph_ = graph;
        series_ = series;
    }
    // Makes the row count `rows` (as one reset, at once).
    void SetRowCount(int rows);
    // Redraws the rows (their texts are formatted anew when shown).
    void RefreshRows();
    // The row count the model will take at the next synchronisation.
    void ScheduleRowCount(int rows);
    int ScheduledRows() const { return scheduled_; }

private:
    CGraphWnd* graph_ = nullptr;
    int series_ = -1;
    int rows_ = 0;
    int scheduled_ = 0;
    bool syncPending_ = false;
};

// The point list: a list control taking part in the graph's context menu.
class C3DListCtrl : public QTableView, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    explicit C3DListCtrl(QWidget* parent = nullptr);
    // Shows `model` from the first time the list is shown: a view keeps per-row data for its
    // header, which would cost time and memory for every point of a series never looked at.
    void SetModelWhenShown(QAbstractItemModel* model) { pendingModel_ = model; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QAbstractItemModel* pendingModel_ = nullptr;
};

class CPointViewBar : public CSizingControlBar, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    explicit CPointViewBar(QWidget* parent = nullptr);

    CGraphList* SeriesList() const { return seriesList_; }
    C3DListCtrl* PointList() const { return pointList_; }
    PointListModel* PointModel() const { return model_; }
    int PointListActive() const { return pointListActive_; }
    // The item data of the series list's current entry, or -1.
    int SelectedSeries() const { return selectedSeries_; }
    // Handles a graph notification (see CGraphPanel::Deliver).
    int Deliver(GraphNotifyEvent& event) { return HandleNotification(event); }
    void RefreshPointList(CGraphWnd* graph = nullptr);
    // The context menu of the bar (for the caller to show): "Properties" alone.
    void BuildContextMenu(QMenu* menu);

    int AppendMenuItems(QMenu* menu) override;
    int OnMenuCommand(int id) override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int HandleNotification(GraphNotifyEvent& e);
    void LayoutChildren();

    QWidget* client_;
    CGraphList* seriesList_;
    C3DListCtrl* pointList_;
    PointListModel* model_;
    int pointListActive_ = 1;
    int selectedSeries_ = -1;  // kept with the list's current row: asked for on every point
};
