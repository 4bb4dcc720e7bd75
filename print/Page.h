// The printed page: positions in inches or device units, margins, font, size and line spacing,
// a save stack of the drawing state, and the families of print, box, line and check-box
// operations (each with and without a region, in inches or units, with a format or a string id).
#pragma once

#include <QColor>
#include <QRect>

#include <cstdarg>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "print/PrintDescriptor.h"
#include "print/Printer.h"

class QPainter;
class CPrintRegion;
class CPrintTable;
struct TableDescriptor;

class CPage {
public:
    static constexpr int kStackDepth = 10;
    static constexpr size_t kBufferSize = 5120;  // formatted texts are cut to fit

    // The page over `rect` (device units) of `device`; map mode 1 (text) or 8 (anisotropic),
    // any other mode counts as 1. `printer` replaces the renderer (tests record with it).
    CPage(const QRect& rect, QPainter* device, int mapMode,
          std::unique_ptr<CPrinter> printer = nullptr);
    virtual ~CPage();
    CPage(const CPage&) = delete;
    CPage& operator=(const CPage&) = delete;

    virtual void SetStringSource(std::function<std::string(int)> source) {
        stringSource_ = std::move(source);
    }
    virtual int PrintOnRow(const QString& text, int column, unsigned flags, int pointSize);
    virtual void PrintTableCell(TableDescriptor* table, int row, int column, int pointSize,
                                unsigned flags, const char* format, ...)
        __attribute__((format(printf, 7, 8)));

    // The Print family. Rows returned are the next row (units for int positions, inches for
    // double positions). Members with a column pointer replace it by the next column.
    double Print(CPrintRegion* r, double row, double col, unsigned flags, int size, int stringId);
    int Print(CPrintRegion* r, int row, int col, unsigned flags, int size, int stringId);
    double Print(CPrintRegion* r, double row, double col, unsigned flags, int size,
                 const char* format, ...) __attribute__((format(printf, 7, 8)));
    int Print(CPrintRegion* r, int row, int col, unsigned flags, int size, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    double Print(double row, double col, int stringId);
    int Print(int row, int col, int stringId);
    double Print(double row, double col, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    int Print(int row, int col, const char* format, ...) __attribute__((format(printf, 4, 5)));
    double Print(double row, double col, unsigned flags, int size, int stringId);
    double Print(double row, double* col, unsigned flags, int size, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    double Print(double row, double col, unsigned flags, int size, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    int Print(int row, int col, unsigned flags, int size, int stringId);
    int Print(int row, int* col, unsigned flags, int size, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    int Print(int row, int col, unsigned flags, int size, const char* format, ...)
        __attribute__((format(printf, 6, 7)));

    // The PrintInBox family: a text inside the rectangle (top, left, bottom, right).
    void PrintInBox(CPrintRegion* r, double top, double left, double bottom, double right,
                    unsigned flags, int size, int stringId);
    void PrintInBox(CPrintRegion* r, int top, int left, int bottom, int right, unsigned flags,
                    int size, int stringId);
    void PrintInBox(CPrintRegion* r, double top, double left, double bottom, double right,
                    unsigned flags, int size, const char* text);
    void PrintInBox(CPrintRegion* r, int top, int left, int bottom, int right, unsigned flags,
                    int size, const char* text);
    void PrintInBox(double top, double left, double bottom, double right, unsigned flags, int size,
                    int stringId);
    void PrintInBox(int top, int left, int bottom, int right, unsigned flags, int size,
                    int stringId);
    void PrintInBox(double top, double left, double bottom, double right, unsigned flags, int size,
                    const char* text);
    void PrintInBox(int top, int left, int bottom, int right, unsigned flags, int size,
                    const char* text);

    virtual double SetSpacingFactor(double factor);
    virtual QString SetFont(const char* face);
    virtual double GetNextColumn(bool inInches, bool addCharacter);
    virtual QColor SetInkColor(const QColor& color);
    virtual int SetPointSize(int size);
    double SetRightEdge(double inches);
    int SetRightEdge(int units);
    double SetBottomEdge(double inches);
    int SetBottomEdge(int units);

    void DrawLine(CPrintRegion* r, double top, double left, double bottom, double right,
                  int lineWidth, unsigned pen = kKeepFlags);
    void DrawLine(CPrintRegion* r, int top, int left, int bottom, int right, int lineWidth,
                  unsigned pen = kKeepFlags);
    void DrawLine(double top, double left, double bottom, double right, int lineWidth,
                  unsigned pen = kKeepFlags);
    void DrawLine(int top, int left, int bottom, int right, int lineWidth,
                  unsigned pen = kKeepFlags);
    void DrawBox(CPrintRegion* r, double top, double left, double bottom, double right,
                 int lineWidth, unsigned fill = kKeepFlags, unsigned pen = kKeepFlags);
    void DrawBox(CPrintRegion* r, int top, int left, int bottom, int right, int lineWidth,
                 unsigned fill = kKeepFlags, unsigned pen = kKeepFlags);
    void DrawBox(double top, double left, double bottom, double right, int lineWidth,
                 unsigned fill = kKeepFlags, unsigned pen = kKeepFlags);
    void DrawBox(int top, int left, int bottom, int right, int lineWidth,
                 unsigned fill = kKeepFlags, unsigned pen = kKeepFlags);
    void DrawCheckBox(CPrintRegion* r, const char* text, bool checked, double row, double col,
                      int size, int mode, int lineWidth, unsigned fill, unsigned flags);
    void DrawCheckBox(CPrintRegion* r, const char* text, bool checked, int row, int col, int size,
                      int mode, int lineWidth, unsigned fill, unsigned flags);
    void DrawCheckBox(const char* text, bool checked, double row, double col, int size, int mode,
                      int lineWidth, unsigned fill, unsigned flags);
    void DrawCheckBox(const char* text, bool checked, int row, int col, int size, int mode,
                      int lineWidth, unsigned fill, unsigned flags);

    virtual void PrintTable(TableDescriptor* table);
    CPrintRegion* CreateRegion(int top, int left, int bottom, int right, unsigned fill);
    CPrintRegion* CreateRegion(double top, double left, double bottom, double right, unsigned fill);
    void PrintBitmapFile(double top, double left, double bottom, double right,
                         const char* fileName);
    void PrintBitmapFile(int top, int left, int bottom, int right, const char* fileName);

    // Unit conversions.
    int UnitsX(double inches) const;
    int UnitsY(double inches) const;
    double InchesX(int units) const;
    double InchesY(int units) const;

    // State, for companions and tests.
    PrintDescriptor& Descriptor() { return d_; }
    CPrinter& Printer() { return *printer_; }
    int MapMode() const { return mapMode_; }
    int NextColumn() const { return nextColumn_; }
    void SetNextColumn(int column) { nextColumn_ = column; }
    double LineSpacing() const { return lineSpacing_; }
    // Draws everything from here on `scale` times its size (0 < scale < 1; text pages only): an
    // inch of the layout takes `scale` inches of paper, and the page counts as that much wider
    // and higher in inches.
    void ScaleLayout(double scale);
    double PageWidthInches() const { return widthInches_; }
    double PageHeightInches() const { return heightInches_; }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    int Orientation() const { return 2; }
    void SaveState();
    void RestoreState();
    int StackDepth() const { return top_ + 1; }
    std::string FormatV(const char* format, va_list args) const;
    QString Resolve(int stringId) const;

private:
    int PrintUnits(CPrintRegion* region, int row, int col, unsigned flags, int size,
                   const QString& text);
    double PrintInches(CPrintRegion* region, double row, double col, unsigned flags, int size,
                       const QString& text);
    void InBoxUnits(CPrintRegion* region, int top, int left, int bottom, int right, unsigned flags,
                    int size, const QString& text);
    void LineUnits(CPrintRegion* region, int top, int left, int bottom, int right, int lineWidth,
                   unsigned pen);
    void BoxUnits(CPrintRegion* region, int top, int left, int bottom, int right, int lineWidth,
                  unsigned fill, unsigned pen);
    void CheckBoxUnits(CPrintRegion* region, const char* text, bool checked, int row, int col,
                       int size, int mode, int lineWidth, unsigned fill, unsigned flags);
    // Region members work relative to the region, limited to it, transparently (white on dark).
    void DrawBitmap(int top, int left, int bottom, int right, const char* fileName);
    int SetEdge(int& edge, int units, int reset);
    // Runs `draw` with the descriptor set to the rectangle, inside the region when there is one;
    // the descriptor is restored afterwards.
    void InRectangle(CPrintRegion* region, int top, int left, int bottom, int right,
                     const std::function<void()>& draw);
    void EnterRegion(CPrintRegion* region, int& row, int& col);
    void LeaveRegion(CPrintRegion* region);

    std::unique_ptr<CPrinter> printer_;
    PrintDescriptor d_;
    PrintDescriptor stack_[kStackDepth];
    int top_ = -1;
    int dpiX_ = 96, dpiY_ = 96;
    int deviceDpiX_ = 96, deviceDpiY_ = 96;
    int nextColumn_ = 0;
    TextMetrics metrics_;
    std::function<std::string(int)> stringSource_;
    double lineSpacing_ = 1.0;
    double widthInches_ = 0, heightInches_ = 0;
    int mapMode_ = 1;
    std::vector<std::unique_ptr<CPrintRegion>> regions_;
    std::optional<FillInk> regionInk_;  // while a region member draws
};
