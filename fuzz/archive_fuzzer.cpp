// libFuzzer harness: every input is an archive file, run through the walk, the
// listing and the totals, extraction into a fresh folder with its metadata given
// back (the folder must be the only place written, and no link made there may
// lead out of it), the test pass that decodes without writing, and opening the
// archive for adding, which walks it once more and may cut an interrupted tail.
//
// One set of codec tables serves every input (fuzz/shared_tables.h), with a 4 KiB
// block, so an input costs what its own bytes ask for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include <unistd.h>

#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/open_archive.h"
#include "fuzz/shared_tables.h"
#include "manage/info.h"
#include "manage/listing.h"

namespace fs = std::filesystem;
using namespace vellum;

namespace {

constexpr size_t kFuzzBlock = size_t{1} << 12;

struct Harness {
    SharedTables tables{kFuzzBlock};
    fs::path root;
    fs::path archive;
    fs::path out;

    Harness() {
        std::error_code ec;
        const char* base = std::getenv("TMPDIR");
        root = fs::path(base && *base ? base : "/tmp") /
               ("vellum-fuzz-" + std::to_string(static_cast<unsigned long>(::getpid())));
        fs::remove_all(root, ec);
        fs::create_directories(root);
        archive = root / "in.vlm";
        // Deep, so an entry climbing out of it with ".." lands where the scan
        // below sees it.
        out = root / "a" / "b" / "c" / "d" / "e" / "f" / "g" / "h" / "out";
        if (!tables.ready()) std::abort();
    }
};

Harness& harness() {
    static Harness* h = new Harness();
    return *h;
}

[[noreturn]] void escaped(const std::string& path) {
    std::fprintf(stderr, "written outside the destination: %s\n", path.c_str());
    std::abort();
}

// Nothing but the archive, the output folder and the folders above it may
// exist below the root, and every link below the output folder must lead, link
// after link, to a place inside it (or to nothing there yet).
void check_nothing_escaped(const Harness& h) {
    const std::string out = h.out.string() + "/";
    std::error_code ec;
    const std::string real_out = fs::weakly_canonical(h.out, ec).string() + "/";
    for (auto item = fs::recursive_directory_iterator(h.root, ec); item != fs::recursive_directory_iterator();
         item.increment(ec)) {
        const bool directory = item->is_directory(ec) && !item->is_symlink(ec);
        const std::string p = item->path().string() + (directory ? "/" : "");
        const bool above_out = directory && out.compare(0, p.size(), p) == 0;
        if (item->path() != h.archive && !above_out && p.compare(0, out.size(), out) != 0) escaped(p);
        if (!item->is_symlink(ec)) continue;
        const std::string lands = fs::weakly_canonical(item->path(), ec).string() + "/";
        if (!ec && lands.compare(0, real_out.size(), real_out) != 0) escaped(p + " -> " + lands);
    }
}

// Every output path the extractor names must lie below the destination, with
// no component that climbs: this catches absolute paths the scan cannot see.
class PathWatch : public Reporter {
public:
    explicit PathWatch(const fs::path& out) : out_(out.string() + "/") {}
    void message(const Message&) override {}
    void progress(const ProgressEvent& event) override {
        if (event.kind != ProgressKind::entry_extracted || !event.written) return;
        const std::string& p = event.name;
        if (p.compare(0, out_.size(), out_) != 0 || p.find("/../") != std::string::npos ||
            p.find("/./") != std::string::npos)
            escaped(p);
    }

private:
    std::string out_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness& h = harness();
    std::error_code ec;
    fs::remove_all(h.root / "a", ec);
    {
        FILE* f = std::fopen(h.archive.string().c_str(), "wb");
        if (f == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }
    SilentReporter quiet;
    ArchiveListing listing;
    const ListStatus status = list_archive(h.archive.string(), quiet, &listing);
    ArchiveListing counted;
    archive_info(true, h.archive.string(), quiet, &counted);
    if (counted.entry_count != listing.entry_count) std::abort();
    if (status == ListStatus::complete || status == ListStatus::incomplete) {
        const ArchiveTotals totals = archive_totals(listing);
        if (totals.entry_count != listing.entries.size()) std::abort();
        for (size_t r = 0; r < listing.rows.size(); ++r) {
            const RowRange range = row_range(listing, r);
            if (range.from > range.to || range.to > listing.archive_length) std::abort();
        }

        // Extraction into a fresh folder.
        PathWatch watch(h.out);
        Command command(h.tables.codec, watch);
        h.tables.begin(command, listing.header, h.archive.string());
        extract_all(command, h.out.string());
        h.tables.end(command);
        check_nothing_escaped(h);

        // The test pass: decode every listed entry without writing.
        Command test(h.tables.codec, quiet);
        h.tables.begin(test, listing.header, h.archive.string());
        for (const ListingEntry& entry : listing.entries) {
            const ExtractResult result = check_entry(test, entry.offset);
            if ((result == ExtractResult::damaged || result == ExtractResult::unsupported) && test.settings.solid)
                break;
        }
        h.tables.end(test);
    }
    // Last, since it may cut the file: the walk that an add starts with.
    Command adding(h.tables.codec, quiet);
    open_or_create_archive(adding, h.archive.string());
    check_nothing_escaped(h);
    return 0;
}
