// Entries coded or decoded on worker threads, their results settled in order.
//
// The entries of a normal archive are self-contained: the coder restarts, the
// seen flags are cleared and every match slot written before the entry is stale.
// So each worker codes whole entries with its own codec tables and block buffer,
// and the result is the same as one thread's. The thread that submits the jobs
// (the command's own) never codes in the meantime: it settles finished jobs in
// the order they were submitted, which is where archive writes, totals, messages
// and progress events happen, so a front end is only ever called on its thread
// and sees everything in the order one thread would show it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/command.h"
#include "archive/report.h"

namespace vellum {

// The reporter of a job while a worker runs it. Messages and progress events are
// kept and replayed on the submitting thread when the job is settled; `working`
// events are kept apart, for the live display of the oldest job, and handed over
// as they come; a stop is asked of the pool, never of the front end.
class JobReporter : public Reporter {
public:
    explicit JobReporter(const std::atomic<bool>& stop) : stop_(stop) {}
    void message(const Message& message) override;
    void progress(const ProgressEvent& event) override;
    bool stop_requested() override {
        return stop_.load(std::memory_order_relaxed) || cancelled_.load(std::memory_order_relaxed);
    }
    // The pool asks this job alone to stop: what it does will be thrown away.
    void cancel() { cancelled_.store(true); }
    // Forgets every kept event and the cancel, for a job run again. Only while
    // no worker runs the job.
    void reset();

    // A `working` event: bytes of the entry done and its size.
    struct Working {
        uint64_t done;
        uint64_t size;
        uint64_t packed;
    };
    // The `working` events given since the last call, oldest first (at most the
    // last kWorkingKept of them). Any thread.
    std::vector<Working> take_working();
    static constexpr size_t kWorkingKept = 64;

    // Replays what was kept into `front`, every event carrying `totals`. Before the
    // first event that completes an entry (file_compressed, entry_extracted),
    // `before_completion` runs once, so totals merged there are in that event.
    template <class F>
    void replay(Reporter& front, const CommandTotals& totals, F before_completion);

private:
    struct Item {
        bool is_message;
        Message message;   // a message
        std::string name;  // a progress event's name
        ProgressKind kind = ProgressKind::working;
        uint64_t entry_done = 0;
        uint64_t entry_size = 0;
        bool written = true;
    };
    const std::atomic<bool>& stop_;
    std::atomic<bool> cancelled_{false};
    std::vector<Item> items_;  // written by the worker, read once the job has returned
    std::mutex working_mutex_;        // guards working_
    std::vector<Working> working_;
};

// One unit of work: an entry to code or to decode.
class PoolJob {
public:
    virtual ~PoolJob() = default;
    // On a worker, with that worker's command: its own codec tables and block
    // buffer, the settings of the submitting command, `reporter` as its reporter.
    virtual void run(Command& worker) = 0;
    // On the submitting thread, now and then, while this is the oldest job not
    // yet settled; it may still be running.
    virtual void tend() {}
    // On the submitting thread, in submission order, once run has returned. False
    // ends the command: jobs still running are asked to stop, and no later job is
    // settled.
    virtual bool settle() = 0;
    // In place of settle for the first job whose turn comes after a stop: as one
    // thread would not have begun it, nothing of its entry is kept or reported,
    // only that it was interrupted. Every later job is dropped.
    virtual void abandon() {}
    // True when run failed for want of room on disk. Jobs running beside it may
    // have taken that room for a while (an extraction's temporaries), which one
    // thread would never have done: the pool runs such a job again, alone, before
    // it is settled, so its failure is the one a single thread would meet.
    virtual bool short_of_room() const { return false; }
    // Forgets all that run did and kept (a temporary is removed), so that the job
    // can run again, or run for the first time, as if new. Only called in pools
    // whose jobs may be short of room.
    virtual void reset() {}

    // Named in the live display while it is the oldest job.
    std::string name;
    // Set by the pool before run.
    JobReporter* reporter = nullptr;
};

// Output that jobs may hold in memory before the submitting thread writes it.
struct OutputBudget {
    // Every job's held bytes together: beyond it, a job that is not the oldest
    // waits until older jobs have been written out.
    uint64_t ahead = uint64_t{64} << 20;
    // The oldest job's own held bytes: beyond it, it waits for the submitting
    // thread to write them.
    uint64_t oldest = uint64_t{16} << 20;
};

class OrderedPool {
public:
    // Starts `workers` threads (at least 1) coding with the settings of `main`.
    // The first worker borrows the main command's codec tables and block buffer
    // (the main thread codes nothing meanwhile); the others make their own, and a
    // worker that cannot have them takes no job.
    OrderedPool(Command& main, unsigned workers, OutputBudget budget = OutputBudget{});
    // Waits for the workers; jobs not settled are dropped.
    ~OrderedPool();
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    // Queues a job. While too many jobs are in flight it waits, tending the oldest
    // and settling those finished. False (the job dropped) once the command has
    // ended.
    bool submit(std::unique_ptr<PoolJob> job);
    // Waits for every job and settles it in order.
    void finish();
    // A settle returned false or the front end asked to stop: no job starts anew.
    bool ended() const { return ended_; }

    // Output accounting of jobs that keep their bytes until their turn. reserve
    // waits, on the worker running `job`, until `bytes` more fit; release gives
    // bytes of `job` back once written (on the submitting thread), or once the
    // job has dropped them (on its worker, a record started again). The pool keeps
    // each job's held bytes itself, so a wait always sees what has been written
    // meanwhile. Every wait ends: a job holding nothing may always go on (any one
    // write fits), the oldest job waits only for its own bytes, which the
    // submitting thread writes without waiting for any worker, and a later job
    // waits only for older jobs, which never wait for it. reserve returns at once
    // when the pool is stopping.
    void reserve(const PoolJob* job, uint64_t bytes);
    void release(const PoolJob* job, uint64_t bytes);

    // Serialises the workers' reads of the command's one archive stream.
    std::mutex& archive_mutex() { return archive_mutex_; }

private:
    struct Slot {
        explicit Slot(std::unique_ptr<PoolJob> j, const std::atomic<bool>& stop)
            : job(std::move(j)), reporter(stop) {}
        std::unique_ptr<PoolJob> job;
        JobReporter reporter;
        bool done = false;       // run has returned
        bool ran_alone = false;  // run with no other job beside it: a failure for
                                 // want of room is its own
        uint64_t held = 0;       // output reserved and not yet released
    };
    struct Worker;

    void work(Worker& worker);
    bool set_up(Worker& worker);
    // One round on the submitting thread: waits a little for the oldest job, asks
    // the front end about a stop, tends the oldest, settles what is finished.
    void wait_round();
    // Passes a stop asked of the front end on to the workers and later settles.
    void ask_front_end();
    // Shows the front end the oldest job's progress events given so far.
    void relay_working(Slot& oldest);
    void settle_finished();
    // Runs the oldest job again with no other job running: every later job is
    // stopped, forgotten and queued again in its place. From then on the pool
    // runs one job at a time, each once the one before it is settled: on a disk
    // that is full, or nearly, jobs side by side would only take each other's
    // room, and every failure would cost a rerun.
    void rerun_alone(Slot& oldest);
    // A worker may take the next queued job now.
    bool may_take() const;
    void end_now();
    // The unsettled job's slot, or nullptr. Under mutex_.
    Slot* slot_of(const PoolJob* job);

    Command& main_;
    const size_t block_size_;  // the main command's, taken before the first worker borrows it
    const OutputBudget budget_;
    std::mutex mutex_;
    std::condition_variable work_ready_;  // a job was queued, or the pool is closing
    std::condition_variable job_done_;    // a job returned, or a job waits for its output
    std::condition_variable room_;        // output was written, or the oldest job changed
    std::deque<std::unique_ptr<Slot>> in_flight_;  // every unsettled job, oldest first
    std::deque<Slot*> queued_;                     // jobs no worker has taken yet
    bool one_at_a_time_ = false;                   // since a job was short of room
    unsigned running_ = 0;                         // workers inside a job's run
    size_t depth_;                                 // most jobs in flight
    uint64_t ahead_bytes_ = 0;                     // every slot's held bytes
    bool output_waiting_ = false;                  // a worker waits for output to be written
    bool closing_ = false;
    std::atomic<bool> stop_{false};
    bool ended_ = false;
    std::mutex archive_mutex_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

// The number of worker threads for a command: the hardware's cores when the
// setting is 0, else the setting; always at least 1.
unsigned thread_count(unsigned setting);

template <class F>
void JobReporter::replay(Reporter& front, const CommandTotals& totals, F before_completion) {
    bool merged = false;
    for (const Item& item : items_) {
        if (item.is_message) {
            front.message(item.message);
            continue;
        }
        const bool completes =
            item.kind == ProgressKind::file_compressed || item.kind == ProgressKind::entry_extracted;
        if (completes && !merged) {
            before_completion();
            merged = true;
        }
        ProgressEvent event{item.kind, item.name, totals};
        event.entry_done = item.entry_done;
        event.entry_size = item.entry_size;
        event.written = item.written;
        front.progress(event);
    }
    if (!merged) before_completion();
}

}  // namespace vellum
