// The points of one series: stored in order (ascending x when sorted), with their bounds, and a
// summary per block of points that lets drawing skip over millions of them.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

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

    int GetCount() const { return static_cast<int>(points_.size()); }
    const GraphPoint& GetPoint(int index) const { return points_[static_cast<size_t>(index)]; }
    const GraphPoint* Data() const { return points_.data(); }
    double MaxX() const { return maxX_; }
    double MaxY() const { return maxY_; }
    double MinX() const { return minX_; }
    double MinY() const { return minY_; }
    int IsSorted() const { return sorted_; }
    int AllowsDuplicates() const { return allowDuplicates_; }
    // Room for `count` points without reallocating (an optimisation for known sizes).
    void Reserve(size_t count) { points_.reserve(count); }

    // For drawing: whether every x is finite and the x never decrease, and the block summaries
    // of minimum and maximum y (both brought up to date here).
    bool IsXOrdered() const;
    const std::vector<BlockSummary>& Blocks() const;

private:
    void Widen(double x, double y);
    void Invalidate(size_t from) {
        if (from < summaryValid_) summaryValid_ = from;
    }
    void UpdateSummary() const;

    std::vector<GraphPoint, kws::rec::HugePageAllocator<GraphPoint>> points_;
    double maxX_ = 0.0, maxY_ = 0.0, minX_ = 0.0, minY_ = 0.0;
    int sorted_;
    int allowDuplicates_;
    // Derived drawing data, kept up to date lazily from `summaryValid_` points on.
    mutable std::vector<BlockSummary> blocks_;
    mutable size_t summaryValid_ = 0;
    mutable bool xOrdered_ = true;
};
