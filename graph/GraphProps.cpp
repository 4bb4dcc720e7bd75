#include "graph/GraphProps.h"

CGraphProps::CGraphProps(COLORREF color, const QString& title, int shown, int ownsTools, int index,
                         int sorted, int allowDuplicates)
    : CPointsCollection(sorted, allowDuplicates),
      ownsTools_(ownsTools),
      color_(color),
      title_(title),
      shown_(shown),
      index_(index) {
    SetColor(color);
}

CGraphProps::CGraphProps(const CGraphProps& source)
    : CPointsCollection(1, 0), ownsTools_(0), color_(0), shown_(1), index_(-1) {
    CopyFrom(source);
}

void CGraphProps::CopyFrom(const CGraphProps& source) {
    ownsTools_ = source.ownsTools_;
    SetColor(source.color_);
    title_ = source.title_;
    shown_ = source.shown_;
    index_ = source.index_;
    band_ = source.band_;
}

void CGraphProps::SetColor(COLORREF color) {
    color_ = color;
    if (ownsTools_) {
        pen_ = QPen(ToQColor(color), 1, Qt::SolidLine);
        brush_ = QBrush(ToQColor(color), Qt::SolidPattern);
    } else {
        pen_ = QPen();
        brush_ = QBrush();
    }
}

QPen CGraphProps::GetPen() const {
    return ownsTools_ ? pen_ : QPen(ToQColor(color_), 1, Qt::SolidLine);
}

QBrush CGraphProps::GetBrush() const {
    return ownsTools_ ? brush_ : QBrush(ToQColor(color_), Qt::SolidPattern);
}
