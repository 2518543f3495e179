// Archives through pipes: list, test and extract read one from standard input
// front to back, and add writes a new one to standard output, record by record.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "cli_test_support.h"

namespace vellum {
namespace clitest {
namespace {

using nlohmann::json;

// Every item below `root` as one line: its path, kind, permission bits, time
// to the nanosecond and content (a link's target), sorted.
std::string described(const fs::path& root) {
    std::vector<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path p = it->path();
        struct stat st;
        if (lstat(p.c_str(), &st) != 0) continue;
        std::string line = fs::relative(p, root).generic_string() + " " + std::to_string(st.st_mode) + " ";
        if (S_ISLNK(st.st_mode)) {
            line += "-> " + fs::read_symlink(p).string();
        } else {
            line += std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
            if (S_ISREG(st.st_mode)) line += " " + std::to_string(st.st_size) + " " + std::to_string(std::hash<std::string>()(read_file(p)));
        }
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

class PipeTest : public CliTest {
protected:
    // Both names are one file (a hard link), as stat tells.
    bool one_file(const std::string& a, const std::string& b) {
        struct stat sa, sb;
        return stat(path(a).c_str(), &sa) == 0 && stat(path(b).c_str(), &sb) == 0 && sa.st_ino == sb.st_ino &&
               sa.st_dev == sb.st_dev && sa.st_nlink == 2;
    }
    // A home-like folder: dotfiles, names with blanks and UTF-8, an empty
    // folder, links relative (to a file, to a folder, dangling), a hard link
    // (a second name in another folder), modes 0755, 0600 and 0444, and times of
    // its own.
    void make_home() {
        write_file(path("home/.profile"), "export PATH=$HOME/bin:$PATH\n");
        write_file(path("home/bin/run.sh"), "#!/bin/sh\necho run\n");
        write_file(path("home/notes with blanks.txt"), text_data(9000, 7));
        write_file(path("home/caf\xC3\xA9/\xE6\x97\xA5\xE8\xA8\x98.md"), text_data(4000, 8));
        write_file(path("home/secret"), random_data(2000, 9));
        write_file(path("home/readonly.txt"), "do not touch\n");
        fs::create_directories(path("home/empty"));
        fs::create_symlink("notes with blanks.txt", path("home/to-notes"));
        fs::create_directory_symlink("bin", path("home/to-bin"));
        fs::create_symlink("gone", path("home/dangling"));
        chmod(path("home/bin/run.sh").c_str(), 0755);
        fs::create_hard_link(path("home/bin/run.sh"), path("home/run-too.sh"));
        chmod(path("home/secret").c_str(), 0600);
        const struct timespec times[2] = {{1600000000, 123456789}, {1600000000, 123456789}};
        for (const char* name : {"home/.profile", "home/notes with blanks.txt", "home/bin", "home/empty"})
            utimensat(AT_FDCWD, path(name).c_str(), times, 0);
        chmod(path("home/readonly.txt").c_str(), 0444);
    }
    // The folder's files without metadata of interest: for byte-for-byte checks.
    void make_files() {
        write_file(path("f/a.txt"), text_data(30000, 1));
        write_file(path("f/sub/b.txt"), text_data(50000, 2));
        write_file(path("f/c.zip"), "PK\x03\x04" + random_data(5000, 3));
        write_file(path("f/d.bin"), x86_program(40000, 4));
    }
};

// Catches pipes refused, a streamed archive that differs from the archive an
// add to a file writes (which every reader then reads alike), and the summary
// on standard output, where it would join the archive's bytes.
TEST_F(PipeTest, AddToStandardOutputWritesTheSameArchive) {
    make_files();
    const std::vector<std::vector<std::string>> options = {{}, {"--solid"}, {"-T", "2"}, {"--meta"}, {"--block", "8M"}};
    int n = 0;
    for (const auto& extra : options) {
        const std::string file = "file" + std::to_string(n), piped = "piped" + std::to_string(n) + ".vlm";
        ++n;
        std::vector<std::string> add{"add"};
        add.insert(add.end(), extra.begin(), extra.end());
        std::vector<std::string> to_file = add, to_pipe = add;
        to_file.insert(to_file.end(), {file, "f"});
        to_pipe.insert(to_pipe.end(), {"-", "f"});
        ASSERT_EQ(0, vellum(to_file).status);
        Result streamed = vellum(to_pipe);
        ASSERT_EQ(0, streamed.status) << streamed.err;
        EXPECT_TRUE(has(streamed.err, "Added 4 files ") && has(streamed.err, "(standard output)")) << streamed.err;
        EXPECT_TRUE(streamed.out == read_file(path(file + ".vlm"))) << (extra.empty() ? "" : extra[0]);
    }
    // Through a real pipe, into the archive's own folder: never added to itself.
    Result self = script("\"$VELLUM\" a - f > f/self.vlm");
    EXPECT_EQ(0, self.status) << self.err;
    EXPECT_TRUE(has(self.err, "The archive itself")) << self.err;
    EXPECT_EQ(5u, records_of(read_file(path("f/self.vlm"))).size());  // 4 files and the metadata
    // Not onto a terminal.
    Result terminal = run_vellum({"a", "-", "f"}, dir_, true);
    EXPECT_EQ(2, terminal.status);
    EXPECT_TRUE(has(terminal.out, "standard output is a terminal")) << terminal.out;
}

// Catches a pipe round trip that loses a mode, a time, a link, an empty folder
// or a name, normal and solid: vellum a - home | vellum x - -C out.
TEST_F(PipeTest, TarLikeRoundTripKeepsEverything) {
    make_home();
    const std::string original = described(path("home"));
    for (const char* mode : {"", "--solid"}) {
        const std::string out = std::string("out") + (*mode ? "-solid" : "");
        Result run = script(std::string("\"$VELLUM\" a ") + mode + " - home | \"$VELLUM\" x - -C " + out);
        EXPECT_EQ(0, run.status) << run.err;
        EXPECT_EQ(original, described(path(out + "/home"))) << mode;
        EXPECT_EQ(0, script("diff -r --no-dereference home " + out + "/home").status) << mode;
        EXPECT_TRUE(one_file(out + "/home/bin/run.sh", out + "/home/run-too.sh")) << mode;
    }
    // The default add to a file keeps it all too, at two block sizes, normal and
    // solid; and an update of the unchanged tree leaves it so.
    for (const char* mode : {"--block=8M", "--solid"}) {
        const std::string arc = std::string("home") + (mode[2] == 's' ? "-solid" : "-8M");
        ASSERT_EQ(0, vellum({"add", mode, arc, "home"}).status) << mode;
        if (mode[2] == 'b') {
            Result up = vellum({"add", "-u", arc, "home"});
            EXPECT_EQ(0, up.status) << up.err;
            EXPECT_TRUE(has(up.out, "0 changed files replaced")) << up.out;
        }
        ASSERT_EQ(0, vellum({"x", "-C", "file-" + arc, arc}).status) << mode;
        EXPECT_EQ(original, described(path("file-" + arc + "/home"))) << mode;
        EXPECT_EQ(0, script("diff -r --no-dereference home file-" + arc + "/home").status) << mode;
        EXPECT_TRUE(one_file("file-" + arc + "/home/bin/run.sh", "file-" + arc + "/home/run-too.sh")) << mode;
        // The second name is stored once, as a hard link of the first.
        EXPECT_TRUE(has(vellum({"list", arc}).out, "1 hard link")) << vellum({"list", arc}).out;
    }
    // Without metadata the bytes and names come through.
    ASSERT_EQ(0, script("\"$VELLUM\" a --no-meta - home/bin home/.profile | \"$VELLUM\" x - -C plain").status);
    EXPECT_EQ(file_tree(path("home/bin")), file_tree(path("plain/bin")));
    EXPECT_EQ(read_file(path("home/.profile")), read_file(path("plain/.profile")));
}

// Catches list, test and info from a pipe that differ from the same commands on
// the file, in what they show and count.
TEST_F(PipeTest, ListTestAndInfoReadStandardInput) {
    make_home();
    make_files();
    ASSERT_EQ(0, vellum({"a", "--meta", "arc", "home", "f"}).status);
    ASSERT_EQ(0, vellum({"a", "--solid", "solid", "f"}).status);
    for (const char* archive : {"arc.vlm", "solid.vlm"}) {
        const std::string name = archive;
        Result from_file = vellum({"l", "-v", name});
        Result piped = script("cat " + name + " | \"$VELLUM\" l -v -");
        EXPECT_EQ(0, piped.status) << piped.err;
        EXPECT_EQ(from_file.out, piped.out);
        Result tested = script("\"$VELLUM\" t - < " + name);
        EXPECT_EQ(0, tested.status) << tested.err;
        const std::string file_test = vellum({"t", name}).out;
        // The same verdict and counts; only the archive's name and the time differ.
        EXPECT_EQ(file_test.substr(0, file_test.find(" from archive")), tested.out.substr(0, tested.out.find(" from archive")));
        EXPECT_EQ(file_test.substr(file_test.find("sec.:")), tested.out.substr(tested.out.find("sec.:")));
        EXPECT_EQ(vellum({"l", "--rows", name}).out, script("\"$VELLUM\" l --rows - < " + name).out);
    }
    const json piped = json::parse(script("\"$VELLUM\" l --json - < arc.vlm").out);
    const json filed = json::parse(vellum({"l", "--json", "arc"}).out);
    EXPECT_EQ("-", piped["archive"]);
    EXPECT_EQ(filed["entries"], piped["entries"]);
    EXPECT_EQ(filed["totals"], piped["totals"]);
    const json info = json::parse(script("\"$VELLUM\" i --json - < arc.vlm").out);
    EXPECT_EQ(json::parse(vellum({"i", "--json", "arc"}).out)["entries"], info["entries"]);
    EXPECT_EQ(read_file(path("arc.vlm")).size(), info["file_size"].get<uint64_t>());
}

// Catches a selection from a pipe that takes too much or too little, a name
// that matched nothing left unsaid, and --stdout mixing anything into the bytes.
TEST_F(PipeTest, NamesSelectFromAPipe) {
    make_home();
    make_files();
    ASSERT_EQ(0, vellum({"a", "--meta", "arc", "f", "home"}).status);
    ASSERT_EQ(0, vellum({"a", "--solid", "solid", "f"}).status);
    for (const char* archive : {"arc.vlm", "solid.vlm"}) {
        const std::string out = std::string("sel-") + archive;
        Result x = script(std::string("\"$VELLUM\" x - -C ") + out + " 'f/**/*.txt' f/c.zip < " + archive);
        EXPECT_EQ(0, x.status) << x.err;
        const Tree got = file_tree(path(out));
        EXPECT_EQ((std::vector<std::string>{"f/a.txt", "f/c.zip", "f/sub/b.txt"}),
                  [&] { std::vector<std::string> k; for (const auto& [p, b] : got) k.push_back(p); return k; }());
        EXPECT_EQ(read_file(path("f/sub/b.txt")), got.at("f/sub/b.txt"));
    }
    Result links = script("\"$VELLUM\" x - -C lk home/to-notes home/empty nothing-here < arc.vlm");
    EXPECT_EQ(1, links.status);
    EXPECT_TRUE(has(links.err, "(standard input): no entry or row named nothing-here")) << links.err;
    EXPECT_TRUE(fs::is_symlink(path("lk/home/to-notes")) && fs::is_directory(path("lk/home/empty")));
    Result bytes = script("\"$VELLUM\" x --stdout - f/a.txt < arc.vlm");
    EXPECT_EQ(0, bytes.status) << bytes.err;
    EXPECT_TRUE(read_file(path("f/a.txt")) == bytes.out);
}

// Catches damage met in a pipe that is not reported, whole entries before it
// lost, and a file whose checksum turns out wrong (known only once the
// metadata after it arrives) left in place.
TEST_F(PipeTest, DamageInAPipeIsFoundAndSaid) {
    make_files();
    ASSERT_EQ(0, vellum({"a", "--meta", "arc", "f"}).status);
    Bytes archive = read_file(path("arc.vlm"));
    const std::vector<Record> r = records_of(archive);
    ASSERT_EQ(5u, r.size());
    // Cut inside the third record: the two before it stand.
    write_file(path("cut.vlm"), archive.substr(0, r[2].offset + r[2].length / 2));
    Result listed = script("\"$VELLUM\" l - < cut.vlm");
    EXPECT_EQ(1, listed.status);
    EXPECT_TRUE(has(listed.err, "damaged record at offset " + std::to_string(r[2].offset))) << listed.err;
    EXPECT_TRUE(has(listed.out, " 2 entries, ")) << listed.out;
    Result x = script("\"$VELLUM\" x - -C cut < cut.vlm");
    EXPECT_EQ(1, x.status);
    EXPECT_EQ(2u, file_tree(path("cut")).size());

    // A stored entry's bytes changed: it decodes, but its checksum differs.
    size_t zip = 0;
    while (zip < r.size() && r[zip].file_name != "c.zip") ++zip;
    ASSERT_LT(zip, r.size());
    archive[r[zip].offset + r[zip].length - 10] ^= 0x01;
    write_file(path("bad.vlm"), archive);
    Result bad = script("\"$VELLUM\" x - -C bad < bad.vlm");
    EXPECT_EQ(1, bad.status);
    EXPECT_TRUE(has(bad.err, "Damaged entry: bad/f/c.zip (checksum differs; read from a stream")) << bad.err;
    EXPECT_FALSE(fs::exists(path("bad/f/c.zip")));
    EXPECT_TRUE(has(bad.out, "Extracted 3 files ")) << bad.out;
    Result tested = script("\"$VELLUM\" t - < bad.vlm");
    EXPECT_EQ(1, tested.status);
    EXPECT_TRUE(has(tested.out, "1 damaged, 3 checksums verified")) << tested.out;
}

// Catches a streamed add that keeps the archive in memory: four stored files of
// 32 MiB each go through with one thread well below their 128 MiB.
TEST_F(PipeTest, StreamedAddHoldsOneRecordAtATime) {
#ifdef VELLUM_SANITIZED
    GTEST_SKIP() << "the sanitizers' own memory hides the program's";
#endif
    for (int i = 0; i < 4; ++i) write_file(path("big/" + std::to_string(i) + ".zip"), random_data(32u << 20, 20 + i));
    Result streamed = vellum({"a", "--no-meta", "-T", "1", "-", "big"});
    ASSERT_EQ(0, streamed.status) << streamed.err;
    EXPECT_EQ(12u + 4 * ((32u << 20) + 24 + 4 + 5), streamed.out.size());
    EXPECT_LT(streamed.max_rss_kib, 96 * 1024) << "peak resident KiB";
}

}  // namespace
}  // namespace clitest
}  // namespace vellum
