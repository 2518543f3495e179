// Metadata read back and given back: the text format's damage rules, pairing by
// records, link targets checked as text through the archive's own links, and the
// destination tree that never follows a link.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <map>

#include "archive/extract_tree.h"
#include "archive/file_sink.h"
#include "driver_test_support.h"
#include "meta/archive_meta.h"
#include "meta/meta_delete.h"
#include "meta/meta_format.h"
#include "meta/meta_restore.h"

namespace vellum {
namespace {

using namespace vellum::test;

// --- the text ----------------------------------------------------------------------

TEST(MetaFormatTest, LinesComeBackAsWritten) {
    MetaLines lines;
    MetaLine f;
    f.kind = MetaKind::file;
    f.mode = 0644;
    f.seconds = -5;
    f.nanoseconds = 999999999;
    f.size = 12;
    f.checksum = 0xFEDCBA9876543210ull;
    f.record_length = 77;
    lines.add(f, "docs\\a b%c\x1B.txt");
    MetaLine d;
    d.kind = MetaKind::folder;
    d.mode = 07755;
    lines.add(d, "docs");
    MetaLine l;
    l.kind = MetaKind::link;
    lines.add(l, "docs\\l", "../x y");
    MetaLine h;
    h.kind = MetaKind::hard_link;
    lines.add(h, "docs\\again b", "docs\\a b%c\x1B.txt");
    const std::string text = encode_meta(lines);
    EXPECT_NE(text.find("\nH docs\\again%20b docs\\a%20b%25c%1B.txt\n"), std::string::npos) << text;
    EXPECT_NE(text.find("docs\\a%20b%25c%1B.txt"), std::string::npos) << text;
    MetaLines back;
    ASSERT_EQ(decode_meta(text, &back), MetaParse::ok);
    ASSERT_EQ(back.lines().size(), 4u);
    EXPECT_EQ(back.lines()[3].kind, MetaKind::hard_link);
    EXPECT_EQ(back.path(back.lines()[3]), "docs\\again b");
    EXPECT_EQ(back.target(back.lines()[3]), "docs\\a b%c\x1B.txt");
    EXPECT_EQ(back.path(back.lines()[0]), "docs\\a b%c\x1B.txt");
    EXPECT_EQ(back.lines()[0].checksum, f.checksum);
    EXPECT_EQ(back.lines()[0].seconds, -5);
    EXPECT_EQ(back.lines()[1].mode, 07755u);
    EXPECT_EQ(back.target(back.lines()[2]), "../x y");
    EXPECT_EQ(encode_meta(back), text);
}

// Catches a reader acting on a name the system would cut at a NUL, a link text
// with control bytes, and fields beyond their range.
TEST(MetaFormatTest, DamagedLinesPassTheWholeEntryOver) {
    const std::string head = "vellum-meta 1\n";
    for (const char* line : {"F 644 0 0 3 0 30 a%00b", "D 755 0 0 x%00", "L 0 0 l ..%00", "L 0 0 l a%0Ab",
                             "L 0 0 l%01 a", "F 644 0 1000000000 3 0 30 a", "D 17777 0 0 x", "F 644 0 0 3 0 30",
                             "F 644 0 0 3 0 99999999999999999999 a", "D 755 0 0 %4", "D 755 0 0 %",
                             "H a", "H a %", "H a b%00", "H a%00 b", "H a b c"}) {
        MetaLines lines;
        EXPECT_EQ(decode_meta(head + "D 755 1 2 ok\n" + line + "\n", &lines), MetaParse::damaged) << line;
        EXPECT_TRUE(lines.empty()) << line;
    }
    MetaLines lines;
    EXPECT_EQ(decode_meta(head + "Z what ever\nD 755 1 2 ok\n", &lines), MetaParse::ok);  // unknown kinds pass
    EXPECT_EQ(lines.lines().size(), 1u);
    EXPECT_EQ(decode_meta("vellum-meta 2\n", &lines), MetaParse::newer_version);
    EXPECT_EQ(decode_meta("hello\n", &lines), MetaParse::not_meta);
}

// Catches a reader whose memory per line is far above the line's own size: a
// metadata entry of 200,000 short lines must cost a small multiple of its text.
TEST(MetaFormatTest, ManyShortLinesCostASmallMultipleOfTheirText) {
    std::string text = "vellum-meta 1\n";
    for (int i = 0; i < 200000; ++i)
        text += "F 644 1700000000 5 3 00000000000000ff 30 d\\" + std::to_string(i % 1000) + "\n";
    MetaLines lines;
    ASSERT_EQ(decode_meta(text, &lines), MetaParse::ok);
    ASSERT_EQ(lines.lines().size(), 200000u);
    const size_t held = lines.lines().capacity() * sizeof(MetaLine) + lines.store_capacity();
    EXPECT_LE(held, 3 * text.size()) << held << " bytes held for " << text.size() << " bytes of text";
}

// --- pairing ---------------------------------------------------------------------

ListingEntry entry(uint64_t offset, const std::string& folder, const std::string& name, uint64_t size,
                   uint64_t length) {
    ListingEntry e;
    e.offset = offset;
    e.folder_path = folder;
    e.file_name = name;
    e.original_size = size;
    e.record_length = length;
    return e;
}

// The same path added twice, each time with its metadata: each record gets the
// line of its own command, never the later one's.
TEST(MetaPairingTest, EachRecordGetsTheLineOfItsOwnCommand) {
    std::vector<ListingEntry> entries = {entry(12, "", "a", 5, 40), entry(52, "", "b", 1, 30),
                                         entry(82, kMetaFolder, kMetaName, 10, 50), entry(132, "", "a", 5, 40),
                                         entry(172, kMetaFolder, kMetaName, 10, 50)};
    ArchiveMeta meta;
    meta.reserved = {false, false, true, false, true};
    meta.of_entry.assign(entries.size(), MetaRef{});
    for (uint64_t sum : {111u, 222u}) {
        MetaLines lines;
        MetaLine f;
        f.size = 5;
        f.record_length = 40;
        f.checksum = sum;
        lines.add(f, "a");
        if (sum == 111) {
            MetaLine g;
            g.size = 1;
            g.record_length = 30;
            lines.add(g, "b");
        }
        meta.texts.push_back(lines);
    }
    pair_lines(entries, 2, 0, &meta);
    pair_lines(entries, 4, 1, &meta);
    ASSERT_NE(meta.file_line(0), nullptr);
    ASSERT_NE(meta.file_line(3), nullptr);
    EXPECT_EQ(meta.file_line(0)->checksum, 111u);
    EXPECT_EQ(meta.file_line(3)->checksum, 222u);
    EXPECT_EQ(meta.file_line(1)->size, 1u);
    // A deleted record loses only its own line.
    entries.erase(entries.begin());
    meta.reserved.erase(meta.reserved.begin());
    meta.of_entry.assign(entries.size(), MetaRef{});
    pair_lines(entries, 1, 0, &meta);
    EXPECT_EQ(meta.file_line(0)->size, 1u);
}

// Two commands with metadata; deleting every file of the first takes its
// metadata entry along, the second's stays while one of its files stays.
TEST(MetaDeleteTest, MetadataGoesWithTheLastOfItsFiles) {
    const std::vector<ListingEntry> entries = {entry(12, "", "a", 5, 40), entry(52, "", "b", 1, 30),
                                               entry(82, kMetaFolder, kMetaName, 10, 50), entry(132, "", "c", 2, 31),
                                               entry(163, "", "d", 3, 32), entry(195, kMetaFolder, kMetaName, 10, 50)};
    ArchiveMeta meta;
    meta.reserved = {false, false, true, false, false, true};
    meta.of_entry = {MetaRef{0, 0}, MetaRef{0, 1}, MetaRef{}, MetaRef{1, 0}, MetaRef{1, 1}, MetaRef{}};
    meta.texts.resize(2);
    meta.text_entry = {2, 5};
    std::vector<bool> gone = {true, true, false, true, false, false};
    metadata_goes_with_its_files(entries, meta, &gone);
    EXPECT_EQ(gone, std::vector<bool>({true, true, true, true, false, false}));
    gone = {false, false, false, true, true, false};
    metadata_goes_with_its_files(entries, meta, &gone);
    EXPECT_EQ(gone, std::vector<bool>({false, false, false, true, true, true}));
    gone = {true, true, false, true, true, false};  // every file
    metadata_goes_with_its_files(entries, meta, &gone);
    EXPECT_EQ(gone, std::vector<bool>(6, true));
}

// --- link targets ----------------------------------------------------------------

TEST(LinkTargetTest, TargetsThatClimbOutAreRefusedAtAnyStep) {
    std::map<std::string, std::string> links;
    auto at = [&](const std::string& p) -> const std::string* {
        const auto i = links.find(p);
        return i == links.end() ? nullptr : &i->second;
    };
    EXPECT_TRUE(link_stays_inside("a", "b", at, false));
    EXPECT_TRUE(link_stays_inside("d\\a", "../b", at, false));
    EXPECT_TRUE(link_stays_inside("d\\a", "x/../../b", at, false));
    EXPECT_FALSE(link_stays_inside("a", "../b", at, false));
    EXPECT_FALSE(link_stays_inside("d\\a", "../../b", at, false));
    EXPECT_FALSE(link_stays_inside("d\\a", "../../d/b", at, false));  // outside for a moment
    EXPECT_FALSE(link_stays_inside("a", "/etc/passwd", at, false));
    EXPECT_TRUE(link_stays_inside("a", "/etc/passwd", at, true));
    EXPECT_FALSE(link_stays_inside("a", "C:\\x", at, false));
    EXPECT_FALSE(link_stays_inside("a", "", at, false));
    EXPECT_FALSE(link_stays_inside("a", "b\x1B", at, false));
    // Chains through the archive's own links, each harmless alone.
    links["x\\b"] = "..";      // x/b is the destination itself
    EXPECT_FALSE(link_stays_inside("a", "x/b/..", at, false));
    EXPECT_TRUE(link_stays_inside("a", "x/b/c", at, false));
    links["l"] = ".";
    EXPECT_FALSE(link_stays_inside("q", "l/l/l/..", at, false));
    links["loop"] = "loop/x";
    EXPECT_FALSE(link_stays_inside("q", "loop/y", at, false));
}

// --- the destination tree ----------------------------------------------------------

class TreeTest : public ::testing::Test {
protected:
    TempFolder tmp;
    fs::path dest = tmp / "dest";
    fs::path outside = tmp / "outside";
    RecordingReporter reporter;
    ExtractTree tree;

    void SetUp() override {
        fs::create_directories(outside);
        int error = 0;
        ASSERT_EQ(tree.open(dest.string(), &error), platform::FolderOpen::ok) << error;
    }
    SinkOutcome put(const std::vector<std::string>& parts, const std::string& name, const std::string& text,
                    const ExpectedFile& expected = {}) {
        TreeFileSink sink(tree, parts, name, expected);
        EXPECT_TRUE(sink.write(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        EXPECT_TRUE(sink.close());
        return sink.finish(true, reporter);
    }
    std::string said() const {
        std::string all;
        for (const Note& n : reporter.notes) all += n.caption + ": " + n.text + "\n";
        return all;
    }
    size_t files_in(const fs::path& folder) {
        size_t n = 0;
        for (auto& e : fs::recursive_directory_iterator(folder)) n += e.is_regular_file() ? 1 : 0;
        return n;
    }
};

TEST_F(TreeTest, FilesGoWhereTheyBelongAndLeaveNothingElse) {
    EXPECT_EQ(put({"docs", "sub"}, "b.txt", "bee"), SinkOutcome::written) << said();
    EXPECT_EQ(put({}, "a.txt", "a"), SinkOutcome::written) << said();
    EXPECT_EQ(read_file(dest / "docs/sub/b.txt"), Bytes({'b', 'e', 'e'}));
    EXPECT_EQ(files_in(dest), 2u);  // no temporaries
    // A file where a folder must go, and a folder where a file must go.
    EXPECT_EQ(put({"a.txt"}, "c", "c"), SinkOutcome::not_written);
    EXPECT_EQ(put({"docs"}, "sub", "x"), SinkOutcome::not_written);
    EXPECT_EQ(files_in(dest), 2u);
    EXPECT_TRUE(reporter.said("Cannot create file: entry skipped"));
}

#ifndef _WIN32
// Links and modes are POSIX matters: Windows makes no links for us and keeps of
// a mode only its write bit.

// Catches writing through a link that stands in the destination, whichever
// level it is at, and a link at the final name followed instead of replaced.
TEST_F(TreeTest, LinksInTheDestinationAreNeverFollowed) {
    fs::create_directories(dest / "real");
    fs::create_directory_symlink(outside, dest / "lnk");
    fs::create_directory_symlink(outside, dest / "real" / "deep");
    write_file(outside / "victim", Bytes{'o', 'k'});
    fs::create_symlink(outside / "victim", dest / "final");
    EXPECT_EQ(put({"lnk"}, "f", "bad"), SinkOutcome::not_written);
    EXPECT_EQ(put({"real", "deep"}, "f", "bad"), SinkOutcome::not_written);
    EXPECT_EQ(put({}, "final", "new"), SinkOutcome::written);
    EXPECT_TRUE(reporter.said("Link in the path: entry skipped"));
    EXPECT_EQ(files_in(outside), 1u);
    EXPECT_EQ(read_file(outside / "victim"), Bytes({'o', 'k'}));
    EXPECT_FALSE(fs::is_symlink(dest / "final"));
}

#endif  // _WIN32

// Catches damaged bytes replacing a good file: the checksum is compared before
// the file takes its name.
TEST_F(TreeTest, AChecksumMismatchLeavesTheExistingFileAlone) {
    write_file(dest / "f.txt", Bytes{'g', 'o', 'o', 'd'});
    ExpectedFile expected;
    expected.has_checksum = true;
    expected.checksum = checksum_of("good", 4);
    EXPECT_EQ(put({}, "f.txt", "evil", expected), SinkOutcome::mismatch);
    EXPECT_EQ(read_file(dest / "f.txt"), Bytes({'g', 'o', 'o', 'd'}));
    EXPECT_EQ(put({}, "f.txt", "good", expected), SinkOutcome::written);
    EXPECT_EQ(files_in(dest), 1u);
}

#ifndef _WIN32
TEST_F(TreeTest, ModeAndTimeComeThroughTheOpenFile) {
    ExpectedFile expected;
    expected.has_attributes = true;
    expected.mode = 0640;
    expected.seconds = 1000000000;
    expected.nanoseconds = 123456789;
    EXPECT_EQ(put({"d"}, "f", "x", expected), SinkOutcome::written);
    struct stat st;
    ASSERT_EQ(lstat((dest / "d/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
}

// --- folders and links restored --------------------------------------------------

class RestoreTest : public TreeTest {
protected:
    ArchiveMeta meta;
    void add(MetaKind kind, const std::string& path, const std::string& target = {}, uint32_t mode = 0755) {
        if (meta.texts.empty()) meta.texts.emplace_back();
        MetaLine line;
        line.kind = kind;
        line.mode = mode;
        line.seconds = 1500000000;
        meta.texts[0].add(line, path, target);
        const MetaRef ref{0, static_cast<uint32_t>(meta.texts[0].lines().size() - 1)};
        (kind == MetaKind::link ? meta.links : meta.folders).push_back(ref);
    }
    RestoreCount restore(const std::unordered_set<std::string>* written = nullptr) {
        RestoreRequest request;
        request.written = written;
        return restore_folders_and_links(tree, meta, request, reporter);
    }
};

// The attacks of crafted metadata: links through links, a link to "." and a
// folder below it, modes and times sent through a link, a link over the
// archive. Nothing outside the destination changes.
TEST_F(RestoreTest, CraftedFoldersAndLinksChangeNothingOutside) {
    fs::create_directory_symlink(outside, dest / "pre");
    write_file(dest / "arc.vlm", Bytes{'A'});
    platform::FolderId id;
    ASSERT_TRUE(platform::file_id((dest / "arc.vlm").c_str(), &id));
    tree.set_archive(id);
    chmod(outside.c_str(), 0755);
    add(MetaKind::link, "l", ".");
    add(MetaKind::folder, "l\\q", "", 0777);
    add(MetaKind::link, "l\\up", "..");
    add(MetaKind::link, "x\\b", "..");
    add(MetaKind::link, "a", "x/b/..");
    add(MetaKind::folder, "pre\\made", "", 0700);
    add(MetaKind::link, "pre\\made2", "x");
    add(MetaKind::link, "arc.vlm", "elsewhere");
    add(MetaKind::link, "c", "pre/..");
    const RestoreCount count = restore();
    EXPECT_EQ(count.links, 2u);  // l -> . and x/b -> .. are harmless alone
    EXPECT_GE(count.failures, 6u);
    EXPECT_TRUE(fs::is_empty(outside));
    struct stat st;
    ASSERT_EQ(stat(outside.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_FALSE(fs::is_symlink(dest / "a"));
    EXPECT_FALSE(fs::is_symlink(dest / "c"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dest / "arc.vlm")));
    EXPECT_TRUE(reporter.said("Unsafe link: skipped"));
    EXPECT_TRUE(reporter.said("Would replace the archive being read: entry skipped"));
}

TEST_F(RestoreTest, FoldersLinksModesAndTimesComeBack) {
    add(MetaKind::folder, "top", "", 0755);
    add(MetaKind::folder, "top\\empty", "", 0500);
    add(MetaKind::link, "top\\to-empty", "empty");
    add(MetaKind::link, "dangling", "nowhere/at/all");
    ASSERT_EQ(put({"top"}, "f", "x"), SinkOutcome::written);
    std::unordered_set<std::string> written = {"top\\f"};
    add(MetaKind::link, "top\\f", "empty");  // would replace a file this command wrote
    const RestoreCount count = restore(&written);
    EXPECT_EQ(count.links, 2u);
    EXPECT_EQ(count.failures, 1u);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dest / "top/f")));
    EXPECT_EQ(fs::read_symlink(dest / "top/to-empty"), "empty");
    EXPECT_EQ(fs::read_symlink(dest / "dangling"), "nowhere/at/all");
    struct stat st;
    ASSERT_EQ(lstat((dest / "top/empty").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0500u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
    ASSERT_EQ(lstat((dest / "top").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);  // after the link was made inside it
    chmod((dest / "top/empty").c_str(), 0700);
}

#endif  // _WIN32

}  // namespace
}  // namespace vellum
