// The commands driven through the real main window: WM_COMMAND from the
// toolbar, the menu and the grid, with only the dialogs scripted.
#include "app_test_host.h"

#include <commctrl.h>

#include <regex>

#include "grid/grid_geometry.h"
#include "grid/grid_registry.h"

using namespace apptest;
using vellum::app::ToolbarButton;
using vellum::app::ToolbarImage;

namespace {

constexpr UINT kWarning = MB_ICONWARNING;
constexpr UINT kInformation = MB_ICONINFORMATION;

// A folder view of a folder holding two files and a sub-folder with two more.
class FolderViewTest : public MainWindowTest {
protected:
    std::string StartFolder() override {
        src_ = MakeFolder(Scratch() + "\\src");
        MakeFolder(src_ + "\\sub");
        files_ = {{"a.txt", SampleBytes(30000, 1)},
                  {"b.bin", SampleBytes(5000, 2)},
                  {"sub\\c.txt", SampleBytes(70000, 3)},
                  {"sub\\d.txt", ""}};
        for (const auto& f : files_) WriteFile(src_ + "\\" + f.first, f.second);
        return src_;
    }
    const RecordedBox& LastBox() {
        static const RecordedBox none{nullptr, "<no box>", "", 0};
        return Script().boxes.empty() ? none : Script().boxes.back();
    }
    // Marks every row, compresses into archive through the Compress button.
    void CompressAll(const std::string& archive) {
        Menu(IDM_SELECT_ALL);
        Script().files.push_back(archive);
        Press(ToolbarButton::compress);
    }
    // Opens the archive, marks every row, extracts them into destination.
    void ExtractAll(const std::string& archive, const std::string& destination) {
        Script().files.push_back(archive);
        Menu(IDM_OPEN_ARCHIVE);
        Menu(IDM_SELECT_ALL);
        Script().folders.push_back(destination);
        Press(ToolbarButton::extract);
    }
    void ExpectSameFiles(const std::string& folder, const std::string& prefix = "src\\") {
        for (const auto& f : files_) {
            const std::string path = folder + "\\" + (f.first.find('\\') == std::string::npos
                                                          ? f.first
                                                          : prefix + f.first);
            EXPECT_EQ(ReadFile(path), f.second) << path;
        }
    }
    std::string src_;
    std::vector<std::pair<std::string, std::string>> files_;
};

struct BoxCase {
    const char* name;
    bool archive_view;
    std::function<void(FolderViewTest&)> act;
    const char* text;
    const char* caption;
    UINT flags;
};

}  // namespace

TEST_F(FolderViewTest, FolderViewRowsOfTheChosenFolder) {
    ASSERT_EQ(Script().choosers.size(), 1u);
    const RecordedChooser& chooser = Script().choosers[0];
    EXPECT_EQ(chooser.title, "Vellum choose Directory for compression");
    EXPECT_EQ(chooser.owner, nullptr);
    EXPECT_FALSE(chooser.root_set);
    EXPECT_EQ(chooser.flags, 0u);
    EXPECT_FALSE(chooser.callback_set);
    EXPECT_FALSE(chooser.display_name_set);
    ASSERT_EQ(RowCount(), 4);
    EXPECT_EQ(Cell(0, 1), " ..");
    EXPECT_EQ(Cell(1, 0), "[__]");
    EXPECT_EQ(Cell(1, 1), "sub");
    EXPECT_EQ(State().archive_view, 0);
    EXPECT_NE(FindRow("a.txt"), -1);
    EXPECT_EQ(Cell(FindRow("a.txt"), 2), "30000");
}

// A double-click on a folder row is acted on at the grid's next selection
// notification: the notification reaches the window by the grid's handle.
TEST_F(FolderViewTest, DoubleClickThenClickOpensTheFolder) {
    DataGridRecord* record = FindGridRecord(State().grid.GetHWnd());
    ASSERT_NE(record, nullptr);
    GridRect cell = CellRect(*record, MeasureGridLayout(*record), 1, 1);
    const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    SendMessageA(Grid(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Grid(), WM_LBUTTONUP, 0, at);
    SendMessageA(Grid(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(Grid(), WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(Cell(1, 1), "sub");  // not yet
    SendMessageA(Grid(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(Grid(), WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(RowCount(), 3);
    EXPECT_EQ(Cell(0, 1), " ..");
    EXPECT_NE(FindRow("c.txt"), -1);
    EXPECT_NE(FindRow("d.txt"), -1);
    EXPECT_EQ(std::string(State().current_folder), src_ + "\\sub");
}

TEST_F(FolderViewTest, MessageBoxesOfTheCommands) {
    const std::string archive = Scratch() + "\\boxes.vlm";
    const BoxCase cases[] = {
        {"Compress, nothing marked", false, [](FolderViewTest& t) { t.Press(ToolbarButton::compress); },
         "Please select any File/Dir", "Warning", kWarning},
        {"Extract button, no archive", false, [](FolderViewTest& t) { t.Press(ToolbarButton::extract); },
         "Open Archive", "Warning", kWarning},
        {"Extract here, no archive", false, [](FolderViewTest& t) { t.Menu(IDM_EXTRACT_HERE); },
         "Open Archive", "Warning", kWarning},
        {"Info, no archive", false, [](FolderViewTest& t) { t.Menu(IDM_ARCHIVE_INFO); },
         "Open Archive ", "Warning", 0},
        {"Compress single Folder cancelled", false,
         [](FolderViewTest& t) { t.Menu(IDM_COMPRESS_FOLDER); }, "", "source", 0},
        {"Compress single File, missing file", false,
         [](FolderViewTest& t) {
             Script().files.push_back(t.Scratch() + "\\no such file.txt");
             t.Menu(IDM_COMPRESS_FILE);
         },
         "File Not Exist", "Warning", kInformation},
        {"Compress in the archive view", true, [](FolderViewTest& t) { t.Press(ToolbarButton::compress); },
         "Only Extraction", "Warning", kWarning},
        {"Extract, nothing marked", true, [](FolderViewTest& t) { t.Press(ToolbarButton::extract); },
         "Please select any File/Dir", "Warning", kWarning},
        {"Delete, nothing marked", true, [](FolderViewTest& t) { t.Press(ToolbarButton::erase); },
         "Please select any File/Dir", "Warning", kWarning},
    };
    bool archive_made = false;
    for (const BoxCase& c : cases) {
        if (c.archive_view && !archive_made) {
            CompressAll(archive);
            Script().files.push_back(archive);
            Menu(IDM_OPEN_ARCHIVE);
            ASSERT_EQ(State().archive_view, 1);
            archive_made = true;
        }
        Script().boxes.clear();
        c.act(*this);
        ASSERT_EQ(Script().boxes.size(), 1u) << c.name;
        EXPECT_EQ(LastBox().text, c.text) << c.name;
        EXPECT_EQ(LastBox().caption, c.caption) << c.name;
        EXPECT_EQ(LastBox().flags, c.flags) << c.name;
        EXPECT_EQ(LastBox().owner, nullptr) << c.name;
    }
}

// One box shown for real: the text, caption and icon reach MessageBoxA.
TEST_F(FolderViewTest, RealMessageBox) {
    Script().real_message_boxes = true;
    std::string text;
    bool icon = false;
    const bool shown = AnswerModal("Warning", [&](HWND box) {
        char buffer[256] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        // The warning icon: a visible icon static holding an icon.
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            icon |= (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
                    SendMessageA(c, STM_GETICON, 0, 0) != 0;
    }, IDOK, [&] { Press(ToolbarButton::compress); });
    ASSERT_TRUE(shown);
    EXPECT_EQ(text, "Please select any File/Dir");
    EXPECT_TRUE(icon);
}

TEST_F(FolderViewTest, SolidAndBufferImagesFollowEachPress) {
    Press(ToolbarButton::solid);
    EXPECT_EQ(ButtonImage(ToolbarButton::solid), Image(ToolbarImage::solid));
    EXPECT_EQ(State().solid, 1);
    Press(ToolbarButton::solid);
    EXPECT_EQ(ButtonImage(ToolbarButton::solid), Image(ToolbarImage::solidoff));
    EXPECT_EQ(State().solid, 0);
    const ToolbarImage sequence[] = {ToolbarImage::buffer256, ToolbarImage::buffer512,
                                     ToolbarImage::buffer8,   ToolbarImage::buffer16,
                                     ToolbarImage::buffer32,  ToolbarImage::buffer64,
                                     ToolbarImage::buffer128};
    for (ToolbarImage expected : sequence) {
        Press(ToolbarButton::buffer);
        EXPECT_EQ(ButtonImage(ToolbarButton::buffer), Image(expected))
            << static_cast<int>(expected);
    }
    EXPECT_EQ(State().buffer_setting, 4);
}

TEST_F(FolderViewTest, TogglesIgnoredInTheArchiveViewUntilDrive) {
    const std::string archive = Scratch() + "\\toggles.vlm";
    CompressAll(archive);
    Script().files.push_back(archive);
    Menu(IDM_OPEN_ARCHIVE);
    ASSERT_EQ(State().archive_view, 1);
    HBITMAP solid = ButtonImage(ToolbarButton::solid);
    HBITMAP buffer = ButtonImage(ToolbarButton::buffer);
    Press(ToolbarButton::solid);
    Press(ToolbarButton::buffer);
    EXPECT_EQ(ButtonImage(ToolbarButton::solid), solid);
    EXPECT_EQ(ButtonImage(ToolbarButton::buffer), buffer);
    Script().folders.push_back(src_);
    Press(ToolbarButton::drive);
    EXPECT_EQ(State().archive_view, 0);
    Press(ToolbarButton::solid);
    EXPECT_EQ(ButtonImage(ToolbarButton::solid), Image(ToolbarImage::solid));
}

TEST_F(FolderViewTest, FileDialogAsHandedToTheSystem) {
    Script().files.push_back("");
    Menu(IDM_OPEN_ARCHIVE);
    ASSERT_EQ(Script().file_dialogs.size(), 1u);
    const RecordedFileDialog& d = Script().file_dialogs[0];
    EXPECT_FALSE(d.save);
    // The structure without its Windows 2000 fields: 76 bytes in a 32-bit
    // program, its 64-bit counterpart here.
    EXPECT_EQ(d.struct_size, sizeof(void*) == 4 ? 76u : 136u);
    EXPECT_LT(d.struct_size, sizeof(OPENFILENAMEA));
    EXPECT_EQ(d.owner, nullptr);
    EXPECT_EQ(d.filter, std::string("All Files (*.*)\0\0", 17));
    EXPECT_EQ(d.max_file, 1024u);
    EXPECT_TRUE(d.default_extension_set);
    EXPECT_EQ(d.default_extension, "");
    EXPECT_EQ(d.flags, static_cast<DWORD>(OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY));
    EXPECT_TRUE(d.initial_file_empty);
    EXPECT_EQ(State().archive_view, 0);  // cancelled: the view is unchanged
    EXPECT_EQ(State().busy, 0);
}

// Compress the whole folder view through the window, open the archive, mark
// every row, extract: every file comes back, in normal and in solid mode.
TEST_F(FolderViewTest, CompressThenExtractRoundTrip) {
    for (bool solid : {false, true}) {
        SCOPED_TRACE(solid ? "solid" : "normal");
        const std::string archive = Scratch() + (solid ? "\\solid.vlm" : "\\normal.vlm");
        const std::string out = MakeFolder(Scratch() + (solid ? "\\out-solid" : "\\out-normal"));
        if (solid) {
            Script().folders.push_back(src_);
            Press(ToolbarButton::drive);
            Press(ToolbarButton::solid);
        }
        Script().boxes.clear();
        CompressAll(archive);
        ASSERT_EQ(Script().boxes.size(), 1u);
        EXPECT_TRUE(Script().file_dialogs.back().save);
        EXPECT_EQ(Script().boxes[0].caption, "NOTICE");
        EXPECT_EQ(Script().boxes[0].flags, kInformation);
        const std::regex added("Added 4 files  105000 bytes to [0-9]+  in archive " +
                               std::regex_replace(archive, std::regex(R"(\\)"), R"(\\)") +
                               " in [0-9]+\\.[0-9]{3} sec\\. ");
        EXPECT_TRUE(std::regex_match(Script().boxes[0].text, added)) << Script().boxes[0].text;
        EXPECT_EQ(State().selected_count, 0u);
        EXPECT_EQ(State().archive_view, 0);
        EXPECT_EQ(State().progress_window, nullptr);

        Script().boxes.clear();
        ExtractAll(archive, out);
        ASSERT_EQ(Script().boxes.size(), 1u);
        EXPECT_EQ(Script().boxes[0].caption, "DECOMPRESSION COMPLETED");
        EXPECT_EQ(Script().boxes[0].flags, kInformation);
        EXPECT_EQ(Script().boxes[0].text.rfind("Extracted 4 files ", 0), 0u) << Script().boxes[0].text;
        ExpectSameFiles(out, "");
        EXPECT_EQ(State().solid, solid ? 1 : 0);
    }
}

// Options > Strong compression in the real window: the archive it makes holds
// strong entries (class fields from 0x100 on), is smaller than the default
// one, and extracts byte for byte.
TEST_F(FolderViewTest, StrongCompressionThroughTheOptionsMenu) {
    const std::string plain = Scratch() + "\\plain.vlm", strong = Scratch() + "\\strong.vlm";
    CompressAll(plain);
    Menu(IDM_STRONG);
    ASSERT_EQ(State().strong, 1);
    CompressAll(strong);
    const std::string made = ReadFile(strong);
    EXPECT_LT(made.size(), ReadFile(plain).size());
    // The first record's class field: after the two lengths, the reserved
    // field and the two names, each behind its length.
    ASSERT_GT(made.size(), 12u + 24u);
    size_t at = 12 + 8 + 8 + 2;
    const size_t folder = static_cast<uint8_t>(made[at]) | static_cast<uint8_t>(made[at + 1]) << 8;
    at += 2 + folder;
    const size_t name = static_cast<uint8_t>(made[at]) | static_cast<uint8_t>(made[at + 1]) << 8;
    at += 2 + name;
    ASSERT_LT(at + 1, made.size());
    EXPECT_GE(static_cast<uint8_t>(made[at]) | static_cast<uint8_t>(made[at + 1]) << 8, 0x100);
    const std::string out = MakeFolder(Scratch() + "\\out-strong");
    Script().boxes.clear();
    ExtractAll(strong, out);
    ASSERT_EQ(Script().boxes.size(), 1u);
    EXPECT_EQ(Script().boxes[0].text.rfind("Extracted 4 files ", 0), 0u) << Script().boxes[0].text;
    ExpectSameFiles(out, "");
}

TEST_F(FolderViewTest, CorpusRoundTripThroughExtractHere) {
    const std::string corpus = CorpusFolder();
    if (corpus.empty()) GTEST_SKIP() << "the shared corpus is not there";
    const std::string folder = MakeFolder(Scratch() + "\\corpus-view");
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((corpus + "\\*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    for (const std::string& n : names) WriteFile(folder + "\\" + n, ReadFile(corpus + "\\" + n));
    Script().folders.push_back(folder);
    Press(ToolbarButton::drive);
    const std::string archive_folder = MakeFolder(Scratch() + "\\archives");
    const std::string archive = archive_folder + "\\corpus.vlm";
    CompressAll(archive);
    // Opening the archive makes its folder the current one; "Extract here" writes there.
    Script().files.push_back(archive);
    Menu(IDM_OPEN_ARCHIVE);
    EXPECT_EQ(RowCount(), static_cast<int>(names.size()));
    Menu(IDM_SELECT_ALL);
    Menu(IDM_EXTRACT_HERE);
    for (const std::string& n : names)
        EXPECT_EQ(ReadFile(archive_folder + "\\" + n), ReadFile(corpus + "\\" + n)) << n;
}

// --- a long command: the window stays alive, Stop ends it at a safe point ------------

namespace {

struct LongCommandProbe {
    vellum::app::AppContext* context = nullptr;
    vellum::app::Win32Ui* ui = nullptr;
    HWND solid_button = nullptr;
    HWND main = nullptr;
    std::string stop_after;  // Stop once this name is on the FILE line
    bool close_instead = false;
    int ticks_while_running = 0;
    bool poked = false;
    bool stopped = false;
    std::vector<vellum::app::ProgressLine> lines;  // as kept when Stop was pressed
};
LongCommandProbe g_probe;

// Sees every message sent to a window of this thread. Each step of the bar is
// one, so the probe acts at a point of the command, not at a moment: the second
// step of the large file, whose name the FILE line shows from its first step.
LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    LongCommandProbe& p = g_probe;
    if (code == HC_ACTION && sent->message == PBM_SETPOS && p.context && p.context->running &&
        sent->hwnd == p.ui->Progress().bar) {
        ++p.ticks_while_running;
        if (!p.poked) {
            // A toolbar press arriving during the command is refused.
            PostMessageA(p.solid_button, BM_CLICK, 0, 0);
            p.poked = true;
        }
        if (!p.stopped && sent->wParam < static_cast<WPARAM>(vellum::app::kProgressBarSteps)) {
            for (const vellum::app::ProgressLine& line : p.ui->Progress().lines) {
                if (line.x != 60 || line.y != 30 || line.text != p.stop_after) continue;
                p.lines = p.ui->Progress().lines;
                if (p.close_instead) PostMessageA(p.main, WM_CLOSE, 0, 0);
                else PostMessageA(GetDlgItem(p.ui->Progress().window, vellum::app::kStopButtonId), BM_CLICK, 0, 0);
                p.stopped = true;
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class LongCommandTest : public FolderViewTest {
protected:
    std::string StartFolder() override {
        big_ = MakeFolder(Scratch() + "\\big");
        WriteFile(big_ + "\\1-small.txt", SampleBytes(40000, 7));
        // Large enough for many steps of the bar inside it.
        WriteFile(big_ + "\\2-large.bin", SampleBytes(16u << 20, 8));
        return big_;
    }
    void Run(const std::function<void()>& command, const std::string& stop_after, bool close) {
        g_probe = LongCommandProbe{};
        g_probe.context = &Context();
        g_probe.ui = &Ui();
        g_probe.solid_button = Button(ToolbarButton::solid);
        g_probe.main = Main();
        g_probe.stop_after = stop_after;
        g_probe.close_instead = close;
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, ProbeHook, nullptr, GetCurrentThreadId());
        command();
        UnhookWindowsHookEx(hook);
        g_probe.context = nullptr;
    }
    std::string big_;
};

}  // namespace

// Stop inside a large file: the drivers see it at their next safe point, so the
// entry in work is cut back (compressing) or its part-written output removed.
TEST_F(LongCommandTest, StopDuringCompressKeepsTheFinishedEntries) {
    const std::string archive = Scratch() + "\\stopped.vlm";
    Run([&] { CompressAll(archive); }, "2-large.bin", false);
    EXPECT_TRUE(g_probe.stopped);
    EXPECT_GT(g_probe.ticks_while_running, 1);
    EXPECT_EQ(State().solid, 0);  // the press during the command was refused
    EXPECT_EQ(State().progress_window, nullptr);
    ASSERT_FALSE(Script().boxes.empty());
    EXPECT_EQ(Script().boxes.back().text.rfind("Added 1 files  40000 bytes to ", 0), 0u)
        << Script().boxes.back().text;
    // The archive holds the finished entry and nothing of the stopped one.
    Script().files.push_back(archive);
    Menu(IDM_OPEN_ARCHIVE);
    ASSERT_EQ(RowCount(), 1);
    EXPECT_EQ(Cell(0, 1), "1-small.txt");
    const std::string out = MakeFolder(Scratch() + "\\out");
    Menu(IDM_SELECT_ALL);
    Script().folders.push_back(out);
    Press(ToolbarButton::extract);
    EXPECT_EQ(ReadFile(out + "\\1-small.txt"), SampleBytes(40000, 7));
}

TEST_F(LongCommandTest, StopDuringExtractRemovesThePartFile) {
    const std::string archive = Scratch() + "\\whole.vlm";
    CompressAll(archive);
    const std::string out = MakeFolder(Scratch() + "\\out");
    Run([&] { ExtractAll(archive, out); }, out + "\\2-large.bin", false);
    EXPECT_TRUE(g_probe.stopped);
    EXPECT_EQ(ReadFile(out + "\\1-small.txt"), SampleBytes(40000, 7));
    EXPECT_FALSE(FileExists(out + "\\2-large.bin"));
    EXPECT_EQ(Script().boxes.back().text.rfind("Extracted 1 files ", 0), 0u)
        << Script().boxes.back().text;
}

// During a command the message loop keeps turning (timers fire, presses are
// refused); closing the main window asks the command to stop and the window
// closes once the command has returned.
TEST_F(LongCommandTest, ClosingTheWindowDuringACommand) {
    const std::string archive = Scratch() + "\\closed.vlm";
    Run([&] { CompressAll(archive); }, "2-large.bin", true);
    EXPECT_TRUE(g_probe.stopped);
    EXPECT_GT(g_probe.ticks_while_running, 1);
    EXPECT_TRUE(g_probe.poked);
    EXPECT_EQ(State().solid, 0);  // the Solid press during the command was refused
    EXPECT_FALSE(IsWindow(Main()));
    EXPECT_TRUE(FileExists(archive));
    // The status lines of the real command, at their places.
    struct Expected { int x, y; const char* starts; };
    const Expected expected[] = {
        {10, 10, "ARCHIVE: "}, {72, 10, archive.c_str()}, {10, 30, "FILE:    "}, {60, 30, "2-large.bin"},
        {10, 50, "TIME: "},    {10, 70, "FILES PROCESSED : "}, {10, 90, "PROCESSED : "},
        {10, 110, "COMPRESSED: "}};
    for (const Expected& e : expected) {
        bool found = false;
        for (const vellum::app::ProgressLine& line : g_probe.lines)
            found |= line.x == e.x && line.y == e.y && line.text.rfind(e.starts, 0) == 0;
        EXPECT_TRUE(found) << e.x << "," << e.y << " " << e.starts;
    }
}

TEST_F(FolderViewTest, ExitDestroysTheWindow) {
    Menu(IDM_EXIT);
    EXPECT_FALSE(IsWindow(Main()));
}
