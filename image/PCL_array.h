// Holder of one heap block of T, released with the holder.
#pragma once

#include <cstddef>
#include <memory>

template <typename T>
class PCL_array {
public:
    PCL_array() = default;
    // A zero-initialised block of `count` elements; an empty holder when the allocation fails.
    explicit PCL_array(size_t count)
        : data_(new (std::nothrow) T[count]()), count_(data_ ? count : 0) {}

    T* get() const { return data_.get(); }
    size_t size() const { return count_; }
    T& operator[](size_t i) const { return data_[i]; }
    explicit operator bool() const { return data_ != nullptr; }
    T* release() {
        count_ = 0;
        return data_.release();
    }

private:
    std::unique_ptr<T[]> data_;
    size_t count_ = 0;
};
