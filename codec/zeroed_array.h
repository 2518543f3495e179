// A fixed-size table of zero bytes taken straight from the system: pages cost
// memory only where the table is used, so a small file coded with the default
// tables stays small.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/platform.h"

namespace vellum {

template <class T>
class ZeroedArray {
public:
    ZeroedArray() = default;
    explicit ZeroedArray(size_t count) { allocate(count); }
    ~ZeroedArray() { release(); }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;

    // Replaces the contents with `count` zero elements; false (and empty) when
    // memory runs out.
    bool allocate(size_t count) {
        release();
        data_ = static_cast<T*>(platform::allocate_table(count * sizeof(T)));
        size_ = data_ ? count : 0;
        return data_ != nullptr;
    }
    void release() {
        platform::release_table(data_, size_ * sizeof(T));
        data_ = nullptr;
        size_ = 0;
    }

    void swap(ZeroedArray& other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
    }

    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    T* data() { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    T* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace vellum
