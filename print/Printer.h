// The renderer of the printed page: it turns one fully described request (rectangle, text,
// flags, font) into drawing on the page's device. It keeps no state of its own.
#pragma once

#include <QPen>
#include <QRect>
#include <QTransform>

#include "print/PrintDescriptor.h"

// How logical page units map to device pixels: text mode (1: one unit is one pixel) or the
// anisotropic mode (8: a 1000 x 1000 window onto the page rectangle).
struct PageMapping {
    int mode = 1;
    QTransform toDevice;  // logical -> device
    QRect LogicalToDevice(const QRect& r) const { return toDevice.mapRect(r); }
    QRect DeviceToLogical(const QRect& r) const { return toDevice.inverted().mapRect(r); }
};

// The ink rule of text on a fill, in force while the object lives: any fill makes the text
// background transparent, a dark fill (3 or more) makes the glyphs white. With `whitePen` (the
// region members on a dark region) lines and outlines turn white too; otherwise they keep the
// page's pen. The device and the descriptor are restored when the object goes.
class FillInk {
public:
    FillInk(PrintDescriptor& d, unsigned fill, bool whitePen);
    ~FillInk();
    FillInk(const FillInk&) = delete;
    FillInk& operator=(const FillInk&) = delete;

private:
    PrintDescriptor& d_;
    QPainter* device_;
    Qt::BGMode mode_ = Qt::TransparentMode;
    QPen pen_;
    bool whiteText_;
};

class CPrinter {
public:
    virtual ~CPrinter() = default;
    // Measures the text of `d` in its rectangle (no drawing); returns point size x spacing.
    virtual int MeasureText(PrintDescriptor& d, double lineSpacing);
    virtual int RenderText(PrintDescriptor& d, double lineSpacing);
    virtual void RenderLine(PrintDescriptor& d, int lineWidth);
    virtual void RenderBox(PrintDescriptor& d, int lineWidth);
    virtual void RenderFill(PrintDescriptor& d);

    void SetMapping(const PageMapping& m) { mapping_ = m; }
    const PageMapping& Mapping() const { return mapping_; }

private:
    int TextPass(PrintDescriptor& d, double lineSpacing, bool draw);
    PageMapping mapping_;
};
