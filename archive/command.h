// One compress or extract command: what it was asked to do (its settings, a
// plain record that every worker gets whole) and where it stands (the archive
// held, the block buffer and the solid fill offset, the totals). The codec
// tables are borrowed from whoever owns them for the run (a command line keeps
// one per process, the desktop program one for its life).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "archive/format.h"
#include "archive/incompressible.h"
#include "archive/report.h"
#include "codec/codec_state.h"
#include "codec/entry_coder.h"

namespace vellum {

class HeldFilter;
class ParallelAdd;
class RecordOutlet;

// What a command is asked to do. Copied whole to every worker, so a setting
// added here reaches them all.
struct CommandSettings {
    uint8_t solid = 0;                            // 0 normal, 1 solid
    int buffer_setting = kDefaultBufferSetting;   // 0..kMaxBufferSetting (block_size_for_setting)
    // Worker threads for the entries of a normal archive (adding, extracting,
    // testing): 0 for one per core, 1 to code everything on the command's thread.
    // Solid runs are always coded on one thread.
    unsigned threads = 1;
    // Adding in normal mode: try every distinct parameter set of the class table
    // on each file and keep the smallest entry (the class field records it).
    bool best_class = false;
    // Adding: code every file whose class is not stored with the strong codec
    // (archive/entry_codec.h), normal and solid.
    bool strong = false;
    // Adding: true for an archive path (docs\sub\b.txt, or docs\sub for a folder)
    // the caller wants left out; a folder left out is not entered. Empty: none.
    std::function<bool(const std::string& archive_path)> exclude;
};

struct Command {
    Command(CodecState& codec_state, Reporter& reporter_) : codec(codec_state), reporter(reporter_) {}
    ~Command() { close_archive(); }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    CodecState& codec;
    Reporter& reporter;
    CommandSettings settings;

    // --- where the command stands -------------------------------------------------
    std::string archive_path;
    // The archive, held open and locked for the whole command once a command has
    // opened it (open_or_create_archive, or the caller with open_locked): every
    // entry is then read or written through it, never through a new open by name.
    // nullptr: the drivers open archive_path themselves, per call.
    FILE* archive = nullptr;

    void close_archive() {
        if (archive) std::fclose(archive);
        archive = nullptr;
    }

    // The block buffer and the solid fill offset, for the codec's entry loop.
    EntryRun run;

    CommandTotals totals;

    // Solid adds: the starts two or more of the command's files share
    // (incompressible.h), found before the first file is added.
    SharedStarts shared_starts;

    // Set while a worker's command shares the archive stream with others: every
    // read of `archive` then holds it.
    std::mutex* archive_mutex = nullptr;
    // Set while an add codes its files on worker threads (parallel_add.h).
    ParallelAdd* parallel_add = nullptr;
    // Set while an add writes a new archive to a stream (streamed_output.h):
    // `archive` is then a staging file, and every record settled in it goes on to
    // the stream.
    RecordOutlet* outlet = nullptr;
    // Set while an add leaves out files the archive already holds (folder_walk.h).
    HeldFilter* held = nullptr;
    // Set while an add writes its records into a copy of the archive that will
    // replace it (manage/update.h): never added to itself either.
    std::string staging_path;
};

// Starts the command's run: a block buffer for the current setting, in the
// command's mode, fill offset 0; zeroes the match positions, clears the context
// seen flags and the totals, and restarts the clock. False (reported) when
// memory runs out.
bool prepare_buffers(Command& command);

// Releases the position table and the block buffer, and the archive with its
// lock when the command holds it; base_position returns to 0.
void end_command(Command& command);

}  // namespace vellum
