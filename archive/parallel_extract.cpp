#include "archive/parallel_extract.h"

#include <memory>

namespace vellum {
namespace {

class ExtractJob : public PoolJob {
public:
    ExtractJob(Command& main, uint64_t offset, const std::string& folder, const std::string& path,
               bool write, size_t trusted, EntryQueue::Done done)
        : main_(main), offset_(offset), folder_(folder), write_(write), trusted_(trusted),
          done_(std::move(done)) {
        name = path;
    }

    void run(Command& worker) override {
        decode_entry_output(worker, offset_, folder_, name, write_, trusted_, decoded_.get());
    }

    // What the decoding said comes first, then the final name, the totals and
    // the entry's own report, on the command's thread.
    bool settle() override {
        reporter->replay(main_.reporter, main_.totals, [] {});
        return done_(settle_entry_output(main_, *decoded_));
    }

    bool short_of_room() const override { return is_no_room(decoded_->output_error); }
    void reset() override { decoded_ = std::make_unique<DecodedEntry>(); }

    // The temporary goes with the job, unsettled (see DecodedEntry).
    void abandon() override { done_(ExtractResult::interrupted); }

private:
    Command& main_;
    const uint64_t offset_;
    const std::string folder_;
    const bool write_;
    const size_t trusted_;
    EntryQueue::Done done_;
    std::unique_ptr<DecodedEntry> decoded_ = std::make_unique<DecodedEntry>();
};

// An entry refused before decoding: its message waits for its turn.
class RefusalJob : public PoolJob {
public:
    RefusalJob(Command& main, const MessageText& text, const std::string& entry, ExtractResult result,
               EntryQueue::Done done)
        : main_(main), text_(text), result_(result), done_(std::move(done)) {
        name = entry;
    }
    void run(Command&) override {}
    bool settle() override {
        report(main_.reporter, text_, name);
        return done_(result_);
    }
    void abandon() override { done_(ExtractResult::interrupted); }

private:
    Command& main_;
    const MessageText& text_;
    const ExtractResult result_;
    EntryQueue::Done done_;
};

}  // namespace

EntryQueue::EntryQueue(Command& command) : command_(command) {
    const unsigned threads = thread_count(command.threads);
    if (threads <= 1 || command.solid || !command.archive || !command.run.block) return;
    pool_ = std::make_unique<OrderedPool>(command, threads);
}

EntryQueue::~EntryQueue() { finish(); }

void EntryQueue::extract(uint64_t offset, const std::string& output_folder, const std::string& output_path,
                         bool write, size_t trusted, Done done) {
    if (pool_) {
        pool_->submit(std::make_unique<ExtractJob>(command_, offset, output_folder, output_path, write,
                                                   trusted, std::move(done)));
        return;
    }
    if (ended_) return;
    if (!done(extract_entry(command_, offset, output_folder, output_path, write, trusted))) ended_ = true;
}

void EntryQueue::refuse(const MessageText& text, const std::string& name, ExtractResult result, Done done) {
    if (pool_) {
        pool_->submit(std::make_unique<RefusalJob>(command_, text, name, result, std::move(done)));
        return;
    }
    if (ended_) return;
    report(command_.reporter, text, name);
    if (!done(result)) ended_ = true;
}

void EntryQueue::finish() {
    if (pool_) pool_->finish();
}

}  // namespace vellum
