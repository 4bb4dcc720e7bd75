// Page arithmetic, regions and tables, recorded through a renderer that notes every request.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <memory>
#include <string>
#include <vector>

#include "print/Page.h"
#include "print/Region.h"

namespace {

struct Request {
    std::string kind;  // text, line, box, fill
    PrintDescriptor d;
};

// Draws as usual and keeps a copy of every request.
class RecordingPrinter : public CPrinter {
public:
    std::vector<Request>* log;
    explicit RecordingPrinter(std::vector<Request>* l) : log(l) {}
    int RenderText(PrintDescriptor& d, double spacing) override {
        const int r = CPrinter::RenderText(d, spacing);
        log->push_back({"text", d});
        return r;
    }
    void RenderLine(PrintDescriptor& d, int w) override {
        log->push_back({"line", d});
        CPrinter::RenderLine(d, w);
    }
    void RenderBox(PrintDescriptor& d, int w) override {
        log->push_back({"box", d});
        CPrinter::RenderBox(d, w);
    }
    void RenderFill(PrintDescriptor& d) override {
        log->push_back({"fill", d});
        CPrinter::RenderFill(d);
    }
};

// A page on an image of `inchesWide` x 8.5 inches at 100 pixels per inch.
struct PageFixture {
    QImage image;
    QPainter painter;
    std::vector<Request> log;
    std::unique_ptr<CPage> page;
    explicit PageFixture(double inchesWide = 11.0, int mode = 1) {
        image = QImage(static_cast<int>(inchesWide * 100), 850, QImage::Format_RGB32);
        image.setDotsPerMeterX(3937);  // 100 pixels per inch
        image.setDotsPerMeterY(3937);
        image.fill(Qt::white);
        painter.begin(&image);
        page = std::make_unique<CPage>(image.rect(), &painter, mode,
                                       std::make_unique<RecordingPrinter>(&log));
    }
    ~PageFixture() {
        page.reset();
        painter.end();
    }
    int Count(const std::string& kind) const {
        int n = 0;
        for (const auto& r : log) n += r.kind == kind;
        return n;
    }
};

// A table description in the units given: `rows` body rows, a column per width, from (top, left)
// to `right`.
TableDescriptor Table(int rows, double top, double left, double right,
                      const std::vector<double>& widths) {
    TableDescriptor t;
    t.columns = static_cast<int>(widths.size());
    t.rows = rows;
    t.top = top;
    t.left = left;
    t.right = right;
    for (size_t c = 0; c < widths.size(); ++c) t.column[c].width = widths[c];
    return t;
}

}  // namespace

TEST(Page, HorizontalOffsetOnWidePages) {
    PageFixture wide(11.0);
    EXPECT_EQ(wide.page->DpiX(), 100);
    EXPECT_EQ(wide.page->Descriptor().horizontalOffset, 25);  // half of 0.5 inch
    PageFixture narrow(10.9);
    EXPECT_EQ(narrow.page->Descriptor().horizontalOffset, 0);
    PageFixture odd(10.0, 3);  // map mode 3 counts as 1
    EXPECT_EQ(odd.page->MapMode(), 1);
}

TEST(Page, UnitsInchesAndTheAnisotropicMode) {
    PageFixture f;
    EXPECT_EQ(f.page->UnitsX(1.5), 150);
    EXPECT_EQ(f.page->UnitsY(-2), 0);
    EXPECT_EQ(f.page->InchesX(0), 0.0);
    EXPECT_DOUBLE_EQ(f.page->InchesY(425), 4.25);
    PageFixture m8(11.0, 8);
    EXPECT_EQ(m8.page->Descriptor().pageWidth, 1000);
    EXPECT_EQ(m8.page->UnitsX(5.5), 500);
    EXPECT_NEAR(m8.page->UnitsY(8.5), 1000, 1);
}

TEST(Page, PrintReturnsNextRowsWithTheSpacingSurcharge) {
    PageFixture f(10.0);
    const double row = f.page->Print(1.0, 0.5, 0u, 16, "%s", "Zeile");
    ASSERT_EQ(f.Count("text"), 1);
    const PrintDescriptor& d = f.log.back().d;
    EXPECT_EQ(d.top, 100);
    EXPECT_EQ(d.left, 50);
    EXPECT_DOUBLE_EQ(row, d.lastBottom / 100.0);
    EXPECT_GT(d.lastBottom, 100);
    f.page->SetSpacingFactor(1.5);
    const double spaced = f.page->Print(1.0, 0.5, 0u, 16, "%s", "Zeile");
    EXPECT_DOUBLE_EQ(spaced,
                     (f.log.back().d.lastBottom + static_cast<int>(16 / 72.0 * 0.5 * 100)) / 100.0);
    // An empty text draws nothing and returns the bottom of the previous text.
    const int before = f.Count("text");
    const int next = f.page->Print(300, 10, "%s", "");
    EXPECT_EQ(f.Count("text"), before + 1);  // the request is made, nothing is drawn
    EXPECT_EQ(next - static_cast<int>(16 / 72.0 * 0.5 * 100),
              f.log[static_cast<size_t>(before - 1)].d.lastBottom);
    // String ids need a string source.
    EXPECT_EQ(f.page->Print(2.0, 0.0, 0u, 12, 134), 0.0);
    f.page->SetStringSource([](int id) { return "Text " + std::to_string(id); });
    EXPECT_GT(f.page->Print(2.0, 0.0, 0u, 12, 134), 2.0);
    EXPECT_EQ(f.log.back().d.text, "Text 134");
    // Texts beyond the right or bottom edge are skipped.
    const int count = f.Count("text");
    f.page->SetSpacingFactor(1.0);
    EXPECT_EQ(f.page->Print(1, 5000, "%s", "x"), 1);
    EXPECT_EQ(f.Count("text"), count);
    // A text longer than the formatting buffer is cut, not written past it.
    const std::string huge(9000, 'y');
    f.page->Print(3.0, 0.0, 0x200u, 8, "%s", huge.c_str());
    EXPECT_EQ(f.log.back().d.text.size(), static_cast<int>(CPage::kBufferSize - 1));
}

TEST(Page, EdgesAndTheSaveStack) {
    PageFixture f(10.0);
    EXPECT_EQ(f.page->SetRightEdge(5.0), 10.0);
    EXPECT_EQ(f.page->SetBottomEdge(4.0), 8.5);
    EXPECT_EQ(f.page->SetBottomEdge(-1.0), 4.0);
    EXPECT_EQ(f.page->Descriptor().bottom, 850);
    EXPECT_EQ(f.page->Descriptor().right, 500);  // untouched by the bottom edge
    f.page->SetRightEdge(-1);
    EXPECT_EQ(f.page->Descriptor().right, 1000);
    f.page->DrawBox(1.0, 1.0, 2.0, 2.0, 3, kFillGray, kPenDash);
    EXPECT_EQ(f.log.back().d.fillFlags, static_cast<unsigned>(kFillGray));
    EXPECT_EQ(f.page->Descriptor().fillFlags, 0u);  // restored after the box
    EXPECT_EQ(f.page->StackDepth(), 0);
    f.page->DrawCheckBox("An", true, 3.0, 1.0, 12, 0, 1, 0u, 0u);
    EXPECT_GE(f.Count("line"), 2);  // crossed by its diagonals
}

TEST(Regions, RefusedOutsideThePageAndClippedToItsEdges) {
    PageFixture f(10.0);
    f.page->SetBottomEdge(8.0);
    EXPECT_EQ(f.page->CreateRegion(1.0, 1.0, 9.0, 3.0, 0u), nullptr);  // beyond the page height
    EXPECT_EQ(f.page->CreateRegion(-1, 10, 100, 100, 0u), nullptr);
    CPrintRegion* r = f.page->CreateRegion(1.0, 1.0, 8.4, 3.0, kFillLightGray);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->bottom, 800);  // clipped to the bottom edge
    EXPECT_EQ(r->contentTop, 101);
    EXPECT_EQ(f.log.back().kind, "fill");
    const int row = f.page->Print(r, 10, 5, 0u, 10, "%s", "drin");
    EXPECT_EQ(f.log.back().d.top, 111);
    EXPECT_EQ(f.log.back().d.left, 106);
    EXPECT_EQ(row, f.log.back().d.lastBottom - 101);
    r->DrawTitle("Titel", 10, kTextBox, 0);
    const int measured = f.log.back().d.lastHeight;
    EXPECT_EQ(r->contentTop, 100 + measured + 10 + 1);
}

TEST(Tables, ColumnsRulesFillsAndTitles) {
    PageFixture f(10.0);
    TableDescriptor t = Table(6, 100, 100, 700, {100, 100, 100});
    t.column[1].title = "Mitte";
    f.page->PrintTable(&t);
    ASSERT_NE(t.table, nullptr);
    EXPECT_EQ(t.column[2].width, 400);  // the last column reaches the table's right edge
    std::vector<QString> titles;
    for (const auto& r : f.log) {
        if (r.kind == "text") titles.push_back(r.d.text);
    }
    EXPECT_EQ(titles, (std::vector<QString>{"Col 1", "Mitte", "Col 3"}));
    const int fills = f.Count("box");
    EXPECT_EQ(fills, 1 + 1 + 18);       // header, frame, a fill per cell
    EXPECT_EQ(f.Count("line"), 6 + 2);  // a rule per row, two column rules

    PageFixture g(10.0);
    TableDescriptor u = t;
    u.table = nullptr;
    u.column[0].width = u.column[1].width = u.column[2].width = 300;
    u.lineInterval = 2;
    g.page->PrintTable(&u);
    EXPECT_EQ(u.column[2].width, 0);  // narrowed
    std::vector<int> rules;
    for (const auto& r : g.log) {
        if (r.kind == "line" && r.d.top == r.d.bottom) rules.push_back(r.d.top);
    }
    const int rowHeight = static_cast<int>(10 * 1.5 / 72.0 * 100),
              header = static_cast<int>(10 * 1.5 / 72.0 * 100);
    EXPECT_EQ(rules, (std::vector<int>{100 + header + rowHeight, 100 + header + 3 * rowHeight,
                                       100 + header + 5 * rowHeight}));
    EXPECT_EQ(g.Count("box"), 2);  // no cell fills with an interval
    // Cells: row beyond the last is ignored; a table wider than the page is not drawn.
    const size_t before = g.log.size();
    g.page->PrintTableCell(&u, 6, 0, 10, 0u, "%d", 7);
    EXPECT_EQ(g.log.size(), before);
    g.page->PrintTableCell(&u, 1, 0, 10, 0u, "%d", 7);
    EXPECT_EQ(g.log.back().d.text, "7");
    TableDescriptor wide = t;
    wide.table = nullptr;
    wide.right = 5000;
    g.page->PrintTable(&wide);
    EXPECT_EQ(wide.table, nullptr);
}

TEST(Tables, InchesAreConvertedOnACopySoTheDescriptionPrintsAgain) {
    PageFixture f(10.0);  // 100 units per inch
    TableDescriptor t = Table(2, 1.0, 1.5, 5.5, {1.0, 3.0});
    t.inInches = 1;
    // The header box of each print: (top, left, bottom, right) in units.
    auto headerBoxes = [&] {
        std::vector<std::vector<int>> boxes;
        for (const auto& r : f.log) {
            if (r.kind == "box" && r.d.top == 100 && r.d.fillFlags == 0)
                boxes.push_back({r.d.top, r.d.left, r.d.bottom, r.d.right});
        }
        return boxes;
    };
    const int rowHeight = static_cast<int>(10 * 1.5 / 72.0 * 100);  // 20 units
    for (int print = 1; print <= 2; ++print) {
        f.page->PrintTable(&t);
        ASSERT_NE(t.table, nullptr);
        // The description is still in inches; the bottom comes back in inches.
        EXPECT_EQ(t.top, 1.0);
        EXPECT_EQ(t.left, 1.5);
        EXPECT_EQ(t.right, 5.5);
        EXPECT_EQ(t.column[0].width, 1.0);
        EXPECT_EQ(t.column[1].width, 3.0);
        EXPECT_DOUBLE_EQ(t.bottom, (100 + 3 * rowHeight) / 100.0);
    }
    // Both prints drew the same header box, inside the page: the header (top 100, left 150) and
    // the frame each start at the table's top-left corner.
    const auto boxes = headerBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0], (std::vector<int>{100, 150, 100 + rowHeight, 550}));
    EXPECT_EQ(boxes[2], boxes[0]);
    // A table refused for its width leaves the description as it was: narrowed, it prints.
    PageFixture g(10.0);
    TableDescriptor wide = t;
    wide.right = 12.0;
    g.page->PrintTable(&wide);
    EXPECT_EQ(wide.table, nullptr);
    EXPECT_EQ(wide.left, 1.5);
    EXPECT_EQ(wide.column[1].width, 3.0);
    wide.right = 5.5;
    g.page->PrintTable(&wide);
    ASSERT_NE(wide.table, nullptr);
    EXPECT_DOUBLE_EQ(wide.bottom, t.bottom);
}

TEST(Tables, ADescriptionOwnsItsTableAndCopiesStartWithout) {
    PageFixture f(10.0);
    TableDescriptor t = Table(2, 100, 100, 300, {200});
    f.page->PrintTable(&t);
    ASSERT_NE(t.table, nullptr);
    {
        TableDescriptor copy = t;
        EXPECT_EQ(copy.table, nullptr);  // a new description: nothing drawn for it yet
        EXPECT_EQ(copy.right, 300);
        const size_t before = f.log.size();
        f.page->PrintTableCell(&copy, 0, 0, 10, 0u, "%s", "leer");
        EXPECT_EQ(f.log.size(), before);
        TableDescriptor assigned;
        assigned = t;
        EXPECT_EQ(assigned.table, nullptr);
    }
    // A move hands the table over; it still places cells for the description that holds it.
    TableDescriptor moved = std::move(t);
    ASSERT_NE(moved.table, nullptr);
    t = std::move(moved);
    // The first description's table outlives the copies and still places cells.
    f.page->PrintTableCell(&t, 1, 0, 10, 0u, "%s", "Zelle");
    EXPECT_EQ(f.log.back().d.text, "Zelle");
    EXPECT_EQ(f.log.back().d.top, 100 + 20 + 20 + 2);  // header, row 0, inset
}

TEST(Tables, DarkHeaderCellsKeepThePagePenForOutlinesAndTheBackgroundMode) {
    PageFixture f(10.0);
    f.painter.setBackgroundMode(Qt::OpaqueMode);
    TableDescriptor t = Table(1, 100, 100, 500, {200, 200});
    t.headerFill = kFillBlack;
    t.pointSize = 20;
    f.page->PrintTable(&t);
    EXPECT_EQ(f.painter.backgroundMode(), Qt::OpaqueMode);  // restored after the header
    EXPECT_EQ(f.painter.pen().color(), QColor(Qt::black));
    // Header box: rows 100 to 100 + 41 (20 pt x 1.5). Along the border between the two cells
    // (x = 300) and the outer edges nothing is white: the outlines are drawn with the page's
    // black pen on the black fill. The titles themselves are white.
    const int headerBottom = 100 + static_cast<int>(20 * 1.5 / 72.0 * 100);
    int whiteOnBorders = 0, whiteInside = 0;
    for (int y = 102; y < headerBottom - 1; ++y) {
        for (int x : {100, 101, 298, 299, 300, 301, 302, 499, 500})
            whiteOnBorders += f.image.pixel(x, y) == qRgb(255, 255, 255);
        for (int x = 110; x < 290; ++x) whiteInside += qGray(f.image.pixel(x, y)) > 200;
    }
    EXPECT_EQ(whiteOnBorders, 0);
    EXPECT_GT(whiteInside, 20);  // "Col 1" in white
}

TEST(Page, VerticalCentringAppliesToSingleLinesOnly) {
    // The first row with ink inside the box (top 100, bottom 700) of a text printed there.
    auto firstInkRow = [](unsigned flags, const char* text) {
        PageFixture f(10.0);
        f.page->PrintInBox(100, 100, 700, 400, flags, 12, text);
        for (int y = 100; y < 700; ++y)
            for (int x = 100; x < 400; ++x)
                if (qGray(f.image.pixel(x, y)) < 128) return y;
        return -1;
    };
    const char* wrapped = "Ein Text, der in dem schmalen Kasten auf mehrere Zeilen umbricht.";
    const int lineHeight = static_cast<int>(12 / 72.0 * 100 * 1.5);
    // Word-wrapped with 0x800: set from the top, as without it.
    const int top = firstInkRow(0x800, wrapped);
    ASSERT_GE(top, 100);
    EXPECT_LT(top, 100 + lineHeight);
    EXPECT_EQ(top, firstInkRow(0x000, wrapped));
    // A single line with 0x800 sits in the middle of the box.
    const int single = firstInkRow(0xA00, "Mitte");
    EXPECT_GT(single, 400 - lineHeight);
    EXPECT_LT(single, 400);
}
