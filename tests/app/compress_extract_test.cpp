// The five compress and extract commands over real archives on disk: their
// progress lines, their summaries, solid extraction, Stop, and archives equal
// byte for byte to those of the command line.
#include <algorithm>
#include <cinttypes>
#include <cstdlib>

#include "archive/entry_path.h"
#include "archive/report.h"
#include "fake_ui.h"
#include "manage/listing.h"

namespace vellum::apptest {
namespace {

class Run : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        src = dir / "src";
        fs::create_directories(src / "docs" / "sub");
        WriteBytes(src / "docs" / "a.txt", TextData(3000, 1));
        WriteBytes(src / "docs" / "sub" / "b.txt", TextData(2000, 2));
        WriteBytes(src / "top.txt", TextData(1000, 3));
        WriteBytes(src / "z.txt", TextData(1500, 4));
    }
    ArchiveListing List(const fs::path& archive) {
        SilentReporter quiet;
        ArchiveListing listing;
        EXPECT_EQ(list_archive(archive.string(), quiet, &listing), ListStatus::complete);
        return listing;
    }
    // Marks the named rows of the folder view of src and presses Compress.
    void CompressRows(const std::vector<std::string>& names, const std::string& target) {
        ShowFolder(src);
        for (const std::string& name : names) MarkNamed(name);
        ui.file_answers.push_back(Path(target));
        PressButton(*context, ToolbarButton::compress);
    }
    static uint64_t Sum(const ArchiveListing& l, uint64_t ListingEntry::*field) {
        uint64_t total = 0;
        for (const ListingEntry& e : l.entries) total += e.*field;
        return total;
    }
    std::string Added(uint32_t files, uint64_t in, uint64_t out, const fs::path& archive,
                      const char* seconds) {
        return "Added " + std::to_string(files) + " files  " + std::to_string(in) + " bytes to " +
               std::to_string(out) + "  in archive " + archive.string() + " in " + seconds + " sec. ";
    }
    // A destination folder as the summary names it: with its trailing separator.
    std::string Dest(const std::string& relative) {
        return (relative.empty() ? dir.string() : Path(relative)) + kNativeSeparator;
    }
    fs::path src;
};

TEST_F(Run, CompressSingleFileSumsUpWithoutAProgressWindow) {
    ui.step = 125;  // the start and the summary read the clock once each
    ui.file_answers = {(src / "top.txt").string(), Path("one")};
    RunMenuCommand(*context, kCmdCompressFile);
    const ArchiveListing l = List(dir / "one.vlm");
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].file_name, "top.txt");
    EXPECT_EQ(l.entries[0].folder_path, "");
    EXPECT_EQ(ui.boxes, std::vector<Box>({{Added(1, 1000, l.entries[0].record_length,
                                                 dir / "one.vlm", "0.125"),
                                           "NOTICE", 0x40}}));
    EXPECT_EQ(ui.progress_opened, 0);
    EXPECT_EQ(state->archive_view, 0);
    EXPECT_EQ(state->compressed_total, 0u);

    // The typed name again: its ".vlm" form exists and is added to, not replaced;
    // the second summary counts only the second command's bytes.
    ui.step = 0;
    ui.boxes.clear();
    ui.file_answers = {(src / "z.txt").string(), Path("one")};
    RunMenuCommand(*context, kCmdCompressFile);
    const ArchiveListing two = List(dir / "one.vlm");
    ASSERT_EQ(two.entries.size(), 2u);
    EXPECT_EQ(two.entries[0].record_length, l.entries[0].record_length);
    EXPECT_EQ(ui.boxes, std::vector<Box>({{Added(1, 1500, two.entries[1].record_length,
                                                 dir / "one.vlm", "0.000"),
                                           "NOTICE", 0x40}}));
}

TEST_F(Run, MarkedFolderAndFileCompressedInRowOrderThenExtracted) {
    CompressRows({"top.txt", "docs"}, "t");
    const ArchiveListing l = List(dir / "t.vlm");
    ASSERT_EQ(l.entries.size(), 3u);
    // The folder row comes before the file rows, so its files come first.
    EXPECT_EQ(l.entries[2].folder_path + l.entries[2].file_name, "top.txt");
    std::vector<std::string> folder_entries = {l.entries[0].folder_path + l.entries[0].file_name,
                                               l.entries[1].folder_path + l.entries[1].file_name};
    std::sort(folder_entries.begin(), folder_entries.end());
    EXPECT_EQ(folder_entries, (std::vector<std::string>{"docs\\a.txt", "docs\\sub\\b.txt"}));

    const uint64_t packed = Sum(l, &ListingEntry::record_length);
    EXPECT_EQ(ui.boxes, std::vector<Box>({{Added(3, 6000, packed, dir / "t.vlm", "0.000"), "NOTICE", 0x40}}));
    EXPECT_EQ(ui.progress_opened, 1);
    EXPECT_EQ(ui.progress_closed, 1);
    EXPECT_EQ(state->archive_view, 0);
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(ui.bar_done, 6000u);
    EXPECT_EQ(ui.bar_total, 6000u);

    // The archive lines first, then six lines after each file.
    ASSERT_EQ(ui.lines.size(), 2u + 3 * 6);
    EXPECT_EQ(ui.lines[0].text, "ARCHIVE: ");
    EXPECT_EQ(ui.lines[1].x, 72);
    EXPECT_EQ(ui.lines[1].text, Path("t.vlm"));
    const Line* last = &ui.lines[2 + 2 * 6];
    const std::vector<Line> expected = {
        {10, 30, "FILE:" + std::string(47, ' ')}, {60, 30, "top.txt"},
        {10, 50, "TIME: 0.000 sec. "},           {10, 70, "FILES PROCESSED : 3 "},
        {10, 90, "PROCESSED : 6000 "},           {10, 110, "COMPRESSED: " + std::to_string(packed) + " "}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(last[i].x, expected[i].x) << i;
        EXPECT_EQ(last[i].y, expected[i].y) << i;
        EXPECT_EQ(last[i].text, expected[i].text) << i;
    }

    // Back out through the Extract button into a chosen folder.
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ui.boxes.clear();
    ui.lines.clear();
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    for (const char* name : {"top.txt", "docs/a.txt", "docs/sub/b.txt"})
        EXPECT_EQ(ReadBytes(dir / "out" / name), ReadBytes(src / name)) << name;
    // The described text, then the folder the files went to.
    const std::string extracted = "Extracted 3 files " + std::to_string(packed) + " bytes to 6000 bytes from archive " +
                                  Path("t.vlm") + " in 0.000 sec. \nDestination folder: " + Dest("out");
    EXPECT_EQ(ui.boxes, std::vector<Box>({{extracted, "DECOMPRESSION COMPLETED", 0x40}}));
    EXPECT_EQ(ui.lines.back().text, "DECOMPRESSED: 6000 ");
    EXPECT_EQ(ui.lines.back().y, 110);
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(state->chosen_folder[0], '\0');
}

TEST_F(Run, SolidExtractionOfTheLastRowDecodesEveryEarlierEntry) {
    PressButton(*context, ToolbarButton::solid);
    CompressRows({"top.txt", "z.txt", "docs"}, "s");
    OpenArchive(dir / "s.vlm");  // the dialog makes dir the current folder
    ASSERT_EQ(state->solid, 1);
    ASSERT_EQ(Rows(), 3);
    ASSERT_EQ(Cell(2, 1), "z.txt");
    Focus(2);
    PressButton(*context, ToolbarButton::select);
    ui.boxes.clear();
    RunMenuCommand(*context, kCmdExtractHere);

    // One file written, next to the archive; the earlier entries only decoded.
    EXPECT_EQ(ReadBytes(dir / "z.txt"), ReadBytes(src / "z.txt"));
    EXPECT_FALSE(fs::exists(dir / "top.txt"));
    EXPECT_FALSE(fs::exists(dir / "docs"));
    const ArchiveListing l = List(dir / "s.vlm");
    const std::string expected = "Extracted 1 files " + std::to_string(Sum(l, &ListingEntry::record_length)) +
                                 " bytes to 1500 bytes from archive " + Path("s.vlm") + " in 0.000 sec. " +
                                 "\nDestination folder: " + Dest("");
    EXPECT_EQ(ui.boxes, std::vector<Box>({{expected, "DECOMPRESSION COMPLETED", 0x40}}));
}

TEST_F(Run, StopEndsTheCommandAfterTheFileInWork) {
    ui.stop = [&] { return !ui.lines.empty() && ui.lines.back().text.rfind("COMPRESSED", 0) == 0; };
    CompressRows({"top.txt", "z.txt"}, "t");
    const ArchiveListing l = List(dir / "t.vlm");
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].file_name, "top.txt");
    // The described text, and that the command was stopped.
    EXPECT_EQ(LastBox(), (Box{Added(1, 1000, l.entries[0].record_length, dir / "t.vlm", "0.000") +
                                  "\nStopped before the end.",
                              "NOTICE", 0x40}));
    EXPECT_EQ(ui.progress_closed, 1);
    EXPECT_FALSE(context->running);
}

// Stop pressed inside a large file: the drivers see it at their next safe point,
// the entry in work is cut back and the finished one stays; extracting, the
// part-written output is removed and the existing entries still come out.
TEST_F(Run, StopInsideALargeFileCutsItBackAndKeepsTheFinishedEntries) {
    WriteBytes(src / "zz-large.txt", TextData(3 << 20, 9));
    // Stop once the bar shows part of the large file done.
    ui.stop = [&] { return ui.bar_done > 1500 && ui.bar_done < ui.bar_total; };
    CompressRows({"z.txt", "zz-large.txt"}, "t");
    const ArchiveListing l = List(dir / "t.vlm");
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].file_name, "z.txt");
    EXPECT_EQ(LastBox().text, Added(1, 1500, l.entries[0].record_length, dir / "t.vlm", "0.000") +
                                  "\nStopped before the end.");
    EXPECT_FALSE(context->running);

    ui.stop = nullptr;
    ui.boxes.clear();
    CompressRows({"zz-large.txt"}, "t");  // appended whole this time
    ASSERT_EQ(List(dir / "t.vlm").entries.size(), 2u);
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    fs::create_directories(dir / "out");
    WriteBytes(dir / "out" / "zz-large.txt", TextData(10, 5));  // the user's own file
    ui.stop = [&] { return ui.bar_done > 1500 && ui.bar_done < ui.bar_total; };
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(ReadBytes(dir / "out" / "z.txt"), TextData(1500, 4));
    EXPECT_EQ(ReadBytes(dir / "out" / "zz-large.txt"), TextData(10, 5));  // left as it was
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_EQ(e.path().extension(), ".txt") << e.path();  // no temporary left behind
    EXPECT_EQ(LastBox().text.rfind("Extracted 1 files ", 0), 0u) << LastBox().text;
}

TEST_F(Run, InsideALargeFileTheLinesAreRedrawnAndTheBarMoves) {
    // 3 MiB of text: the codec reports its position about once a MiB; with the
    // clock moving 500 ms per reading, every report is due for a redraw.
    WriteBytes(src / "large.txt", TextData(3 << 20, 9));
    ui.step = 500;
    std::vector<uint64_t> bar;
    ui.stop = [&] {
        if (bar.empty() || bar.back() != ui.bar_done) bar.push_back(ui.bar_done);
        return false;
    };
    CompressRows({"large.txt"}, "t");
    int file_lines = 0;
    for (const Line& l : ui.lines) file_lines += l.y == 30 && l.x == 10;
    EXPECT_GE(file_lines, 3);  // at least two redraws inside the file, one after it
    ASSERT_GE(bar.size(), 3u);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    EXPECT_EQ(ui.bar_done, uint64_t(3) << 20);
    EXPECT_EQ(ui.bar_total, uint64_t(3) << 20);
}

TEST_F(Run, CommandsArrivingWhileOneRunsAreRefused) {
    int tried = 0;
    ui.stop = [&] {
        if (tried++ == 0) {  // the window system delivers clicks while the command runs
            PressButton(*context, ToolbarButton::buffer);
            RunMenuCommand(*context, kCmdAbout);
            ui.file_answers.push_back("never asked");
            PressButton(*context, ToolbarButton::compress);
        }
        return false;
    };
    CompressRows({"top.txt"}, "t");
    EXPECT_EQ(state->buffer_setting, 4);
    EXPECT_EQ(ui.abouts, 0);
    EXPECT_EQ(ui.file_answers.size(), 1u);
    EXPECT_EQ(List(dir / "t.vlm").entries.size(), 1u);
}

TEST_F(Run, TheArchiveWrittenIsNeverAddedToItself) {
    ui.file_answers = {(src / "top.txt").string(), (src / "t").string()};
    RunMenuCommand(*context, kCmdCompressFile);
    ShowFolder(src);
    ASSERT_GE(RowNamed("t.vlm"), 0);
    MarkNamed("t.vlm");
    MarkNamed("z.txt");
    ui.file_answers.push_back((src / "t").string());
    PressButton(*context, ToolbarButton::compress);
    const ArchiveListing l = List(src / "t.vlm");
    ASSERT_EQ(l.entries.size(), 2u);
    EXPECT_EQ(l.entries[1].file_name, "z.txt");
}

TEST_F(Run, CompressSingleFolderShowsItsSourceAndStoresItsName) {
    ui.folder_answers.push_back((src / "docs").string());
    ui.file_answers.push_back(Path("f"));
    RunMenuCommand(*context, kCmdCompressFolder);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0], (Box{(src / "docs").string(), "source", 0}));
    const ArchiveListing l = List(dir / "f.vlm");
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].name, "docs");
    EXPECT_EQ(l.entries.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, Added(2, 5000, Sum(l, &ListingEntry::record_length), dir / "f.vlm", "0.000"));
}

TEST_F(Run, CompressSingleFileFromTheArchiveViewShowsTheArchiveWritten) {
    ui.file_answers = {(src / "top.txt").string(), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    OpenArchive(dir / "t.vlm");
    ui.file_answers = {(src / "z.txt").string(), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    EXPECT_EQ(state->archive_view, 1);
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(1, 1), "z.txt");
    EXPECT_EQ(state->row_offsets[2], fs::file_size(dir / "t.vlm"));
}

#ifdef VELLUM_BINARY
// The same files with the same settings: the desktop's archive, coded on a
// worker per core, and the command line's on one thread are one and the same
// file; the desktop extracts every file back.
TEST_F(Run, ArchivesEqualThoseOfTheCommandLine) {
    for (int i = 0; i < 40; ++i)
        WriteBytes(src / "many" / ("f" + std::to_string(i) + ".txt"), TextData(500 + i * 977 % 30000, 10 + i));
    struct Case {
        bool solid;
        int presses;  // of the Buffer button, from setting 4
        const char* block;
    } cases[] = {{false, 0, "128M"}, {true, 5, "32M"}, {false, 3, "8M"}};
    int n = 0;
    for (const Case& c : cases) {
        state->solid = c.solid;
        state->buffer_setting = 4;
        for (int i = 0; i < c.presses; ++i) PressButton(*context, ToolbarButton::buffer);
        const std::string app = "app" + std::to_string(n), cli = "cli" + std::to_string(n);
        ++n;
        CompressRows({"docs", "many", "top.txt", "z.txt"}, app);
        std::string operands;  // in the folder view's row order
        for (int r = 1; r < Rows(); ++r) operands += " " + Cell(r, 1);
        const std::string command = "cd '" + src.string() + "' && '" VELLUM_BINARY "' -q add --no-meta -T 1 " +
                                    (c.solid ? "--solid " : "") + "--block " + c.block + " '" +
                                    Path(cli) + "'" + operands;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string made = ReadBytes(Path(app + ".vlm"));
        EXPECT_GT(made.size(), 12u);
        EXPECT_EQ(made, ReadBytes(Path(cli + ".vlm"))) << c.block;
    }
    OpenArchive(dir / "app0.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    for (int i = 0; i < 40; ++i) {
        const fs::path name = fs::path("many") / ("f" + std::to_string(i) + ".txt");
        EXPECT_EQ(ReadBytes(dir / "out" / name), ReadBytes(src / name)) << name;
    }
    EXPECT_EQ(LastBox().text.rfind("Extracted 44 files ", 0), 0u) << LastBox().text;
}

// Options > Strong compression: off at start; on, the compress commands write
// the archive the command line's --strong writes, which vellum extracts byte
// for byte; off again, the default archive.
TEST_F(Run, StrongCompressionFromTheOptionsMenu) {
    EXPECT_EQ(state->strong, 0);
    RunMenuCommand(*context, kCmdStrong);
    EXPECT_EQ(state->strong, 1);
    CompressRows({"docs", "top.txt", "z.txt"}, "strong");
    const ArchiveListing l = List(dir / "strong.vlm");
    ASSERT_EQ(l.entries.size(), 4u);
    for (const ListingEntry& e : l.entries) EXPECT_EQ(e.file_class, 0x109) << e.file_name;
    std::string operands;
    for (int r = 1; r < Rows(); ++r) operands += " " + Cell(r, 1);
    const std::string add = "cd '" + src.string() + "' && '" VELLUM_BINARY "' -q add -T 1 --no-meta --strong '" +
                            Path("cli") + "'" + operands;
    ASSERT_EQ(std::system(add.c_str()), 0) << add;
    EXPECT_EQ(ReadBytes(Path("strong.vlm")), ReadBytes(Path("cli.vlm")));
    const std::string extract = "'" VELLUM_BINARY "' -q x -o '" + Path("out") + "' '" + Path("strong.vlm") + "'";
    ASSERT_EQ(std::system(extract.c_str()), 0) << extract;
    for (const char* name : {"docs/a.txt", "docs/sub/b.txt", "top.txt", "z.txt"})
        EXPECT_EQ(ReadBytes(dir / "out" / name), ReadBytes(src / name)) << name;

    RunMenuCommand(*context, kCmdStrong);
    EXPECT_EQ(state->strong, 0);
    CompressRows({"top.txt"}, "plain");
    EXPECT_EQ(List(dir / "plain.vlm").entries[0].file_class, 9);
}
#endif

}  // namespace
}  // namespace vellum::apptest
