#include "graphui/GraphPicture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>
#include <cmath>
#include <new>

#include "graph/GraphContainer.h"
#include "graph/GraphList.h"
#include "graphui/GraphFrame.h"

namespace {

// The widget's font for a painter whose units are the widget's pixels: a size in points is
// converted with the device's resolution, so it is set to what gives the window's pixels there.
QFont WindowFont(const QWidget& widget, const QPainter& painter) {
    QFont font = widget.font();
    const int deviceDpi = painter.device() != nullptr ? painter.device()->logicalDpiY() : 0;
    if (font.pointSizeF() > 0 && deviceDpi > 0)
        font.setPointSizeF(font.pointSizeF() * widget.logicalDpiY() / deviceDpi);
    return font;
}

// Draws the series list's rows into `viewport` (painter units = the window's pixels).
void DrawRows(QPainter& painter, const QRect& viewport, const CGraphList& list) {
    painter.save();
    painter.setClipRect(viewport, Qt::IntersectClip);
    painter.setFont(WindowFont(list, painter));
    for (int row = 0; row < list.count(); ++row) {
        const QRect rect(viewport.left(), viewport.top() + row * CGraphList::kRowHeight,
                         viewport.width(), CGraphList::kRowHeight);
        if (rect.top() > viewport.bottom()) break;
        COLORREF color = 0;
        QString name;
        if (list.ItemLook(row, color, name))
            DrawSeriesRow(painter, rect, false, color, name, list.palette());
    }
    painter.restore();
}

// The legend strip above the plot, `width` window pixels wide: the legend bar's face, its
// gripper and close button where the window has them, and the series list stretched with the
// width as the window stretches it.
void DrawLegendStrip(QPainter& painter, int width, int height, CGraphFrame& frame) {
    CPointViewBar* bar = frame.LegendBar();
    const CGraphList* list = bar->SeriesList();
    painter.fillRect(QRect(0, 0, width, height), frame.palette().color(frame.backgroundRole()));
    if (QWidget* title = bar->titleBarWidget(); title != nullptr && title->isVisible())
        title->render(&painter, title->mapTo(&frame, QPoint(0, 0)));
    const QPoint at = list->mapTo(&frame, QPoint(0, 0));
    const int rightMargin = frame.width() - (at.x() + list->width());
    const QRect listRect(at.x(), at.y(), std::max(0, width - at.x() - rightMargin), list->height());
    // The list's face and frame as its style draws them.
    painter.fillRect(listRect, list->palette().color(QPalette::Base));
    QStyleOptionFrame option;
    option.initFrom(list);
    option.rect = listRect;
    option.frameShape = list->frameShape();
    option.lineWidth = list->lineWidth();
    option.midLineWidth = list->midLineWidth();
    if (list->frameShadow() == QFrame::Sunken) option.state |= QStyle::State_Sunken;
    if (list->frameShadow() == QFrame::Raised) option.state |= QStyle::State_Raised;
    list->style()->drawControl(QStyle::CE_ShapedFrame, &option, &painter, list);
    const QRect inner = list->viewport()->geometry();  // within the list
    DrawRows(painter,
             listRect.adjusted(inner.left(), inner.top(), inner.right() + 1 - list->width(),
                               inner.bottom() + 1 - list->height()),
             *list);
    // The handle between the legend and the plot, as the frame's style draws it.
    const int handleHeight =
        frame.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, &frame);
    QStyleOption handle;
    handle.initFrom(&frame);
    handle.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    handle.state |= QStyle::State_Horizontal;
    handle.rect = QRect(0, height - handleHeight, width, handleHeight);
    frame.style()->drawPrimitive(QStyle::PE_IndicatorDockWidgetResizeHandle, &handle, &painter,
                                 &frame);
}

}  // namespace

void DrawGraphPicture(QPainter& painter, const QRect& rect, double dpi, CGraphFrame& frame) {
    CGraphContainer* container = frame.Container();
    // Everything above the container in the window is the docked legend (and its edge).
    const int stripHeight = frame.LegendBar()->isVisible() ? container->y() : 0;
    const double scale = dpi / frame.logicalDpiY();
    const int strip = std::min(rect.height(), static_cast<int>(std::lround(stripHeight * scale)));
    if (strip > 0) {
        painter.save();
        painter.setClipRect(QRect(rect.left(), rect.top(), rect.width(), strip));
        painter.translate(rect.topLeft());
        painter.scale(scale, scale);
        DrawLegendStrip(painter, static_cast<int>(std::lround(rect.width() / scale)), stripHeight,
                        frame);
        painter.restore();
    }
    container->DrawPicture(
        painter, QRect(rect.left(), rect.top() + strip, rect.width(), rect.height() - strip), dpi,
        dpi);
}

QImage GraphPicture(CGraphFrame& frame, const QSize& size) {
    QImage picture(size, QImage::Format_RGB888);
    if (picture.isNull()) throw std::bad_alloc();
    // The window's resolution, for the texts given in points.
    picture.setDotsPerMeterX(qRound(frame.logicalDpiX() / 0.0254));
    picture.setDotsPerMeterY(qRound(frame.logicalDpiY() / 0.0254));
    QPainter painter(&picture);
    DrawGraphPicture(painter, picture.rect(), frame.logicalDpiY(), frame);
    return picture;
}

void DrawLegendRows(QPainter& painter, const QRect& box, double dpi, CGraphFrame& frame) {
    const CGraphList* list = frame.LegendBar()->SeriesList();
    if (list->count() == 0 || box.isEmpty()) return;
    // The rows as wide as the swatch and the longest name need, in the window's pixels.
    const QFontMetrics metrics(list->font(), list);
    int width = 0;
    for (int row = 0; row < list->count(); ++row) {
        COLORREF color = 0;
        QString name;
        if (list->ItemLook(row, color, name))
            width = std::max(width, 25 + metrics.horizontalAdvance(name) + 3);
    }
    const int height = list->count() * CGraphList::kRowHeight;
    const double scale = std::min(
        {dpi / list->logicalDpiY(), box.width() / double(width), box.height() / double(height)});
    painter.save();
    painter.setClipRect(box);
    painter.translate(box.topLeft());
    painter.scale(scale, scale);
    DrawRows(painter, QRect(0, 0, width, height), *list);
    painter.restore();
}
