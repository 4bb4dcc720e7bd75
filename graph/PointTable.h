// Records that several series read in place instead of holding copies: one row per record, the
// x of a row is its index, and the time stamp and each series' value lie at fixed byte offsets
// in the record. The six curves of an evaluation share its sample array this way: a month of
// them costs the samples alone rather than 24 more bytes per point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

class PointTable {
public:
    // `records` holds `rows` records of `stride` bytes; the time (int64_t) of a record lies at
    // `timeOffset`. `owner` keeps the records alive, and nobody may change them while a series
    // reads them.
    PointTable(const void* records, size_t rows, size_t stride, size_t timeOffset,
               std::shared_ptr<const void> owner)
        : base_(static_cast<const unsigned char*>(records)),
          rows_(records != nullptr ? rows : 0),
          stride_(stride),
          timeOffset_(timeOffset),
          firstRows_(rows_),
          owner_(std::move(owner)) {}

    // A table that grows: rows after the first `rows` come in chunks of 2^chunkShift records
    // each, which never move once added; AddChunk hands one over, SetRows tells how many rows
    // are filled. The series take new rows up with AppendRows.
    void SetChunkShift(unsigned chunkShift) { chunkShift_ = chunkShift; }
    void AddChunk(const void* records, std::shared_ptr<const void> owner) {
        chunks_.push_back(static_cast<const unsigned char*>(records));
        chunkOwners_.push_back(std::move(owner));
    }
    void SetRows(size_t rows) { rows_ = rows; }
    size_t Chunks() const { return chunks_.size(); }

    size_t Rows() const { return rows_; }
    int64_t Time(size_t row) const { return Read<int64_t>(row, timeOffset_); }
    // The double at byte `offset` of a record.
    double Value(size_t row, size_t offset) const { return Read<double>(row, offset); }

private:
    template <typename T>
    T Read(size_t row, size_t offset) const {
        T value;
        const unsigned char* at;
        if (row < firstRows_) [[likely]] {
            at = base_ + row * stride_;
        } else {
            const size_t k = row - firstRows_;
            at = chunks_[k >> chunkShift_] + (k & ((size_t{1} << chunkShift_) - 1)) * stride_;
        }
        std::memcpy(&value, at + offset, sizeof value);
        return value;
    }

    const unsigned char* base_;
    size_t rows_;
    size_t stride_;
    size_t timeOffset_;
    size_t firstRows_;
    unsigned chunkShift_ = 14;
    std::vector<const unsigned char*> chunks_;
    std::shared_ptr<const void> owner_;
    std::vector<std::shared_ptr<const void>> chunkOwners_;
};

// How one series takes its points from the rows of a table.
struct PointColumn {
    size_t offset = 0;  // byte offset of the series' value (a double) in a record
    // Two values that stand for a reading the sensor could not take: plotted as `replacement`.
    bool hasSentinels = false;
    double sentinels[2] = {0.0, 0.0};
    double replacement = 0.0;
    // Rows whose value is exactly `skipValue` give the series no point.
    bool hasSkipValue = false;
    double skipValue = 0.0;

    double Plotted(double value) const {
        return hasSentinels && (value == sentinels[0] || value == sentinels[1]) ? replacement
                                                                                : value;
    }
    bool Skips(double value) const { return hasSkipValue && value == skipValue; }
};
