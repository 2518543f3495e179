// A fixed-size array of zero bytes taken from calloc. Large ones come straight
// from the operating system as untouched zero pages, so a table costs memory only
// where it is used: a small file coded with the default tables stays small.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

namespace vellum {

template <class T>
class ZeroedArray {
public:
    ZeroedArray() = default;
    explicit ZeroedArray(size_t count) { allocate(count); }
    ~ZeroedArray() { std::free(data_); }
    ZeroedArray(const ZeroedArray&) = delete;
    ZeroedArray& operator=(const ZeroedArray&) = delete;

    // Replaces the contents with `count` zero elements.
    void allocate(size_t count) {
        release();
        data_ = static_cast<T*>(std::calloc(count, sizeof(T)));
        if (!data_) throw std::bad_alloc();
        size_ = count;
    }
    void release() {
        std::free(data_);
        data_ = nullptr;
        size_ = 0;
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
