// What an add stores and what it refuses: folders reached through links, pipes
// and sockets, names that would not extract as they are, and how names are shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "archive/display_name.h"
#include "archive/entry_path.h"
#include "archive/extract.h"
#include "manage/extract_rows.h"
#include "archive/folder_walk.h"
#include "archive/open_archive.h"
#include "archive/parallel_add.h"
#include "driver_test_support.h"
#include "manage/listing.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace vellum {
namespace {

using namespace vellum::test;
using Texts = std::vector<std::string>;

class AddSafety : public ::testing::Test {
protected:
    AddSummary add(const fs::path& archive, const std::vector<fs::path>& paths) {
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        EXPECT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
        EXPECT_TRUE(prepare_buffers(command));
        AddSummary summary;
        for (const fs::path& p : paths) add_path(command, p.string(), summary);
        end_command(command);
        return summary;
    }
    Texts stored(const fs::path& archive) {
        ArchiveListing listing;
        EXPECT_EQ(list_archive(archive.string(), reporter, &listing), ListStatus::complete);
        Texts paths;
        for (const ListingEntry& e : listing.entries) paths.push_back(e.folder_path + e.file_name);
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    ExtractSummary extract(const fs::path& archive, const fs::path& out) {
        Command command(*codec, reporter);
        command.settings.buffer_setting = 0;
        command.archive_path = archive.string();
        EXPECT_TRUE(prepare_buffers(command));
        ExtractSummary s = extract_all(command, out.string());
        end_command(command);
        return s;
    }

    std::unique_ptr<CodecState> codec = std::make_unique<CodecState>();
    RecordingReporter reporter;
    TempFolder tmp;
};

TEST(EntryPathCheck, DrivesDotsAndColons) {
    const bool windows = kNativeSeparator == '\\';
    struct Case { const char* folder; const char* name; PathCheck posix; PathCheck win; };
    const PathCheck ok = PathCheck::safe, bad = PathCheck::unsafe, stream = PathCheck::stream_name;
    const Case cases[] = {
        {"", "a.txt", ok, ok},
        {"docs\\sub\\", "b", ok, ok},
        {"", "c:d", ok, stream},          // a colon inside a name is no drive
        {"docs\\", "c:d", ok, stream},
        {"ab:c\\", "x", ok, stream},      // nor a colon after two letters
        {"a:b\\", "x", bad, bad},          // but a letter and a colon lead a drive-relative path
        {"", "C:", bad, bad},              // a bare drive
        {"C:\\", "x", bad, bad},           // a leading drive
        {"c:docs\\", "x", bad, bad},       // drive-relative
        {"\\etc\\", "x", bad, bad},
        {"..\\", "x", bad, bad},
        {"a\\.\\", "x", bad, bad},
        {"a\\\\", "x", bad, bad},
        {"a\\b", "x", bad, bad},           // no separator at the end
        {"", "..", bad, bad},
        {"", "a\\b", bad, bad},
        {"", "", bad, bad},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check_entry_path(c.folder, c.name), windows ? c.win : c.posix)
            << c.folder << " | " << c.name;
}

TEST(DisplayName, ControlBytesAreEscapedOnce) {
    struct Case { std::string raw, shown; };
    const Case cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"bell\a", "bell\\x07"},
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"\x1b[2Jclear", "\\x1B[2Jclear"},
        {"tab\tline\nend\x7f", "tab\\x09line\\x0Aend\\x7F"},
        {"docs\\caf\xe9", "docs\\caf\xe9"},  // code page bytes and backslashes stay
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escaped_name(c.raw), c.shown);
        EXPECT_EQ(escaped_name(c.shown), c.shown);
    }
}

// A folder reached through a link before the folder itself is stored under both
// paths; a link back up the way is a cycle and is not followed.
TEST_F(AddSafety, FoldersThroughLinksAreAllStoredCyclesAreCut) {
    const fs::path top = tmp / "top";
    write_file(top / "real" / "f.txt", text_bytes(300, 1));
    write_file(top / "real" / "deep" / "g.txt", text_bytes(300, 2));
    write_file(top / "other" / "h.txt", text_bytes(300, 3));
    std::error_code no_links;
    for (const char* name : {"a_link", "b_link", "zz_link"})
        fs::create_directory_symlink(top / "real", top / name, no_links);
    fs::create_directory_symlink(top, top / "real" / "deep" / "up", no_links);  // cycle
    fs::create_directory_symlink(top / "other", top / "real" / "peer", no_links);
    if (no_links) GTEST_SKIP() << "no folder links on this system: " << no_links.message();
    AddSummary s = add(tmp / "l.vlm", {top});
    Texts expected;
    for (const char* way : {"a_link", "b_link", "real", "zz_link"}) {
        for (const char* file : {"\\f.txt", "\\deep\\g.txt", "\\peer\\h.txt"})
            expected.push_back(std::string("top\\") + way + file);
    }
    expected.push_back("top\\other\\h.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stored(tmp / "l.vlm"), expected);
    EXPECT_EQ(s.added, expected.size());
    EXPECT_EQ(s.skipped, 0u);
    EXPECT_TRUE(extract(tmp / "l.vlm", tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "top" / "real" / "deep" / "g.txt"), text_bytes(300, 2));
}

#ifndef _WIN32
// A named pipe and a socket in a folder, and a pipe named on its own: each one
// reported by path and skipped, never opened (an open of the pipe would block).
TEST_F(AddSafety, PipesAndSocketsAreSkippedNotOpened) {
    const fs::path dir = tmp / "d";
    write_file(dir / "a.txt", text_bytes(500, 4));
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = (dir / "sock").string();
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    AddSummary s = add(tmp / "p.vlm", {dir, dir / "pipe"});
    close(sock);
    EXPECT_EQ(s.added, 1u);
    EXPECT_EQ(s.skipped, 3u);
    EXPECT_EQ(stored(tmp / "p.vlm"), Texts{"d\\a.txt"});
    Texts said;
    for (const Note& n : reporter.notes)
        if (n.caption == "Not a file or folder (pipe, socket or device): skipped") said.push_back(n.text);
    std::sort(said.begin(), said.end());
    EXPECT_EQ(said, (Texts{(dir / "pipe").string(), (dir / "pipe").string(), socket_path}));
}

// A backslash in a file or folder name would come back as a folder: refused at
// add time, with the rest of the folder stored. A colon is only a character.
TEST_F(AddSafety, NamesThatWouldNotComeBackAreRefused) {
    const fs::path dir = tmp / "d";
    write_file(dir / "ok.txt", text_bytes(100, 5));
    write_file(dir / "back\\slash.txt", text_bytes(100, 6));
    write_file(dir / "fold\\er" / "inside.txt", text_bytes(100, 7));
    write_file(dir / "c:d", text_bytes(100, 8));
    write_file(tmp / "c:top" / "x.txt", text_bytes(100, 9));  // would read as drive-relative
    AddSummary s = add(tmp / "n.vlm", {dir, tmp / "c:top"});
    EXPECT_EQ(s.added, 2u);
    EXPECT_EQ(s.skipped, 3u);
    EXPECT_EQ(stored(tmp / "n.vlm"), (Texts{"d\\c:d", "d\\ok.txt"}));
    Texts said;
    for (const Note& n : reporter.notes)
        if (n.caption == "Name cannot be extracted as it is: skipped") said.push_back(n.text);
    std::sort(said.begin(), said.end());
    Texts expected = {(dir / "back\\slash.txt").string(), (dir / "fold\\er").string(),
                      (tmp / "c:top").string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(said, expected);
    EXPECT_TRUE(extract(tmp / "n.vlm", tmp / "out").ok());
    EXPECT_EQ(read_file(tmp / "out" / "d" / "c:d"), text_bytes(100, 8));
}

// Messages that carry a name with control bytes show it escaped.
TEST_F(AddSafety, MessagesEscapeControlBytes) {
    const fs::path dir = tmp / "d";
    fs::create_directories(dir);
    ASSERT_EQ(mkfifo((dir / "p\x1b[1m").c_str(), 0600), 0);
    add(tmp / "e.vlm", {dir});
    ASSERT_EQ(reporter.notes.size(), 1u);
    EXPECT_EQ(reporter.notes[0].text, (dir / "p\\x1B[1m").string());
}

// Messages and finished files in the one sequence the front end sees them.
class SequenceReporter : public Reporter {
public:
    void message(const Message& message) override { sequence.push_back("message " + box_text(message).text); }
    void progress(const ProgressEvent& event) override {
        if (event.kind == ProgressKind::file_compressed) sequence.push_back("added " + event.name);
    }
    Texts sequence;
};

// Catches walk messages (a pipe, a name that would not come back, the archive
// itself) given as the walk meets them while earlier files are still being
// coded on workers: the front end must see them where one thread shows them.
TEST_F(AddSafety, WalkMessagesKeepTheirPlaceAmongTheFilesWithThreads) {
    const fs::path dir = tmp / "d";
    for (int i = 0; i < 6; ++i) {
        // Larger files first, so the workers are still coding when the walk goes on.
        write_file(dir / ("a" + std::to_string(i) + ".txt"), text_bytes(400000 - i * 60000, i));
        write_file(dir / ("n" + std::to_string(i) + ".txt"), text_bytes(3000 + i, 10 + i));
    }
    ASSERT_EQ(mkfifo((dir / "b.fifo").c_str(), 0600), 0);
    write_file(dir / "c\\d.txt", text_bytes(100, 7));
    Texts first;
    for (unsigned threads : {1u, 3u}) {
        SequenceReporter seen;
        Command command(*codec, seen);
        command.settings.buffer_setting = 0;
        command.settings.threads = threads;
        const fs::path archive = dir / "m.vlm";  // met by the walk, between c and n
        ASSERT_EQ(open_or_create_archive(command, archive.string()), OpenResult::created);
        ASSERT_TRUE(prepare_buffers(command));
        AddSummary summary;
        {
            ParallelAdd parallel(command);
            add_path(command, dir.string(), summary);
        }
        end_command(command);
        fs::remove(archive);
        EXPECT_EQ(summary.added, 12u);
        if (threads == 1) {
            first = seen.sequence;
            // Twelve files and three messages, the archive's own among them, and
            // (in the folder's order) files both before and after the messages.
            ASSERT_EQ(first.size(), 15u);
            EXPECT_EQ(1, std::count(first.begin(), first.end(), "message " + archive.string()));
            EXPECT_EQ(0u, first.front().rfind("added ", 0)) << first.front();
            EXPECT_EQ(0u, first.back().rfind("added ", 0)) << first.back();
        } else {
            EXPECT_EQ(seen.sequence, first);
        }
    }
}
#endif

}  // namespace
}  // namespace vellum
