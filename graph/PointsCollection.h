// The points of one series: stored in order (ascending x when sorted), with their bounds, and a
// summary per block of points that lets drawing skip over millions of them. A series either
// holds its points itself or reads them from the rows of a table it shares with other series
// (see PointTable); changing a shared series other than by appending rows gives it its own copy.
#pragma once

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graph/PointTable.h"
#include "recording/HugePageAllocator.h"

struct GraphPoint {
    double x;
    double y;
    int64_t time;  // seconds since the epoch; the null time stamp where a point has none
};

// The time stamp that stands for "no time": 1 January 1970, 01:00:00 local time.
int64_t NullTimeStamp();
// A time stamp whose local year is 1970 counts as unset.
bool IsUnsetTimeStamp(int64_t time);

class CPointsCollection {
public:
    static constexpr size_t kBlock = 64;  // points per summary block

    struct BlockSummary {
        double minY;  // over the finite y of the block; +inf when it has none
        double maxY;
    };

    CPointsCollection(int sorted, int allowDuplicates)
        : sorted_(sorted), allowDuplicates_(allowDuplicates) {}

    int AddPoint(double x, double y, int recalcBounds, int64_t time);
    int InsertPoint(int index, double x, double y, int recalcBounds, int64_t time);
    int SetPoint(int index, double x, double y, int recalcBounds, int64_t time);
    void RemovePoint(int index, int recalcBounds);
    void RemoveAll();
    void RecalcBounds();

    // Makes the series read its points from the rows of `table`, through `column`; it drops the
    // points it had and starts empty (bounds 0.0). Rows come in with AppendRows.
    void ReadFrom(std::shared_ptr<const PointTable> table, const PointColumn& column);
    // Appends the table's rows from the first one not yet taken up to `endRow` (exclusive), less
    // the rows the column skips, as AddPoint would one by one (x = row, y = the plotted value,
    // the row's time); the bounds widen likewise. Returns the number of points appended; 0 for
    // a series that reads no table.
    int AppendRows(size_t endRow);
    bool ReadsTable() const { return table_ != nullptr; }
    // The first row AppendRows has not looked at.
    size_t NextRow() const { return nextRow_; }

    int GetCount() const { return static_cast<int>(table_ ? tableCount_ : points_.size()); }
    GraphPoint GetPoint(int index) const {
        const size_t i = static_cast<size_t>(index);
        return {X(i), Y(i), Time(i)};
    }
    double X(size_t i) const { return table_ ? static_cast<double>(RowOf(i)) : points_[i].x; }
    double Y(size_t i) const {
        return table_ ? column_.Plotted(table_->Value(RowOf(i), column_.offset)) : points_[i].y;
    }
    int64_t Time(size_t i) const { return table_ ? table_->Time(RowOf(i)) : points_[i].time; }
    // For points ordered by x (and so by time): the first index whose x, or whose time, is not
    // below the given one; the count when there is none.
    size_t FirstAtOrAfterX(double x) const {
        return FirstWhere([this, x](size_t i) { return !(X(i) < x); });
    }
    size_t FirstAtOrAfterTime(double t) const {
        return FirstWhere([this, t](size_t i) { return !(static_cast<double>(Time(i)) < t); });
    }
    double MaxX() const { return maxX_; }
    double MaxY() const { return maxY_; }
    double MinX() const { return minX_; }
    double MinY() const { return minY_; }
    int IsSorted() const { return sorted_; }
    int AllowsDuplicates() const { return allowDuplicates_; }
    // Room for `count` points without reallocating (an optimisation for known sizes).
    void Reserve(size_t count) {
        if (!table_) points_.reserve(count);
    }

    // For drawing: whether every x is finite and the x never decrease, and the block summaries
    // of minimum and maximum y (both brought up to date here).
    bool IsXOrdered() const;
    using BlockVector = std::vector<BlockSummary, kws::rec::HugePageAllocator<BlockSummary>>;
    const BlockVector& Blocks() const;

private:
    // The first index for which `holds` is true, `holds` being false and then true along the
    // points; a binary search.
    template <typename Holds>
    size_t FirstWhere(Holds holds) const {
        size_t lo = 0, hi = static_cast<size_t>(GetCount());
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (holds(mid)) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        return lo;
    }

    using PointVector = std::vector<GraphPoint, kws::rec::HugePageAllocator<GraphPoint>>;

    size_t RowOf(size_t i) const { return indexed_ ? rows_[i] : i; }
    // Gives a series that reads a table its own copy of the points.
    void Detach();
    void Widen(double x, double y);
    void Invalidate(size_t from) {
        if (from < summaryValid_) summaryValid_ = from;
    }
    void UpdateSummary() const;
    void StoreBlock(size_t block, double lo, double hi);

    PointVector points_;  // the points, unless the series reads a table
    // Reading a table: the points are rows of `table_`; point i is row i, or row rows_[i] once
    // the column has skipped a row.
    std::shared_ptr<const PointTable> table_;
    PointColumn column_;
    std::vector<uint32_t, kws::rec::HugePageAllocator<uint32_t>> rows_;
    bool indexed_ = false;
    size_t tableCount_ = 0;
    size_t nextRow_ = 0;

    double maxX_ = 0.0, maxY_ = 0.0, minX_ = 0.0, minY_ = 0.0;
    int sorted_;
    int allowDuplicates_;
    // Derived drawing data, kept up to date lazily from `summaryValid_` points on.
    mutable BlockVector blocks_;
    mutable size_t summaryValid_ = 0;
    mutable bool xOrdered_ = true;
};
