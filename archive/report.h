// The reporting seam. The core never prints and never opens a window: an operation
// that fails tells the user through a Reporter and returns a plain result. A
// message says which message it is (an id), what it is about (a path or a name,
// as stored) and the system's reason (an error code), so each front end words it
// its own way: the desktop program as the described message box (messages.h), the
// command line as one line on stderr. Progress goes out as events that carry the
// name in work and the command totals.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vellum {

// Every message the core gives, one value each (their texts are in messages.h).
enum class MessageId : uint8_t {
    // Opening or creating the archive a compress command writes to.
    not_archive,
    incompatible_mode,
    archive_closed,
    archive_damaged,
    archive_not_created,
    archive_exists,
    // Adding one file.
    source_not_opened,
    archive_write_failed,
    source_read_failed,
    source_changed,
    archive_itself,
    name_too_long,
    not_regular_file,
    name_would_not_come_back,
    out_of_memory,
    meta_not_written,
    // Any command.
    archive_busy,
    leftover_removed,
    // Extracting and testing.
    extract_range_failed,
    extract_archive_failed,
    destination_failed,
    output_not_created,
    output_write_failed,
    kept_existing,
    damaged_entry,
    checksum_mismatch,
    unsafe_path,
    colon_in_name,
    link_in_path,
    output_is_archive,
    solid_run_broken,
    archive_walk_stopped,
    unsafe_link,
    link_not_created,
    attributes_not_set,
    meta_unreadable,
    late_checksum_mismatch,
    // Listing, info, delete, repair.
    not_an_archive,
    list_not_opened,
    listing_damaged,
    info_count,
    info_no_archive,
    delete_no_selection,
    delete_solid,
    delete_no_archive,
    deleted,
    archive_deleted,
    delete_source_not_opened,
    delete_temp_not_created,
    delete_damaged,
    delete_stale,
    delete_read_failed,
    delete_write_failed,
    delete_replace_failed,
    delete_remove_failed,
    repair_not_opened,
    repair_refused,
    repair_failed,
};

struct Message {
    MessageId id{};
    std::string subject;  // the path or name concerned, raw; empty when none
    int error = 0;        // the system's error code behind the message; 0 when none
};

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
    // Adding: the stored folder path of the file in work (docs\sub\), or nullptr;
    // `name` is then its file name alone, as the desktop program shows it.
    const std::string* folder = nullptr;
    bool written = true;      // extracting: false when the entry was only decoded
};

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void message(const Message& message) = 0;
    virtual void progress(const ProgressEvent& event) { (void)event; }
    // Asked at the safe points of a long operation: between entries, between
    // blocks and about once a MiB inside one. True makes the operation stop there,
    // cut back the entry in work, remove its temporaries and say it was interrupted.
    virtual bool stop_requested() { return false; }
};

// A reporter that keeps quiet, for tools and tests that only want the results.
class SilentReporter : public Reporter {
public:
    void message(const Message&) override {}
};

}  // namespace vellum
