#include "archive/held_output.h"

#include "archive/ordered_pool.h"

namespace vellum {

void HeldOutput::keep(const uint8_t* data, size_t size) {
    if (size == 0) return;
    if (pool_) pool_->reserve(job_, size);
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_.emplace_back(data, data + size);
}

std::deque<std::vector<uint8_t>> HeldOutput::take() {
    std::deque<std::vector<uint8_t>> chunks;
    std::lock_guard<std::mutex> lock(mutex_);
    chunks.swap(chunks_);
    return chunks;
}

void HeldOutput::give_back(uint64_t bytes) {
    if (pool_ && bytes > 0) pool_->release(job_, bytes);
}

void HeldOutput::drop() {
    drain([](const uint8_t*, size_t) { return true; });
}

}  // namespace vellum
