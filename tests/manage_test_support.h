// Archives written record by record, damaged ones among them, and the fixture of
// the listing, info and delete tests. Records carry filler data: nothing here
// decodes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive/leftovers.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/format.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "manage/listing.h"

namespace vellum::test {

using Notes = std::vector<Note>;
inline bool operator==(const Note& a, const Note& b) {
    return a.text == b.text && a.caption == b.caption && a.flags == b.flags;
}
inline void PrintTo(const Note& n, std::ostream* out) {
    *out << '"' << n.text << "\" / \"" << n.caption << "\" / " << n.flags;
}

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
    ~ArchiveWriter() {
        if (file_ != nullptr) std::fclose(file_);
    }

    // A well-formed record; its data depend on the names, so equal lengths still differ.
    WrittenRecord add(const std::string& folder, const std::string& name, uint64_t data_bytes,
                      uint64_t original_size = 0, uint16_t file_class = 9) {
        return put(record_head_size(folder.size(), name.size()) + data_bytes, folder, name, data_bytes,
                   original_size != 0 ? original_size : data_bytes, file_class);
    }
    // A head with any record length: the stuff of damaged archives.
    WrittenRecord add_head(uint64_t record_length, const std::string& folder, const std::string& name,
                           uint64_t data_bytes) {
        return put(record_length, folder, name, data_bytes, data_bytes, 9);
    }
    void raw(const Bytes& bytes) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file_), bytes.size());
    }
    uint64_t position() {
        std::fflush(file_);
        return static_cast<uint64_t>(std::ftell(file_));
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
        EXPECT_TRUE(write_record_head(file_, head) && write_class_field(file_, file_class));
        const auto fill = static_cast<unsigned char>(name.size() * 31 + folder.size() * 7);
        for (uint64_t i = 0; i < data_bytes; ++i)
            std::fputc(static_cast<unsigned char>(fill + i * 13), file_);
        return written;
    }
    FILE* file_;
};

// Records no walk can pass, each with the step the walk stops at.
struct Damage {
    WalkStep step;
    std::function<void(ArchiveWriter&)> write;
};

// Record length, original size 0, reserved 0, no folder, then the name's length.
inline Bytes head_bytes(uint8_t record_length, uint8_t name_length) {
    Bytes head(22, 0);
    head[0] = record_length;
    head[20] = name_length;
    return head;
}

inline std::vector<Damage> damages() {
    using W = ArchiveWriter&;
    return {
        {WalkStep::interrupted_add, [](W w) { w.add_head(0, "", "c.txt", 40); }},
        {WalkStep::interrupted_add, [](W w) { w.raw(Bytes(17, 0)); }},  // ends inside its head
        {WalkStep::past_end, [](W w) { w.add_head(5000, "", "c.txt", 40); }},
        {WalkStep::past_end, [](W w) { w.add_head(~0ull, "", "c.txt", 40); }},
        {WalkStep::length_too_small, [](W w) { w.add_head(28, "", "c.txt", 40); }},  // head is 29
        {WalkStep::length_too_small, [](W w) { w.add_head(1, "d\\", "e", 40); }},
        {WalkStep::truncated_head, [](W w) { w.raw(Bytes{40, 0, 0, 0, 0}); }},
        {WalkStep::truncated_head,  // a name of 200 bytes past the end
         [](W w) { w.raw(head_bytes(60, 200)); w.raw(Bytes{'x'}); }},
        {WalkStep::truncated_head,  // name "z", then no class field
         [](W w) { w.raw(head_bytes(30, 1)); w.raw(Bytes{'z'}); }},
    };
}

inline Bytes slice(const Bytes& bytes, uint64_t from, uint64_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

inline void append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

class ManageTest : public ::testing::Test {
protected:
    TempFolder tmp;  // before the paths made from it
    std::string archive = (tmp / "test.vlm").string();
    std::string temp = (tmp / "temp$$$.tmp").string();  // a user's file of the old fixed name
    RecordingReporter reporter;
    // True when a delete's temporary of the archive is left beside it.
    bool leftover() const { return !find_delete_temps(archive).empty(); }
    ArchiveListing listing;
    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();

    // Compresses the paths into a new archive with 8 MiB blocks.
    void compress(const std::vector<fs::path>& paths, uint32_t expected_entries) {
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        ASSERT_EQ(open_or_create_archive(command, archive), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        for (const fs::path& p : paths) add_path(command, p.string(), summary);
        end_command(command);
        ASSERT_EQ(summary.added, expected_entries);
    }
    // Extracts the entries in the ranges below tmp/out; every entry without ranges.
    ExtractSummary extract(const std::vector<RowRange>& ranges = {{0, UINT64_MAX}}) {
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        command.archive_path = archive;
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_ranges(command, ranges, (tmp / "out").string() + "/");
        end_command(command);
        return s;
    }
};

}  // namespace vellum::test
