// Entries of a normal archive decoded on worker threads, settled in archive order.
//
// Each worker decodes whole entries with its own codec tables and block buffer,
// reading the command's one archive stream under a mutex (the row offsets give
// every entry's place) and writing each output to its own temporary, renamed
// when the entry is complete, as one thread would. Messages, totals and progress
// events reach the command's reporter on its own thread, in archive order, so
// the reports are those of one thread. Solid runs are decoded on the command's
// thread: every entry depends on those before it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive/command.h"
#include "archive/extract.h"
#include "archive/messages.h"
#include "archive/ordered_pool.h"

namespace vellum {

class EntryQueue {
public:
    // How an entry ended, on the command's thread, in the order given. False ends
    // the run: entries still in work are stopped, no later one is settled.
    using Done = std::function<bool(ExtractResult result)>;

    // Workers when the command asks for more than one thread, reads a normal
    // archive and holds it open (its stream is shared); otherwise every entry is
    // decoded at once, on the command's thread.
    explicit EntryQueue(Command& command);
    ~EntryQueue();
    EntryQueue(const EntryQueue&) = delete;
    EntryQueue& operator=(const EntryQueue&) = delete;

    // Decodes an entry as extract_entry does.
    void extract(uint64_t offset, const std::string& output_folder, const std::string& output_path,
                 bool write, size_t trusted, Done done);
    // An entry refused before decoding: `text` is reported for `name` in its turn,
    // and done sees `result`.
    void refuse(const MessageText& text, const std::string& name, ExtractResult result, Done done);
    // Waits until every entry given is settled.
    void finish();
    // A Done returned false: nothing more is decoded.
    bool ended() const { return pool_ ? pool_->ended() : ended_; }

private:
    Command& command_;
    std::unique_ptr<OrderedPool> pool_;
    bool ended_ = false;
};

}  // namespace vellum
