// Strong entries through the compress and extract drivers: normal and solid
// archives at several block sizes, on one thread and on workers, stored files,
// --best, an entry of a newer codec version, and damaged entries.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <random>

#include "archive/compress.h"
#include "archive/entry_codec.h"
#include "archive/extract.h"
#include "archive/file_class.h"
#include "archive/folder_walk.h"
#include "archive/messages.h"
#include "archive/open_archive.h"
#include "archive/parallel_add.h"
#include "driver_test_support.h"
#include "manage/extract_rows.h"
#include "platform/platform.h"

#ifndef VELLUM_CORPUS_DIR
#define VELLUM_CORPUS_DIR "../shared/corpus"
#endif

namespace vellum {
namespace {

using namespace vellum::test;
using Files = std::vector<std::pair<std::string, Bytes>>;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

size_t scaled(size_t n) { return kSanitized ? n / 4 : n; }

// Runs of one byte value, of growing length, with a little noise between.
Bytes runs(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes d;
    while (d.size() < n) {
        const uint8_t v = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 'a' + rng() % 3);
        d.insert(d.end(), std::min<size_t>(n - d.size(), 1 + rng() % 300), v);
    }
    return d;
}

class StrongDrivers : public ::testing::Test {
protected:
    // Block size 0: the setting's own (8 MiB); else a block of that many bytes,
    // which a command can use as well as any (the readers take the same).
    struct Setup {
        bool solid = false;
        size_t block = 0;
        unsigned threads = 1;
        bool best = false;
        bool strong = true;
    };

    void use_block(Command& command, size_t block) {
        if (block != 0) {
            ASSERT_TRUE(start_run(command.run, command.run.mode, block));
        }
    }

    AddSummary add(const fs::path& archive, const std::vector<fs::path>& paths, const Setup& s) {
        Command command(*codec, reporter);
        command.settings.solid = s.solid;
        command.settings.buffer_setting = 0;
        command.settings.threads = s.threads;
        command.settings.strong = s.strong;
        command.settings.best_class = s.best;
        AddSummary summary;
        EXPECT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
        EXPECT_TRUE(prepare_buffers(command));
        use_block(command, s.block);
        {
            ParallelAdd parallel(command);
            for (const fs::path& p : paths) add_path(command, p.string(), summary);
            parallel.finish();
        }
        end_command(command);
        return summary;
    }

    ExtractSummary extract(const fs::path& archive, const fs::path& to, const Setup& s) {
        Command command(*codec, reporter);
        command.settings.solid = s.solid;
        command.settings.buffer_setting = 0;
        command.settings.threads = s.threads;
        command.archive_path = archive.string();
        EXPECT_TRUE(prepare_buffers(command));
        use_block(command, s.block);
        ExtractSummary summary = extract_all(command, to.string());
        end_command(command);
        return summary;
    }

    std::vector<fs::path> write_files(const Files& files, const fs::path& folder) {
        std::vector<fs::path> paths;
        for (const auto& [name, data] : files) write_file(paths.emplace_back(folder / name), data);
        return paths;
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

// Every kind of file, a file of several blocks among them, normal and solid,
// with blocks of 4 KiB, 64 KiB and 8 MiB: every file comes back, and each
// entry has the class it should.
TEST_F(StrongDrivers, RoundTripsAtSeveralBlockSizes) {
    const size_t n = scaled(60000);
    const Files files = {
        {"a.txt", text_bytes(n, 1)},       {"b.bin", runs(n, 2)},       {"c.exe", x86_like(n, 3)},
        {"d.wav", wave16(n / 4, 1)},       {"noise.dat", random_data(n / 3, 4)},
        {"empty.txt", {}},                 {"one", {'q'}},              {"e.zip", random_data(500, 5)},
        {"f.txt", text_bytes(n / 10, 1)},  // a piece of a.txt: found again in a solid run
        {"short.dat", random_data(40, 6)},  // too short to look random: coded, and grown
    };
    const std::vector<fs::path> paths = write_files(files, tmp / "src");
    for (bool solid : {false, true}) {
        for (size_t block : {size_t{4096}, size_t{65536}, size_t{0}}) {
            const std::string tag = std::to_string(solid) + "-" + std::to_string(block);
            const Setup s{solid, block, 1, false, true};
            const fs::path archive = tmp / (tag + ".vlm"), out = tmp / ("out" + tag);
            const AddSummary added = add(archive, paths, s);
            EXPECT_EQ(added.added, files.size()) << tag;
            const ExtractSummary x = extract(archive, out, s);
            EXPECT_TRUE(x.ok()) << tag;
            for (const auto& [name, data] : files) EXPECT_EQ(read_file(out / name), data) << tag << " " << name;
            const std::vector<Entry> list = entries(archive);
            ASSERT_EQ(list.size(), files.size());
            EXPECT_EQ(list[0].file_class, strong_class_field(9)) << tag;
            EXPECT_EQ(list[1].file_class, strong_class_field(0)) << tag;
            EXPECT_EQ(list[2].file_class, strong_class_field(4)) << tag;
            EXPECT_EQ(list[3].file_class, strong_class_field(19)) << tag;
            EXPECT_EQ(list[7].file_class, 17) << tag;  // already compressed: stored as always
            // Grown by any coding: stored, whole, and no larger than the file. A
            // solid run stores noise and files of 4 bytes or fewer before coding
            // them; a short file it codes and finds grown is stored as a strong
            // entry, whose bytes the run's history took in.
            for (size_t i : {size_t{4}, size_t{5}, size_t{6}, size_t{9}}) {
                const uint16_t expected = solid && i == 9 ? strong_class_field(0, true) : kStoredClass;
                EXPECT_EQ(list[i].file_class, expected) << tag << " " << files[i].first;
                EXPECT_EQ(list[i].head.record_length, record_head_size(list[i].head) + files[i].second.size())
                    << tag << " " << files[i].first;
            }
            if (solid) {
                EXPECT_LT(list[8].head.record_length, files[8].second.size() / 20) << tag;
            }
        }
    }
    EXPECT_TRUE(reporter.notes.empty());
}

// Files coded on two workers make the same archive as on one thread, and it
// extracts on two workers (each with tables that coded other files before).
TEST_F(StrongDrivers, WorkersWriteTheSameArchive) {
    Files files;
    for (int i = 0; i < 12; ++i) {
        const size_t n = scaled(3000 + 2500 * static_cast<size_t>(i));
        files.push_back({"f" + std::to_string(i) + (i % 3 == 0 ? ".exe" : i % 3 == 1 ? ".txt" : ".dat"),
                         i % 3 == 0 ? x86_like(n, i) : i % 3 == 1 ? text_bytes(n, i) : runs(n, i)});
    }
    files.push_back({"noise.dat", random_data(scaled(20000), 99)});
    const std::vector<fs::path> paths = write_files(files, tmp / "src");
    add(tmp / "one.vlm", paths, Setup{false, 0, 1, false, true});
    add(tmp / "two.vlm", paths, Setup{false, 0, 2, false, true});
    EXPECT_EQ(read_file(tmp / "one.vlm"), read_file(tmp / "two.vlm"));
    const ExtractSummary x = extract(tmp / "one.vlm", tmp / "out", Setup{false, 0, 2, false, true});
    EXPECT_TRUE(x.ok());
    EXPECT_EQ(x.written, files.size());
    for (const auto& [name, data] : files) EXPECT_EQ(read_file(tmp / "out" / name), data) << name;
}

// --best with --strong tries the strong codec's text, binary and x86 models
// beside the default codec's sets: never larger than --strong alone.
TEST_F(StrongDrivers, BestWithStrongKeepsTheSmallest) {
    const Files files = {{"a.txt", text_bytes(scaled(20000), 1)}, {"b.exe", x86_like(scaled(20000), 2)},
                         {"c.zip", runs(scaled(20000), 3)},       {"d", {'1', '2'}}};
    const std::vector<fs::path> paths = write_files(files, tmp / "src");
    add(tmp / "strong.vlm", paths, Setup{false, 0, 1, false, true});
    add(tmp / "best.vlm", paths, Setup{false, 0, 1, true, true});
    const std::vector<Entry> strong = entries(tmp / "strong.vlm"), best = entries(tmp / "best.vlm");
    ASSERT_EQ(best.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_LE(best[i].head.record_length, strong[i].head.record_length) << files[i].first;
    // The zip name would store it; its runs code far smaller with the strong codec.
    EXPECT_EQ(entry_class(best[2].file_class).codec, EntryCodec::strong);
    EXPECT_TRUE(extract(tmp / "best.vlm", tmp / "out", Setup{}).ok());
    for (const auto& [name, data] : files) EXPECT_EQ(read_file(tmp / "out" / name), data) << name;
}

// What an older reader meets: an entry of a newer codec version is reported
// as unsupported, naming the version, and the others extract; in a solid run
// nothing after it can be decoded, and that is said too.
TEST_F(StrongDrivers, NewerCodecVersionIsUnsupportedOthersExtract) {
    const Files files = {{"a.txt", text_bytes(3000, 1)}, {"b.txt", text_bytes(3000, 2)},
                         {"c.txt", text_bytes(3000, 3)}};
    const std::vector<fs::path> paths = write_files(files, tmp / "src");
    for (bool solid : {false, true}) {
        const fs::path archive = tmp / (solid ? "s.vlm" : "n.vlm");
        const fs::path out = tmp / (solid ? "out-s" : "out-n");
        add(archive, paths, Setup{solid, 0, 1, false, true});
        const Entry middle = entries(archive)[1];
        Bytes bytes = read_file(archive);
        const size_t field = static_cast<size_t>(middle.offset + record_head_size(middle.head) - 2);
        bytes[field] = 9;  // version 2, base class 9
        bytes[field + 1] = 2;
        write_file(archive, bytes);
        reporter.notes.clear();
        const ExtractSummary x = extract(archive, out, Setup{solid, 0, 1, false, true});
        EXPECT_EQ(x.damaged, 0u);
        EXPECT_EQ(x.skipped, 1u);
        ASSERT_FALSE(reporter.notes.empty());
        EXPECT_EQ(reporter.notes[0].caption, msg::kUnsupportedCodec.caption);
        EXPECT_EQ(reporter.notes[0].text, "b.txt: needs strong codec version 2");
        EXPECT_FALSE(reporter.said(msg::kDamagedEntry.caption));
        EXPECT_EQ(read_file(out / "a.txt"), files[0].second);
        EXPECT_FALSE(fs::exists(out / "b.txt"));
        if (solid) {
            EXPECT_TRUE(reporter.said(msg::kSolidRunUnsupported.caption));
            EXPECT_FALSE(fs::exists(out / "c.txt"));
        } else {
            EXPECT_EQ(read_file(out / "c.txt"), files[2].second);
        }
    }
}

// A strong entry cut short or changed is damage, reported as such; the entries
// around it of a normal archive still extract.
TEST_F(StrongDrivers, DamagedStrongEntriesAreReported) {
    const Files files = {{"a.txt", text_bytes(8000, 1)}, {"b.exe", x86_like(8000, 2)},
                         {"c.txt", text_bytes(8000, 3)}};
    const std::vector<fs::path> paths = write_files(files, tmp / "src");
    add(tmp / "a.vlm", paths, Setup{false, 0, 1, false, true});
    const Bytes whole = read_file(tmp / "a.vlm");
    const Entry middle = entries(tmp / "a.vlm")[1];
    const size_t data = static_cast<size_t>(middle.offset + record_head_size(middle.head));
    std::mt19937 rng(7);
    for (int trial = 0; trial < 12; ++trial) {
        Bytes bytes = whole;
        bytes[data + rng() % (middle.head.record_length - record_head_size(middle.head))] ^=
            static_cast<uint8_t>(1 + rng() % 255);
        write_file(tmp / "d.vlm", bytes);
        reporter.notes.clear();
        const fs::path out = tmp / ("out" + std::to_string(trial));
        const ExtractSummary x = extract(tmp / "d.vlm", out, Setup{});
        EXPECT_EQ(read_file(out / "a.txt"), files[0].second);
        EXPECT_EQ(read_file(out / "c.txt"), files[2].second);
        // A change the decoder cannot see yields other bytes; most it sees.
        if (x.damaged == 1) {
            EXPECT_FALSE(fs::exists(out / "b.exe"));
        }
    }
}

// The shared corpus in a normal and a solid strong archive: the figures the
// strong codec is held to, and every file back.
TEST_F(StrongDrivers, CorpusArchivesAndTheirSize) {
    const fs::path corpus = VELLUM_CORPUS_DIR;
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    if (kSanitized) GTEST_SKIP() << "the corpus takes minutes under the sanitizers";
    uint64_t sizes[2] = {};
    for (bool solid : {false, true}) {
        const fs::path archive = tmp / (solid ? "s.vlm" : "n.vlm");
        const fs::path out = tmp / (solid ? "out-s" : "out-n");
        add(archive, {corpus}, Setup{solid, 0, 1, false, true});
        sizes[solid] = fs::file_size(archive);
        EXPECT_TRUE(extract(archive, out, Setup{solid, 0, 1, false, true}).ok());
        for (const auto& item : fs::directory_iterator(corpus))
            EXPECT_EQ(read_file(out / corpus.filename() / item.path().filename()), read_file(item.path()))
                << item.path();
    }
    EXPECT_LE(sizes[0], 460000u);
    EXPECT_LT(sizes[1], sizes[0]);
}

}  // namespace
}  // namespace vellum
