// Regions and tables of a printed page.
#pragma once

#include <QString>

#include <memory>

#include "print/PrintDescriptor.h"

class CPage;
class CPrintTable;

// A rectangle of the page, optionally filled and framed, with an optional title line; the region
// members of the page's operations write into it relative to its content origin.
class CPrintRegion {
public:
    virtual ~CPrintRegion() = default;
    // False when top or left is negative, or the rectangle reaches beyond the page.
    virtual bool Create(CPage* page, int top, int left, int right, int bottom, unsigned fill);
    virtual void DrawTitle(const QString& text, int pointSize, unsigned textFlags, unsigned fill);
    virtual void DrawBorder();

    int contentTop = 0;
    int contentLeft = 0;
    int top = 0;
    int left = 0;
    int right = 0;
    int bottom = 0;
    unsigned fill = 0;
    CPage* page = nullptr;
};

struct TableColumn {
    double width = 0;
    QString title;  // empty: "Col <n>"
    unsigned fill = 0;
};

// The geometry and look of a table: positions and widths in units, or in inches when `inInches`
// is set.
struct TableLayout {
    static constexpr int kMaxColumns = 25;
    int lineInterval = 0;  // 0: a rule after every row and cell fills; N: a rule every N rows
    int inInches = 0;
    int equalWidths = 0;
    unsigned headerFill = 0;
    int pointSize = 10;
    int lineWidth = 1;
    int columns = 0;
    int rows = 0;
    int border = 1;
    int verticalRules = 1;
    int horizontalRules = 1;
    int freeCells = 0;
    int noHeader = 0;
    int headerLines = 1;
    int rowLines = 1;
    double top = 0;
    double left = 0;
    double right = 0;
    double bottom = 0;  // set by the table
    TableColumn column[kMaxColumns];
};

// The caller's description of a table; the page reads it and reports back the drawn bottom
// (and, for a description in units, the column widths as drawn). A description in inches stays
// in inches: the table is drawn from a converted copy, so it can be printed again.
struct TableDescriptor : TableLayout {
    TableDescriptor();
    ~TableDescriptor();
    // A copy is a new description: it has no drawn table of its own. A move takes the table.
    TableDescriptor(const TableDescriptor& other);
    TableDescriptor& operator=(const TableDescriptor& other);
    TableDescriptor(TableDescriptor&&) noexcept;
    TableDescriptor& operator=(TableDescriptor&&) noexcept;

    std::unique_ptr<CPrintTable> table;  // made by PrintTable for this description
};

// A drawn table: its layout in units, from which the cells are placed.
class CPrintTable {
public:
    CPrintTable(CPage* page, const TableLayout& unitsLayout) : page_(page), t_(unitsLayout) {}
    virtual ~CPrintTable() = default;
    CPrintTable(const CPrintTable&) = delete;
    CPrintTable& operator=(const CPrintTable&) = delete;
    const TableLayout& Layout() const { return t_; }
    virtual void Draw();
    virtual void PrintCell(const QString& text, int row, int column, int pointSize, unsigned flags);
    virtual void PrintFreeCell(const QString& text, int row, int column, int pointSize,
                               unsigned flags);
    virtual void DrawHeader();
    virtual void DrawFrame();
    virtual void DrawRowRules();
    virtual void DrawColumnRules();
    // Height of one body row (`header` false) or one header line, in units.
    virtual int LineHeight(bool header) const;
    virtual void FillCell(int row, int column);

private:
    int Columns() const;
    int HeaderHeight() const;
    void CellRect(int row, int column, int& top, int& left, int& bottom, int& right) const;
    void Cell(const QString& text, int row, int column, int pointSize, unsigned flags, int inset);

    CPage* page_;
    TableLayout t_;
};
