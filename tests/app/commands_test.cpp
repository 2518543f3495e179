// The command table through a scripted window system: the start-up argument,
// the path rules, the toggles, marking, the busy flag and each command's
// warnings in each view.
#include "app/paths.h"
#include "fake_ui.h"

namespace vellum::apptest {
namespace {

TEST(StartUpArgument, TakesOnlyAFinalQuotedPathAfterTheProgram) {
    struct Case {
        const char* line;
        const char* argument;  // nullptr: none
    } cases[] = {
        {"\"C:\\Prog\\vellum.exe\" \"C:\\Data\\backup.vlm\"", "C:\\Data\\backup.vlm"},
        {"vellum.exe \"D:\\a b\\x.vlm\"", "D:\\a b\\x.vlm"},
        {"\"C:\\Prog\\vellum.exe\" \"notes.txt\"", "notes.txt"},  // no check of the extension
        {"\"C:\\Prog\\vellum.exe\"", nullptr},                    // the program's own name
        {"\"C:\\Prog\\vellum.exe\" ", nullptr},
        {"vellum.exe", nullptr},
        {"vellum.exe C:\\x.vlm", nullptr},
        {"\"C:\\Prog\\vellum.exe\" \"\"", nullptr},  // empty quoted text
        {"vellum.exe x.vlm\"", nullptr},             // no opening quote
        {"\"", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::string argument = "stale";
        EXPECT_EQ(StartUpArgument(c.line, &argument), c.argument != nullptr) << c.line;
        EXPECT_EQ(argument, c.argument ? c.argument : "") << c.line;
    }
}

TEST(Paths, ParentAndDriveTopRulesOnBackslashTexts) {
    EXPECT_EQ(ParentFolder("C:\\Data\\Sub", '\\'), "C:\\Data");
    EXPECT_FALSE(ParentLeavesDrive("C:\\Data\\Sub", '\\'));
    EXPECT_EQ(ParentFolder("C:\\Data", '\\'), "C:");
    EXPECT_TRUE(ParentLeavesDrive("C:\\Data", '\\'));
    EXPECT_TRUE(ParentLeavesDrive("C:\\", '\\'));
    EXPECT_TRUE(ParentLeavesDrive("", '\\'));
    EXPECT_EQ(JoinFolder("C:\\", "Docs", '\\'), "C:\\\\Docs");  // accepted by the file system
    EXPECT_EQ(JoinFolder("C:\\Data", "Docs", '\\'), "C:\\Data\\Docs");
    EXPECT_EQ(JoinFolder("", "Docs", '\\'), "Docs");
    EXPECT_EQ(WithTrailingSeparator("C:\\out", '\\'), "C:\\out\\");
    EXPECT_EQ(WithTrailingSeparator("", '\\'), "");
}

TEST(Paths, TextsLongerThanTheBuffersAreRefusedNotCut) {
    char out[kTextSize] = "before";
    EXPECT_FALSE(CopyText(out, std::string(1024, 'a')));
    EXPECT_STREQ(out, "before");
    EXPECT_TRUE(CopyText(out, std::string(1023, 'a')));
    EXPECT_EQ(std::string(out).size(), 1023u);
}

TEST(Toolbar, PicturesAndTheirPlaces) {
    std::string candidates[2];
    ASSERT_EQ(ToolbarImageCandidates(ToolbarImage::buffer512, "", candidates), 1);
    EXPECT_EQ(candidates[0], "IMAGES/buffer512.bmp");
    ASSERT_EQ(ToolbarImageCandidates(ToolbarImage::erase, "C:\\Prog", candidates), 2);
    EXPECT_EQ(candidates[0], "IMAGES/delete.bmp");
#ifdef _WIN32
    EXPECT_EQ(candidates[1], "C:\\Prog\\IMAGES\\delete.bmp");
#else
    EXPECT_EQ(candidates[1], "C:/Prog/IMAGES/delete.bmp");
#endif
    EXPECT_EQ(InitialButtonImage(ToolbarButton::solid), ToolbarImage::solidoff);
    EXPECT_EQ(InitialButtonImage(ToolbarButton::buffer), ToolbarImage::buffer128);
    EXPECT_EQ(InitialButtonImage(ToolbarButton::erase), ToolbarImage::erase);
}

using Commands = AppFixture;

TEST_F(Commands, BufferPressedSevenTimesComesBackTo128) {
    for (int i = 0; i < 7; ++i) PressButton(*context, ToolbarButton::buffer);
    const std::vector<ToolbarImage> expected = {
        ToolbarImage::buffer256, ToolbarImage::buffer512, ToolbarImage::buffer8,  ToolbarImage::buffer16,
        ToolbarImage::buffer32,  ToolbarImage::buffer64,  ToolbarImage::buffer128};
    EXPECT_EQ(ui.buffer_images, expected);
    EXPECT_EQ(state->buffer_setting, 4);
}

TEST_F(Commands, TogglesIgnoredInTheArchiveViewAndWorkingAfterDrive) {
    WriteBytes(dir / "a.txt", TextData(500, 1));
    ui.file_answers = {Path("a.txt"), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    OpenArchive(dir / "t.vlm");
    ASSERT_EQ(state->archive_view, 1);
    const size_t buffers = ui.buffer_images.size(), solids = ui.solid_images.size();
    PressButton(*context, ToolbarButton::solid);
    PressButton(*context, ToolbarButton::buffer);
    EXPECT_EQ(state->solid, 0);
    EXPECT_EQ(state->buffer_setting, 4);
    EXPECT_EQ(ui.buffer_images.size(), buffers);
    EXPECT_EQ(ui.solid_images.size(), solids);

    ShowFolder(dir);
    EXPECT_EQ(state->archive_view, 0);
    PressButton(*context, ToolbarButton::solid);
    PressButton(*context, ToolbarButton::buffer);
    EXPECT_EQ(state->solid, 1);
    EXPECT_EQ(ui.solid_images.back(), ToolbarImage::solid);
    EXPECT_EQ(ui.buffer_images.back(), ToolbarImage::buffer256);
    PressButton(*context, ToolbarButton::solid);
    EXPECT_EQ(ui.solid_images.back(), ToolbarImage::solidoff);
}

TEST_F(Commands, SelectAllMarksFilesAndFoldersButNotTheParentRow) {
    fs::create_directories(dir / "sub");
    WriteBytes(dir / "one.txt", "1");
    WriteBytes(dir / "two.txt", "22");
    ShowFolder(dir);
    ASSERT_EQ(Rows(), 4);
    RunMenuCommand(*context, kCmdSelectAll);
    EXPECT_EQ(state->selected_count, 3u);
    EXPECT_EQ(state->row_marks[0], 0);
    EXPECT_EQ(Colour(0), kColourFolder);
    for (int r = 1; r < 4; ++r) {
        EXPECT_EQ(state->row_marks[r], 1);
        EXPECT_EQ(Colour(r), kColourMarked);
    }
    for (int r = 1; r < 4; ++r) {
        Focus(r);
        PressButton(*context, ToolbarButton::remove);
    }
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(Colour(1), kColourFolder);
    EXPECT_EQ(Colour(2), kColourFile);
    PressButton(*context, ToolbarButton::compress);
    EXPECT_EQ(ui.boxes, std::vector<Box>({{"Please select any File/Dir", "Warning", 0x30}}));
    EXPECT_TRUE(ui.file_dialogs.empty());
}

TEST_F(Commands, SelectAndRemoveCountEachRowOnce) {
    WriteBytes(dir / "one.txt", "1");
    ShowFolder(dir);
    Focus(1);
    PressButton(*context, ToolbarButton::select);
    PressButton(*context, ToolbarButton::select);
    EXPECT_EQ(state->selected_count, 1u);
    Focus(0);  // the parent row is never marked
    PressButton(*context, ToolbarButton::select);
    EXPECT_EQ(state->selected_count, 1u);
    RunMenuCommand(*context, kCmdDeselectAll);
    EXPECT_EQ(state->selected_count, 0u);
    EXPECT_EQ(state->row_marks[1], 0);
    PressButton(*context, ToolbarButton::remove);
    EXPECT_EQ(state->selected_count, 0u);
}

// Each warning, in the view where it is shown, with nothing else changed.
TEST_F(Commands, WarningsOfEachCommandInTheFolderView) {
    WriteBytes(dir / "one.txt", "1");
    ShowFolder(dir);
    const Box select{"Please select any File/Dir", "Warning", 0x30};
    const Box open{"Open Archive", "Warning", 0x30};
    struct Case {
        const char* what;
        std::function<void()> run;
        Box box;
    } cases[] = {
        {"compress", [&] { PressButton(*context, ToolbarButton::compress); }, select},
        {"extract", [&] { PressButton(*context, ToolbarButton::extract); }, open},
        {"extract here", [&] { RunMenuCommand(*context, kCmdExtractHere); }, open},
        {"info", [&] { RunMenuCommand(*context, kCmdArchiveInfo); }, {"Open Archive ", "Warning", 0}},
        {"single file", [&] {
             ui.file_answers.push_back(Path("missing.txt"));
             RunMenuCommand(*context, kCmdCompressFile);
         }, {"File Not Exist", "Warning", 0x40}},
        {"single folder cancelled", [&] {
             ui.folder_answers.push_back("");
             RunMenuCommand(*context, kCmdCompressFolder);
         }, {"", "source", 0}},
    };
    for (Case& c : cases) {
        ui.boxes.clear();
        c.run();
        EXPECT_EQ(ui.boxes, std::vector<Box>({c.box})) << c.what;
        EXPECT_EQ(ui.progress_opened, 0) << c.what;
        EXPECT_TRUE(ui.file_answers.empty() && ui.folder_answers.empty()) << c.what;
    }
    EXPECT_EQ(Rows(), 2);
    // Marked rows but no archive: the extract commands still say "Open Archive".
    Focus(1);
    PressButton(*context, ToolbarButton::select);
    ui.boxes.clear();
    PressButton(*context, ToolbarButton::extract);
    EXPECT_EQ(ui.boxes, std::vector<Box>({open}));
    // The Delete button does nothing outside the archive view.
    ui.boxes.clear();
    PressButton(*context, ToolbarButton::erase);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(Commands, WarningsOfEachCommandInTheArchiveView) {
    WriteBytes(dir / "a.txt", TextData(300, 2));
    ui.file_answers = {Path("a.txt"), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    OpenArchive(dir / "t.vlm");
    ASSERT_EQ(state->archive_view, 1);
    const Box only{"Only Extraction", "Warning", 0x30};
    const Box select{"Please select any File/Dir", "Warning", 0x30};
    struct Case {
        const char* what;
        ToolbarButton button;
        int menu;  // 0: the button
        bool marked;
        Box box;
    } cases[] = {
        {"compress, nothing marked", ToolbarButton::compress, 0, false, only},
        {"compress, marked", ToolbarButton::compress, 0, true, only},
        {"extract, nothing marked", ToolbarButton::extract, 0, false, select},
        {"extract here, nothing marked", ToolbarButton::extract, kCmdExtractHere, false, select},
        {"delete, nothing marked", ToolbarButton::erase, 0, false, select},
    };
    for (const Case& c : cases) {
        RunMenuCommand(*context, kCmdDeselectAll);
        if (c.marked) RunMenuCommand(*context, kCmdSelectAll);
        ui.boxes.clear();
        if (c.menu) RunMenuCommand(*context, c.menu);
        else PressButton(*context, c.button);
        EXPECT_EQ(ui.boxes, std::vector<Box>({c.box})) << c.what;
        EXPECT_TRUE(ui.file_dialogs.size() == 3 && ui.folder_dialogs == 0) << c.what;
    }
    EXPECT_EQ(ui.progress_opened, 0);
}

TEST_F(Commands, RefusedWhileADialogIsOpen) {
    WriteBytes(dir / "one.txt", "1");
    ShowFolder(dir);
    Focus(1);
    // While the open dialog is up, only Select, Remove, Delete, Exit and the grid
    // get through.
    ui.on_dialog = [&] {
        EXPECT_EQ(state->busy, 1);
        PressButton(*context, ToolbarButton::buffer);
        PressButton(*context, ToolbarButton::solid);
        RunMenuCommand(*context, kCmdAbout);
        RunMenuCommand(*context, kCmdSelectAll);
        PressButton(*context, ToolbarButton::select);
    };
    ui.file_answers.push_back("");
    RunMenuCommand(*context, kCmdOpenArchive);
    EXPECT_EQ(state->busy, 0);
    EXPECT_EQ(state->buffer_setting, 4);
    EXPECT_EQ(state->solid, 0);
    EXPECT_EQ(ui.abouts, 0);
    EXPECT_EQ(state->selected_count, 1u);  // Select worked
    ui.on_dialog = nullptr;
    RunMenuCommand(*context, kCmdAbout);
    EXPECT_EQ(ui.abouts, 1);
}

TEST_F(Commands, MenuIdsThatAreNoCommandGoToTheDefaultHandler) {
    for (int id : {103, 106, 107, 108, 109, 110, 114, 120, 1}) EXPECT_FALSE(RunMenuCommand(*context, id)) << id;
    EXPECT_TRUE(RunMenuCommand(*context, kCmdExit));
    EXPECT_EQ(ui.main_closed, 1);
}

TEST_F(Commands, OpenArchiveCancelledKeepsThePathAndTheView) {
    WriteBytes(dir / "a.txt", TextData(300, 3));
    ui.file_answers = {Path("a.txt"), Path("t")};
    RunMenuCommand(*context, kCmdCompressFile);
    OpenArchive(dir / "t.vlm");
    const int rows = Rows();
    ui.file_answers.push_back("");
    RunMenuCommand(*context, kCmdOpenArchive);
    EXPECT_EQ(std::string(state->archive_path), Path("t.vlm"));
    EXPECT_EQ(state->archive_view, 1);
    EXPECT_EQ(Rows(), rows);
    // A path longer than the buffers is refused with a message, the old one kept.
    ui.file_answers.push_back(Path(std::string(1100, 'x')));
    RunMenuCommand(*context, kCmdOpenArchive);
    EXPECT_EQ(LastBox().caption, "Path too long (at most 1023 characters)");
    EXPECT_EQ(std::string(state->archive_path), Path("t.vlm"));
    // Not an archive: the core's box, the previous archive in force.
    WriteBytes(dir / "junk.vlm", "this is no archive at all");
    ui.file_answers.push_back(Path("junk.vlm"));
    RunMenuCommand(*context, kCmdOpenArchive);
    EXPECT_EQ(LastBox(), (Box{"It is not a Archive", "Warning", 0x30}));
    EXPECT_EQ(std::string(state->archive_path), Path("t.vlm"));
    EXPECT_EQ(Rows(), rows);
}

TEST_F(Commands, StartUpWithAnArchiveOrWithTheFolderChooser) {
    WriteBytes(dir / "a.txt", TextData(300, 4));
    ui.file_answers = {Path("a.txt"), Path("t")};
    ui.folder_answers.push_back(dir.string());
    StartUp(*context, "\"vellum.exe\"");
    EXPECT_EQ(ui.folder_dialogs, 1);
    EXPECT_EQ(state->archive_view, 0);
    EXPECT_EQ(Cell(0, 1), " ..");
    RunMenuCommand(*context, kCmdCompressFile);

    state->archive_view = 0;
    const std::string line = "\"C:\\Prog\\vellum.exe\" \"" + Path("t.vlm") + "\"";
    StartUp(*context, line.c_str());
    EXPECT_EQ(ui.folder_dialogs, 1);  // no chooser
    EXPECT_EQ(state->archive_view, 1);
    EXPECT_EQ(std::string(state->archive_path), Path("t.vlm"));
    EXPECT_EQ(Cell(0, 1), "a.txt");
}

TEST_F(Commands, AStartUpArgumentLongerThanTheBuffersIsRefused) {
    ui.folder_answers.push_back(dir.string());
    const std::string line = "\"vellum.exe\" \"" + std::string(1100, 'x') + "\"";
    StartUp(*context, line.c_str());
    EXPECT_EQ(LastBox().caption, "Path too long (at most 1023 characters)");
    EXPECT_EQ(state->archive_view, 0);
    EXPECT_EQ(std::string(state->archive_path), "");
    EXPECT_EQ(ui.folder_dialogs, 1);  // the folder view instead
    EXPECT_EQ(Cell(0, 1), " ..");
}

}  // namespace
}  // namespace vellum::apptest
