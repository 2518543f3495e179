// An entry's bytes to an open stream (standard output), as they are decoded, in
// archive order: with one thread each piece goes out at once; with workers the
// oldest entry's pieces go out while it is decoded and later entries wait in
// memory, within the pool's output budget, for their turn. Nothing touches the
// disk. A checksum, when metadata has one, is compared once the entry has gone
// out: a stream cannot take bytes back, so a mismatch is reported as damage.
#pragma once

#include <cstdio>
#include <string>

#include "archive/entry_sink.h"
#include "archive/held_output.h"

namespace vellum {

class StreamSink : public EntrySink {
public:
    // `name`: the stored path, for messages.
    StreamSink(FILE* stream, const ExpectedFile& expected, std::string name);
    bool write(const uint8_t* data, size_t size) override;
    bool close() override;
    int error() const override { return error_; }
    SinkOutcome finish(bool whole, Reporter& reporter) override;
    void reset() override;
    void count_in(OrderedPool* pool, const PoolJob* job) override;
    void tend() override;
    // What went out cannot be taken back, so the entry is never decoded again.
    bool can_run_again() const override { return false; }

private:
    bool put(const uint8_t* data, size_t size);

    FILE* stream_;
    ExpectedFile expected_;
    std::string name_;
    Checksum sum_;
    bool held_ = false;  // workers: bytes wait in memory for their turn
    HeldOutput kept_;
    int error_ = 0;
};

}  // namespace vellum
