// The live progress line of a long command on a terminal: the file in work, the
// bytes done of the command's total, the rate and the elapsed time, redrawn in
// place on stderr several times a second. The core reports progress about once a
// MiB, which on hard-to-code data is less than once a second, so a small ticker
// thread does the redrawing; it only ever reads the counts the events left, never
// the codec. Every write to the console goes through here, so the line and the
// messages never mix.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "archive/report.h"

namespace vellum {
namespace cli {

constexpr std::chrono::milliseconds kRedrawInterval{250};
constexpr size_t kLineWidth = 79;

class ProgressDisplay {
public:
    ProgressDisplay() = default;
    ~ProgressDisplay() { finish(); }
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // total: bytes the command will read or write, 0 when unknown. A display that
    // is not enabled draws nothing and starts no thread.
    void start(bool enabled, uint64_t total);
    // The time between redraws; zero redraws at every progress event instead, with
    // no thread (VELLUM_REDRAW_MS=0: what a test needs to see every count).
    void set_interval(std::chrono::milliseconds interval) { interval_ = interval; }
    void event(const ProgressEvent& event);
    // Stops the redrawing and clears the line.
    void finish();
    // Writes text on a line of its own, below nothing: the progress line is
    // cleared first and drawn again at the next tick.
    void write(FILE* stream, const std::string& text);
    // The same for a document whose own format already escapes what it holds (JSON).
    void write_raw(FILE* stream, const std::string& text);

private:
    void tick_loop();
    void draw_locked();
    void clear_locked();

    using Clock = std::chrono::steady_clock;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    bool running_ = false;
    uint64_t total_ = 0;
    uint64_t finished_ = 0;     // bytes of the files done
    uint64_t current_ = 0;      // bytes of the file in work
    std::string name_;          // the file in work, with its folder when adding
    Clock::time_point start_{};
    Clock::time_point last_event_{};
    size_t drawn_ = 0;          // characters on the line now; 0 when it is clear
    std::chrono::milliseconds interval_ = kRedrawInterval;
};

// "docs/name  12.3 of 45.6 MB  27%  3.4 MB/s  0:12  0:32 left", at most `width`
// characters: a long path loses its beginning. The rate is done / busy_seconds
// (the time of the last count), so it holds steady between counts; the time left
// is what the rest of the total takes at that rate, shown once both are known.
std::string progress_text(const std::string& name, uint64_t done, uint64_t total,
                          double busy_seconds, double elapsed_seconds, size_t width);

}  // namespace cli
}  // namespace vellum
