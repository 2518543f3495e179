#include "codec/byte_io.h"

#include <algorithm>
#include <cstring>

namespace vellum {

void ByteWriter::drain() {
    size_t size = static_cast<size_t>(cur_ - buffer_);
    if (size != 0 && !failed_ && !sink_.write(buffer_, size)) failed_ = true;
    drained_ += size;
    cur_ = buffer_;
}

void ByteWriter::write(const uint8_t* data, size_t size) {
    while (size != 0) {
        if (cur_ == end_) drain();
        size_t n = std::min(size, static_cast<size_t>(end_ - cur_));
        std::memcpy(cur_, data, n);
        cur_ += n;
        data += n;
        size -= n;
    }
}

bool ByteWriter::flush() {
    drain();
    return !failed_;
}

bool ByteReader::fill() {
    size_t want = static_cast<size_t>(std::min<uint64_t>(left_, kBufferSize));
    size_t got = want == 0 ? 0 : source_.read(buffer_, want);
    if (got == 0) return false;
    left_ -= got;
    taken_ += got;
    cur_ = buffer_;
    end_ = buffer_ + got;
    return true;
}

uint8_t ByteReader::refill() {
    if (!fill()) {
        overrun_ = true;
        return 0;
    }
    return *cur_++;
}

size_t ByteReader::read(uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        if (cur_ == end_ && !fill()) break;
        size_t n = std::min(size - done, static_cast<size_t>(end_ - cur_));
        std::memcpy(data + done, cur_, n);
        cur_ += n;
        done += n;
    }
    if (done < size) overrun_ = true;
    return done;
}

size_t MemorySource::read(uint8_t* data, size_t size) {
    size_t n = std::min(size, size_ - pos_);
    if (n == 0) return 0;  // an empty source may have no bytes behind it at all
    std::memcpy(data, data_ + pos_, n);
    pos_ += n;
    return n;
}

}  // namespace vellum
