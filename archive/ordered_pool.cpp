#include "archive/ordered_pool.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace vellum {

void JobReporter::message(const Message& message) {
    Item item{true, message, {}};
    items_.push_back(std::move(item));
}

void JobReporter::progress(const ProgressEvent& event) {
    if (event.kind == ProgressKind::working) {
        std::lock_guard<std::mutex> lock(working_mutex_);
        if (working_.size() == kWorkingKept) working_.erase(working_.begin());
        working_.push_back(Working{event.entry_done, event.entry_size, event.entry_packed});
        return;
    }
    Item item{false, Message{}, event.name, event.kind, event.entry_done, event.entry_size, event.written};
    items_.push_back(std::move(item));
}

void JobReporter::reset() {
    items_.clear();
    take_working();
    cancelled_.store(false);
}

std::vector<JobReporter::Working> JobReporter::take_working() {
    std::vector<Working> taken;
    std::lock_guard<std::mutex> lock(working_mutex_);
    taken.swap(working_);
    return taken;
}

namespace {

// A worker's command reports to the job it runs at the moment.
class RelayReporter : public Reporter {
public:
    void message(const Message& message) override { to->message(message); }
    void progress(const ProgressEvent& event) override { to->progress(event); }
    bool stop_requested() override { return to->stop_requested(); }
    Reporter* to = nullptr;
};

}  // namespace

struct OrderedPool::Worker {
    Worker(CodecState& codec_state, std::unique_ptr<CodecState> own)
        : own_codec(std::move(own)), command(codec_state, relay) {}
    std::unique_ptr<CodecState> own_codec;  // null for the worker that borrows the main tables
    RelayReporter relay;
    Command command;
    std::thread thread;
};

unsigned thread_count(unsigned setting) {
    if (setting > 0) return setting;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

OrderedPool::OrderedPool(Command& main, unsigned workers, OutputBudget budget)
    : main_(main), block_size_(main.run.block_size), budget_(budget) {
    if (workers == 0) workers = 1;
    // Enough jobs ahead that while one large file is coded the other workers go
    // on through many small ones. A job holds nothing before it runs; what the
    // finished ones hold waiting for their turn is bounded by the output budget (adding)
    // or lies in their temporary files (extracting, one open file each).
    depth_ = 32 * size_t{workers};
    for (unsigned i = 0; i < workers; ++i) {
        std::unique_ptr<CodecState> own;
        if (i > 0) {
            own.reset(new (std::nothrow) CodecState);
            if (!own) break;
        }
        CodecState& codec = own ? *own : main.codec;
        workers_.push_back(std::make_unique<Worker>(codec, std::move(own)));
    }
    for (auto& worker : workers_) {
        Worker* w = worker.get();
        w->thread = std::thread([this, w] { work(*w); });
    }
}

OrderedPool::~OrderedPool() {
    end_now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    room_.notify_all();
    for (auto& worker : workers_)
        if (worker->thread.joinable()) worker->thread.join();
    // The borrowed block buffer goes back to the main command.
    for (auto& worker : workers_) {
        worker->command.archive = nullptr;
        if (!worker->own_codec && worker->command.run.block) {
            main_.run.block = std::move(worker->command.run.block);
            main_.run.block_size = worker->command.run.block_size;
        }
    }
}

// The worker's command: the main command's settings and archive stream, its own
// tables and buffer. The first worker takes over the main block buffer.
bool OrderedPool::set_up(Worker& worker) {
    Command& c = worker.command;
    c.settings = main_.settings;
    c.archive_path = main_.archive_path;
    // Borrowed: reads go through archive_mutex, and the stream is the main command's
    // to close (the pool lets go of it before the worker's command ends).
    c.archive = main_.archive;
    c.archive_mutex = &archive_mutex_;
    if (!worker.own_codec) {
        std::lock_guard<std::mutex> lock(mutex_);
        c.run.mode = main_.run.mode;
        c.run.block = std::move(main_.run.block);
        c.run.block_size = block_size_;
        main_.run.block_size = 0;
        return c.run.block != nullptr;
    }
    if (!start_run(c.run, main_.run.mode, block_size_) || !worker.own_codec->begin_operation()) {
        end_run(c.run);
        return false;
    }
    return true;
}

void OrderedPool::work(Worker& worker) {
    const bool ready = set_up(worker);
    std::unique_lock<std::mutex> lock(mutex_);
    while (ready) {
        work_ready_.wait(lock, [&] { return closing_ || may_take(); });
        if (!may_take()) break;  // closing
        Slot* slot = queued_.front();
        queued_.pop_front();
        slot->ran_alone = one_at_a_time_;
        ++running_;
        lock.unlock();
        slot->job->reporter = &slot->reporter;
        worker.relay.to = &slot->reporter;
        worker.command.totals = CommandTotals{};
        slot->job->run(worker.command);
        lock.lock();
        --running_;
        slot->done = true;
        job_done_.notify_all();
    }
    if (worker.own_codec) worker.own_codec->end_operation();
}

bool OrderedPool::may_take() const {
    if (queued_.empty()) return false;
    // One at a time: only the oldest unsettled job, and only once no worker runs.
    return !one_at_a_time_ || (running_ == 0 && in_flight_.front().get() == queued_.front());
}

void OrderedPool::end_now() {
    stop_.store(true);
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    // Jobs no worker took never run: they count as returned, to be dropped.
    for (Slot* slot : queued_) slot->done = true;
    queued_.clear();
    job_done_.notify_all();
    room_.notify_all();
}

// The front end is asked on its own thread; the workers read the flag.
void OrderedPool::ask_front_end() {
    if (!stop_.load() && main_.reporter.stop_requested()) stop_.store(true);
}

void OrderedPool::wait_round() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        job_done_.wait_for(lock, std::chrono::milliseconds(20), [&] {
            return in_flight_.empty() || in_flight_.front()->done || output_waiting_;
        });
        output_waiting_ = false;
    }
    ask_front_end();
    Slot* oldest = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!in_flight_.empty()) oldest = in_flight_.front().get();
    }
    if (oldest && !ended_) {
        oldest->job->tend();
        relay_working(*oldest);
    }
    settle_finished();
}

// The oldest job is the one a single thread would be working on: its progress
// events are shown as they come, every one of them, before its completion.
void OrderedPool::relay_working(Slot& oldest) {
    for (const JobReporter::Working& w : oldest.reporter.take_working()) {
        if (w.size == 0 || stop_.load()) continue;
        ProgressEvent event{ProgressKind::working, oldest.job->name, main_.totals};
        event.entry_done = w.done;
        event.entry_size = w.size;
        event.entry_packed = w.packed;
        main_.reporter.progress(event);
        ask_front_end();  // one thread asks at every progress report of the codec
    }
}

void OrderedPool::settle_finished() {
    for (;;) {
        Slot* oldest = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (in_flight_.empty() || !in_flight_.front()->done) return;
            oldest = in_flight_.front().get();
        }
        bool go_on = false;
        if (!ended_) {
            relay_working(*oldest);
            if (!stop_.load() && !oldest->ran_alone && oldest->job->short_of_room()) rerun_alone(*oldest);
            if (stop_.load())
                oldest->job->abandon();
            else
                go_on = oldest->job->settle();
        }
        // Between two entries, as one thread asks before it begins the next.
        if (go_on) ask_front_end();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ahead_bytes_ -= std::min(ahead_bytes_, in_flight_.front()->held);  // a job dropped unwritten
            in_flight_.pop_front();
            room_.notify_all();
            if (one_at_a_time_) work_ready_.notify_all();
        }
        if (!go_on) end_now();
    }
}

void OrderedPool::rerun_alone(Slot& oldest) {
    std::unique_lock<std::mutex> lock(mutex_);
    // One at a time from here: no worker takes a job until the oldest is queued
    // again, the others are asked to stop.
    one_at_a_time_ = true;
    for (auto& slot : in_flight_) slot->reporter.cancel();
    job_done_.wait(lock, [&] { return running_ == 0; });
    // No worker runs a job now: what every job did goes, and all queue again in
    // submission order, the oldest first.
    queued_.clear();
    for (auto& slot : in_flight_) {
        slot->job->reset();
        slot->reporter.reset();
        slot->done = false;
        queued_.push_back(slot.get());
    }
    work_ready_.notify_all();
    while (!oldest.done) {
        job_done_.wait_for(lock, std::chrono::milliseconds(20), [&] { return oldest.done || output_waiting_; });
        output_waiting_ = false;
        lock.unlock();
        ask_front_end();
        // Whatever the job waits for on this thread is done here too.
        oldest.job->tend();
        relay_working(oldest);
        lock.lock();
    }
}

bool OrderedPool::submit(std::unique_ptr<PoolJob> job) {
    for (;;) {
        if (ended_) return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (in_flight_.size() < depth_) {
                in_flight_.push_back(std::make_unique<Slot>(std::move(job), stop_));
                queued_.push_back(in_flight_.back().get());
                work_ready_.notify_one();
                return true;
            }
        }
        wait_round();
    }
}

void OrderedPool::finish() {
    // Once ended, settle_finished drops what is left as each job returns.
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (in_flight_.empty()) return;
        }
        wait_round();
    }
}

OrderedPool::Slot* OrderedPool::slot_of(const PoolJob* job) {
    for (auto& slot : in_flight_)
        if (slot->job.get() == job) return slot.get();
    return nullptr;
}

void OrderedPool::reserve(const PoolJob* job, uint64_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot* slot = slot_of(job);
    if (!slot) return;  // dropped: nothing of it is written
    for (;;) {
        // A job the pool cancelled (to run it again) waits for nothing either.
        if (stop_.load() || closing_ || slot->reporter.stop_requested()) break;
        // Held bytes are read afresh at every round: the submitting thread writes
        // them out while this worker waits.
        if (in_flight_.front().get() == slot) {
            // The oldest waits for nothing but its own bytes.
            if (slot->held == 0 || bytes <= budget_.oldest - std::min(budget_.oldest, slot->held)) break;
        } else if (ahead_bytes_ == 0 || bytes <= budget_.ahead - std::min(budget_.ahead, ahead_bytes_)) {
            break;  // nothing held at all: any one write fits, however large
        }
        // The submitting thread writes the oldest job's bytes out; wake it now.
        output_waiting_ = true;
        job_done_.notify_all();
        room_.wait_for(lock, std::chrono::milliseconds(20));
    }
    slot->held += bytes;
    ahead_bytes_ += bytes;
}

void OrderedPool::release(const PoolJob* job, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* slot = slot_of(job);
    if (!slot) return;
    const uint64_t given = std::min(bytes, slot->held);
    slot->held -= given;
    ahead_bytes_ -= given;
    room_.notify_all();
}

}  // namespace vellum
