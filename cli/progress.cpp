#include "cli/progress.h"

#include "archive/display_name.h"
#include "archive/entry_path.h"

#include <algorithm>

namespace vellum {
namespace cli {
namespace {

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

std::string clock_text(double seconds) {
    const long whole = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string progress_text(const std::string& name, uint64_t done, uint64_t total,
                          double busy_seconds, double elapsed_seconds, size_t width) {
    const double rate = busy_seconds > 0 ? static_cast<double>(done) / busy_seconds / 1e6 : 0.0;
    char rate_text[32];
    std::snprintf(rate_text, sizeof rate_text, "%.1f MB/s", rate);
    std::string stats = "  " + megabytes(done);
    if (total > 0) {
        const double percent = std::min(100.0, 100.0 * static_cast<double>(done) / total);
        stats += " of " + megabytes(total) + " MB  " + std::to_string(static_cast<int>(percent)) + "%";
    } else {
        stats += " MB";
    }
    stats += std::string("  ") + rate_text + "  " + clock_text(elapsed_seconds);
    if (total > done && rate > 0) stats += "  " + clock_text(static_cast<double>(total - done) / 1e6 / rate) + " left";

    std::string shown = name;
    const size_t room = width > stats.size() ? width - stats.size() : 0;
    if (shown.size() > room) shown = room > 3 ? "..." + shown.substr(shown.size() - (room - 3)) : "";
    return shown + stats;
}

void ProgressDisplay::start(bool enabled, uint64_t total) {
    finish();
    std::lock_guard<std::mutex> lock(mutex_);
    total_ = total;
    finished_ = current_ = 0;
    name_.clear();
    start_ = last_event_ = Clock::now();
    if (!enabled) return;
    running_ = true;
    if (interval_.count() > 0) ticker_ = std::thread(&ProgressDisplay::tick_loop, this);
}

void ProgressDisplay::event(const ProgressEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) return;
    last_event_ = Clock::now();
    // An add names the file alone and its folder apart; the line shows the path.
    const std::string name = event.folder ? native_form(*event.folder + event.name) : event.name;
    switch (event.kind) {
        case ProgressKind::working:
        case ProgressKind::block_extracted:
            if (name != name_) {
                name_ = name;
                current_ = 0;
            }
            current_ = event.entry_done;
            break;
        case ProgressKind::file_compressed:
        case ProgressKind::entry_extracted:
            finished_ += event.entry_size;
            current_ = 0;
            name_ = name;
            break;
    }
    if (interval_.count() == 0) draw_locked();
}

void ProgressDisplay::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    clear_locked();
}

void ProgressDisplay::write(FILE* stream, const std::string& text) {
    // Every line out carries names; none reaches the terminal raw.
    write_raw(stream, escaped_name(text));
}

void ProgressDisplay::write_raw(FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    clear_locked();
    std::fputs(text.c_str(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void ProgressDisplay::tick_loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (running_) {
        // The first draw waits one interval: quick commands leave no trace.
        wake_.wait_for(lock, interval_, [this] { return !running_; });
        if (running_) draw_locked();
    }
}

void ProgressDisplay::draw_locked() {
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double busy = std::chrono::duration<double>(last_event_ - start_).count();
    const std::string text =
        progress_text(escaped_name(name_), finished_ + current_, total_, busy, elapsed, kLineWidth);
    std::string out = "\r" + text;
    // Blank out the tail of a longer line drawn before.
    if (text.size() < drawn_) out.append(drawn_ - text.size(), ' ');
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = std::max(text.size(), drawn_);
}

void ProgressDisplay::clear_locked() {
    if (drawn_ == 0) return;
    std::fputs(("\r" + std::string(drawn_, ' ') + "\r").c_str(), stderr);
    std::fflush(stderr);
    drawn_ = 0;
}

}  // namespace cli
}  // namespace vellum
