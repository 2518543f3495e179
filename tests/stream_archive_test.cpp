// An archive read front to back from a stream that refuses every seek: its
// listing at every cut agrees with the seekable walk's, its extraction gives the
// files, modes, times, folders and links an extraction from the file gives, a
// checksum that differs is found once the metadata arrives; and the items a
// listing shows come in the order the metadata keeps.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "driver_test_support.h"
#include "manage/listing.h"
#include "manage/stream_archive.h"
#include "meta/archive_items.h"
#include "meta/meta_add.h"

#ifdef __GLIBC__
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vellum::test {
namespace {

#ifdef __GLIBC__
// Bytes handed out in order; any seek (or tell) fails and is counted.
struct NoSeekStream {
    Bytes bytes;
    size_t at = 0;
    int seeks = 0;
};

ssize_t no_seek_read(void* cookie, char* buffer, size_t size) {
    NoSeekStream& s = *static_cast<NoSeekStream*>(cookie);
    const size_t n = std::min(size, s.bytes.size() - s.at);
    std::copy(s.bytes.begin() + static_cast<std::ptrdiff_t>(s.at), s.bytes.begin() + static_cast<std::ptrdiff_t>(s.at + n),
              buffer);
    s.at += n;
    return static_cast<ssize_t>(n);
}

int no_seek_seek(void* cookie, off64_t*, int) {
    ++static_cast<NoSeekStream*>(cookie)->seeks;
    errno = ESPIPE;
    return -1;
}

FILE* open_no_seek(NoSeekStream* stream) {
    cookie_io_functions_t io{no_seek_read, nullptr, no_seek_seek, nullptr};
    return fopencookie(stream, "rb", io);
}
#endif

class StreamArchiveTest : public ::testing::Test {
protected:
    TempFolder tmp;
    RecordingReporter reporter;
    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();

    // src/: text, random, an executable, an empty file and a stored zip, an
    // empty folder and a link; 0640 and 0755 files with times of their own.
    void make_source() {
        write_file(tmp / "src/a.txt", text_bytes(3000, 1));
        write_file(tmp / "src/sub/noise.bin", random_data(2000, 2));
        write_file(tmp / "src/sub/prog.exe", x86_like(5000, 3));
        write_file(tmp / "src/empty.txt", {});
        Bytes zip = random_data(1500, 4);
        zip[0] = 'P', zip[1] = 'K', zip[2] = 3, zip[3] = 4;
        write_file(tmp / "src/x.zip", zip);
        fs::create_directories(tmp / "src/hollow");
#ifdef __GLIBC__
        fs::create_symlink("a.txt", tmp / "src/to-a");
        chmod((tmp / "src/a.txt").c_str(), 0640);
        chmod((tmp / "src/sub/prog.exe").c_str(), 0755);
        const struct timespec times[2] = {{1500000000, 5}, {1500000000, 5}};
        utimensat(AT_FDCWD, (tmp / "src/a.txt").c_str(), times, 0);
#endif
    }

    // The archive of src with metadata, normal or solid, 8 MiB blocks.
    Bytes make_archive(const std::string& name, bool solid) {
        const std::string path = (tmp / name).string();
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        command.settings.solid = solid ? 1 : 0;
        EXPECT_EQ(open_or_create_archive(command, path), OpenResult::created);
        EXPECT_TRUE(prepare_buffers(command));
        AddSummary summary;
        MetaRecorder recorder(command, summary);
        meta_add_path(recorder, command, (tmp / "src").string());
        EXPECT_TRUE(write_meta_entry(command, recorder.finish()));
        end_command(command);
        EXPECT_EQ(summary.added, 5u);
        return read_file(path);
    }
};

#ifdef __GLIBC__
// Reads `bytes` as a stream that cannot seek.
StreamResult read_stream(CodecState& codec, Reporter& reporter, const Bytes& bytes, const StreamRequest& request,
                         int* seeks) {
    NoSeekStream stream{bytes, 0, 0};
    FILE* in = open_no_seek(&stream);
    Command command(codec, reporter);
    StreamResult result;
    read_archive_stream(command, in, "stream", request, &result);
    end_command(command);
    std::fclose(in);
    *seeks = stream.seeks;
    return result;
}

bool same_entries(const ArchiveListing& a, const ArchiveListing& b) {
    if (a.entries.size() != b.entries.size() || a.rows.size() != b.rows.size()) return false;
    for (size_t i = 0; i < a.entries.size(); ++i) {
        const ListingEntry &x = a.entries[i], &y = b.entries[i];
        if (x.offset != y.offset || x.record_length != y.record_length || x.original_size != y.original_size ||
            x.folder_path != y.folder_path || x.file_name != y.file_name || x.file_class != y.file_class)
            return false;
    }
    for (size_t r = 0; r < a.rows.size(); ++r)
        if (a.rows[r].name != b.rows[r].name || a.rows[r].entry_count != b.rows[r].entry_count ||
            a.rows[r].kind != b.rows[r].kind)
            return false;
    return a.row_offsets == b.row_offsets;
}
#endif

// Catches a stream walk that lists more or less than the seekable walk of the
// same bytes (a record cut short listed, a whole one lost), stops at another
// record, or seeks: at every cut near the records' starts and ends, and at
// regular cuts between, normal and solid.
TEST_F(StreamArchiveTest, EveryCutListsAsTheSeekableWalkDoes) {
#ifndef __GLIBC__
    GTEST_SKIP() << "needs a stream that refuses seeks (glibc's fopencookie)";
#else
    make_source();
    for (bool solid : {false, true}) {
        const Bytes archive = make_archive(solid ? "s.vlm" : "n.vlm", solid);
        std::set<size_t> cuts;
        for (size_t c = 0; c <= archive.size(); c += 41) cuts.insert(c);
        cuts.insert(archive.size());
        SilentReporter quiet;
        ArchiveListing whole;
        ASSERT_EQ(list_archive((tmp / (solid ? "s.vlm" : "n.vlm")).string(), quiet, &whole), ListStatus::complete);
        for (const ListingEntry& e : whole.entries)
            for (uint64_t at : {e.offset, e.offset + 8, e.offset + e.record_length})
                for (int d = -2; d <= 2; ++d)
                    if (static_cast<int64_t>(at) + d >= 0 && at + d <= archive.size()) cuts.insert(at + d);
        StreamRequest request;
        request.list_only = true;
        for (size_t cut : cuts) {
            const Bytes part(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(cut));
            const fs::path file = tmp / "cut.vlm";
            write_file(file, part);
            ArchiveListing seekable;
            const ListStatus status = list_archive(file.string(), quiet, &seekable);
            int seeks = 0;
            const StreamResult streamed = read_stream(*codec, quiet, part, request, &seeks);
            EXPECT_EQ(seeks, 0);
            ASSERT_EQ(streamed.listing.status, status) << "cut " << cut << (solid ? " solid" : "");
            if (status != ListStatus::complete && status != ListStatus::incomplete) continue;
            EXPECT_TRUE(same_entries(seekable, streamed.listing)) << "cut " << cut;
            if (status == ListStatus::incomplete) {
                EXPECT_EQ(seekable.damaged_offset, streamed.listing.damaged_offset) << "cut " << cut;
            }
        }
        // Whole, the metadata came with it: every file paired with its line.
        int seeks = 0;
        const StreamResult all = read_stream(*codec, quiet, archive, request, &seeks);
        EXPECT_TRUE(all.meta.present);
        size_t described = 0;
        for (size_t i = 0; i < all.listing.entries.size(); ++i) described += all.meta.file_line(i) != nullptr;
        EXPECT_EQ(described, 5u);
        EXPECT_EQ(all.meta.links.size(), 1u);
    }
#endif
}

// Catches an extraction from a stream that differs from the source in a byte,
// a mode, a time, a folder or a link, normal and solid; and a test that does
// not verify every checksum.
TEST_F(StreamArchiveTest, ExtractionFromAStreamGivesBackTheSource) {
#ifndef __GLIBC__
    GTEST_SKIP() << "needs a stream that refuses seeks (glibc's fopencookie)";
#else
    make_source();
    for (bool solid : {false, true}) {
        const Bytes archive = make_archive(solid ? "s.vlm" : "n.vlm", solid);
        const fs::path out = tmp / (solid ? "out-s" : "out-n");
        StreamRequest request;
        request.extract.target = ExtractTarget::files;
        request.extract.destination = out.string();
        int seeks = 0;
        const StreamResult result = read_stream(*codec, reporter, archive, request, &seeks);
        EXPECT_EQ(seeks, 0);
        EXPECT_EQ(result.report.summary.written, 5u);
        EXPECT_EQ(result.report.verified, 5u);
        EXPECT_TRUE(result.report.ok());
        for (const char* name : {"a.txt", "sub/noise.bin", "sub/prog.exe", "empty.txt", "x.zip"})
            EXPECT_EQ(read_file(tmp / "src" / name), read_file(out / "src" / name)) << name;
        struct stat a {}, x {};
        ASSERT_EQ(stat((out / "src/a.txt").c_str(), &a), 0);
        ASSERT_EQ(stat((out / "src/sub/prog.exe").c_str(), &x), 0);
        EXPECT_EQ(a.st_mode & 07777, 0640u);
        EXPECT_EQ(x.st_mode & 07777, 0755u);
        EXPECT_EQ(a.st_mtim.tv_sec, 1500000000);
        EXPECT_EQ(a.st_mtim.tv_nsec, 5);
        EXPECT_TRUE(fs::is_directory(out / "src/hollow"));
        EXPECT_EQ(fs::read_symlink(out / "src/to-a"), "a.txt");

        StreamRequest check;
        check.extract.target = ExtractTarget::check;
        const StreamResult tested = read_stream(*codec, reporter, archive, check, &seeks);
        EXPECT_EQ(tested.report.summary.checked, 5u);
        EXPECT_EQ(tested.report.verified, 5u);
        EXPECT_EQ(tested.report.summary.damaged, 0u);
    }
#endif
}

// Catches a file whose bytes differ from their checksum left in place (the
// checksum comes after it in the stream), or counted as written.
TEST_F(StreamArchiveTest, AChecksumThatDiffersRemovesTheFileAfterTheFact) {
#ifndef __GLIBC__
    GTEST_SKIP() << "needs a stream that refuses seeks (glibc's fopencookie)";
#else
    make_source();
    Bytes archive = make_archive("n.vlm", false);
    SilentReporter quiet;
    ArchiveListing listing;
    ASSERT_EQ(list_archive((tmp / "n.vlm").string(), quiet, &listing), ListStatus::complete);
    // The stored zip's data is copied as it is: a changed byte decodes fine.
    const ListingEntry* zip = nullptr;
    for (const ListingEntry& e : listing.entries)
        if (e.file_name == "x.zip") zip = &e;
    ASSERT_NE(zip, nullptr);
    archive[zip->offset + zip->record_length - 1] ^= 0x40;
    StreamRequest request;
    request.extract.target = ExtractTarget::files;
    request.extract.destination = (tmp / "out").string();
    int seeks = 0;
    const StreamResult result = read_stream(*codec, reporter, archive, request, &seeks);
    EXPECT_FALSE(fs::exists(tmp / "out/src/x.zip"));
    EXPECT_TRUE(fs::exists(tmp / "out/src/a.txt"));
    EXPECT_EQ(result.report.summary.written, 4u);
    EXPECT_EQ(result.report.summary.damaged, 1u);
    EXPECT_EQ(result.report.verified, 4u);
    bool said = false;
    for (const Message& m : reporter.messages) said = said || m.id == MessageId::late_checksum_mismatch;
    EXPECT_TRUE(said);
#endif
}

// Catches items out of the order their metadata keeps, files that lose their
// line or appear twice, and metadata entries counted among the entries.
TEST(ArchiveItemsTest, ItemsComeInTheOrderTheMetadataKeeps) {
    std::vector<ListingEntry> entries;
    auto record = [&](const std::string& folder, const std::string& name, uint64_t size) {
        ListingEntry e;
        e.offset = entries.empty() ? 12 : entries.back().offset + entries.back().record_length;
        e.folder_path = folder;
        e.file_name = name;
        e.original_size = size;
        e.record_length = record_head_size(folder.size(), name.size()) + size;
        entries.push_back(e);
    };
    record("", "plain.txt", 10);  // an add without metadata
    record("d\\", "a.txt", 20);
    record("d\\", "b.txt", 30);
    MetaLines lines;
    auto line = [&](MetaKind kind, const std::string& path, const ListingEntry* e, const std::string& target = {}) {
        MetaLine m;
        m.kind = kind;
        m.mode = 0644;
        if (e) {
            m.size = e->original_size;
            m.record_length = e->record_length;
        }
        lines.add(m, path, target);
    };
    line(MetaKind::folder, "d", nullptr);
    line(MetaKind::file, "d\\a.txt", &entries[1]);
    line(MetaKind::link, "d\\l", nullptr, "a.txt");
    line(MetaKind::file, "d\\b.txt", &entries[2]);
    line(MetaKind::folder, "d\\e", nullptr);
    const std::string text = encode_meta(lines);
    record(kMetaFolder, kMetaName, text.size());
    record("", "late.txt", 5);  // an add after it, without metadata
    ArchiveMeta meta;
    SilentReporter quiet;
    take_meta_text("arc", std::vector<ListingEntry>(entries.begin(), entries.begin() + 4), 3, true, text, quiet, &meta);
    meta.reserved.resize(entries.size(), false);
    meta.of_entry.resize(entries.size(), MetaRef{});
    const std::vector<ArchiveItem> items = archive_items(entries, meta);
    std::vector<std::string> seen;
    for (const ArchiveItem& item : items) seen.push_back(std::string(entry_kind_name(item.kind)) + " " + item.stored);
    EXPECT_EQ(seen, (std::vector<std::string>{"file plain.txt", "folder d", "file d\\a.txt", "link d\\l",
                                             "file d\\b.txt", "folder d\\e", "metadata .vellum\\meta",
                                             "file late.txt"}));
    const ItemCounts counts = count_items(items, entries);
    EXPECT_EQ(counts.files, 4u);
    EXPECT_EQ(counts.folders, 2u);
    EXPECT_EQ(counts.links, 1u);
    EXPECT_EQ(counts.metadata_entries, 1u);
    EXPECT_EQ(counts.size, 65u);
    EXPECT_EQ(counts.metadata_packed, entries[3].record_length);
}

}  // namespace
}  // namespace vellum::test
