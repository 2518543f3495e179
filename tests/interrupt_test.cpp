// Stop requests at every safe point of add, extract and delete, and an archive
// held open for a whole command. Deterministic: the reporter says stop at its
// n-th question, whatever the machine's speed.
#include <gtest/gtest.h>

#include "archive/archive_lock.h"
#include "archive/parallel_add.h"
#include "manage/delete.h"
#include "manage_test_support.h"
#include "platform/platform.h"

namespace vellum {
namespace {

using namespace vellum::test;

// Answers "go on" to the first `go_on` questions and "stop" from then on.
class StopAfter : public RecordingReporter {
public:
    explicit StopAfter(int go_on) : left(go_on) {}
    bool stop_requested() override {
        ++asked;
        return left-- <= 0;
    }
    int left;
    int asked = 0;
};

// Names below `root` left by an extraction in progress.
size_t temporaries(const fs::path& root) {
    size_t n = 0;
    if (fs::exists(root))
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
            n += entry.path().filename().string().rfind("vellum-x-", 0) == 0;
    return n;
}

class Interrupts : public ManageTest {
protected:
    // big.txt of three MiB (so the position loop asks inside it), then small.txt.
    void make_sources() {
        write_file(tmp / "big.txt", text_bytes(3 << 20, 7));
        write_file(tmp / "small.txt", text_bytes(2000, 8));
    }
    // Adds the paths to the existing archive, asking `stop`; the bytes added
    // to the totals are left in *processed.
    AddSummary add_to_archive(StopAfter& stop, const std::vector<fs::path>& paths, unsigned threads = 1,
                              bool best = false, uint64_t* processed = nullptr) {
        Command command(*codec, stop);
        command.settings.threads = threads;
        command.settings.best_class = best;
        AddSummary summary;
        EXPECT_EQ(open_or_create_archive(command, archive), OpenResult::opened);
        if (!prepare_buffers(command)) return summary;
        {
            ParallelAdd parallel(command);
            for (const fs::path& p : paths) add_path(command, p.string(), summary);
        }
        end_command(command);
        if (processed) *processed = command.totals.processed_total;
        return summary;
    }
};

// Catches a stop that is never asked about inside a large file, a record left
// half written, and an interrupt counted as an entry added.
TEST_F(Interrupts, AddCutsBackTheEntryInWork) {
    make_sources();
    compress({tmp / "small.txt"}, 1);
    const Bytes before = read_file(archive);
    int most = 0;
    for (int go_on = 0;; ++go_on) {
        StopAfter stop(go_on);
        uint64_t processed = 0;
        const AddSummary summary = add_to_archive(stop, {tmp / "big.txt"}, 1, false, &processed);
        if (!summary.interrupted) {
            EXPECT_EQ(summary.added, 1u);
            most = go_on;
            break;
        }
        EXPECT_EQ(summary.added, 0u) << go_on;
        EXPECT_EQ(read_file(archive), before) << go_on;
        EXPECT_EQ(processed, 0u);
    }
    // Before the entry, before its block, and inside the block at 1 and 2 MiB.
    EXPECT_GE(most, 4);
    SilentReporter quiet;
    ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
    EXPECT_EQ(listing.entry_count, 2u);
}

// --best codes a file many times: catches a stop that goes unasked in the
// trials, a trial's bytes reaching the archive, and a progress bar that runs
// back at each new trial or past the file's size.
TEST_F(Interrupts, BestClassTrialsStopAndReportLikeOneCoding) {
    write_file(tmp / "mid.txt", text_bytes(600000, 9));
    write_file(tmp / "small.txt", text_bytes(2000, 8));
    compress({tmp / "small.txt"}, 1);
    const Bytes before = read_file(archive);
    for (int go_on : {1, 5, 20, 40, 1000000}) {
        StopAfter stop(go_on);
        const AddSummary summary = add_to_archive(stop, {tmp / "mid.txt"}, 1, true);
        EXPECT_FALSE(stop.progress_wrong) << go_on;
        if (go_on < 1000000) {
            EXPECT_TRUE(summary.interrupted) << go_on;
            EXPECT_EQ(read_file(archive), before) << go_on;
        } else {
            EXPECT_EQ(summary.added, 1u);
            // Two questions or more in every one of the 21 codings.
            EXPECT_GT(stop.asked, 42);
            EXPECT_GT(stop.ticks, 21);
        }
    }
    SilentReporter quiet;
    ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
    EXPECT_EQ(listing.entry_count, 2u);
}

// With two workers the entries after a stop were coded, or half coded, ahead
// of their turn: catches one of them reaching the archive, a record half
// written by the one in turn, files kept out of order, and a temporary left by
// an extraction. Where the stop falls depends on timing; what must hold does not.
TEST_F(Interrupts, ParallelRunsStopWithWholeEntriesInOrder) {
    std::vector<fs::path> files;
    for (int i = 0; i < 8; ++i) {
        files.push_back(tmp / "in" / ("f" + std::to_string(i) + ".txt"));
        write_file(files.back(), text_bytes(i % 3 == 0 ? (1 << 20) + i : 30000 + i, 20 + i));
    }
    write_file(tmp / "small.txt", text_bytes(2000, 8));
    compress({tmp / "small.txt"}, 1);
    const Bytes before = read_file(archive);
    SilentReporter quiet;
    for (int go_on : {0, 1, 2, 4, 7, 12}) {
        StopAfter stop(go_on);
        const AddSummary summary = add_to_archive(stop, files, 2);
        ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete) << go_on;
        ASSERT_EQ(listing.entry_count, 1 + summary.added) << go_on;
        EXPECT_EQ(summary.added < files.size(), summary.interrupted) << go_on;
        for (uint32_t k = 0; k < summary.added; ++k)
            EXPECT_EQ(listing.entries[1 + k].file_name, files[k].filename().string()) << go_on;
        write_file(archive, before);
    }
    // Extraction of all of them, stopped: whole files or none, never a temporary.
    StopAfter never(1 << 30);
    ASSERT_EQ(add_to_archive(never, files, 2).added, files.size());
    for (int go_on : {0, 1, 3, 6}) {
        StopAfter stop(go_on);
        Command command(*codec, stop);
        command.settings.threads = 2;
        command.archive_path = archive;
        command.archive = std::fopen(archive.c_str(), "rb");
        ASSERT_TRUE(command.archive && prepare_buffers(command));
        const fs::path out = tmp / ("out" + std::to_string(go_on));
        extract_ranges(command, {{0, UINT64_MAX}}, out.string() + "/");
        end_command(command);
        EXPECT_EQ(temporaries(out), 0u) << go_on;
        for (const fs::path& f : files) {
            const fs::path got = out / "in" / f.filename();
            if (fs::exists(got)) {
                EXPECT_EQ(read_file(got), read_file(f)) << go_on << " " << got;
            }
        }
    }
}

// Catches a partial output file, a temporary left behind, an existing file
// harmed by an interrupted entry, and interrupted entries counted as written or
// as read (the packed total of one thread and of workers must agree).
TEST_F(Interrupts, ExtractLeavesNoPartialFile) {
    make_sources();
    compress({tmp / "big.txt", tmp / "small.txt"}, 2);
    SilentReporter quiet;
    ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
    const uint64_t big_record = listing.entries[0].record_length;
    const fs::path out = tmp / "out";
    const std::string own = "the user's own big.txt";
    const Bytes users(own.begin(), own.end());
    write_file(out / "big.txt", users);
    for (int go_on = 0;; ++go_on) {
        StopAfter stop(go_on);
        Command command(*codec, stop);
        command.settings.buffer_setting = 0;
        command.archive_path = archive;
        ASSERT_TRUE(prepare_buffers(command));
        const ExtractSummary s = extract_ranges(command, {{0, UINT64_MAX}}, out.string() + "/");
        end_command(command);
        EXPECT_EQ(temporaries(out), 0u) << go_on;
        if (!s.interrupted) {
            EXPECT_GE(go_on, 4);
            EXPECT_EQ(s.written, 2u);
            EXPECT_EQ(read_file(out / "big.txt"), text_bytes(3 << 20, 7));
            break;
        }
        EXPECT_FALSE(s.ok());
        if (s.written == 0) {
            EXPECT_EQ(read_file(out / "big.txt"), users) << go_on;
            EXPECT_EQ(command.totals.files_processed, 0u);
            EXPECT_EQ(command.totals.compressed_total, 0u) << go_on;
            EXPECT_FALSE(fs::exists(out / "small.txt"));
        } else {  // stopped between the entries: the first is whole
            EXPECT_EQ(read_file(out / "big.txt"), text_bytes(3 << 20, 7));
            EXPECT_EQ(command.totals.files_processed, 1u);
            EXPECT_EQ(command.totals.compressed_total, big_record) << go_on;
        }
    }
}

// Catches a delete that replaces the archive after a stop, or keeps its copy.
TEST_F(Interrupts, DeleteLeavesTheArchiveAndNoTemporary) {
    {
        ArchiveWriter w(archive);
        w.add("", "a.txt", 300);
        w.add("", "b.txt", 500);
        w.add("", "c.txt", 700);
    }
    SilentReporter quiet;
    ASSERT_EQ(list_archive(archive, quiet, &listing), ListStatus::complete);
    const Bytes before = read_file(archive);
    for (int go_on = 0;; ++go_on) {
        StopAfter stop(go_on);
        DeleteRequest r;
        r.archive_view = true;
        r.archive_path = archive;
        r.marked = {1};
        r.chunk_size = 128;  // several questions per range
        const DeleteResult result = delete_entries(r, listing, stop);
        EXPECT_FALSE(leftover()) << go_on;
        if (result != DeleteResult::interrupted) {
            EXPECT_EQ(result, DeleteResult::deleted);
            EXPECT_GE(go_on, 8);
            break;
        }
        EXPECT_EQ(read_file(archive), before) << go_on;
    }
}

// Catches a command that reads its archive again by name: once it holds the
// archive, replacing the name with another archive changes nothing it reads.
TEST_F(Interrupts, HeldArchiveIsReadEvenWhenItsNameIsReplaced) {
#ifdef _WIN32
    GTEST_SKIP() << "an open file cannot be renamed over here, which guards the same";
#endif
    make_sources();
    compress({tmp / "small.txt"}, 1);
    const std::string first = archive;
    archive = (tmp / "second.vlm").string();
    compress({tmp / "big.txt"}, 1);
    Command command(*codec, reporter);
    LockedOpen opened = LockedOpen::ok;
    command.archive = open_locked(first, "rb", false, reporter, &opened);
    ASSERT_EQ(opened, LockedOpen::ok);
    ASSERT_TRUE(platform::replace_file(archive.c_str(), first.c_str()));
    command.archive_path = first;
    command.settings.buffer_setting = 0;
    ASSERT_TRUE(prepare_buffers(command));
    const ExtractSummary s = extract_ranges(command, {{0, UINT64_MAX}}, (tmp / "out").string());
    end_command(command);
    EXPECT_TRUE(s.ok());
    EXPECT_EQ(read_file(tmp / "out" / "small.txt"), text_bytes(2000, 8));
    EXPECT_FALSE(fs::exists(tmp / "out" / "big.txt"));
}

}  // namespace
}  // namespace vellum
