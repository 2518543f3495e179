#include "archive/held_output.h"

#include "archive/ordered_pool.h"

namespace vellum {

void HeldOutput::keep(const uint8_t* data, size_t size) {
    if (size == 0) return;
    if (pool_) pool_->reserve(job_, size);
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_.emplace_back(data, data + size);
}

std::deque<std::vector<uint8_t>> HeldOutput::take(bool* restarted) {
    std::deque<std::vector<uint8_t>> chunks;
    std::lock_guard<std::mutex> lock(mutex_);
    chunks.swap(chunks_);
    *restarted = restarted_;
    restarted_ = false;
    return chunks;
}

void HeldOutput::restart() {
    std::deque<std::vector<uint8_t>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped.swap(chunks_);
        restarted_ = true;
    }
    uint64_t bytes = 0;
    for (const std::vector<uint8_t>& chunk : dropped) bytes += chunk.size();
    give_back(bytes);
}

void HeldOutput::give_back(uint64_t bytes) {
    if (pool_ && bytes > 0) pool_->release(job_, bytes);
}

void HeldOutput::drop() {
    drain([](const uint8_t*, size_t) { return true; });
}

}  // namespace vellum
