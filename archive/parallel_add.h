// An add whose files are coded on worker threads and written in the order given.
//
// Each file is coded whole by one worker, into memory; the command's thread
// writes the records out one after another, the oldest while it is still being
// coded, so the archive grows exactly as with one thread: every record complete
// before the next begins (a kill leaves at most an unfinished last record), and
// the same bytes. Records coded ahead of their turn wait in memory up to
// OutputBudget::ahead; a worker further ahead waits. Peak memory is about
// one set of codec tables and one block buffer's touched pages per worker, plus
// that budget. A single file is always coded by one worker: its blocks share the
// codec's trees.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive/command.h"
#include "archive/compress.h"
#include "archive/messages.h"
#include "archive/ordered_pool.h"

namespace vellum {

class ParallelAdd {
public:
    // How an entry ended, on the command's thread, in the order the files came.
    using Done = std::function<void(const AddedFile& added)>;

    // Starts the workers when the command asks for more than one thread and adds
    // to a normal archive, and sets command.parallel_add; otherwise does nothing
    // and files are added one after another as before. The command must hold the
    // archive (open_or_create_archive) and have its buffers prepared.
    explicit ParallelAdd(Command& command);
    // finish(), then command.parallel_add is cleared.
    ~ParallelAdd();
    ParallelAdd(const ParallelAdd&) = delete;
    ParallelAdd& operator=(const ParallelAdd&) = delete;

    // Queues a file, as compress_file would add it; `done` runs once its entry is
    // settled. Once the add has ended (the archive could not be written, or a
    // stop), the file is not added and `done` never runs.
    void add(const std::string& source_path, const std::string& folder_path,
             const std::string& file_name, Done done);
    // Queues a message for its turn among the files.
    void notice(const Message& message);
    // Waits until every queued file is settled.
    void finish();

private:
    Command& command_;
    std::unique_ptr<OrderedPool> pool_;
};

// A message about a source in its place among the files' own messages: with
// workers it waits behind the files queued before it. `error`: the system's reason.
void report_in_turn(Command& command, const MessageText& text, const std::string& path, int error = 0);

}  // namespace vellum
