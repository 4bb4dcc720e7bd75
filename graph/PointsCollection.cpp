#include "graph/PointsCollection.h"

#include <algorithm>
#include <limits>

#include "recording/LocalTime.h"

int64_t NullTimeStamp() {
    static const int64_t value = [] {
        kws::rec::LocalTimeConverter converter;
        int64_t t = 0;
        converter.ToTime(1970, 1, 1, 1, 0, 0, t);
        return t;
    }();
    return value;
}

bool IsUnsetTimeStamp(int64_t time) {
    kws::rec::LocalFields f{};
    return !kws::rec::LocalFieldsOf(time, f) || f.year == 1970;
}

void CPointsCollection::Widen(double x, double y) {
    if (GetCount() == 0) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        return;
    }
    if (x > maxX_) maxX_ = x;
    if (x < minX_) minX_ = x;
    if (y > maxY_) maxY_ = y;
    if (y < minY_) minY_ = y;
}

void CPointsCollection::Detach() {
    if (!table_) return;
    PointVector own;
    own.reserve(tableCount_);
    for (size_t i = 0; i < tableCount_; ++i) own.push_back({X(i), Y(i), Time(i)});
    table_.reset();
    decltype(rows_)().swap(rows_);
    indexed_ = false;
    tableCount_ = 0;
    nextRow_ = 0;
    points_ = std::move(own);
}

int CPointsCollection::AddPoint(double x, double y, int recalcBounds, int64_t time) {
    Detach();
    Widen(x, y);
    const GraphPoint p{x, y, time};
    if (!sorted_ || points_.empty() || x > points_.back().x) {
        points_.push_back(p);
        return static_cast<int>(points_.size()) - 1;
    }
    if (x < points_.front().x) {
        points_.insert(points_.begin(), p);
        Invalidate(0);
        return 0;
    }
    for (size_t i = 0; i < points_.size(); ++i) {
        if (points_[i].x == x) {
            if (allowDuplicates_) {
                points_.insert(points_.begin() + static_cast<long>(i), p);
            } else {
                points_[i] = p;
                if (recalcBounds) RecalcBounds();
            }
            Invalidate(i);
            return static_cast<int>(i);
        }
        if (points_[i].x > x) {
            points_.insert(points_.begin() + static_cast<long>(i), p);
            Invalidate(i);
            return static_cast<int>(i);
        }
    }
    // Only an x that compares with nothing (NaN) gets here: it goes to the end.
    points_.push_back(p);
    return static_cast<int>(points_.size()) - 1;
}

int CPointsCollection::InsertPoint(int index, double x, double y, int recalcBounds, int64_t time) {
    if (index < 0 || index > GetCount()) return -1;
    if (index == GetCount() || sorted_) return AddPoint(x, y, recalcBounds, time);
    Detach();
    points_.insert(points_.begin() + index, GraphPoint{x, y, time});
    Invalidate(static_cast<size_t>(index));
    if (recalcBounds) RecalcBounds();
    return index;
}

int CPointsCollection::SetPoint(int index, double x, double y, int recalcBounds, int64_t time) {
    if (index < 0 || index >= GetCount()) return -1;
    Detach();
    points_.erase(points_.begin() + index);
    Invalidate(static_cast<size_t>(index));
    if (sorted_) return AddPoint(x, y, recalcBounds, time);
    Widen(x, y);
    points_.insert(points_.begin() + index, GraphPoint{x, y, time});
    if (recalcBounds) RecalcBounds();
    return index;
}

void CPointsCollection::RemovePoint(int index, int recalcBounds) {
    if (index < 0 || index >= GetCount()) return;
    Detach();
    points_.erase(points_.begin() + index);
    Invalidate(static_cast<size_t>(index));
    if (recalcBounds) RecalcBounds();
}

void CPointsCollection::RemoveAll() {
    points_.clear();
    table_.reset();
    decltype(rows_)().swap(rows_);
    indexed_ = false;
    tableCount_ = 0;
    nextRow_ = 0;
    blocks_.clear();
    summaryValid_ = 0;
    xOrdered_ = true;  // nothing out of order
    minX_ = maxX_ = minY_ = maxY_ = 0.0;
}

void CPointsCollection::RecalcBounds() {
    const size_t n = static_cast<size_t>(GetCount());
    if (n == 0) {
        minX_ = maxX_ = minY_ = maxY_ = 0.0;
        return;
    }
    minX_ = maxX_ = X(0);
    minY_ = maxY_ = Y(0);
    for (size_t i = 1; i < n; ++i) {
        const double x = X(i), y = Y(i);
        if (x < minX_) {
            minX_ = x;
        } else if (x > maxX_) {
            maxX_ = x;
        }
        if (y < minY_) {
            minY_ = y;
        } else if (y > maxY_) {
            maxY_ = y;
        }
    }
}

void CPointsCollection::ReadFrom(std::shared_ptr<const PointTable> table,
                                 const PointColumn& column) {
    RemoveAll();
    PointVector().swap(points_);
    table_ = std::move(table);
    column_ = column;
}

void CPointsCollection::StoreBlock(size_t block, double lo, double hi) {
    if (block < blocks_.size()) {
        blocks_[block] = {lo, hi};
    } else {
        blocks_.push_back({lo, hi});
    }
}

int CPointsCollection::AppendRows(size_t endRow) {
    if (!table_) return 0;
    // Point indices are ints, and the rows of a series that skips some are kept in 32 bits.
    endRow = std::min({endRow, table_->Rows(), static_cast<size_t>(INT_MAX)});
    if (endRow <= nextRow_) return 0;
    UpdateSummary();
    const PointTable& table = *table_;
    const PointColumn column = column_;
    const size_t before = tableCount_;
    size_t count = tableCount_;
    // The bounds widen point by point exactly as AddPoint widens them; the block summaries
    // grow in the same pass, while the rows are in the cache.
    double minX = minX_, maxX = maxX_, minY = minY_, maxY = maxY_;
    constexpr double kInf = std::numeric_limits<double>::infinity();
    double lo = kInf, hi = -kInf;
    if (count % kBlock != 0) {
        lo = blocks_.back().minY;
        hi = blocks_.back().maxY;
    }
    for (size_t row = nextRow_; row < endRow; ++row) {
        const double value = table.Value(row, column.offset);
        if (column.Skips(value)) {
            if (!indexed_) {
                // From the first skipped row on, points and rows part: list the rows.
                rows_.resize(count);
                for (size_t i = 0; i < count; ++i) rows_[i] = static_cast<uint32_t>(i);
                indexed_ = true;
            }
            continue;
        }
        if (indexed_) rows_.push_back(static_cast<uint32_t>(row));
        const double x = static_cast<double>(row), y = column.Plotted(value);
        if (count == 0) {
            minX = maxX = x;
            minY = maxY = y;
        } else {
            maxX = x > maxX ? x : maxX;
            minX = x < minX ? x : minX;
            maxY = y > maxY ? y : maxY;
            minY = y < minY ? y : minY;
        }
        if (std::isfinite(y)) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
        if (++count % kBlock == 0) {
            StoreBlock(count / kBlock - 1, lo, hi);
            lo = kInf;
            hi = -kInf;
        }
    }
    if (count % kBlock != 0) StoreBlock(count / kBlock, lo, hi);
    tableCount_ = count;
    summaryValid_ = count;
    nextRow_ = endRow;
    minX_ = minX;
    maxX_ = maxX;
    minY_ = minY;
    maxY_ = maxY;
    return static_cast<int>(count - before);
}

namespace {

// Block summaries from block `firstBlock` on over points read through `xOf` and `yOf`; the x
// order is checked only when `checkX` is set (a table's rows come in ascending order).
template <typename XOf, typename YOf>
void Summarise(size_t firstBlock, size_t n, XOf xOf, YOf yOf, bool checkX,
               CPointsCollection::BlockVector& blocks, bool& xOrdered) {
    constexpr size_t kBlock = CPointsCollection::kBlock;
    size_t i = firstBlock * kBlock;
    for (size_t b = firstBlock; b < blocks.size(); ++b) {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        const size_t end = std::min(n, (b + 1) * kBlock);
        for (; i < end; ++i) {
            if (checkX) {
                const double x = xOf(i);
                if (!std::isfinite(x) || (i > 0 && x < xOf(i - 1))) xOrdered = false;
            }
            const double y = yOf(i);
            if (std::isfinite(y)) {
                lo = std::min(lo, y);
                hi = std::max(hi, y);
            }
        }
        blocks[b] = {lo, hi};
    }
}

}  // namespace

void CPointsCollection::UpdateSummary() const {
    const size_t n = static_cast<size_t>(GetCount());
    if (summaryValid_ >= n) return;
    // Restart at the block that holds the first stale point; a known disorder may lie before
    // it or may have been removed, so then start over.
    const size_t firstBlock = xOrdered_ ? summaryValid_ / kBlock : 0;
    if (firstBlock == 0) xOrdered_ = true;
    blocks_.resize((n + kBlock - 1) / kBlock);
    if (!table_) {
        const GraphPoint* p = points_.data();
        Summarise(
            firstBlock, n, [p](size_t i) { return p[i].x; }, [p](size_t i) { return p[i].y; }, true,
            blocks_, xOrdered_);
    } else if (!indexed_) {
        Summarise(
            firstBlock, n, [](size_t i) { return static_cast<double>(i); },
            [this](size_t i) { return column_.Plotted(table_->Value(i, column_.offset)); }, false,
            blocks_, xOrdered_);
    } else {
        Summarise(
            firstBlock, n, [this](size_t i) { return static_cast<double>(rows_[i]); },
            [this](size_t i) { return column_.Plotted(table_->Value(rows_[i], column_.offset)); },
            false, blocks_, xOrdered_);
    }
    summaryValid_ = n;
}

bool CPointsCollection::IsXOrdered() const {
    UpdateSummary();
    return xOrdered_;
}

const CPointsCollection::BlockVector& CPointsCollection::Blocks() const {
    UpdateSummary();
    return blocks_;
}
