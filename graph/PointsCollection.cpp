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
    if (points_.empty()) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        return;
    }
    if (x > maxX_) maxX_ = x;
    if (x < minX_) minX_ = x;
    if (y > maxY_) maxY_ = y;
    if (y < minY_) minY_ = y;
}

int CPointsCollection::AddPoint(double x, double y, int recalcBounds, int64_t time) {
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
    points_.insert(points_.begin() + index, GraphPoint{x, y, time});
    Invalidate(static_cast<size_t>(index));
    if (recalcBounds) RecalcBounds();
    return index;
}

int CPointsCollection::SetPoint(int index, double x, double y, int recalcBounds, int64_t time) {
    if (index < 0 || index >= GetCount()) return -1;
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
    points_.erase(points_.begin() + index);
    Invalidate(static_cast<size_t>(index));
    if (recalcBounds) RecalcBounds();
}

void CPointsCollection::RemoveAll() {
    points_.clear();
    Invalidate(0);
    minX_ = maxX_ = minY_ = maxY_ = 0.0;
}

void CPointsCollection::RecalcBounds() {
    if (points_.empty()) {
        minX_ = maxX_ = minY_ = maxY_ = 0.0;
        return;
    }
    minX_ = maxX_ = points_[0].x;
    minY_ = maxY_ = points_[0].y;
    for (size_t i = 1; i < points_.size(); ++i) {
        const GraphPoint& p = points_[i];
        if (p.x < minX_) {
            minX_ = p.x;
        } else if (p.x > maxX_) {
            maxX_ = p.x;
        }
        if (p.y < minY_) {
            minY_ = p.y;
        } else if (p.y > maxY_) {
            maxY_ = p.y;
        }
    }
}

void CPointsCollection::UpdateSummary() const {
    const size_t n = points_.size();
    if (summaryValid_ >= n) return;
    // Restart at the block that holds the first stale point; a known disorder may lie before
    // it or may have been removed, so then start over.
    size_t firstBlock = xOrdered_ ? summaryValid_ / kBlock : 0;
    size_t i = firstBlock * kBlock;
    if (i == 0) xOrdered_ = true;
    blocks_.resize((n + kBlock - 1) / kBlock);
    for (size_t b = firstBlock; b < blocks_.size(); ++b) {
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        const size_t end = std::min(n, (b + 1) * kBlock);
        for (; i < end; ++i) {
            const GraphPoint& p = points_[i];
            if (!std::isfinite(p.x) || (i > 0 && p.x < points_[i - 1].x)) xOrdered_ = false;
            if (std::isfinite(p.y)) {
                lo = std::min(lo, p.y);
                hi = std::max(hi, p.y);
            }
        }
        blocks_[b] = {lo, hi};
    }
    summaryValid_ = n;
}

bool CPointsCollection::IsXOrdered() const {
    UpdateSummary();
    return xOrdered_;
}

const std::vector<CPointsCollection::BlockSummary>& CPointsCollection::Blocks() const {
    UpdateSummary();
    return blocks_;
}
