// Records that several series read in place instead of holding copies: one row per record, the
// x of a row is its index, and the time stamp and each series' value lie at fixed byte offsets
// in the record. The six curves of an evaluation share its sample array this way: a month of
// them costs the samples alone rather than 24 more bytes per point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

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
          owner_(std::move(owner)) {}

    size_t Rows() const { return rows_; }
    int64_t Time(size_t row) const { return Read<int64_t>(row, timeOffset_); }
    // The double at byte `offset` of a record.
    double Value(size_t row, size_t offset) const { return Read<double>(row, offset); }

private:
    template <typename T>
    T Read(size_t row, size_t offset) const {
        T value;
        std::memcpy(&value, base_ + row * stride_ + offset, sizeof value);
        return value;
    }

    const unsigned char* base_;
    size_t rows_;
    size_t stride_;
    size_t timeOffset_;
    std::shared_ptr<const void> owner_;
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
