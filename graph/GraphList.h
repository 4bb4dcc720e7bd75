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
    // Whether the row's series is shown; a hidden one is drawn greyed.
    virtual bool ItemShown(int row) const;

    static constexpr int kRowHeight = 20;
};

// Draws the rows of a CGraphList (and of the lists derived from it). The row of a hidden series
// is greyed: its name in the palette's disabled text colour, its swatch in a pale grey of the
// colour's brightness.
void DrawSeriesRow(QPainter& painter, const QRect& rect, bool selected, COLORREF color,
                   const QString& name, const QPalette& palette, bool shown = true);
// The swatch colour of a hidden series of colour `color`.
QColor HiddenSwatchColor(COLORREF color);
