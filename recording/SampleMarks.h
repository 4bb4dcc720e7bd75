// Which records of an evaluated window are data samples. Gap fillers (all values 0.0) and the
// end padding (copies of the last sample) are records too, but carry no reading; in the
// three-curve layout a data sample can even have a filler's values, so only the evaluation that
// pushed them can tell. Kept beside the sample array as runs of indices, a few bytes per gap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace kws::rec {

struct IndexRun {
    size_t begin, end;  // [begin, end)
};

struct SampleMarks {
    // Records that are not data samples, ascending and disjoint.
    std::vector<IndexRun> notData;
    // The window was thinned: each data sample stands for 8 seconds instead of one.
    bool thinned = false;

    // Adds [begin, end) after every run so far, joining it to the last one when they touch.
    void AddNotData(size_t begin, size_t end) {
        if (begin >= end) return;
        if (!notData.empty() && notData.back().end == begin) {
            notData.back().end = end;
        } else {
            notData.push_back({begin, end});
        }
    }

    bool IsData(size_t index) const {
        auto it = std::upper_bound(notData.begin(), notData.end(), index,
                                   [](size_t i, const IndexRun& r) { return i < r.end; });
        return it == notData.end() || index < it->begin;
    }

    void Clear() {
        notData.clear();
        thinned = false;
    }
};

}  // namespace kws::rec
