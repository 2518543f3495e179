// Archives written record by record for the listing, info and delete tests.
// Records carry filler data: nothing here decodes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/format.h"
#include "driver_test_support.h"

namespace vellum::test {

struct WrittenRecord {
    uint64_t offset = 0;
    uint64_t length = 0;
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(const fs::path& path, uint8_t solid = 0,
                           uint8_t setting = kDefaultBufferSetting)
        : file_(std::fopen(path.string().c_str(), "wb")) {
        EXPECT_NE(file_, nullptr) << path;
        if (file_ == nullptr) return;
        EXPECT_TRUE(write_archive_header(file_, ArchiveHeader{solid, setting}));
    }
    ~ArchiveWriter() { close(); }

    // A well-formed record; its data depend on the names, so equal lengths still differ.
    WrittenRecord add(const std::string& folder, const std::string& name, uint64_t data_bytes,
                      uint64_t original_size = 0, uint16_t file_class = 9) {
        return put(record_head_size(folder.size(), name.size()) + data_bytes, folder, name,
                   data_bytes, original_size != 0 ? original_size : data_bytes, file_class);
    }
    // A head with any record length: the stuff of damaged archives.
    WrittenRecord add_head(uint64_t record_length, const std::string& folder,
                           const std::string& name, uint64_t data_bytes) {
        return put(record_length, folder, name, data_bytes, data_bytes, 9);
    }
    void raw(const Bytes& bytes) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file_), bytes.size());
    }
    uint64_t position() {
        std::fflush(file_);
        return static_cast<uint64_t>(std::ftell(file_));
    }
    void close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }

private:
    WrittenRecord put(uint64_t record_length, const std::string& folder, const std::string& name,
                      uint64_t data_bytes, uint64_t original_size, uint16_t file_class) {
        RecordHead head;
        head.folder_path = folder;
        head.file_name = name;
        head.original_size = original_size;
        head.record_length = record_length;
        WrittenRecord written{position(), record_length};
        EXPECT_TRUE(write_record_head(file_, head));
        EXPECT_TRUE(write_class_field(file_, file_class));
        const auto fill = static_cast<unsigned char>(name.size() * 31 + folder.size() * 7);
        for (uint64_t i = 0; i < data_bytes; ++i)
            std::fputc(static_cast<unsigned char>(fill + i * 13), file_);
        return written;
    }
    FILE* file_;
};

inline Bytes slice(const Bytes& bytes, uint64_t from, uint64_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

inline void append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

}  // namespace vellum::test
