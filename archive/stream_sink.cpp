#include "archive/stream_sink.h"

#include <cerrno>

#include "archive/messages.h"

namespace vellum {

StreamSink::StreamSink(FILE* stream, const ExpectedFile& expected, std::string name)
    : stream_(stream), expected_(expected), name_(std::move(name)) {}

void StreamSink::count_in(OrderedPool* pool, const PoolJob* job) {
    kept_.count_in(pool, job);
    held_ = true;
}

bool StreamSink::put(const uint8_t* data, size_t size) {
    if (error_ != 0) return false;
    if (size != 0 && std::fwrite(data, 1, size, stream_) != size) {
        error_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool StreamSink::write(const uint8_t* data, size_t size) {
    if (expected_.has_checksum) sum_.update(data, size);
    if (held_) {
        kept_.keep(data, size);
        return true;
    }
    return put(data, size);
}

bool StreamSink::close() {
    if (held_) return true;
    if (error_ == 0 && std::fflush(stream_) != 0) error_ = errno ? errno : EIO;
    return error_ == 0;
}

void StreamSink::tend() {
    kept_.drain([this](const uint8_t* data, size_t size) { return put(data, size); });
}

SinkOutcome StreamSink::finish(bool whole, Reporter& reporter) {
    tend();
    if (error_ == 0 && std::fflush(stream_) != 0) error_ = errno ? errno : EIO;
    // A stream that fails is the command's failure, said once by the front end.
    if (error_ != 0 || !whole) return SinkOutcome::not_written;
    if (expected_.has_checksum && sum_.digest() != expected_.checksum) {
        report(reporter, msg::kChecksumMismatch, name_);
        return SinkOutcome::mismatch;
    }
    return SinkOutcome::written;
}

void StreamSink::reset() {
    kept_.drop();
    sum_ = Checksum();
}

}  // namespace vellum
