// The window behind "Tage": what each local day of the evaluated window did, as a chart (litres,
// pump hours, temperature range, days that miss data) and as a table with the columns of the
// command line's day list. A click on a day in either zooms the graph to that day. It saves the
// table as tab-separated text and the chart as a PNG picture. Not modal; Refresh() recomputes
// the days from the dialog's current samples whenever the evaluated window changes.
#pragma once

#include <QDialog>
#include <QLocale>

#include <vector>

#include "recording/DayStatistics.h"

class CNewGraph;
class DayChart;
class QImage;
class QPushButton;
class QTableView;
class DayTableModel;

class DaysWindow : public QDialog {
    Q_OBJECT

public:
    // A window of `dialog` (closed with it), in the current language.
    explicit DaysWindow(CNewGraph& dialog);
    ~DaysWindow() override;

    // Computes the days again from the dialog's samples and shows them.
    void Refresh();
    // Zooms the graph to day `index` (its records) and marks it in chart and table.
    void ShowDay(int index);

    const std::vector<kws::rec::DayStatistics>& Days() const { return days_; }
    DayChart* Chart() const { return chart_; }
    QTableView* Table() const { return table_; }
    QPushButton* SaveButton() const { return save_; }

    // The chart as a picture of the given size.
    QImage ChartImage(const QSize& size) const;
    // Writes the table (".png": the chart) to `path` through a temporary file; on failure
    // `failure` gets the message (text 151 with the reason).
    bool Save(const QString& path, QString* failure);

private:
    void OnSave();
    void SizeToContent();

    CNewGraph& dialog_;
    int layoutFlag_;
    QLocale locale_;
    std::vector<kws::rec::DayStatistics> days_;
    DayChart* chart_;
    QTableView* table_;
    DayTableModel* model_;
    QPushButton* save_;
};
