// The window behind "Statistik": the figures of the evaluated window and, once the user has
// zoomed or panned away from the fitted view, of the visible range beside them; and the list of
// draw events, which it saves as tab-separated text. It is not modal: the figures of the visible
// range follow the graph while the user zooms and pans it.
#pragma once

#include <QDialog>
#include <QLocale>
#include <QTimer>

#include <cstddef>
#include <vector>

#include "recording/WindowStatistics.h"

class CNewGraph;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;

class StatisticsWindow : public QDialog {
    Q_OBJECT

public:
    // A window of `dialog` (closed with it), in the current language.
    explicit StatisticsWindow(CNewGraph& dialog);
    ~StatisticsWindow() override;

    // Figures of the column (1: evaluated window, 2: visible range) in row order, as shown.
    QTableWidget* Figures() const { return figures_; }
    QTableView* DrawList() const { return drawList_; }
    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* SaveDrawsButton() const { return saveDraws_; }
    bool VisibleRangeShown() const { return visibleShown_; }
    const kws::rec::WindowStatistics& WindowFigures() const { return window_; }
    const std::vector<kws::rec::DrawEvent>& Draws() const { return draws_; }

    // Brings the visible-range column up to date now (the graph's range changes are gathered
    // and handled a moment later, so that a pan of many steps costs one pass).
    void UpdateVisibleRange();
    // The samples of the result dialog grew (a followed recording): both columns and the draw
    // list are computed again. It held `previousCount` samples before.
    void SamplesGrew(size_t previousCount);
    // Writes the draw list to `path` through a temporary file; on failure `failure` gets the
    // message (text 151 with the reason).
    bool SaveDraws(const QString& path, QString* failure);

protected:
    // The first show grows the window to its table: before it shows, the table's layout is not
    // settled and the size worked out from it may come out too small.
    void showEvent(QShowEvent* event) override;

private:
    void BuildFigureRows();
    void FillColumn(int column, const kws::rec::WindowStatistics& s, size_t begin, size_t end);
    void OnSaveDraws();
    void FitWidth();
    void SizeToContent();
    bool shownOnce_ = false;
    QString Number(double v, int decimals) const;
    QString Count(int64_t n) const;
    QString Duration(int64_t seconds) const;
    QString ValueAt(double v, int64_t time) const;

    CNewGraph& dialog_;
    QLocale locale_;
    kws::rec::WindowStatistics window_;
    std::vector<kws::rec::DrawEvent> draws_;
    size_t fittedBegin_ = 0, fittedEnd_ = 0;  // sample indices of the view after the build
    size_t shownBegin_ = 0, shownEnd_ = 0;    // those the visible-range column shows
    bool visibleShown_ = false;
    QTimer pending_;

    QTabWidget* tabs_;
    QTableWidget* figures_;
    QLabel* drawCount_;
    QTableView* drawList_;
    QPushButton* saveDraws_;
};

// The sample indices [begin, end) whose x lies within [x0, x1] (either order), for `count`
// samples at x = 0, 1, 2, ...
void SampleIndexRange(double x0, double x1, size_t count, size_t& begin, size_t& end);
