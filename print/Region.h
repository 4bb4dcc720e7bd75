// Regions and tables of a printed page.
#pragma once

#include <QString>

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

// The caller's description of a table; the page and the table read and update it.
struct TableDescriptor {
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
    CPrintTable* table = nullptr;  // made by the page for this description
};

class CPrintTable {
public:
    CPrintTable(CPage* page, TableDescriptor* description) : page_(page), t_(description) {}
    virtual ~CPrintTable() = default;
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
    TableDescriptor* t_;
};
