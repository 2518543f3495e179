// The damaged-archive sweep: every truncation of a small normal and a small solid
// archive, each coded by the default and by the strong codec, and a few
// thousand seeded random corruptions of them, each through the
// listing, the entry count, the test pass and extraction. Nothing may crash, hang
// (a trial that runs past its alarm ends the process), write outside the
// destination, or trip a sanitizer; an entry that lies wholly before a cut must
// still come out byte for byte.
//
// The readers run over one set of codec tables with a 64 KiB block
// (fuzz/shared_tables.h); every file here fits in it, so the entries decode as
// with their own 8 MiB block.
//
// VELLUM_SWEEP_TRIALS sets the number of random corruptions (default 3000) and
// VELLUM_SWEEP_SEED their seed (default 7), for longer documented runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>

#include "archive/compress.h"
#include "archive/entry_path.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "fuzz/shared_tables.h"
#include "manage/info.h"
#include "manage/listing.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vellum {
namespace {

using namespace vellum::test;

unsigned long from_env(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

// Every output path the extractor names must lie below the destination and
// never climb: catches absolute paths, which no scan of the sandbox would see.
class PathWatch : public Reporter {
public:
    explicit PathWatch(const fs::path& out) : out_(out.string() + kNativeSeparator) {}
    void message(const Message&) override {}
    void progress(const ProgressEvent& event) override {
        if (event.kind != ProgressKind::entry_extracted || !event.written) return;
        const std::string& p = event.name;
        const std::string up = std::string(1, kNativeSeparator) + ".." + kNativeSeparator;
        EXPECT_TRUE(p.compare(0, out_.size(), out_) == 0 && p.find(up) == std::string::npos) << p;
    }

private:
    std::string out_;
};

struct Figures {
    unsigned long trials = 0, listed_complete = 0, entries_written = 0, entries_damaged = 0;
};

class Sweep : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tables.ready());
        const fs::path src = tmp / "src" / "docs";
        files = {{"a.txt", text_bytes(700, 1)}, {"sub/b.exe", x86_like(400, 2)},
                 {"c.zip", random_data(90, 3)}, {"e.txt", {}}, {"d.bmp", {}},
                 {"sub/f.txt", text_bytes(500, 1)}};
        files[4].second = {'B', 'M'};
        for (int i = 0; i < 300; ++i) files[4].second.push_back(static_cast<uint8_t>(i * 3));
        for (const auto& [name, data] : files) write_file(src / name, data);
        for (int kind = 0; kind < 4; ++kind) {
            const bool solid = kind % 2 == 1, strong = kind >= 2;
            const fs::path archive = tmp / ("archive" + std::to_string(kind) + ".vlm");
            Command command(*codec, quiet);
            command.settings.solid = solid;
            command.settings.strong = strong;
            command.settings.buffer_setting = 0;
            ASSERT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
            ASSERT_TRUE(prepare_buffers(command));
            // File by file, so the layout does not hang on the folder's order.
            for (const auto& [name, data] : files) {
                const size_t slash = name.rfind('/');
                const std::string folder = slash == std::string::npos ? "docs\\" : "docs\\" + name.substr(0, slash) + "\\";
                ASSERT_EQ(compress_file(command, (src / name).string(), folder, name.substr(slash + 1)),
                          AddResult::added);
            }
            end_command(command);
            archives[kind] = read_file(archive);
        }
        fs::create_directories(root);
    }

    // One damaged archive through every reader.
    ExtractSummary trial(const Bytes& bytes, Figures& figures) {
#ifndef _WIN32
        alarm(60);  // a hang ends the whole sweep with SIGALRM
#endif
        std::error_code ec;
        fs::remove_all(out, ec);
        write_file(archive, bytes);
        ++figures.trials;

        ArchiveListing listing;
        const ListStatus status = list_archive(archive.string(), quiet, &listing);
        if (status == ListStatus::complete) ++figures.listed_complete;
        ArchiveListing counted;
        archive_info(true, archive.string(), quiet, &counted);
        EXPECT_EQ(counted.entry_count, listing.entry_count);

        ExtractSummary written;
        if (status == ListStatus::complete || status == ListStatus::incomplete) {
            // The test pass, as vellum test runs it.
            Command test(tables.codec, quiet);
            tables.begin(test, listing.header, archive.string());
            for (const ListingEntry& entry : listing.entries) {
                const ExtractResult result = check_entry(test, entry.offset);
                if ((result == ExtractResult::damaged || result == ExtractResult::unsupported) && test.settings.solid)
                    break;
            }
            tables.end(test);

            PathWatch watch(out);
            Command command(tables.codec, watch);
            tables.begin(command, listing.header, archive.string());
            written = extract_all(command, out.string());
            tables.end(command);
            figures.entries_written += written.written;
            figures.entries_damaged += written.damaged;
            EXPECT_LE(written.written + written.damaged, listing.entry_count);
        }
        // Only the archive and the destination below the sandbox.
        for (const auto& item : fs::directory_iterator(root))
            EXPECT_TRUE(item.path() == archive || item.path() == out) << item.path();
#ifndef _WIN32
        alarm(0);
#endif
        return written;
    }

    // Entries whose records end at or before `cut` must extract exactly.
    void expect_whole_entries(const Bytes& whole, size_t cut) {
        uint64_t offset = kArchiveHeaderSize;
        for (const auto& [name, data] : sorted_by_archive(whole)) {
            if (offset > cut) break;
            const uint64_t end = offset + name.second;
            if (end > cut) break;
            EXPECT_EQ(read_file(out / name.first), data) << name.first << " cut at " << cut;
            offset = end;
        }
    }

    // The archive's records in order: (path below out, record length) and the data.
    std::vector<std::pair<std::pair<std::string, uint64_t>, Bytes>> sorted_by_archive(const Bytes& whole) {
        std::vector<std::pair<std::pair<std::string, uint64_t>, Bytes>> order;
        write_file(tmp / "probe.vlm", whole);
        ArchiveListing listing;
        list_archive((tmp / "probe.vlm").string(), quiet, &listing);
        for (const ListingEntry& e : listing.entries) {
            std::string path = e.folder_path + e.file_name;
            for (char& c : path)
                if (c == '\\') c = '/';
            Bytes data;
            for (const auto& [name, bytes] : files)
                if ("docs/" + name == path) data = bytes;
            order.push_back({{path, e.record_length}, data});
        }
        return order;
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();  // for making the archives
    SharedTables tables{size_t{1} << 16};
    SilentReporter quiet;
    TempFolder tmp;
    fs::path root = tmp / "sandbox";
    fs::path archive = root / "damaged.vlm";
    fs::path out = root / "out";
    std::vector<std::pair<std::string, Bytes>> files;
    // Normal, solid, and both again with the strong codec.
    Bytes archives[4];
};

TEST_F(Sweep, EveryTruncation) {
    Figures figures;
    size_t expected = 0;
    for (const Bytes& whole : archives) {
        for (size_t cut = 0; cut <= whole.size(); ++cut) {
            trial(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)), figures);
            expect_whole_entries(whole, cut);
        }
        expected += whole.size() + 1;
    }
    EXPECT_EQ(figures.trials, expected);
    std::printf("truncations: %lu trials, %lu listed whole, %lu entries written, %lu reported damaged\n",
                figures.trials, figures.listed_complete, figures.entries_written, figures.entries_damaged);
}

TEST_F(Sweep, RandomCorruptions) {
    const unsigned long trials = from_env("VELLUM_SWEEP_TRIALS", 3000);
    std::mt19937_64 rng(from_env("VELLUM_SWEEP_SEED", 7));
    static const uint64_t kFieldValues[] = {0, 1, 23, 24, 29, 4096, uint64_t{8} << 20, (uint64_t{8} << 20) - 1,
                                            uint64_t{1} << 63, ~uint64_t{0}, ~uint64_t{0} - 100};
    Figures figures;
    for (unsigned long t = 0; t < trials; ++t) {
        Bytes bytes = archives[rng() % 4];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < edits && !bytes.empty(); ++k) {
            const size_t at = rng() % bytes.size();
            switch (rng() % 5) {
                case 0: bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
                case 1: bytes[at] = static_cast<uint8_t>(rng()); break;
                case 2: {  // a 64-bit field, wherever it may fall
                    const uint64_t v = kFieldValues[rng() % (sizeof kFieldValues / sizeof kFieldValues[0])];
                    for (size_t i = 0; i < 8 && at + i < bytes.size(); ++i)
                        bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
                    break;
                }
                case 3: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 1 + rng() % 16,
                                     static_cast<uint8_t>(rng()));
                    break;
                default: bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 1 + rng() % 16)));
            }
        }
        trial(bytes, figures);
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_EQ(figures.trials, trials);
    std::printf("corruptions: %lu trials, %lu listed whole, %lu entries written, %lu reported damaged\n",
                figures.trials, figures.listed_complete, figures.entries_written, figures.entries_damaged);
}

}  // namespace
}  // namespace vellum
