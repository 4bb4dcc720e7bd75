// The samples of an evaluated window that may still grow: the evaluation's array, then chunks of
// a fixed number of records. A chunk is allocated with room for all its records, so appending
// never moves a record; the curves, the statistics and the picture export read the records in
// place while a followed recording appends to the store.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "recording/SampleRecord.h"

namespace kws::rec {

class SampleStore {
public:
    static constexpr size_t kChunkShift = 14;
    static constexpr size_t kChunkRows = size_t{1} << kChunkShift;
    using Chunk = SampleArray;

    SampleStore() = default;
    // The evaluation's records come first; nobody may change them while the store lives.
    explicit SampleStore(std::shared_ptr<const SampleArray> first)
        : first_(std::move(first)), firstRows_(first_ ? first_->size() : 0), size_(firstRows_) {}

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const SampleRecord& operator[](size_t i) const {
        if (i < firstRows_) return (*first_)[i];
        i -= firstRows_;
        return (*chunks_[i >> kChunkShift])[i & (kChunkRows - 1)];
    }
    const SampleRecord& back() const { return (*this)[size_ - 1]; }

    // Appends one record; a new chunk starts when the last one is full.
    void push_back(const SampleRecord& r) {
        if ((size_ - firstRows_) % kChunkRows == 0) {
            auto chunk = std::make_shared<Chunk>();
            chunk->reserve(kChunkRows);
            chunks_.push_back(std::move(chunk));
        }
        chunks_.back()->push_back(r);
        ++size_;
    }

    // The pieces, for readers that keep their own view of the records (the curves' table).
    const std::shared_ptr<const SampleArray>& First() const { return first_; }
    size_t FirstRows() const { return firstRows_; }
    const std::vector<std::shared_ptr<Chunk>>& Chunks() const { return chunks_; }

private:
    std::shared_ptr<const SampleArray> first_;
    size_t firstRows_ = 0;
    std::vector<std::shared_ptr<Chunk>> chunks_;
    size_t size_ = 0;
};

}  // namespace kws::rec
