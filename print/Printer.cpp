#include "print/Printer.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace {

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

QBrush FillBrush(unsigned fill) {
    if (fill & kFillGray) return QBrush(QColor(128, 128, 128));
    if (fill & kFillLightGray) return QBrush(QColor(192, 192, 192));
    if (fill & kFillDarkGray) return QBrush(QColor(64, 64, 64));
    if (fill & kFillBlack) return QBrush(Qt::black);
    return Qt::NoBrush;
}

Qt::PenStyle LinePenStyle(unsigned pen) {
    if (pen & kPenDash) return Qt::DashLine;
    if (pen & kPenDot) return Qt::DotLine;
    if (pen & kPenDashDot) return Qt::DashDotLine;
    if (pen & kPenDashDotDot) return Qt::DashDotDotLine;
    return Qt::SolidLine;
}

Qt::PenStyle BoxPenStyle(unsigned pen) {
    if (pen & kPenDash) return Qt::DashLine;
    if (pen & kPenDot) return Qt::DotLine;
    return Qt::SolidLine;
}

int Dpi(QPainter* p) { return p && p->device() ? p->device()->logicalDpiY() : 96; }

// The font of a request: point size at the device's resolution, weight and style from the flags.
QFont RequestFont(const PrintDescriptor& d) {
    QFont font(d.fontName);
    const int dpi = d.layoutScale == 1.0
                        ? Dpi(d.device)
                        : static_cast<int>(std::lround(Dpi(d.device) * d.layoutScale));
    font.setPixelSize(std::max(1, std::abs(-MulDiv(d.pointSize, dpi, 72))));
    font.setWeight((d.textFlags & kTextBold) ? QFont::Bold : QFont::Normal);
    font.setItalic(d.textFlags & kTextItalic);
    font.setUnderline(d.textFlags & kTextUnderline);
    font.setStrikeOut(d.textFlags & kTextStrikeOut);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

int DrawFlags(unsigned f) {
    int flags = (f & kTextCenter)  ? Qt::AlignHCenter
                : (f & kTextRight) ? Qt::AlignRight
                                   : Qt::AlignLeft;
    // Vertical centring applies to a single line only; wrapped text starts at the top.
    flags |= (f & kTextVCenter) && (f & kTextSingleLine) ? Qt::AlignVCenter : Qt::AlignTop;
    if (f & kTextExpandTabs) flags |= Qt::TextExpandTabs;
    if (f & kTextNoClip) flags |= Qt::TextDontClip;
    flags |= (f & kTextSingleLine) ? Qt::TextSingleLine : Qt::TextWordWrap;
    return flags;
}

// The rectangle a text needs when set from `r`'s top-left corner (as a measuring pass gives it):
// the width of the longest line (or of the rectangle, when wrapping), the height of the lines.
QRect Measure(const QFontMetrics& m, const QRect& r, int flags, const QString& text) {
    const int layoutFlags = flags & ~(Qt::AlignHCenter | Qt::AlignRight | Qt::AlignVCenter);
    const int width = (flags & Qt::TextWordWrap) ? std::max(1, r.width()) : 1 << 20;
    const QRect needed = m.boundingRect(QRect(0, 0, width, 1 << 20), layoutFlags, text);
    return QRect(r.left(), r.top(), needed.width(), needed.height());
}

}  // namespace

FillInk::FillInk(PrintDescriptor& d, unsigned fill, bool whitePen)
    : d_(d), device_(d.device), whiteText_(d.whiteText) {
    if (device_ != nullptr) {
        mode_ = device_->backgroundMode();
        pen_ = device_->pen();
        if (fill != 0) device_->setBackgroundMode(Qt::TransparentMode);
        if (fill >= 3 && whitePen) device_->setPen(QPen(Qt::white, pen_.widthF(), pen_.style()));
    }
    if (fill >= 3) d.whiteText = true;
}

FillInk::~FillInk() {
    if (device_ != nullptr) {
        device_->setBackgroundMode(mode_);
        device_->setPen(pen_);
    }
    d_.whiteText = whiteText_;
}

int CPrinter::TextPass(PrintDescriptor& d, double lineSpacing, bool draw) {
    if (d.text.isEmpty() || d.device == nullptr) return 2 * d.pointSize;
    QPainter& p = *d.device;
    int right = d.right + d.horizontalOffset;
    if (draw && d.pageWidth - d.horizontalOffset < right) right = d.pageWidth - d.horizontalOffset;
    QRect logical(QPoint(d.left + d.horizontalOffset, d.top), QPoint(right - 1, d.bottom - 1));
    QRect r = mapping_.LogicalToDevice(logical);
    p.save();
    p.resetTransform();  // text is set in device pixels
    const QFont font = RequestFont(d);
    p.setFont(font);
    const QFontMetrics m(font, p.device());
    const int flags = DrawFlags(d.textFlags);
    if (d.right == 0 && d.bottom == 0) r = Measure(m, r, flags, d.text);
    if (draw) {
        // The background box is outlined with the page's pen; only the glyphs turn white.
        bool white = d.whiteText;
        if (d.textFlags & kTextBox) {
            p.setBrush(FillBrush(d.fillFlags));
            p.drawRect(r);
            white = white || (d.fillFlags & (kFillDarkGray | kFillBlack));
        }
        if (white) p.setPen(Qt::white);
        p.drawText(r, flags, d.text);
    }
    const QRect covered = mapping_.DeviceToLogical(Measure(m, r, flags, d.text));
    p.restore();
    d.lastHeight = covered.height();
    d.lastRight = covered.left() + covered.width();
    d.lastLeft = covered.left();
    d.lastTop = covered.top();
    d.lastRightEdge = covered.left() + covered.width();
    d.lastBottom = covered.top() + covered.height();
    if (draw && d.metrics != nullptr) {
        d.metrics->height = m.height();
        d.metrics->ascent = m.ascent();
        d.metrics->descent = m.descent();
        d.metrics->internalLeading = m.height() - font.pixelSize();
        d.metrics->averageCharWidth = m.averageCharWidth();
        d.metrics->maxCharWidth = m.maxWidth();
    }
    return static_cast<int>(d.pointSize * lineSpacing);
}

int CPrinter::MeasureText(PrintDescriptor& d, double lineSpacing) {
    return TextPass(d, lineSpacing, false);
}

int CPrinter::RenderText(PrintDescriptor& d, double lineSpacing) {
    return TextPass(d, lineSpacing, true);
}

void CPrinter::RenderLine(PrintDescriptor& d, int lineWidth) {
    if (d.device == nullptr) return;
    QPainter& p = *d.device;
    p.save();
    p.setPen(QPen(p.pen().color(), std::max(1, lineWidth), LinePenStyle(d.penFlags)));
    p.drawLine(QPoint(d.left + d.horizontalOffset, d.top),
               QPoint(d.right + d.horizontalOffset, d.bottom));
    p.restore();
}

void CPrinter::RenderBox(PrintDescriptor& d, int lineWidth) {
    if (d.device == nullptr) return;
    QPainter& p = *d.device;
    p.save();
    p.setPen(QPen(p.pen().color(), std::max(1, lineWidth), BoxPenStyle(d.penFlags)));
    p.setBrush(FillBrush(d.fillFlags));
    const QPoint corners[4] = {{d.left + d.horizontalOffset, d.top},
                               {d.right + d.horizontalOffset, d.top},
                               {d.right + d.horizontalOffset, d.bottom},
                               {d.left + d.horizontalOffset, d.bottom}};
    p.drawPolygon(corners, 4);
    p.restore();
}

void CPrinter::RenderFill(PrintDescriptor& d) {
    if (d.device == nullptr) return;
    const QBrush brush = FillBrush(d.fillFlags);
    if (brush.style() == Qt::NoBrush) return;
    d.device->fillRect(QRect(QPoint(d.left + d.horizontalOffset, d.top),
                             QPoint(d.right + d.horizontalOffset - 1, d.bottom - 1)),
                       brush);
}
