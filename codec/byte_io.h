// Buffered byte streams between the coder and a file (or memory).
//
// The coder moves one byte at a time, so both streams keep a buffer and call out
// only when it is full or empty. Both count the bytes they move: the writer's count
// becomes an entry's record length, and the reader never hands out more than the
// entry holds, so a damaged entry cannot make the decoder read into the next one.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vellum {

// Where written bytes go. write() returns false when the bytes could not be stored.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual bool write(const uint8_t* data, size_t size) = 0;
};

// Where read bytes come from. read() returns how many bytes it delivered; fewer
// than asked means the source has ended (or failed).
class InputSource {
public:
    virtual ~InputSource() = default;
    virtual size_t read(uint8_t* data, size_t size) = 0;
};

class ByteWriter {
public:
    explicit ByteWriter(OutputSink& sink) : sink_(sink) {}
    ByteWriter(const ByteWriter&) = delete;
    ByteWriter& operator=(const ByteWriter&) = delete;
    // Bytes still buffered at destruction are dropped: flush() is explicit, so a
    // writer whose file was closed or cut back never writes behind the caller.
    ~ByteWriter() = default;

    void put(uint8_t byte) {
        if (cur_ == end_) drain();
        *cur_++ = byte;
    }
    void write(const uint8_t* data, size_t size);
    // Hands every buffered byte to the sink. False once any write has failed.
    bool flush();
    // Bytes put so far, buffered or not.
    uint64_t count() const { return drained_ + static_cast<uint64_t>(cur_ - buffer_); }
    bool failed() const { return failed_; }

private:
    void drain();

    static constexpr size_t kBufferSize = 1 << 16;
    OutputSink& sink_;
    uint8_t buffer_[kBufferSize];
    uint8_t* cur_ = buffer_;
    uint8_t* const end_ = buffer_ + kBufferSize;
    uint64_t drained_ = 0;
    bool failed_ = false;
};

class ByteReader {
public:
    // limit: the number of bytes this reader may take from the source.
    ByteReader(InputSource& source, uint64_t limit) : source_(source), left_(limit) {}
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // Past the limit or the source's end, get() returns 0 and marks the overrun.
    uint8_t get() {
        if (cur_ == end_) return refill();
        return *cur_++;
    }
    // Reads up to size bytes; returns how many were read.
    size_t read(uint8_t* data, size_t size);
    bool overrun() const { return overrun_; }
    uint64_t consumed() const { return taken_ - static_cast<uint64_t>(end_ - cur_); }

private:
    bool fill();
    uint8_t refill();

    static constexpr size_t kBufferSize = 1 << 16;
    InputSource& source_;
    uint64_t left_;        // bytes still allowed from the source
    uint64_t taken_ = 0;   // bytes taken from the source into the buffer
    uint8_t buffer_[kBufferSize];
    uint8_t* cur_ = buffer_;
    uint8_t* end_ = buffer_;
    bool overrun_ = false;
};

// Sinks and sources over memory and over open stdio files.
class VectorSink : public OutputSink {
public:
    bool write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};

// Appends to a string the caller owns.
class StringSink : public OutputSink {
public:
    explicit StringSink(std::string* out) : out_(out) {}
    bool write(const uint8_t* data, size_t size) override {
        out_->append(reinterpret_cast<const char*>(data), size);
        return true;
    }

private:
    std::string* out_;
};

class MemorySource : public InputSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t read(uint8_t* data, size_t size) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

class FileSink : public OutputSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    bool write(const uint8_t* data, size_t size) override {
        if (std::fwrite(data, 1, size, file_) == size) return true;
        if (error_ == 0) error_ = errno;
        return false;
    }
    // The system's reason of the first failed write; 0 when none failed.
    int error() const { return error_; }

private:
    std::FILE* file_;
    int error_ = 0;
};

class FileSource : public InputSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    size_t read(uint8_t* data, size_t size) override {
        return std::fread(data, 1, size, file_);
    }

private:
    std::FILE* file_;
};

}  // namespace vellum
