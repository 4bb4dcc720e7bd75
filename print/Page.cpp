#include "print/Page.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "print/BitmapFile.h"
#include "print/Region.h"

CPage::CPage(const QRect& rect, QPainter* device, int mapMode, std::unique_ptr<CPrinter> printer)
    : printer_(printer ? std::move(printer) : std::make_unique<CPrinter>()) {
    mapMode_ = mapMode == 8 ? 8 : 1;
    const int left = rect.left(), top = rect.top();
    const int right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    PageMapping mapping;
    mapping.mode = mapMode_;
    d_.device = device;
    if (mapMode_ == 8) {
        // A 1000 x 1000 window onto the viewport (left, top) with extent (right, bottom).
        mapping.toDevice = QTransform(right / 1000.0, 0, 0, bottom / 1000.0, left, top);
        d_.left = d_.top = 0;
        d_.right = d_.bottom = 1000;
        d_.pageWidth = d_.pageHeight = 1000;
    } else {
        d_.left = left;
        d_.top = top;
        d_.right = right;
        d_.bottom = bottom;
        d_.pageWidth = right;
        d_.pageHeight = bottom;
    }
    if (device != nullptr) {
        device->setWorldTransform(mapping.toDevice);
        if (device->device() != nullptr) {
            dpiX_ = deviceDpiX_ = device->device()->logicalDpiX();
            dpiY_ = deviceDpiY_ = device->device()->logicalDpiY();
        }
    }
    printer_->SetMapping(mapping);
    widthInches_ = static_cast<double>(right) / dpiX_;
    heightInches_ = static_cast<double>(bottom) / dpiY_;
    d_.metrics = &metrics_;
    if (widthInches_ > 10.9) d_.horizontalOffset = UnitsX(widthInches_ - 10.5) / 2;
}

void CPage::ScaleLayout(double scale) {
    if (mapMode_ != 1 || !(scale > 0 && scale < 1)) return;
    dpiX_ = std::max(1, static_cast<int>(std::lround(deviceDpiX_ * scale)));
    dpiY_ = std::max(1, static_cast<int>(std::lround(deviceDpiY_ * scale)));
    widthInches_ = static_cast<double>(d_.pageWidth) / dpiX_;
    heightInches_ = static_cast<double>(d_.pageHeight) / dpiY_;
    d_.horizontalOffset = widthInches_ > 10.9 ? UnitsX(widthInches_ - 10.5) / 2 : 0;
    d_.layoutScale = scale;
}

CPage::~CPage() { regions_.clear(); }

int CPage::UnitsX(double inches) const {
    if (inches <= 0) return 0;
    return static_cast<int>(mapMode_ == 1 ? inches * dpiX_
                                          : inches / (widthInches_ / d_.pageWidth));
}

int CPage::UnitsY(double inches) const {
    if (inches <= 0) return 0;
    return static_cast<int>(mapMode_ == 1 ? inches * dpiY_
                                          : inches / (heightInches_ / d_.pageHeight));
}

double CPage::InchesX(int units) const {
    if (units < 1) return 0.0;
    return mapMode_ == 1 ? static_cast<double>(units) / dpiX_
                         : units * (widthInches_ / d_.pageWidth);
}

double CPage::InchesY(int units) const {
    if (units < 1) return 0.0;
    return mapMode_ == 1 ? static_cast<double>(units) / dpiY_
                         : units * (heightInches_ / d_.pageHeight);
}

void CPage::SaveState() {
    if (top_ + 1 >= kStackDepth) return;  // deeper nesting does not occur
    stack_[++top_] = d_;
}

void CPage::RestoreState() {
    if (top_ < 0) return;
    d_ = stack_[top_--];
}

std::string CPage::FormatV(const char* format, va_list args) const {
    char buffer[kBufferSize];
    std::vsnprintf(buffer, sizeof buffer, format, args);  // longer texts are cut
    return buffer;
}

QString CPage::Resolve(int stringId) const {
    return stringSource_ ? QString::fromStdString(stringSource_(stringId)) : QString();
}

int CPage::PrintOnRow(const QString& text, int column, unsigned flags, int pointSize) {
    if (column > d_.right || d_.top > d_.bottom) return d_.top;
    d_.text = text;
    if (pointSize > 0) d_.pointSize = pointSize;
    if (flags != kKeepFlags) d_.textFlags = flags;
    d_.left = column == -1 ? nextColumn_ : column;
    printer_->RenderText(d_, lineSpacing_);
    nextColumn_ = d_.lastRight;
    return d_.lastBottom;
}

void CPage::EnterRegion(CPrintRegion* region, int& row, int& col) {
    SaveState();
    row += region->contentTop;
    col += region->contentLeft;
    d_.right = region->right;
    d_.bottom = region->bottom;
    regionInk_.emplace(d_, region->fill, true);
}

void CPage::LeaveRegion(CPrintRegion*) {
    regionInk_.reset();
    RestoreState();
}

int CPage::PrintUnits(CPrintRegion* region, int row, int col, unsigned flags, int size,
                      const QString& text) {
    if (region != nullptr) EnterRegion(region, row, col);
    d_.top = row;
    int next = PrintOnRow(text, col, flags, size);
    if (lineSpacing_ > 1.0) next += UnitsY(d_.pointSize / 72.0 * (lineSpacing_ - 1.0));
    if (region != nullptr) {
        LeaveRegion(region);
        next -= region->contentTop;
    }
    return next;
}

double CPage::PrintInches(CPrintRegion* region, double row, double col, unsigned flags, int size,
                          const QString& text) {
    return InchesY(PrintUnits(region, UnitsY(row), UnitsX(col), flags, size, text));
}

#define KWS_FORMAT(fmt, out)                    \
    va_list args;                               \
    va_start(args, fmt);                        \
    const std::string out = FormatV(fmt, args); \
    va_end(args)

double CPage::Print(CPrintRegion* r, double row, double col, unsigned flags, int size,
                    int stringId) {
    if (!stringSource_) return 0;
    return PrintInches(r, row, col, flags, size, Resolve(stringId));
}

int CPage::Print(CPrintRegion* r, int row, int col, unsigned flags, int size, int stringId) {
    if (!stringSource_) return 0;
    return PrintUnits(r, row, col, flags, size, Resolve(stringId));
}

double CPage::Print(CPrintRegion* r, double row, double col, unsigned flags, int size,
                    const char* format, ...) {
    KWS_FORMAT(format, text);
    return PrintInches(r, row, col, flags, size, QString::fromUtf8(text.c_str()));
}

int CPage::Print(CPrintRegion* r, int row, int col, unsigned flags, int size, const char* format,
                 ...) {
    KWS_FORMAT(format, text);
    return PrintUnits(r, row, col, flags, size, QString::fromUtf8(text.c_str()));
}

double CPage::Print(double row, double col, int stringId) {
    if (!stringSource_) return 0;
    return PrintInches(nullptr, row, col, kKeepFlags, 0, Resolve(stringId));
}

int CPage::Print(int row, int col, int stringId) {
    if (!stringSource_) return 0;
    return PrintUnits(nullptr, row, col, kKeepFlags, 0, Resolve(stringId));
}

double CPage::Print(double row, double col, const char* format, ...) {
    KWS_FORMAT(format, text);
    return PrintInches(nullptr, row, col, kKeepFlags, 0, QString::fromUtf8(text.c_str()));
}

int CPage::Print(int row, int col, const char* format, ...) {
    KWS_FORMAT(format, text);
    return PrintUnits(nullptr, row, col, kKeepFlags, 0, QString::fromUtf8(text.c_str()));
}

double CPage::Print(double row, double col, unsigned flags, int size, int stringId) {
    if (!stringSource_) return 0;
    return PrintInches(nullptr, row, col, flags, size, Resolve(stringId));
}

double CPage::Print(double row, double* col, unsigned flags, int size, const char* format, ...) {
    KWS_FORMAT(format, text);
    const double next =
        PrintInches(nullptr, row, col ? *col : 0.0, flags, size, QString::fromUtf8(text.c_str()));
    if (col != nullptr) *col = InchesX(nextColumn_);
    return next;
}

double CPage::Print(double row, double col, unsigned flags, int size, const char* format, ...) {
    KWS_FORMAT(format, text);
    return PrintInches(nullptr, row, col, flags, size, QString::fromUtf8(text.c_str()));
}

int CPage::Print(int row, int col, unsigned flags, int size, int stringId) {
    if (!stringSource_) return 0;
    return PrintUnits(nullptr, row, col, flags, size, Resolve(stringId));
}

int CPage::Print(int row, int* col, unsigned flags, int size, const char* format, ...) {
    KWS_FORMAT(format, text);
    const int next =
        PrintUnits(nullptr, row, col ? *col : 0, flags, size, QString::fromUtf8(text.c_str()));
    if (col != nullptr) *col = nextColumn_;
    return next;
}

int CPage::Print(int row, int col, unsigned flags, int size, const char* format, ...) {
    KWS_FORMAT(format, text);
    return PrintUnits(nullptr, row, col, flags, size, QString::fromUtf8(text.c_str()));
}

void CPage::InBoxUnits(CPrintRegion* region, int top, int left, int bottom, int right,
                       unsigned flags, int size, const QString& text) {
    if (region == nullptr && (left > d_.right || top > d_.bottom)) return;
    int lastRight = nextColumn_;
    InRectangle(region, top, left, bottom, right, [&] {
        d_.text = text;
        if (flags != kKeepFlags) d_.textFlags = flags;
        if (size > 0) d_.pointSize = size;
        printer_->RenderText(d_, lineSpacing_);
        lastRight = d_.lastRight;
    });
    nextColumn_ = lastRight;
}

void CPage::PrintInBox(CPrintRegion* r, double top, double left, double bottom, double right,
                       unsigned flags, int size, int stringId) {
    if (stringSource_)
        InBoxUnits(r, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), flags, size,
                   Resolve(stringId));
}
void CPage::PrintInBox(CPrintRegion* r, int top, int left, int bottom, int right, unsigned flags,
                       int size, int stringId) {
    if (stringSource_) InBoxUnits(r, top, left, bottom, right, flags, size, Resolve(stringId));
}
void CPage::PrintInBox(CPrintRegion* r, double top, double left, double bottom, double right,
                       unsigned flags, int size, const char* text) {
    InBoxUnits(r, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), flags, size,
               QString::fromUtf8(text));
}
void CPage::PrintInBox(CPrintRegion* r, int top, int left, int bottom, int right, unsigned flags,
                       int size, const char* text) {
    InBoxUnits(r, top, left, bottom, right, flags, size, QString::fromUtf8(text));
}
void CPage::PrintInBox(double top, double left, double bottom, double right, unsigned flags,
                       int size, int stringId) {
    PrintInBox(nullptr, top, left, bottom, right, flags, size, stringId);
}
void CPage::PrintInBox(int top, int left, int bottom, int right, unsigned flags, int size,
                       int stringId) {
    PrintInBox(nullptr, top, left, bottom, right, flags, size, stringId);
}
void CPage::PrintInBox(double top, double left, double bottom, double right, unsigned flags,
                       int size, const char* text) {
    PrintInBox(nullptr, top, left, bottom, right, flags, size, text);
}
void CPage::PrintInBox(int top, int left, int bottom, int right, unsigned flags, int size,
                       const char* text) {
    PrintInBox(nullptr, top, left, bottom, right, flags, size, text);
}

double CPage::SetSpacingFactor(double factor) {
    const double old = lineSpacing_;
    if (factor > 0) lineSpacing_ = factor;
    return old;
}

QString CPage::SetFont(const char* face) {
    const QString old = d_.fontName;
    if (face != nullptr) d_.fontName = QString::fromUtf8(face);
    return old;
}

double CPage::GetNextColumn(bool inInches, bool addCharacter) {
    const int units = nextColumn_ + (addCharacter ? metrics_.maxCharWidth : 0);
    return inInches ? InchesX(units) : units;
}

QColor CPage::SetInkColor(const QColor& color) {
    if (d_.device == nullptr) return {};
    const QColor old = d_.device->pen().color();
    d_.device->setPen(color);
    return old;
}

int CPage::SetPointSize(int size) {
    const int old = d_.pointSize;
    d_.pointSize = size;
    return old;
}

int CPage::SetEdge(int& edge, int units, int reset) {
    const int old = edge;
    if (units > 0) {
        edge = units;
    } else if (units == -1) {
        edge = reset;
    }
    return old;
}

double CPage::SetRightEdge(double inches) {
    return InchesX(SetEdge(d_.right,
                           inches > 0     ? UnitsX(inches)
                           : inches == -1 ? -1
                                          : 0,
                           d_.pageWidth));
}

int CPage::SetRightEdge(int units) { return SetEdge(d_.right, units, d_.pageWidth); }

double CPage::SetBottomEdge(double inches) {
    return InchesY(SetEdge(d_.bottom,
                           inches > 0     ? UnitsY(inches)
                           : inches == -1 ? -1
                                          : 0,
                           d_.pageHeight));
}

int CPage::SetBottomEdge(int units) { return SetEdge(d_.bottom, units, d_.pageHeight); }

void CPage::InRectangle(CPrintRegion* region, int top, int left, int bottom, int right,
                        const std::function<void()>& draw) {
    if (region != nullptr) {
        EnterRegion(region, top, left);
        bottom = std::min(bottom + region->contentTop, region->bottom);
        right = std::min(right + region->contentLeft, region->right);
    } else {
        SaveState();
    }
    d_.top = top;
    d_.left = left;
    d_.bottom = bottom;
    d_.right = right;
    draw();
    if (region != nullptr) {
        LeaveRegion(region);
    } else {
        RestoreState();
    }
}

void CPage::LineUnits(CPrintRegion* region, int top, int left, int bottom, int right, int lineWidth,
                      unsigned pen) {
    InRectangle(region, top, left, bottom, right, [&] {
        if (pen != kKeepFlags) d_.penFlags = pen;
        printer_->RenderLine(d_, lineWidth);
    });
}

void CPage::BoxUnits(CPrintRegion* region, int top, int left, int bottom, int right, int lineWidth,
                     unsigned fill, unsigned pen) {
    InRectangle(region, top, left, bottom, right, [&] {
        if (fill != kKeepFlags) d_.fillFlags = fill;
        if (pen != kKeepFlags) d_.penFlags = pen;
        printer_->RenderBox(d_, lineWidth);
    });
}

void CPage::DrawLine(CPrintRegion* r, double top, double left, double bottom, double right,
                     int lineWidth, unsigned pen) {
    LineUnits(r, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), lineWidth, pen);
}
void CPage::DrawLine(CPrintRegion* r, int top, int left, int bottom, int right, int lineWidth,
                     unsigned pen) {
    LineUnits(r, top, left, bottom, right, lineWidth, pen);
}
void CPage::DrawLine(double top, double left, double bottom, double right, int lineWidth,
                     unsigned pen) {
    LineUnits(nullptr, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), lineWidth, pen);
}
void CPage::DrawLine(int top, int left, int bottom, int right, int lineWidth, unsigned pen) {
    LineUnits(nullptr, top, left, bottom, right, lineWidth, pen);
}
void CPage::DrawBox(CPrintRegion* r, double top, double left, double bottom, double right,
                    int lineWidth, unsigned fill, unsigned pen) {
    BoxUnits(r, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), lineWidth, fill, pen);
}
void CPage::DrawBox(CPrintRegion* r, int top, int left, int bottom, int right, int lineWidth,
                    unsigned fill, unsigned pen) {
    BoxUnits(r, top, left, bottom, right, lineWidth, fill, pen);
}
void CPage::DrawBox(double top, double left, double bottom, double right, int lineWidth,
                    unsigned fill, unsigned pen) {
    BoxUnits(nullptr, UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), lineWidth, fill,
             pen);
}
void CPage::DrawBox(int top, int left, int bottom, int right, int lineWidth, unsigned fill,
                    unsigned pen) {
    BoxUnits(nullptr, top, left, bottom, right, lineWidth, fill, pen);
}

void CPage::CheckBoxUnits(CPrintRegion* region, const char* text, bool checked, int row, int col,
                          int size, int mode, int lineWidth, unsigned fill, unsigned flags) {
    const int sideX = UnitsX(size / 72.0), sideY = UnitsY(size / 72.0);
    int boxLeft = col;
    int textLeft = col + 2 * sideX;
    if (mode == 1) {
        PrintUnits(region, row, col, flags, size, QString::fromUtf8(text));
        boxLeft = nextColumn_ + metrics_.maxCharWidth - (region ? region->contentLeft : 0);
    }
    BoxUnits(region, row, boxLeft, row + sideY, boxLeft + sideX, lineWidth, 0, 0);
    if (checked) {
        if (fill != 0) {
            BoxUnits(region, row, boxLeft, row + sideY, boxLeft + sideX, lineWidth, fill, 0);
        } else {
            LineUnits(region, row, boxLeft, row + sideY, boxLeft + sideX, lineWidth, 0);
            LineUnits(region, row, boxLeft + sideX, row + sideY, boxLeft, lineWidth, 0);
        }
    }
    if (mode != 1) PrintUnits(region, row, textLeft, flags, size, QString::fromUtf8(text));
}

void CPage::DrawCheckBox(CPrintRegion* r, const char* text, bool checked, double row, double col,
                         int size, int mode, int lineWidth, unsigned fill, unsigned flags) {
    CheckBoxUnits(r, text, checked, UnitsY(row), UnitsX(col), size, mode, lineWidth, fill, flags);
}
void CPage::DrawCheckBox(CPrintRegion* r, const char* text, bool checked, int row, int col,
                         int size, int mode, int lineWidth, unsigned fill, unsigned flags) {
    CheckBoxUnits(r, text, checked, row, col, size, mode, lineWidth, fill, flags);
}
void CPage::DrawCheckBox(const char* text, bool checked, double row, double col, int size, int mode,
                         int lineWidth, unsigned fill, unsigned flags) {
    CheckBoxUnits(nullptr, text, checked, UnitsY(row), UnitsX(col), size, mode, lineWidth, fill,
                  flags);
}
void CPage::DrawCheckBox(const char* text, bool checked, int row, int col, int size, int mode,
                         int lineWidth, unsigned fill, unsigned flags) {
    CheckBoxUnits(nullptr, text, checked, row, col, size, mode, lineWidth, fill, flags);
}

CPrintRegion* CPage::CreateRegion(int top, int left, int bottom, int right, unsigned fill) {
    auto region = std::make_unique<CPrintRegion>();
    region->fill = fill;
    if (!region->Create(this, top, left, right, bottom, fill)) return nullptr;
    regions_.push_back(std::move(region));
    return regions_.back().get();
}

CPrintRegion* CPage::CreateRegion(double top, double left, double bottom, double right,
                                  unsigned fill) {
    return CreateRegion(UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), fill);
}

void CPage::PrintTable(TableDescriptor* t) {
    if (t == nullptr) return;
    if (t->noHeader) t->headerLines = 0;
    // The table is drawn from a copy in units; a description in inches keeps its inches.
    TableLayout units = *t;
    if (t->inInches) {
        units.top = UnitsY(t->top);
        units.bottom = UnitsY(t->bottom);
        units.left = UnitsX(t->left);
        units.right = UnitsX(t->right);
        const int columns = std::clamp(t->columns, 0, TableLayout::kMaxColumns);
        for (int c = 0; c < columns; ++c) units.column[c].width = UnitsX(t->column[c].width);
    }
    if (d_.right < units.right) return;
    t->table = std::make_unique<CPrintTable>(this, units);
    const PrintDescriptor saved = d_;
    t->table->Draw();
    d_ = saved;
    const TableLayout& drawn = t->table->Layout();
    if (t->inInches) {
        t->bottom = InchesY(static_cast<int>(drawn.bottom));
    } else {
        t->bottom = drawn.bottom;
        for (int c = 0; c < TableLayout::kMaxColumns; ++c)
            t->column[c].width = drawn.column[c].width;
    }
}

void CPage::PrintTableCell(TableDescriptor* t, int row, int column, int pointSize, unsigned flags,
                           const char* format, ...) {
    if (t == nullptr || t->table == nullptr) return;
    char buffer[1000];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    SaveState();
    if (t->freeCells) {
        t->table->PrintFreeCell(QString::fromUtf8(buffer), row, column, pointSize, flags);
    } else {
        t->table->PrintCell(QString::fromUtf8(buffer), row, column, pointSize, flags);
    }
    const int next = d_.lastRight;
    RestoreState();
    nextColumn_ = next;
}

void CPage::PrintBitmapFile(double top, double left, double bottom, double right,
                            const char* fileName) {
    PrintBitmapFile(UnitsY(top), UnitsX(left), UnitsY(bottom), UnitsX(right), fileName);
}

void CPage::PrintBitmapFile(int top, int left, int bottom, int right, const char* fileName) {
    // The picture's rectangle is a request of its own: it must not become the page's edges, or a
    // text below the picture would count as beyond the bottom edge.
    SaveState();
    DrawBitmap(top, left, bottom, right, fileName);
    RestoreState();
}

void CPage::DrawBitmap(int top, int left, int bottom, int right, const char* fileName) {
    d_.top = top;
    d_.left = left;
    d_.bottom = bottom;
    d_.right = right;
    d_.text = QString::fromUtf8(fileName);
    QImage image;
    if (!ReadBitmapFile(d_.text, image) || d_.device == nullptr) return;
    // The picture is stretched into its rectangle; bitmaps take no horizontal offset.
    const int width = right - left, height = bottom - top;
    d_.device->drawImage(QRect(left, top, width, height), image);
}
