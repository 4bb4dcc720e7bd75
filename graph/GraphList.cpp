#include "graph/GraphList.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "graph/GraphWnd.h"

namespace {

class SeriesRowDelegate : public QStyledItemDelegate {
public:
    explicit SeriesRowDelegate(CGraphList* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        COLORREF color = 0;
        QString name;
        if (index.row() < 0 || !list_->ItemLook(index.row(), color, name)) return;
        DrawSeriesRow(*painter, option.rect, option.state & QStyle::State_Selected, color, name,
                      option.palette, list_->ItemShown(index.row()));
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width(), CGraphList::kRowHeight);
    }

private:
    CGraphList* list_;
};

}  // namespace

QColor HiddenSwatchColor(COLORREF color) {
    // Half way between the colour's grey and white.
    const int grey = qGray(ToQColor(color).rgb());
    const int pale = (grey + 255) / 2;
    return QColor(pale, pale, pale);
}

void DrawSeriesRow(QPainter& painter, const QRect& rect, bool selected, COLORREF color,
                   const QString& name, const QPalette& palette, bool shown) {
    painter.save();
    const QColor background =
        selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
    const QColor text = selected ? palette.color(QPalette::HighlightedText)
                        : shown  ? palette.color(QPalette::Text)
                                 : palette.color(QPalette::Disabled, QPalette::Text);
    painter.fillRect(selected ? rect.adjusted(1, 1, -1, -1) : rect, background);
    if (selected) {
        painter.setPen(QPen(text, 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    // Swatch from (left + 2, top + 2) to (left + 22, bottom - 2), outline and fill in the colour.
    const int bottom = rect.top() + rect.height();
    const QRect swatch(rect.left() + 2, rect.top() + 2, 20, bottom - 2 - (rect.top() + 2));
    const QColor swatchColor = shown ? ToQColor(color) : HiddenSwatchColor(color);
    painter.setPen(QPen(swatchColor, 1));
    painter.setBrush(swatchColor);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(text);
    const QRect textRect(rect.left() + 25, rect.top() + 3, rect.width() - 25, rect.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    painter.restore();
}

CGraphList::CGraphList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new SeriesRowDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    QFont font = this->font();
    setFont(font);
}

void CGraphList::AddSeriesItem(int seriesIndex) {
    auto* item = new QListWidgetItem();
    item->setData(Qt::UserRole, seriesIndex);
    item->setSizeHint(QSize(0, kRowHeight));
    addItem(item);
}

int CGraphList::ItemSeriesIndex(int row) const {
    const QListWidgetItem* i = item(row);
    return i != nullptr ? i->data(Qt::UserRole).toInt() : -1;
}

bool CGraphList::ItemShown(int row) const {
    CGraphWnd* graph = const_cast<CGraphList*>(this)->GetGraphWnd();
    const CGraphProps* s = graph != nullptr ? graph->GetSeries(ItemSeriesIndex(row)) : nullptr;
    return s == nullptr || s->IsShown();
}

bool CGraphList::ItemLook(int row, COLORREF& color, QString& name) const {
    CGraphWnd* graph = const_cast<CGraphList*>(this)->GetGraphWnd();
    const CGraphProps* s = graph != nullptr ? graph->GetSeries(ItemSeriesIndex(row)) : nullptr;
    if (s == nullptr) return false;
    color = s->GetColor();
    name = s->GetTitle();
    return true;
}
