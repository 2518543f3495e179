// The ordered pool's promise when a job fails for want of room: the job runs
// again with no other job beside it, every later job that ran meanwhile is
// stopped and forgotten (its reports too) and runs again in its turn, one job at
// a time from then on, and all jobs settle once, in order. Deterministic: the jobs wait for each other, not
// for the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "archive/ordered_pool.h"
#include "manage_test_support.h"

namespace vellum {
namespace {

using namespace vellum::test;

// What the jobs of one pool share.
struct Board {
    std::atomic<int> running{0};
    std::atomic<bool> second_started{false};
    std::atomic<bool> rerun_started{false};  // job 0 runs the second time
    std::mutex mutex;
    std::vector<std::string> settled;  // "name:runs:alone"
};

// Waits, at most ten seconds, for `ready`.
template <class F>
bool wait_for(F ready) {
    for (int i = 0; i < 10000; ++i) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Job 0 is short of room whenever it ran beside another job (or ahead of its
// turn): on its first run it waits until job 1 has started. Job 1, on its first
// run, holds on until it is asked to stop, so only the pool's cancel lets it go.
// Every run leaves a message naming the run, and settle replays what the final
// run kept.
class RoomJob : public PoolJob {
public:
    RoomJob(Board& board, Reporter& front, CommandTotals& totals, int index)
        : board_(board), front_(front), totals_(totals), index_(index) {
        name = "job" + std::to_string(index);
    }
    void run(Command&) override {
        ++runs_;
        const int beside = ++board_.running;
        {
            // Alone and in its turn: nothing running beside it, every job before it settled.
            std::lock_guard<std::mutex> lock(board_.mutex);
            alone_ = beside == 1 && board_.settled.size() == static_cast<size_t>(index_);
        }
        if (index_ == 1 && runs_ == 1) {
            board_.second_started = true;
            wait_for([&] { return reporter->stop_requested(); });
        }
        if (index_ == 0 && runs_ == 2) board_.rerun_started = true;
        if (index_ == 0 && runs_ == 1) {
            wait_for([&] { return board_.second_started.load(); });
            alone_ = false;
        }
        if (board_.running.load() > 1) alone_ = false;
        report(*reporter, msg::kLeftoverRemoved, name + " run " + std::to_string(runs_));
        --board_.running;
    }
    bool short_of_room() const override { return index_ == 0 && !alone_; }
    bool settle() override {
        reporter->replay(front_, totals_, [] {});
        std::lock_guard<std::mutex> lock(board_.mutex);
        board_.settled.push_back(name + ":" + std::to_string(runs_) + ":" + (alone_ ? "alone" : "beside"));
        return true;
    }

private:
    Board& board_;
    Reporter& front_;
    CommandTotals& totals_;
    const int index_;
    int runs_ = 0;
    bool alone_ = false;
};

class PoolTest : public ManageTest {};

TEST_F(PoolTest, AJobShortOfRoomRunsAgainAloneAndLaterJobsRunAnew) {
    Board board;
    Command command(*codec, reporter);
    command.settings.buffer_setting = 0;
    ASSERT_TRUE(prepare_buffers(command));
    {
        OrderedPool pool(command, 2);
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(pool.submit(std::make_unique<RoomJob>(board, reporter, command.totals, i)));
        pool.finish();
    }
    // Job 0 ran twice, the second time alone; job 1 was stopped, forgotten and run
    // once more; whatever jobs 2 and 3 did before the rerun was forgotten too.
    // After the rerun the pool runs one job at a time, each once the one before
    // is settled, so every later job ran alone (a disk short of room would fail
    // them side by side again).
    ASSERT_EQ(board.settled.size(), 4u);
    EXPECT_EQ(board.settled[0], "job0:2:alone");
    EXPECT_EQ(board.settled[1], "job1:2:alone");
    EXPECT_EQ(board.settled[2].substr(0, 5), "job2:");
    EXPECT_EQ(board.settled[3].substr(0, 5), "job3:");
    for (int k : {2, 3}) {
        const std::string& s = board.settled[k];
        EXPECT_EQ(s.substr(s.size() - 6), ":alone") << s;
    }
    // Only the reports of each job's final run reach the front end, in order.
    const std::vector<std::string> texts = reporter.texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "job0 run 2");
    EXPECT_EQ(texts[1], "job1 run 2");
    EXPECT_EQ(texts[2].substr(0, 9), "job2 run ");
    EXPECT_EQ(texts[3].substr(0, 9), "job3 run ");
}

// A stop asked while the job runs alone again: that job is the first whose
// turn comes after the stop, so it is abandoned like any other, and nothing
// after it is settled.
class StopDuringRerun : public RecordingReporter {
public:
    explicit StopDuringRerun(Board& board) : board_(board) {}
    bool stop_requested() override { return board_.rerun_started.load(); }

private:
    Board& board_;
};

TEST_F(PoolTest, AStopDuringTheRerunEndsThePoolAfterThatJob) {
    Board board;
    StopDuringRerun front(board);
    Command command(*codec, front);
    command.settings.buffer_setting = 0;
    ASSERT_TRUE(prepare_buffers(command));
    {
        OrderedPool pool(command, 2);
        for (int i = 0; i < 4; ++i)
            pool.submit(std::make_unique<RoomJob>(board, front, command.totals, i));
        pool.finish();
        EXPECT_TRUE(pool.ended());
    }
    // The front end says stop from the start of job 0's second run.
    EXPECT_TRUE(board.rerun_started.load());
    EXPECT_TRUE(board.settled.empty()) << board.settled.front();
}


// --- output held until its turn ---------------------------------------------------
//
// Jobs that keep their output in memory, as an add's workers do: run() "writes"
// its bytes in chunks, each reserved first; the submitting thread writes out
// (releases) what the oldest job holds when it tends it and when it settles it.
// A wait that can wait on itself shows as a pool that never finishes, so a
// watchdog front end asks the pool to stop after a generous bound and the test
// checks that no job was stopped.

struct Ledger {
    std::mutex mutex;
    std::vector<int> settled;      // job indexes in settling order
    uint64_t held_now = 0;         // reserved and not yet released, over all jobs
    uint64_t held_most = 0;
    std::atomic<int> ready_to_finish{-1};  // jobs below this index may finish
};

class OutputJob : public PoolJob {
public:
    OutputJob(OrderedPool& pool, Ledger& ledger, int index, uint64_t total, uint64_t chunk, bool gated)
        : pool_(pool), ledger_(ledger), index_(index), total_(total), chunk_(chunk), gated_(gated) {
        name = "out" + std::to_string(index);
    }
    void run(Command&) override {
        for (uint64_t done = 0; done < total_;) {
            const uint64_t size = std::min(chunk_, total_ - done);
            pool_.reserve(this, size);
            if (reporter->stop_requested()) {
                stopped_ = true;
                return;
            }
            {
                std::lock_guard<std::mutex> lock(ledger_.mutex);
                ledger_.held_now += size;
                ledger_.held_most = std::max(ledger_.held_most, ledger_.held_now);
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                unwritten_ += size;
            }
            done += size;
        }
        // A gated job ends only once told to: later jobs fill their budget meanwhile.
        if (gated_) wait_for([&] { return ledger_.ready_to_finish.load() > index_ || reporter->stop_requested(); });
    }
    void tend() override { write_out(); }
    bool settle() override {
        write_out();
        std::lock_guard<std::mutex> lock(ledger_.mutex);
        if (!stopped_) ledger_.settled.push_back(index_);
        return !stopped_;
    }

private:
    void write_out() {
        uint64_t bytes = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::swap(bytes, unwritten_);
        }
        if (bytes == 0) return;
        {
            std::lock_guard<std::mutex> lock(ledger_.mutex);
            ledger_.held_now -= bytes;
        }
        pool_.release(this, bytes);
    }

    OrderedPool& pool_;
    Ledger& ledger_;
    const int index_;
    const uint64_t total_, chunk_;
    const bool gated_;
    std::mutex mutex_;
    uint64_t unwritten_ = 0;
    bool stopped_ = false;
};

// Asks to stop once the pool has had far longer than it needs.
class Watchdog : public RecordingReporter {
public:
    explicit Watchdog(int seconds) : until_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)) {}
    bool stop_requested() override {
        if (std::chrono::steady_clock::now() > until_) fired = true;
        return fired;
    }
    std::atomic<bool> fired{false};

private:
    std::chrono::steady_clock::time_point until_;
};

struct JobPlan {
    uint64_t total;
    uint64_t chunk;
    bool gated = false;
};

class OutputPoolTest : public ManageTest {
protected:
    // Runs the jobs on `workers` threads with small budgets; every job must settle,
    // in order, and the bytes held at once stay within both budgets and a chunk.
    void run_jobs(unsigned workers, OutputBudget budget, const std::vector<JobPlan>& plans,
                  std::function<void(Ledger&, int submitted)> after_submit = {}) {
        Watchdog front(60);
        Ledger ledger;
        Command command(*codec, front);
        command.settings.buffer_setting = 0;
        ASSERT_TRUE(prepare_buffers(command));
        uint64_t largest_chunk = 0;
        {
            OrderedPool pool(command, workers, budget);
            for (size_t i = 0; i < plans.size(); ++i) {
                largest_chunk = std::max(largest_chunk, plans[i].chunk);
                ASSERT_TRUE(pool.submit(std::make_unique<OutputJob>(pool, ledger, static_cast<int>(i),
                                                                    plans[i].total, plans[i].chunk,
                                                                    plans[i].gated)));
                if (after_submit) after_submit(ledger, static_cast<int>(i));
            }
            pool.finish();
        }
        ASSERT_FALSE(front.fired.load()) << "the pool waited on itself (workers " << workers << ")";
        ASSERT_EQ(ledger.settled.size(), plans.size());
        for (size_t i = 0; i < plans.size(); ++i) EXPECT_EQ(ledger.settled[i], static_cast<int>(i));
        EXPECT_EQ(ledger.held_now, 0u);
        EXPECT_LE(ledger.held_most, budget.ahead + budget.oldest + largest_chunk);
    }
};

// One job writing forty times the oldest job's budget, as a large stored file
// does: it must go on as its bytes are written out, however far behind it the
// submitting thread is.
TEST_F(OutputPoolTest, TheOldestJobWritesFarMoreThanItsBudget) {
    for (unsigned workers : {2u, 4u}) {
        SCOPED_TRACE(workers);
        run_jobs(workers, OutputBudget{1 << 16, 1 << 14}, {{40u << 14, 1 << 12}});
        run_jobs(workers, OutputBudget{1 << 16, 1 << 14}, {{1 << 12, 1 << 12}, {40u << 14, 1 << 12}, {100, 7}});
    }
}

// Job 0 stays busy while job 1 fills the whole ahead budget, far above the
// oldest job's; when job 0 settles, job 1 becomes the oldest holding more than
// the oldest may, and must go on once what it holds is written out.
TEST_F(OutputPoolTest, AJobFullOfOutputBecomesTheOldest) {
    for (unsigned workers : {2u, 4u}) {
        SCOPED_TRACE(workers);
        std::vector<JobPlan> plans{{100, 100, true}, {1u << 20, 1 << 12}, {1u << 18, 1 << 12}};
        run_jobs(workers, OutputBudget{1 << 16, 1 << 12}, plans, [](Ledger& ledger, int submitted) {
            if (submitted != 2) return;
            // Job 1 has reached the ahead budget and waits; let job 0 end.
            wait_for([&] {
                std::lock_guard<std::mutex> lock(ledger.mutex);
                return ledger.held_now + (1u << 12) > (1u << 16);
            });
            ledger.ready_to_finish = 1;
        });
    }
}

// Seeded random pools: job sizes from nothing to many budgets, chunks from one
// byte to more than a budget, 1 to 4 workers, budgets from tiny to roomy.
TEST_F(OutputPoolTest, RandomPoolsNeverWaitOnThemselves) {
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE(trial);
        const OutputBudget budget{uint64_t{1} << (10 + next(8)), uint64_t{1} << (8 + next(8))};
        std::vector<JobPlan> plans;
        const uint32_t jobs = 1 + next(24);
        for (uint32_t j = 0; j < jobs; ++j) {
            const uint64_t total = next(4) == 0 ? 0 : uint64_t{1} << next(19);
            plans.push_back({total + next(100), 1 + (uint64_t{1} << next(15))});
        }
        run_jobs(1 + next(4), budget, plans);
        if (HasFatalFailure()) return;
    }
}
}  // namespace
}  // namespace vellum
