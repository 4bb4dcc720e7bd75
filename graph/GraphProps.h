// One series: its points plus colour, title, shown flag and slot index.
#pragma once

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QString>

#include "graph/PointsCollection.h"

// Colours are kept as the platform's RGB value: 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>(r & 0xFF) | (static_cast<COLORREF>(g & 0xFF) << 8) |
           (static_cast<COLORREF>(b & 0xFF) << 16);
}
inline QColor ToQColor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline COLORREF FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

class CGraphProps : public CPointsCollection {
public:
    CGraphProps(COLORREF color, const QString& title, int shown, int ownsTools, int index,
                int sorted, int allowDuplicates);
    // Copies the display properties; the copy has no points, sorted, no duplicates.
    CGraphProps(const CGraphProps& source);
    CGraphProps& operator=(const CGraphProps&) = delete;
    virtual ~CGraphProps() = default;

    // Copies ownsTools, then the colour through SetColor, then title, shown and index.
    void CopyFrom(const CGraphProps& source);
    void SetColor(COLORREF color);

    // The series' pen (solid, width 1) and brush in its colour.
    QPen GetPen() const;
    QBrush GetBrush() const;

    COLORREF GetColor() const { return color_; }
    const QString& GetTitle() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    int IsShown() const { return shown_; }
    void SetShown(int shown) { shown_ = shown; }
    int GetIndex() const { return index_; }
    void SetIndex(int index) { index_ = index; }
    int OwnsTools() const { return ownsTools_; }
    // A band is drawn before the other series: its pixel columns may fill up to solid bands
    // (an on/off state over a long time), which must not hide the lines of the others.
    bool IsBand() const { return band_; }
    void SetBand(bool band) { band_ = band; }

private:
    int ownsTools_;
    QPen pen_;      // only while ownsTools is set
    QBrush brush_;  // only while ownsTools is set
    COLORREF color_;
    QString title_;
    int shown_;
    int index_;
    bool band_ = false;
};
