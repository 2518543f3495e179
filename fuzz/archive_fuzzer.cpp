// libFuzzer harness: every input is an archive file, run through the walk, the
// listing and the totals, extraction into a fresh folder (which must be the only
// place written), the test pass that decodes without writing, and opening the
// archive for adding, which walks it once more and may cut an interrupted tail.
//
// One set of codec tables serves every input. Clearing the 32 MiB position table
// per input would cost more than the input itself, so each input starts with
// base_position above every value an earlier input wrote: all old slots then
// read as stale, exactly as zero slots would, and in solid archives, where stale
// slots keep their probabilities, those are set back to 128 first. A small block
// keeps the work per input small.
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
#include "archive/open_archive.h"
#include "manage/info.h"
#include "manage/listing.h"

namespace fs = std::filesystem;
using namespace vellum;

namespace {

constexpr size_t kFuzzBlock = size_t{1} << 12;

struct Harness {
    CodecState codec;
    std::unique_ptr<uint8_t[]> block{new uint8_t[kFuzzBlock]};
    uint64_t next_base = 1;
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
        out = root / "out";
        // The position table is taken once, zeroed, and kept for every input.
        if (!codec.ready() || !codec.begin_operation()) std::abort();
    }
};

Harness& harness() {
    static Harness* h = new Harness();
    return *h;
}

// Readies one command over the shared tables, as prepare_buffers does for a
// command, but with the small block and without clearing the position table.
void begin(Harness& h, Command& command, const ArchiveHeader& header) {
    command.solid = header.solid;
    command.buffer_setting = header.buffer_setting;
    command.archive_path = h.archive.string();
    command.block.reset(h.block.release());
    command.block_size = kFuzzBlock;
    command.fill = 0;
    h.codec.literal.clear_seen();
    h.codec.match.base_position = h.next_base;
    if (header.solid)
        std::memset(h.codec.match.match_probabilities.data(), 128,
                    h.codec.match.match_probabilities.size());
}

void end(Harness& h, Command& command) {
    // Every slot written lies at most one block above the final base.
    h.next_base = h.codec.match.base_position + command.block_size + 1;
    h.block.reset(command.block.release());
    command.block_size = 0;
}

// Nothing but the archive and the output folder may exist below the root.
void check_nothing_escaped(const Harness& h) {
    for (const auto& item : fs::directory_iterator(h.root)) {
        const fs::path& p = item.path();
        if (p != h.archive && p != h.out) {
            std::fprintf(stderr, "written outside the destination: %s\n", p.string().c_str());
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness& h = harness();
    std::error_code ec;
    fs::remove_all(h.out, ec);
    {
        FILE* f = std::fopen(h.archive.string().c_str(), "wb");
        if (f == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
    }
    SilentReporter quiet;
    ArchiveListing listing;
    const ListStatus status = list_archive(h.archive.string(), quiet, &listing);
    if (status == ListStatus::complete || status == ListStatus::incomplete) {
        const ArchiveTotals totals = archive_totals(listing);
        if (totals.entry_count != listing.entries.size()) std::abort();
        for (size_t r = 0; r < listing.rows.size(); ++r) {
            const RowRange range = row_range(listing, r);
            if (range.from > range.to || range.to > listing.archive_length) std::abort();
        }

        // Extraction into a fresh folder.
        Command command(h.codec, quiet);
        begin(h, command, listing.header);
        extract_all(command, h.out.string());
        end(h, command);
        check_nothing_escaped(h);

        // The test pass: decode every listed entry without writing.
        Command test(h.codec, quiet);
        begin(h, test, listing.header);
        for (const ListingEntry& entry : listing.entries) {
            const ExtractResult result = extract_entry(test, entry.offset, "", entry.file_name, false);
            if (result == ExtractResult::damaged && test.solid) break;
        }
        end(h, test);
    }
    // Last, since it may cut the file: the walk that an add starts with.
    Command adding(h.codec, quiet);
    open_or_create_archive(adding, h.archive.string());
    check_nothing_escaped(h);
    return 0;
}
