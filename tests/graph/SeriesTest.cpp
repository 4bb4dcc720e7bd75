#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "graph/GraphProps.h"

TEST(PointsCollection, SortedInsertionAndDuplicates) {
    CPointsCollection c(1, 0);
    EXPECT_EQ(c.AddPoint(5, 1, 1, 0), 0);
    EXPECT_EQ(c.AddPoint(3, 2, 1, 0), 0);
    EXPECT_EQ(c.AddPoint(4, 0, 1, 0), 1);
    EXPECT_EQ(c.GetPoint(0).x, 3);
    EXPECT_EQ(c.GetPoint(1).x, 4);
    EXPECT_EQ(c.GetPoint(2).x, 5);
    // Without duplicates the second point at x = 4 replaces the first.
    EXPECT_EQ(c.AddPoint(4, 9, 1, 0), 1);
    EXPECT_EQ(c.GetCount(), 3);
    EXPECT_EQ(c.GetPoint(1).y, 9);
    CPointsCollection d(1, 1);
    d.AddPoint(4, 1, 1, 0);
    d.AddPoint(4, 2, 1, 0);
    ASSERT_EQ(d.GetCount(), 2);
    EXPECT_EQ(d.GetPoint(0).y, 2);  // the newer one first
}

TEST(PointsCollection, BoundsWidenUntilRecomputed) {
    CPointsCollection c(1, 0);
    c.AddPoint(1, 10, 0, 0);
    c.AddPoint(2, 50, 0, 0);
    c.AddPoint(2, 20, 0, 0);  // replaces y = 50 without recomputing: the bound stays
    EXPECT_EQ(c.MaxY(), 50);
    c.RecalcBounds();
    EXPECT_EQ(c.MaxY(), 20);
    c.RemovePoint(1, 1);
    EXPECT_EQ(c.MaxX(), 1);
    c.RemovePoint(0, 1);
    EXPECT_EQ(c.MaxX(), 0.0);
    EXPECT_EQ(c.MinY(), 0.0);
    c.AddPoint(3, 3, 1, 0);
    c.RemoveAll();
    EXPECT_EQ(c.MaxY(), 0.0);
    EXPECT_EQ(c.GetCount(), 0);
}

TEST(PointsCollection, PositionsAreValidated) {
    CPointsCollection c(0, 0);
    c.AddPoint(1, 1, 1, 0);
    c.AddPoint(2, 2, 1, 0);
    EXPECT_EQ(c.InsertPoint(2, 9, 9, 1, 0), 2);  // at the count: appended
    EXPECT_EQ(c.InsertPoint(4, 9, 9, 1, 0), -1);
    EXPECT_EQ(c.InsertPoint(-1, 9, 9, 1, 0), -1);
    EXPECT_EQ(c.InsertPoint(1, 7, 7, 1, 0), 1);
    EXPECT_EQ(c.GetPoint(1).x, 7);
    EXPECT_EQ(c.SetPoint(4, 0, 0, 1, 0), -1);
    EXPECT_EQ(c.SetPoint(1, 8, 8, 1, 0), 1);  // unsorted: same place
    EXPECT_EQ(c.GetPoint(1).x, 8);
    c.RemovePoint(17, 1);
    EXPECT_EQ(c.GetCount(), 4);
}

TEST(PointsCollection, DrawingSummariesFollowChanges) {
    CPointsCollection c(1, 1);
    for (int i = 0; i < 300; ++i) c.AddPoint(i, i % 7, 1, 0);
    EXPECT_TRUE(c.IsXOrdered());
    ASSERT_EQ(c.Blocks().size(), 5u);
    EXPECT_EQ(c.Blocks()[1].maxY, 6);
    c.AddPoint(100.5, 1000, 1, 0);  // inserted in the middle
    EXPECT_EQ(c.Blocks()[1].maxY, 1000);
    CPointsCollection u(0, 0);
    u.AddPoint(2, 0, 1, 0);
    u.AddPoint(1, 0, 1, 0);
    EXPECT_FALSE(u.IsXOrdered());
    u.RemovePoint(0, 1);
    EXPECT_TRUE(u.IsXOrdered());
    u.AddPoint(std::nan(""), 0, 1, 0);
    EXPECT_FALSE(u.IsXOrdered());
}

TEST(GraphProps, CopiesCarryDisplayPropertiesOnly) {
    CGraphProps s(RGB(1, 2, 3), "Name", 0, 1, -1, 1, 0);
    s.AddPoint(1, 1, 1, 0);
    CGraphProps copy(s);
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.GetColor(), RGB(1, 2, 3));
    EXPECT_EQ(copy.GetTitle(), "Name");
    EXPECT_EQ(copy.IsShown(), 0);
    copy.SetColor(RGB(200, 0, 0));
    EXPECT_EQ(copy.GetPen().color(), QColor(200, 0, 0));
    CGraphProps borrowed(RGB(9, 9, 9), "x", 1, 0, 2, 1, 0);
    EXPECT_EQ(borrowed.GetBrush().color(), QColor(9, 9, 9));  // a fresh tool on every request
    s.CopyFrom(copy);
    EXPECT_EQ(s.GetColor(), RGB(200, 0, 0));
    EXPECT_EQ(s.GetCount(), 1);
}

namespace {

// A record as a table holds it: two values and a time, with padding around them.
struct Record {
    int32_t tag;
    double value[2];
    int64_t time;
};

// Value 0 carries the sensor codes -250 and 250 (plotted as 0), value 1 the code -25 (no point),
// both among ordinary values, NaN and infinity.
std::vector<Record> Records(size_t n) {
    std::vector<Record> r(n);
    for (size_t i = 0; i < n; ++i) {
        r[i].tag = 7;
        r[i].value[0] = (i * 37 % 101) * 0.5 - 20;
        r[i].value[1] = (i * 13 % 29) - 10.0;
        r[i].time = 1212480000 + 3 * static_cast<int64_t>(i);
    }
    r[3].value[0] = -250.0;
    r[4].value[0] = 250.0;
    r[5].value[0] = -249.9;
    r[90].value[0] = std::numeric_limits<double>::infinity();
    r[91].value[0] = std::nan("");
    r[0].value[1] = -25.0;                                    // the very first row gives no point
    for (size_t i = 70; i < 140; ++i) r[i].value[1] = -25.0;  // a whole summary block
    if (n > 201) {
        r[200].value[1] = -25.0;
        r[201].value[1] = -250.0;  // not a code of this column
    }
    return r;
}

PointColumn Column(size_t value, bool sentinels, bool skip) {
    PointColumn c;
    c.offset = offsetof(Record, value) + value * sizeof(double);
    c.hasSentinels = sentinels;
    c.sentinels[0] = -250.0;
    c.sentinels[1] = 250.0;
    c.replacement = 0.0;
    c.hasSkipValue = skip;
    c.skipValue = -25.0;
    return c;
}

// The same points added one by one, the column's rules written out here.
CPointsCollection OneByOne(const std::vector<Record>& records, size_t value, bool sentinels,
                           bool skip) {
    CPointsCollection c(1, 0);
    for (size_t i = 0; i < records.size(); ++i) {
        double y = records[i].value[value];
        if (skip && y == -25.0) continue;
        if (sentinels && (y == 250.0 || y == -250.0)) y = 0.0;
        c.AddPoint(static_cast<double>(i), y, 1, records[i].time);
    }
    return c;
}

// Equal doubles, NaN equal to NaN.
bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

::testing::AssertionResult SamePoints(const CPointsCollection& a, const CPointsCollection& b) {
    if (a.GetCount() != b.GetCount())
        return ::testing::AssertionFailure() << a.GetCount() << " points against " << b.GetCount();
    for (int i = 0; i < a.GetCount(); ++i) {
        const GraphPoint p = a.GetPoint(i), q = b.GetPoint(i);
        if (!Same(p.x, q.x) || !Same(p.y, q.y) || p.time != q.time)
            return ::testing::AssertionFailure()
                   << "point " << i << ": (" << p.x << ", " << p.y << ", " << p.time
                   << ") against (" << q.x << ", " << q.y << ", " << q.time << ")";
    }
    if (!Same(a.MinX(), b.MinX()) || !Same(a.MaxX(), b.MaxX()) || !Same(a.MinY(), b.MinY()) ||
        !Same(a.MaxY(), b.MaxY()))
        return ::testing::AssertionFailure() << "bounds differ";
    if (a.IsXOrdered() != b.IsXOrdered()) return ::testing::AssertionFailure() << "x order";
    if (a.Blocks().size() != b.Blocks().size()) return ::testing::AssertionFailure() << "blocks";
    for (size_t k = 0; k < a.Blocks().size(); ++k) {
        if (!Same(a.Blocks()[k].minY, b.Blocks()[k].minY) ||
            !Same(a.Blocks()[k].maxY, b.Blocks()[k].maxY))
            return ::testing::AssertionFailure() << "summary of block " << k;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(PointsCollection, RowsOfATableReadAsThePointsAddedOneByOne) {
    auto records = std::make_shared<std::vector<Record>>(Records(333));
    auto table = std::make_shared<const PointTable>(
        records->data(), records->size(), sizeof(Record), offsetof(Record, time), records);
    const struct {
        size_t value;
        bool sentinels, skip;
    } columns[] = {{0, true, false}, {1, false, true}, {0, false, false}, {1, true, true}};
    for (const auto& col : columns) {
        const CPointsCollection expected = OneByOne(*records, col.value, col.sentinels, col.skip);
        // Whatever the blocks, the same points, bounds and summaries.
        for (const std::vector<size_t>& ends : {std::vector<size_t>{333},
                                                {1, 2, 64, 65, 129, 200, 201, 333},
                                                {63, 63, 127, 128, 1000}}) {
            CPointsCollection shared(1, 0);
            shared.ReadFrom(table, Column(col.value, col.sentinels, col.skip));
            int added = 0;
            for (size_t end : ends) added += shared.AppendRows(end);
            EXPECT_EQ(added, expected.GetCount());
            EXPECT_EQ(shared.NextRow(), 333u);
            EXPECT_TRUE(SamePoints(shared, expected))
                << "value " << col.value << ", " << ends.size() << " blocks";
        }
    }
    // Spot checks against the rules themselves.
    CPointsCollection zero(1, 0), pump(1, 0);
    zero.ReadFrom(table, Column(0, true, false));
    pump.ReadFrom(table, Column(1, false, true));
    zero.AppendRows(333);
    pump.AppendRows(333);
    EXPECT_EQ(zero.GetPoint(3).y, 0.0);
    EXPECT_EQ(zero.GetPoint(4).y, 0.0);
    EXPECT_EQ(zero.GetPoint(5).y, -249.9);
    EXPECT_EQ(zero.GetPoint(6).time, 1212480018);
    EXPECT_EQ(pump.GetCount(), 333 - 1 - 70 - 1);
    EXPECT_EQ(pump.GetPoint(0).x, 1.0);  // row 0 gave no point
    EXPECT_EQ(pump.GetPoint(69).x, 140.0);
    EXPECT_EQ(pump.GetPoint(69).time, 1212480420);
    EXPECT_EQ(pump.GetPoint(129).x, 201.0);
    EXPECT_EQ(pump.GetPoint(129).y, -250.0);  // not a code of this column
}

TEST(PointsCollection, ChangingASharedSeriesGivesItItsOwnPoints) {
    auto records = std::make_shared<std::vector<Record>>(Records(150));
    std::weak_ptr<std::vector<Record>> watch = records;
    {
        auto table = std::make_shared<const PointTable>(
            records->data(), records->size(), sizeof(Record), offsetof(Record, time), records);
        records.reset();  // the table keeps them
        // Every change on a shared series does what it does on a series of its own points.
        const std::function<void(CPointsCollection&)> changes[] = {
            [](CPointsCollection& c) { EXPECT_EQ(c.AddPoint(40.5, 77, 1, 5), 40); },
            [](CPointsCollection& c) { EXPECT_EQ(c.AddPoint(500, -3, 0, 5), 79); },
            [](CPointsCollection& c) { EXPECT_EQ(c.InsertPoint(10, 3, 4, 1, 5), 2); },  // x 3 taken
            [](CPointsCollection& c) { EXPECT_EQ(c.SetPoint(20, 300, 1, 1, 5), 78); },
            [](CPointsCollection& c) { c.RemovePoint(0, 1); },
            [](CPointsCollection& c) { c.RemovePoint(7, 0); },
        };
        for (const auto& change : changes) {
            CPointsCollection own = OneByOne(*watch.lock(), 1, false, true);
            CPointsCollection shared(1, 0);
            shared.ReadFrom(table, Column(1, false, true));
            shared.AppendRows(150);
            change(own);
            change(shared);
            EXPECT_FALSE(shared.ReadsTable());
            EXPECT_TRUE(SamePoints(shared, own));
            shared.AddPoint(1000, 1, 1, 0);  // and later points go on as usual
            own.AddPoint(1000, 1, 1, 0);
            EXPECT_TRUE(SamePoints(shared, own));
        }
        // Emptied, the series reads no table; given a table, it drops the points it had.
        CPointsCollection c(1, 0);
        c.AddPoint(1, 1, 1, 0);
        c.ReadFrom(table, Column(0, true, false));
        EXPECT_EQ(c.GetCount(), 0);
        EXPECT_EQ(c.MaxY(), 0.0);
        EXPECT_EQ(c.AppendRows(2), 2);
        EXPECT_EQ(c.AppendRows(1), 0);  // rows already taken stay taken
        c.RemoveAll();
        EXPECT_FALSE(c.ReadsTable());
        EXPECT_EQ(c.AppendRows(150), 0);
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());  // the last reader let go of the records
}
