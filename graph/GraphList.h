// The owner-drawn list of series: one 20-pixel row per series with a colour swatch and the name.
#pragma once

#include <QListWidget>

#include "graph/GraphBase.h"
#include "graph/GraphProps.h"

class CGraphList : public QListWidget, public virtual CGraphBaseClass {
    Q_OBJECT

public:
    explicit CGraphList(QWidget* parent = nullptr);

    // Adds a row standing for the series in `seriesIndex` (the row's item data).
    void AddSeriesItem(int seriesIndex);
    int ItemSeriesIndex(int row) const;
    // Colour and name drawn in a row; false draws nothing.
    virtual bool ItemLook(int row, COLORREF& color, QString& name) const;

    static constexpr int kRowHeight = 20;
};

// Draws the rows of a CGraphList (and of the lists derived from it).
void DrawSeriesRow(QPainter& painter, const QRect& rect, bool selected, COLORREF color,
                   const QString& name, const QPalette& palette);
