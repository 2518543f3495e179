// What the compress and extract commands tell the user: where "Extract here"
// writes and that it says so, counters that move inside a large file, summaries
// that say when a command was stopped or entries failed, one box for several
// failures, boxes that fit the screen, and the progress window of a large
// "Compress single File".
#include <algorithm>
#include <cinttypes>

#include "app/app_internal.h"
#include "app/box_text.h"
#include "archive/entry_path.h"
#include "archive/format.h"
#include "fake_ui.h"
#include "manage/listing.h"

namespace vellum::apptest {
namespace {

class Summaries : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        src = dir / "src";
        WriteBytes(src / "top.txt", TextData(1000, 3));
        WriteBytes(src / "z.txt", TextData(1500, 4));
        WriteBytes(src / "zz.txt", TextData(2500, 5));
    }
    void CompressRows(const std::vector<std::string>& names, const std::string& target) {
        ShowFolder(src);
        for (const std::string& name : names) MarkNamed(name);
        ui.file_answers.push_back(Path(target));
        PressButton(*context, ToolbarButton::compress);
    }
    ArchiveListing List(const fs::path& archive) {
        SilentReporter quiet;
        ArchiveListing listing;
        EXPECT_EQ(list_archive(archive.string(), quiet, &listing), ListStatus::complete);
        return listing;
    }
    // The numbers of the lines at y drawn before the last six (those after the file).
    std::vector<uint64_t> NumbersBeforeTheEnd(int y) {
        std::vector<uint64_t> numbers;
        for (size_t i = 0; i + 6 < ui.lines.size(); ++i) {
            const Line& l = ui.lines[i];
            const size_t colon = l.text.find(':');
            if (l.y == y && l.x == 10 && colon != std::string::npos)
                numbers.push_back(std::stoull(l.text.substr(colon + 1)));
        }
        return numbers;
    }
    fs::path src;
};

// After Open Archive with a typed path the current folder may be anywhere, and
// after a start-up argument it is the folder the program started in: the files
// go beside the archive all the same, and the summary names that folder.
TEST_F(Summaries, ExtractHereWritesBesideTheArchiveAndSaysWhere) {
    fs::create_directories(dir / "arcs");
    fs::create_directories(dir / "elsewhere");
    CompressRows({"top.txt", "z.txt"}, "arcs/t");
    const std::string beside = (dir / "arcs").string() + kNativeSeparator;

    ui.cwd = Path("elsewhere");
    StartUp(*context, ("\"C:\\Prog\\vellum.exe\" \"" + Path("arcs/t.vlm") + "\"").c_str());
    ASSERT_EQ(state->archive_view, 1);
    RunMenuCommand(*context, kCmdSelectAll);
    ui.boxes.clear();
    RunMenuCommand(*context, kCmdExtractHere);
    EXPECT_EQ(ReadBytes(dir / "arcs" / "top.txt"), TextData(1000, 3));
    EXPECT_EQ(ReadBytes(dir / "arcs" / "z.txt"), TextData(1500, 4));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "DECOMPRESSION COMPLETED");
    EXPECT_EQ(ui.boxes[0].flags, 0x40u);
    const std::string& text = ui.boxes[0].text;
    EXPECT_EQ(text.rfind("Extracted 2 files ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.find('\n')), "\nDestination folder: " + beside) << text;

    fs::remove(dir / "arcs" / "top.txt");
    OpenArchive(dir / "arcs" / "t.vlm");
    ui.cwd = Path("elsewhere");  // the dialog, given a full path, left it there
    RunMenuCommand(*context, kCmdSelectAll);
    RunMenuCommand(*context, kCmdExtractHere);
    EXPECT_EQ(ReadBytes(dir / "arcs" / "top.txt"), TextData(1000, 3));
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

// Inside one large file the PROCESSED and COMPRESSED counters grow with the
// bar, and the FILE line names the file from its start.
TEST_F(Summaries, CountersMoveWithTheBarInsideALargeFile) {
    WriteBytes(src / "large.txt", TextData(3 << 20, 9));
    ui.step = 500;
    CompressRows({"large.txt"}, "t");
    const std::vector<uint64_t> processed = NumbersBeforeTheEnd(90);
    const std::vector<uint64_t> compressed = NumbersBeforeTheEnd(110);
    ASSERT_GE(processed.size(), 2u);
    ASSERT_EQ(compressed.size(), processed.size());
    EXPECT_GT(processed.front(), 0u);
    EXPECT_LT(processed.back(), uint64_t(3) << 20);
    EXPECT_TRUE(std::is_sorted(processed.begin(), processed.end()));
    EXPECT_LT(processed.front(), processed.back());
    EXPECT_GT(compressed.front(), 0u);
    EXPECT_LT(compressed.front(), compressed.back());
    ASSERT_GE(ui.lines.size(), 4u);
    EXPECT_EQ(ui.lines[3].text, "large.txt");  // right after the archive lines and the label
    EXPECT_EQ(ui.lines[3].y, 30);
}

// Two entries whose files cannot be written: one box lists both, then the
// summary keeps its text, says how many failed and why, with the warning icon.
// The boxes come after the command's time is taken.
TEST_F(Summaries, FailedEntriesOneListThenAWarningSummary) {
    CompressRows({"top.txt", "z.txt", "zz.txt"}, "t");
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    fs::create_directories(dir / "out" / "top.txt" / "in the way");
    fs::create_directories(dir / "out" / "zz.txt" / "in the way");
    ui.boxes.clear();
    ui.on_box = [&](const Box&) { ui.now += 60000; };  // the user reads each box for a minute
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(ReadBytes(dir / "out" / "z.txt"), TextData(1500, 4));
    ASSERT_EQ(ui.boxes.size(), 2u);
    const Box& list = ui.boxes[0];
    EXPECT_EQ(list.caption, "Warning");
    EXPECT_EQ(list.flags, 0x30u);
    EXPECT_EQ(list.text.rfind("2 entries were not done:\nCannot create file: entry skipped: ", 0), 0u) << list.text;
    EXPECT_NE(list.text.find("top.txt"), std::string::npos);
    EXPECT_NE(list.text.find("zz.txt"), std::string::npos);
    const Box& summary = ui.boxes[1];
    EXPECT_EQ(summary.caption, "DECOMPRESSION COMPLETED");
    EXPECT_EQ(summary.flags, 0x30u);
    EXPECT_EQ(summary.text.rfind("Extracted 1 files ", 0), 0u) << summary.text;
    EXPECT_NE(summary.text.find(" in 0.000 sec. \nDestination folder: "), std::string::npos) << summary.text;
    EXPECT_NE(summary.text.find("\n2 entries failed; the first: Cannot create file: entry skipped: "),
              std::string::npos)
        << summary.text;
}

// One damaged entry: its own box as the core raised it, then the summary.
TEST_F(Summaries, ADamagedEntryIsSaidInTheSummary) {
    CompressRows({"top.txt", "z.txt"}, "t");
    const ArchiveListing l = List(dir / "t.vlm");
    std::string bytes = ReadBytes(dir / "t.vlm");
    const ListingEntry& second = l.entries[1];
    bytes[second.offset + record_head_size(second.folder_path.size(), second.file_name.size())] = 6;  // no class
    WriteBytes(dir / "t.vlm", bytes);
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    ui.boxes.clear();
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0], (Box{second.file_name, "Damaged entry: skipped", 0x30}));
    EXPECT_EQ(ui.boxes[1].flags, 0x30u);
    EXPECT_NE(ui.boxes[1].text.find("\n1 entry failed; the first: Damaged entry: skipped: z.txt."), std::string::npos)
        << ui.boxes[1].text;
}

// Every entry failing still names the command's box as described, now with the
// warning icon; a stop says so with the information icon.
TEST_F(Summaries, EveryEntryFailingAndAStop) {
    CompressRows({"top.txt"}, "t");
    OpenArchive(dir / "t.vlm");
    RunMenuCommand(*context, kCmdSelectAll);
    fs::create_directories(dir / "out" / "top.txt" / "x");
    ui.boxes.clear();
    ui.folder_answers.push_back(Path("out"));
    PressButton(*context, ToolbarButton::extract);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].caption, "Cannot create file: entry skipped");
    EXPECT_EQ(ui.boxes[1].caption, "DECOMPRESSION COMPLETED");
    EXPECT_EQ(ui.boxes[1].flags, 0x30u);
    EXPECT_EQ(ui.boxes[1].text.rfind("Extracted 0 files ", 0), 0u);

    ui.boxes.clear();
    ui.stop = [&] { return true; };
    CompressRows({"z.txt", "zz.txt"}, "t2");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "NOTICE");
    EXPECT_EQ(ui.boxes[0].flags, 0x40u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Added 0 files  0 bytes to 0  in archive ", 0), 0u) << ui.boxes[0].text;
    EXPECT_EQ(ui.boxes[0].text.substr(ui.boxes[0].text.find('\n')), "\nStopped before the end.");
}

// A long path is broken into lines after its separators; texts of usual
// length, and every character, stay as they are.
TEST(BoxText, LongRunsAreBrokenAtSeparatorsAndNothingElseChanges) {
    EXPECT_EQ(FitForBox("Please select any File/Dir"), "Please select any File/Dir");
    const std::string summary = "Added 3 files  6000 bytes to 918  in archive C:\\Users\\me\\backup.vlm in 0.125 sec. ";
    EXPECT_EQ(FitForBox(summary), summary);
    std::string path = "C:";
    while (path.size() < 300) path += "\\folder \xce\xb1\xce\xb2\xce\xb3 " + std::to_string(path.size());
    path += "\\" + std::string(150, 'x') + "\xe6\x97\xa5.txt";
    const std::string fitted = FitForBox("Cannot create file: " + path);
    std::string joined;
    size_t longest = 0, run = 0;
    for (size_t i = 0; i < fitted.size(); ++i) {
        const char c = fitted[i];
        if (c == '\n') {
            // Inserted breaks come right after a separator or at the limit.
            EXPECT_TRUE(fitted[i - 1] == '\\' || run == kBoxRunCharacters) << i;
            run = 0;
            continue;
        }
        joined += c;
        run = c == ' ' ? 0 : run + ((static_cast<unsigned char>(c) & 0xC0) != 0x80);
        longest = std::max(longest, run);
    }
    EXPECT_EQ(joined, "Cannot create file: " + path);
    EXPECT_LE(longest, kBoxRunCharacters);
    EXPECT_NE(fitted.find("xxxxxxxx\n"), std::string::npos);  // a run without separators, cut at the limit
    EXPECT_NE(fitted.find("\xe6\x97\xa5.txt"), std::string::npos);  // never inside a character
}

TEST_F(Summaries, BoxesNamingLongPathsAreFitted) {
    ui.file_answers.push_back(Path(std::string(1100, 'x')));
    RunMenuCommand(*context, kCmdOpenArchive);
    ASSERT_FALSE(ui.boxes.empty());
    size_t run = 0;
    for (char c : LastBox().text) {
        run = c == '\n' || c == ' ' ? 0 : run + 1;
        ASSERT_LE(run, kBoxRunCharacters);
    }
}

// A large file compressed on its own shows the progress window and can be
// stopped; a small one shows none.
TEST_F(Summaries, CompressSingleFileOfALargeFileShowsProgressAndStops) {
    WriteBytes(src / "big.txt", TextData(kLargeSingleFile + 1, 6));
    ui.file_answers = {(src / "top.txt").string(), Path("small")};
    RunMenuCommand(*context, kCmdCompressFile);
    EXPECT_EQ(ui.progress_opened, 0);

    ui.file_answers = {(src / "big.txt").string(), Path("big")};
    RunMenuCommand(*context, kCmdCompressFile);
    EXPECT_EQ(ui.progress_opened, 1);
    EXPECT_EQ(ui.progress_closed, 1);
    EXPECT_EQ(ui.bar_total, kLargeSingleFile + 1);
    EXPECT_EQ(ui.bar_done, kLargeSingleFile + 1);
    EXPECT_EQ(List(dir / "big.vlm").entries.size(), 1u);

    ui.stop = [&] { return ui.bar_done > 0 && ui.bar_done < ui.bar_total; };
    ui.file_answers = {(src / "big.txt").string(), Path("stopped")};
    RunMenuCommand(*context, kCmdCompressFile);
    EXPECT_EQ(List(dir / "stopped.vlm").entries.size(), 0u);
    EXPECT_NE(LastBox().text.find("\nStopped before the end."), std::string::npos) << LastBox().text;
}

}  // namespace
}  // namespace vellum::apptest
