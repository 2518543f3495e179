// Commands over one set of codec tables kept across thousands of small archives,
// for the fuzzer and the damaged-archive sweep.
//
// prepare_buffers zeroes the 32 MiB position table for every command, which
// costs far more than decoding a small archive does. Here the table is zeroed
// once; each command starts with base_position above every value an earlier one
// wrote, so all old slots read as stale, exactly as zero slots would. Stale slots
// of solid runs keep their probabilities (only never-written ones restart), so
// for a solid archive those are set back to 128 first. A small block keeps the
// work per archive small; archives whose files all fit in it decode exactly as
// with their own block size.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "archive/command.h"

namespace vellum {

class SharedTables {
public:
    explicit SharedTables(size_t block_size)
        : block_(new uint8_t[block_size]), block_size_(block_size) {
        ready_ = codec.ready() && codec.begin_operation();
    }
    bool ready() const { return ready_; }

    // Readies `command` (made over `codec`) as prepare_buffers would for this archive.
    void begin(Command& command, const ArchiveHeader& header, const std::string& archive_path) {
        command.settings.solid = header.solid;
        command.settings.buffer_setting = header.buffer_setting;
        command.archive_path = archive_path;
        command.run.mode = header.solid ? RunMode::solid : RunMode::normal;
        command.run.block.reset(block_.release());
        command.run.block_size = block_size_;
        command.run.fill = 0;
        command.totals = CommandTotals{};
        codec.literal.clear_seen();
        codec.strong.end_run();
        codec.match.base_position = next_base_;
        if (header.solid)
            std::memset(static_cast<void*>(codec.match.match_probabilities.data()), 128,
                        codec.match.match_probabilities.size() * sizeof(MatchPair));
    }

    void end(Command& command) {
        // Every slot written lies at most one block above the final base.
        next_base_ = codec.match.base_position + command.run.block_size + 1;
        block_.reset(command.run.block.release());
        command.run.block_size = 0;
    }

    CodecState codec;

private:
    std::unique_ptr<uint8_t[]> block_;
    size_t block_size_;
    uint64_t next_base_ = 1;
    bool ready_ = false;
};

}  // namespace vellum
