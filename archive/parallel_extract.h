// Entries of a normal archive decoded on worker threads, settled in archive order.
//
// Each worker decodes whole entries with its own codec tables and block buffer,
// reading the command's one archive stream under a mutex (every task names its
// record's offset) into the entry's own sink. Sinks give their bytes their place,
// and messages, totals and progress events reach the command's reporter, on the
// command's own thread, in archive order, so the results are those of one
// thread. Solid runs are decoded on the command's thread: every entry depends on
// those before it.
#pragma once

#include <functional>
#include <memory>

#include "archive/command.h"
#include "archive/extract.h"
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

    // Decodes the task (which must live until finish() returns) and settles it.
    void add(EntryTask& task, Done done);
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
