// Where an entry's decoded bytes go. The decoder hands them over in order, on
// whichever thread decodes the entry; once decoding has ended, the command's
// thread settles each entry in archive order through finish(), which gives the
// bytes their place (a file renamed into the destination, a checksum compared)
// and reports what went wrong. Sinks: a file in the destination tree (file_sink.h),
// standard output, a checksum check, or nothing at all (a test).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/checksum.h"
#include "archive/report.h"

namespace vellum {

class OrderedPool;
class PoolJob;

// What metadata says an entry's file should be.
struct ExpectedFile {
    bool has_checksum = false;
    uint64_t checksum = 0;
    bool has_attributes = false;  // mode and time to give the file
    uint32_t mode = 0;
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
};

enum class SinkOutcome {
    written,      // the bytes stand where they belong
    checked,      // nothing kept: the bytes matched their checksum, or there was none
    not_written,  // nothing kept; reported
    mismatch,     // the bytes differ from their checksum: reported as damage, nothing kept
};

class EntrySink {
public:
    virtual ~EntrySink() = default;
    // The next decoded bytes. False once the output has failed: nothing more
    // could be kept, so decoding stops there.
    virtual bool write(const uint8_t* data, size_t size) = 0;
    // Decoding has ended, on the thread that decoded: whatever is buffered goes
    // out now, so a full disk is known before the entry is settled.
    virtual bool close() { return true; }
    // The system's reason output failed; 0 when it did not.
    virtual int error() const { return 0; }
    // On the command's thread, in archive order. `whole`: the entry decoded
    // completely and sound; otherwise nothing of it is kept (the caller reports
    // damage or the stop).
    virtual SinkOutcome finish(bool whole, Reporter& reporter) = 0;
    // Forgets every byte, for an entry decoded again from its start.
    virtual void reset() {}
    // Sinks that keep bytes in memory until the command's thread takes them:
    // the pool and job whose budget they count against (workers only), and a
    // turn on the command's thread while the entry is the oldest in work.
    virtual void count_in(OrderedPool* pool, const PoolJob* job) { (void)pool, (void)job; }
    virtual void tend() {}
    // Whether the entry may be decoded again from its start after reset(), as a
    // pool does for an entry that failed for want of room beside others.
    virtual bool can_run_again() const { return true; }
};

// Only compares the bytes with their checksum, when there is one (a test).
class CheckSink : public EntrySink {
public:
    // `name`: the stored path, for messages.
    CheckSink(const ExpectedFile& expected, const std::string& name);
    bool write(const uint8_t* data, size_t size) override;
    SinkOutcome finish(bool whole, Reporter& reporter) override;
    void reset() override;

private:
    ExpectedFile expected_;
    std::string name_;
    Checksum sum_;
};

}  // namespace vellum
