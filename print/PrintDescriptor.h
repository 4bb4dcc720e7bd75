// The record every drawing request of the printed page travels in, and the text metrics the
// renderer fills after each text.
#pragma once

#include <QString>

class QPainter;

// Text flags.
enum : unsigned {
    kTextBold = 0x001,
    kTextItalic = 0x002,
    kTextUnderline = 0x004,
    kTextStrikeOut = 0x008,
    kTextBox = 0x010,
    kTextLeft = 0x020,
    kTextRight = 0x040,
    kTextCenter = 0x080,
    kTextExpandTabs = 0x100,
    kTextSingleLine = 0x200,
    kTextNoClip = 0x400,
    kTextVCenter = 0x800,
    kKeepFlags = 0xFFFF,
};

// Fill flags (tested in this order) and pen flags.
enum : unsigned {
    kFillGray = 0x1,
    kFillLightGray = 0x2,
    kFillDarkGray = 0x4,
    kFillBlack = 0x8,
    kPenDot = 0x1,
    kPenDash = 0x2,
    kPenDashDot = 0x10,
    kPenDashDotDot = 0x20,
};

struct TextMetrics {
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0;
    int averageCharWidth = 0;
    int maxCharWidth = 0;
};

struct PrintDescriptor {
    QPainter* device = nullptr;
    int left = 0;
    int top = 0;  // the current row
    int right = 0;
    int bottom = 0;
    int pointSize = 10;
    QString text;
    unsigned textFlags = 0x420;
    unsigned fillFlags = 0;
    unsigned penFlags = 0;
    QString fontName = QStringLiteral("Times New Roman");
    int pageWidth = 0;
    int pageHeight = 0;
    int lastRight = 0;
    int lastHeight = 10;
    int lastLeft = 0, lastTop = 0, lastRightEdge = 0, lastBottom = 0;  // rectangle of the last text
    int horizontalOffset = 0;
    TextMetrics* metrics = nullptr;
    // Text on a dark fill: the glyphs are white, outlines keep the pen.
    bool whiteText = false;
    // Below 1 the whole page is drawn smaller than its inches (a paper too small for it); fonts
    // shrink with it.
    double layoutScale = 1.0;
};
