// Adding files and whole folders: every file below a folder, at any depth, becomes
// one entry whose folder path is the folder's own name and the subfolders down to
// the file (docs\sub\). Folders themselves leave no entry. The walk is the one of
// walk.h; this is what an add does with each file it finds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/command.h"
#include "archive/compress.h"
#include "archive/walk.h"

namespace vellum {

struct AddSummary {
    uint32_t added = 0;
    uint32_t skipped = 0;   // reported and left out
    uint32_t changed = 0;   // added, but the file changed while it was read (reported)
    bool failed = false;    // the command had to stop (the archive could not be written,
                            // or it was interrupted)
    bool interrupted = false;  // the reporter asked to stop
    uint32_t held = 0;      // already in the archive and left as they are (HeldFilter)
};

// Paths the archive already holds: asked before each file of an add is queued.
// True leaves the file out (counted as held, nothing reported); false adds it.
class HeldFilter {
public:
    virtual ~HeldFilter() = default;
    virtual bool keep_held(const std::string& path, const std::string& stored) = 0;
};

// Counts the result of one file's add.
void count_result(AddSummary& summary, AddResult result);

// What an add does with the items of its walk: each file is compressed (queued on
// the command's workers when it has them), each item left out is reported in its
// turn. The summary must outlive the command's ParallelAdd.
class AddVisitor : public WalkVisitor {
public:
    AddVisitor(Command& command, AddSummary& summary) : command_(command), summary_(summary) {}
    void file(const std::string& path, const std::string& folder_path, const std::string& name,
              const platform::ItemInfo& info) override {
        (void)info;
        add(path, folder_path, name, {});
    }
    void left_out(const MessageText& why, const std::string& path, int error) override;
    bool ended() override { return summary_.failed; }

protected:
    // Adds the file; `settled`, when given, runs once its add has settled, in the
    // order the files came (with workers, later than this returns), so whatever
    // it refers to must live until the command's ParallelAdd has finished.
    void add(const std::string& path, const std::string& folder_path, const std::string& name,
             std::function<void(const AddedFile&)> settled);

    Command& command_;
    AddSummary& summary_;
};

// The walk options of an add to the command's archive.
WalkOptions add_walk_options(const Command& command);

// Adds a file under its own name, or a folder with everything below it. While the
// command has a ParallelAdd, files are queued there and the summary counts each
// one once it is settled: call its finish() before reading the summary.
void add_path(Command& command, const std::string& path, AddSummary& summary);

}  // namespace vellum
