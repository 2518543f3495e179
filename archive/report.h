// The reporting seam. The core never prints and never opens a window: an operation
// that fails tells the user through a Reporter (a message with its exact text,
// caption and flags, as a message box shows it) and returns a plain result;
// progress goes out as events that carry the name in work and the command totals.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vellum {

// Message box flags.
constexpr unsigned kFlagsNone = 0;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kIconInformation = 0x40;

// Counted over one compress or extract command.
struct CommandTotals {
    uint32_t files_processed = 0;   // files compressed, or entries written out
    uint64_t processed_total = 0;   // original sizes of those files
    uint64_t compressed_total = 0;  // record lengths written (or read, extracting)
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    double elapsed_seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

enum class ProgressKind {
    file_compressed,   // an entry was added; name = the file's name
    entry_extracted,   // an entry was decoded; name = its output path
    block_extracted,   // one block of an entry was decoded (normal archives)
    working,           // inside a file, about every 256 KiB: entry_done of entry_size
};

struct ProgressEvent {
    ProgressKind kind = ProgressKind::working;
    const std::string& name;
    const CommandTotals& totals;
    uint64_t entry_done = 0;  // bytes of the current file done so far
    uint64_t entry_size = 0;
    uint64_t entry_packed = 0;  // adding: bytes of its record made so far (working events)
    bool written = true;      // extracting: false when the entry was only decoded
};

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void message(const std::string& text, const std::string& caption, unsigned flags) = 0;
    virtual void progress(const ProgressEvent& event) { (void)event; }
    // Asked at the safe points of a long operation: between entries, between
    // blocks and about once a MiB inside one. True makes the operation stop there,
    // cut back the entry in work, remove its temporaries and say it was interrupted.
    virtual bool stop_requested() { return false; }
};

// A reporter that keeps quiet, for tools and tests that only want the results.
class SilentReporter : public Reporter {
public:
    void message(const std::string&, const std::string&, unsigned) override {}
};

}  // namespace vellum
