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
            DrawSeriesRow(painter, rect, false, color, name, list.palette(), list.ItemShown(row));
    }
    painter.restore();
}

// The legend strip above the plot, `width` window pixels wide: the legend bar's face and the
// series list stretched with the width as the window stretches it. The bar's window controls
// (its gripper, close button and the sizing edge below it) belong to the screen, not to the
// picture: the face is left plain where they are.
void DrawLegendStrip(QPainter& painter, int width, int height, CGraphFrame& frame) {
    CPointViewBar* bar = frame.LegendBar();
    const CGraphList* list = bar->SeriesList();
    painter.fillRect(QRect(0, 0, width, height), frame.palette().color(frame.backgroundRole()));
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

int DrawPrintedLegend(QPainter& painter, const QRect& box, const QString& caption,
                      CGraphFrame& frame) {
    const CGraphList* list = frame.LegendBar()->SeriesList();
    if (box.isEmpty()) return box.top();
    // Point sizes are the device's own: the painter draws in device pixels.
    const double dpi = painter.device() != nullptr ? painter.device()->logicalDpiY() : 96.0;
    auto pixels = [dpi](double points) { return points * dpi / 72.0; };
    QFont font(list->font().family());
    font.setPointSizeF(kPrintedLegendPoints);
    QFont bold = font;
    bold.setPointSizeF(kPrintedCaptionPoints);
    bold.setBold(true);
    painter.save();
    painter.setClipRect(box);
    // The caption, then one row per series: a swatch of the text's height and the name, which
    // wraps within the box rather than getting smaller.
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const QFontMetricsF captionMetrics(bold, painter.device());
    const QRectF captionRect(box.left(), box.top(), box.width(), captionMetrics.height());
    painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignTop, caption);
    double y = captionRect.bottom() + pixels(kPrintedLegendPoints) * 0.6;
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const double swatch = metrics.ascent();
    const double gap = pixels(kPrintedLegendPoints) * 0.6;
    const double textLeft = box.left() + swatch + gap;
    const double textWidth = std::max(1.0, box.left() + box.width() - textLeft);
    for (int row = 0; row < list->count(); ++row) {
        COLORREF color = 0;
        QString name;
        if (!list->ItemLook(row, color, name)) continue;
        const bool shown = list->ItemShown(row);
        const QRectF textRect =
            metrics.boundingRect(QRectF(textLeft, y, textWidth, 1e6), Qt::TextWordWrap, name);
        const QColor fill = shown ? ToQColor(color) : HiddenSwatchColor(color);
        painter.fillRect(QRectF(box.left(), y + (metrics.height() - swatch) / 2, swatch, swatch),
                         fill);
        painter.setPen(shown ? QColor(Qt::black) : QColor(Qt::gray));
        painter.drawText(QRectF(textLeft, y, textWidth, textRect.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, name);
        y += textRect.height() + metrics.height() * 0.35;
    }
    painter.restore();
    return static_cast<int>(std::ceil(y));
}
