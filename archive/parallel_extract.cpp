#include "archive/parallel_extract.h"

namespace vellum {
namespace {

class ExtractJob : public PoolJob {
public:
    ExtractJob(Command& main, OrderedPool& pool, EntryTask& task, EntryQueue::Done done)
        : main_(main), task_(task), done_(std::move(done)) {
        name = task.name;
        if (task.sink) task.sink->count_in(&pool, this);
    }

    void run(Command& worker) override { decode_task(worker, task_, &decoded_); }

    // The oldest entry's bytes may go out while it is still being decoded.
    void tend() override {
        if (task_.sink) task_.sink->tend();
    }

    // What the decoding said comes first, then the entry's place, the totals and
    // its own report, on the command's thread.
    bool settle() override {
        reporter->replay(main_.reporter, main_.totals, [] {});
        return done_(settle_task(main_, task_, decoded_));
    }

    bool short_of_room() const override {
        return task_.sink && task_.sink->can_run_again() && is_no_room(task_.sink->error());
    }
    void reset() override {
        decoded_ = DecodedTask();
        if (task_.sink) task_.sink->reset();
    }

    void abandon() override {
        if (task_.sink) task_.sink->finish(false, main_.reporter);
        done_(ExtractResult::interrupted);
    }

private:
    Command& main_;
    EntryTask& task_;
    EntryQueue::Done done_;
    DecodedTask decoded_;
};

}  // namespace

EntryQueue::EntryQueue(Command& command) : command_(command) {
    const unsigned threads = thread_count(command.settings.threads);
    if (threads <= 1 || command.settings.solid || !command.archive || !command.run.block) return;
    pool_ = std::make_unique<OrderedPool>(command, threads);
}

EntryQueue::~EntryQueue() { finish(); }

void EntryQueue::add(EntryTask& task, Done done) {
    if (pool_) {
        pool_->submit(std::make_unique<ExtractJob>(command_, *pool_, task, std::move(done)));
        return;
    }
    if (ended_) return;
    DecodedTask decoded;
    decode_task(command_, task, &decoded);
    if (!done(settle_task(command_, task, decoded))) ended_ = true;
}

void EntryQueue::finish() {
    if (pool_) pool_->finish();
}

}  // namespace vellum
