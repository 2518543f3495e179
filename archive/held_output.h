// Bytes a worker makes ahead of their turn, kept in memory until the command's
// thread writes them out in order: the records of an add, the entries of an
// extraction to standard output. Keeping waits for room in the pool's output
// budget (ordered_pool.h), so memory stays bounded however far a worker runs
// ahead; the oldest job's bytes are written out while it is still at work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace vellum {

class OrderedPool;
class PoolJob;

class HeldOutput {
public:
    // The pool and job whose budget the bytes count against; without them (one
    // thread) nothing waits.
    void count_in(OrderedPool* pool, const PoolJob* job) {
        pool_ = pool;
        job_ = job;
    }
    // A worker: keeps a copy of the bytes, once they fit.
    void keep(const uint8_t* data, size_t size);
    // A worker: every byte kept so far is void, and so is every byte already
    // drained: the output starts again. Bytes kept before are dropped and their
    // room given back; the next drain says so before its bytes.
    void restart();
    // The command's thread: hands every byte kept so far to write(data, size), in
    // order, and gives their room back. False when write failed (the rest is
    // still given back).
    template <class Write>
    bool drain(Write write) {
        return drain(write, [] {});
    }
    // The same, calling restarted() first when the output started again since
    // the last drain: whatever was written of it before is to be taken back.
    template <class Write, class Restarted>
    bool drain(Write write, Restarted restarted);
    // Forgets every byte kept, giving its room back.
    void drop();

private:
    std::deque<std::vector<uint8_t>> take(bool* restarted);
    void give_back(uint64_t bytes);

    OrderedPool* pool_ = nullptr;
    const PoolJob* job_ = nullptr;
    std::mutex mutex_;  // guards chunks_ and restarted_
    std::deque<std::vector<uint8_t>> chunks_;
    bool restarted_ = false;
};

template <class Write, class Restarted>
bool HeldOutput::drain(Write write, Restarted restarted) {
    bool again = false;
    const std::deque<std::vector<uint8_t>> chunks = take(&again);
    if (again) restarted();
    uint64_t bytes = 0;
    bool ok = true;
    for (const std::vector<uint8_t>& chunk : chunks) {
        if (ok && !write(chunk.data(), chunk.size())) ok = false;
        bytes += chunk.size();
    }
    give_back(bytes);
    return ok;
}

}  // namespace vellum
