// The ordered pool's promise when a job fails for want of room: the job runs
// again with no other job beside it, every later job that ran meanwhile is
// stopped and forgotten (its reports too) and runs again in its turn, one job at
// a time from then on, and all jobs settle once, in order. Deterministic: the jobs wait for each other, not
// for the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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
        reporter->message(name + " run " + std::to_string(runs_), "", 0);
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
    command.buffer_setting = 0;
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
    command.buffer_setting = 0;
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

}  // namespace
}  // namespace vellum
