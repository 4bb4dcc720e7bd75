#include "print/Region.h"

#include <algorithm>

#include "print/Page.h"

bool CPrintRegion::Create(CPage* owner, int t, int l, int r, int b, unsigned f) {
    page = owner;
    PrintDescriptor& d = page->Descriptor();
    if (t < 0 || l < 0 || r > d.pageWidth || b > d.pageHeight) return false;
    top = t;
    left = l;
    bottom = std::min(b, d.bottom);
    right = std::min(r, d.right);
    fill = f;
    contentTop = top + 1;
    contentLeft = left + 1;
    page->SaveState();
    d.top = top;
    d.left = left;
    d.bottom = bottom;
    d.right = right;
    d.fillFlags = fill;
    page->Printer().RenderFill(d);
    page->RestoreState();
    return true;
}

void CPrintRegion::DrawTitle(const QString& text, int pointSize, unsigned textFlags,
                             unsigned titleFill) {
    PrintDescriptor& d = page->Descriptor();
    page->SaveState();
    d.text = text;
    d.pointSize = pointSize > 0 ? pointSize : d.pointSize;
    d.textFlags = textFlags | 0x0A00;
    d.fillFlags = titleFill;
    d.top = top;
    d.left = left;
    d.right = right;
    int height;
    if (textFlags & kTextBox) {
        d.bottom = bottom;
        page->Printer().MeasureText(d, 1.0);
        height = d.lastHeight + 10;
    } else {
        height = page->UnitsY(2.0 * d.pointSize / 72.0);
    }
    d.bottom = std::min(top + height, bottom);
    page->Printer().RenderText(d, 1.0);
    page->RestoreState();
    contentTop = top + height + 1;
}

void CPrintRegion::DrawBorder() {
    PrintDescriptor& d = page->Descriptor();
    page->SaveState();
    d.top = top;
    d.left = left;
    d.bottom = bottom;
    d.right = right;
    page->Printer().RenderBox(d, 1);
    page->RestoreState();
}

TableDescriptor::TableDescriptor() = default;
TableDescriptor::~TableDescriptor() = default;
TableDescriptor::TableDescriptor(const TableDescriptor& other) : TableLayout(other) {}
TableDescriptor::TableDescriptor(TableDescriptor&&) noexcept = default;
TableDescriptor& TableDescriptor::operator=(TableDescriptor&&) noexcept = default;
TableDescriptor& TableDescriptor::operator=(const TableDescriptor& other) {
    if (this != &other) {
        TableLayout::operator=(other);
        table.reset();
    }
    return *this;
}

int CPrintTable::Columns() const { return std::clamp(t_.columns, 0, TableLayout::kMaxColumns); }

int CPrintTable::LineHeight(bool header) const {
    const double points = header ? t_.pointSize * (t_.headerLines == 1 ? 1.5 : 1.0)
                                 : t_.rowLines * (t_.pointSize * 1.5);
    if (page_->MapMode() == 8) return static_cast<int>(points);
    return static_cast<int>(points / 72.0 * page_->DpiY());
}

int CPrintTable::HeaderHeight() const {
    return t_.noHeader ? 0 : t_.headerLines * LineHeight(true);
}

void CPrintTable::Draw() {
    const int columns = Columns();
    if (t_.equalWidths && columns > 0) {
        const int width = static_cast<int>((t_.right - t_.left) / columns);
        for (int c = 0; c < columns; ++c) t_.column[c].width = width;
    }
    DrawHeader();
    DrawFrame();
    DrawRowRules();
    DrawColumnRules();
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < t_.rows; ++r) FillCell(r, c);
    }
}

void CPrintTable::DrawHeader() {
    if (t_.noHeader) return;
    PrintDescriptor& d = page_->Descriptor();
    d.pointSize = t_.pointSize;
    const int top = static_cast<int>(t_.top), left = static_cast<int>(t_.left),
              right = static_cast<int>(t_.right);
    const int bottom = top + HeaderHeight();
    page_->DrawBox(top, left, bottom, right, t_.lineWidth, 0u, 0u);
    // The last column ends exactly at the table's right edge, wider or narrower.
    const int columns = Columns();
    if (columns == 0) return;
    double sum = 0;
    for (int c = 0; c < columns; ++c) sum += t_.column[c].width;
    t_.column[columns - 1].width += (right - left) - sum;
    double x = left;
    for (int c = 0; c < columns; ++c) {
        page_->SaveState();
        const QString title =
            t_.column[c].title.isEmpty() ? QString("Col %1").arg(c + 1) : t_.column[c].title;
        d.text = title;
        d.textFlags = 0x891;
        d.fillFlags = t_.headerFill;
        d.top = top;
        d.bottom = bottom;
        d.left = static_cast<int>(x);
        d.right = static_cast<int>(x + t_.column[c].width);
        {
            const FillInk ink(d, t_.headerFill, false);
            page_->Printer().RenderText(d, 2.0);
        }
        page_->RestoreState();
        x += t_.column[c].width;
    }
}

void CPrintTable::DrawFrame() {
    const int height = t_.rows * LineHeight(false) + HeaderHeight();
    t_.bottom = t_.top + height;
    if (t_.border && !t_.freeCells) {
        page_->DrawBox(static_cast<int>(t_.top), static_cast<int>(t_.left),
                       static_cast<int>(t_.bottom), static_cast<int>(t_.right), t_.lineWidth, 0u,
                       0u);
    }
}

void CPrintTable::DrawRowRules() {
    if (!t_.horizontalRules || t_.freeCells) return;
    const int rowHeight = LineHeight(false);
    int y = static_cast<int>(t_.top) + (t_.noHeader ? rowHeight : HeaderHeight());
    for (int i = 1; i <= t_.rows; ++i, y += rowHeight) {
        if (t_.lineInterval == 0 || i % t_.lineInterval == 0) {
            page_->DrawLine(y, static_cast<int>(t_.left), y, static_cast<int>(t_.right),
                            t_.lineWidth, 0u);
        }
    }
}

void CPrintTable::DrawColumnRules() {
    if (!t_.verticalRules || t_.freeCells) return;
    PrintDescriptor& d = page_->Descriptor();
    double x = t_.left;
    for (int c = 0; c + 1 < Columns(); ++c) {
        x += t_.column[c].width;
        page_->SaveState();
        d.left = d.right = static_cast<int>(x);
        d.top = static_cast<int>(t_.top) + HeaderHeight();
        d.bottom = static_cast<int>(t_.bottom);
        page_->Printer().RenderLine(d, t_.lineWidth);
        page_->RestoreState();
    }
}

void CPrintTable::CellRect(int row, int column, int& top, int& left, int& bottom,
                           int& right) const {
    double x = t_.left;
    for (int c = 0; c < column; ++c) x += t_.column[c].width;
    left = static_cast<int>(x);
    right = static_cast<int>(x + t_.column[column].width);
    top = static_cast<int>(t_.top) + HeaderHeight() + row * LineHeight(false);
    bottom = top + LineHeight(false);
}

void CPrintTable::FillCell(int row, int column) {
    if (t_.lineInterval != 0) return;
    PrintDescriptor& d = page_->Descriptor();
    page_->SaveState();
    CellRect(row, column, d.top, d.left, d.bottom, d.right);
    d.fillFlags = t_.column[column].fill;
    page_->Printer().RenderBox(d, 1);
    page_->RestoreState();
}

void CPrintTable::Cell(const QString& text, int row, int column, int pointSize, unsigned flags,
                       int inset) {
    if (row >= t_.rows || row < 0 || column < 0 || column >= Columns()) return;
    PrintDescriptor& d = page_->Descriptor();
    CellRect(row, column, d.top, d.left, d.bottom, d.right);
    d.top += inset;
    d.left += inset;
    d.bottom -= inset;
    d.right -= inset;
    d.text = text;
    d.pointSize = pointSize;
    d.textFlags = flags;
    d.fillFlags = t_.column[column].fill;
    {
        const FillInk ink(d, d.fillFlags, false);
        page_->Printer().RenderText(d, 2.0);
    }
    page_->SetNextColumn(d.lastRight);
}

void CPrintTable::PrintCell(const QString& text, int row, int column, int pointSize,
                            unsigned flags) {
    if (pointSize < 1) pointSize = t_.pointSize;
    if (t_.horizontalRules && !t_.freeCells && pointSize > t_.pointSize) pointSize = t_.pointSize;
    if (t_.rowLines == 1) flags |= 0x0A00;
    Cell(text, row, column, pointSize, flags, 2);
}

void CPrintTable::PrintFreeCell(const QString& text, int row, int column, int pointSize,
                                unsigned flags) {
    if (!t_.freeCells) return;
    Cell(text, row, column, pointSize > 0 ? pointSize : t_.pointSize, flags, 1);
}
