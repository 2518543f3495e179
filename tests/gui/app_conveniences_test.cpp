// The real main window with names in Latin, Greek, Japanese and emoji, paths
// longer than 260 characters, the title, the keys through the accelerator
// table, sorting by a click on a column title, files dropped on the window (a
// built HDROP), and message boxes naming long paths.
#include "app_test_host.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "grid/grid_geometry.h"
#include "grid/grid_registry.h"
#include "platform/wide_text.h"

using namespace apptest;
using vellum::app::ToolbarButton;

namespace {

const char kCafe[] = "caf\xc3\xa9 \xc3\xa9.txt";                                       // café é.txt
const char kGreek[] = "\xce\x95\xce\xbb\xce\xbb\xce\xb7\xce\xbd\xce\xb9\xce\xba\xce\xac";  // Ελληνικά
const char kJapanese[] = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e \xf0\x9f\x98\x80.txt";       // 日本語 😀.txt

std::wstring WindowTextOf(HWND hwnd) {
    wchar_t text[2048] = L"";
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

// The modifier keys as TranslateAccelerator reads them.
void HoldControl(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A key pressed while the grid has the focus, through the message loop's
// accelerator translation.
bool Key(HWND main, HWND grid, WPARAM key) {
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg{};
    msg.hwnd = grid;
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    msg.lParam = 1;
    const bool translated = vellum::app::TranslateMainAccelerator(main, table, &msg);
    Pump();
    return translated;
}

// What the shell hands a window when files are dropped on it.
HGLOBAL BuildDrop(const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& p : paths) list += vellum::utf8_to_wide(p) + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

// A folder with names in four scripts, one of them a folder.
class UnicodeTest : public MainWindowTest {
protected:
    std::string StartFolder() override {
        src_ = MakeFolder(Scratch() + "\\src");
        MakeFolder(src_ + "\\" + kGreek);
        WriteFile(src_ + "\\" + kCafe, SampleBytes(3000, 1));
        WriteFile(src_ + "\\" + kJapanese, SampleBytes(5000, 2));
        WriteFile(src_ + "\\" + kGreek + "\\alpha.txt", SampleBytes(700, 3));
        WriteFile(src_ + "\\plain.txt", SampleBytes(100, 4));
        return src_;
    }
    const RecordedBox& LastBox() {
        static const RecordedBox none{nullptr, "<no box>", "", 0};
        return Script().boxes.empty() ? none : Script().boxes.back();
    }
    void ClickHeader(int column) {
        DataGridRecord* record = FindGridRecord(Grid());
        const GridRect title = HeaderLayoutRect(*record, MeasureGridLayout(*record), column);
        const LPARAM at = MAKELPARAM((title.left + title.right) / 2, (title.top + title.bottom) / 2);
        SendMessageW(Grid(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(Grid(), WM_LBUTTONUP, 0, at);
        Pump();
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int r = 0; r < RowCount(); ++r) names.push_back(Cell(r, 1));
        return names;
    }
    std::string src_;
};

}  // namespace

// Every name is listed as it is, compressed, and extracted under the same name.
TEST_F(UnicodeTest, NamesInFourScriptsRoundTripThroughTheWindow) {
    EXPECT_NE(FindRow(kCafe), -1);
    EXPECT_NE(FindRow(kJapanese), -1);
    EXPECT_EQ(Cell(FindRow(kJapanese), 2), "5000");  // its size read through its name
    EXPECT_EQ(Cell(FindRow(kGreek), 0), "[__]");
    Menu(IDM_SELECT_ALL);
    Script().files.push_back(Scratch() + "\\names.vlm");
    Press(ToolbarButton::compress);
    ASSERT_EQ(LastBox().caption, "NOTICE");
    EXPECT_EQ(LastBox().text.rfind("Added 4 files  8800 bytes to ", 0), 0u) << LastBox().text;

    Script().files.push_back(Scratch() + "\\names.vlm");
    Menu(IDM_OPEN_ARCHIVE);
    EXPECT_NE(FindRow(kJapanese), -1);
    EXPECT_NE(FindRow(kGreek), -1);
    Menu(IDM_SELECT_ALL);
    const std::string out = MakeFolder(Scratch() + "\\out");
    Script().folders.push_back(out);
    Press(ToolbarButton::extract);
    EXPECT_EQ(NamesIn(out), (std::vector<std::string>{kCafe, "plain.txt", kGreek, kJapanese}));
    EXPECT_EQ(ReadFile(out + "\\" + kJapanese), SampleBytes(5000, 2));
    EXPECT_EQ(ReadFile(out + "\\" + kGreek + "\\alpha.txt"), SampleBytes(700, 3));
}

// The grid draws the name's own characters: its cell holds exactly the pixels
// of the name drawn from UTF-16 in the cell's font, not those of its bytes
// read in a code page.
TEST_F(UnicodeTest, TheGridDrawsTheNamesCharacters) {
    const int row = FindRow(kJapanese);
    ASSERT_GE(row, 1);
    State().grid.SelectRow(0, 0);  // neither selected nor focused: a plain white cell
    DataGridRecord* record = FindGridRecord(Grid());
    const GridRect cell = CellRect(*record, MeasureGridLayout(*record), row, 1);
    RedrawWindow(Grid(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const int width = cell.right - cell.left - 2, height = cell.bottom - cell.top - 2;
    auto capture = [&](HDC from) {
        std::vector<COLORREF> pixels;
        for (int y = 1; y <= height; ++y)
            for (int x = 1; x <= width; ++x) pixels.push_back(GetPixel(from, cell.left + x, cell.top + y));
        return pixels;
    };
    HDC window = GetDC(Grid());
    const std::vector<COLORREF> drawn = capture(window);
    // The same cell drawn by hand into a bitmap: white, the cell font, the margins.
    auto by_hand = [&](const std::wstring& text) {
        HDC memory = CreateCompatibleDC(window);
        RECT client{};
        GetClientRect(Grid(), &client);
        HBITMAP bitmap = CreateCompatibleBitmap(window, client.right, client.bottom);
        HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
        RECT rc{cell.left, cell.top, cell.right, cell.bottom};
        FillRect(memory, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        HGDIOBJ old_font = SelectObject(memory, static_cast<HFONT>(record->cellFont));
        SetBkMode(memory, TRANSPARENT);
        SetTextColor(memory, 0);
        DRAWTEXTPARAMS params{sizeof params, 0, 5, 5, 0};
        std::wstring copy = text;
        DrawTextExW(memory, &copy[0], static_cast<int>(copy.size()), &rc,
                    DT_VCENTER | DT_SINGLELINE | DT_WORD_ELLIPSIS, &params);
        std::vector<COLORREF> pixels = capture(memory);
        SelectObject(memory, old_font);
        SelectObject(memory, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
        return pixels;
    };
    const std::vector<COLORREF> expected = by_hand(vellum::utf8_to_wide(kJapanese));
    std::wstring as_bytes;  // the name's bytes each taken for a character
    for (unsigned char c : std::string(kJapanese)) as_bytes += static_cast<wchar_t>(c);
    ReleaseDC(Grid(), window);
    EXPECT_NE(by_hand(as_bytes), expected);  // the comparison can tell them apart
    EXPECT_TRUE(drawn == expected);
}

TEST_F(UnicodeTest, TheTitleNamesTheFolderOrTheArchive) {
    EXPECT_EQ(WindowTextOf(Main()), vellum::utf8_to_wide("Vellum - " + src_));
    Menu(IDM_SELECT_ALL);
    Script().files.push_back(src_ + "\\" + kGreek + "\\\xce\xb1.vlm");  // α.vlm
    Press(ToolbarButton::compress);
    Script().files.push_back(src_ + "\\" + kGreek + "\\\xce\xb1.vlm");
    Menu(IDM_OPEN_ARCHIVE);
    EXPECT_EQ(WindowTextOf(Main()), L"Vellum - \u03b1.vlm");
    Script().folders.push_back(src_ + "\\" + kGreek);
    Press(ToolbarButton::drive);
    EXPECT_EQ(WindowTextOf(Main()), vellum::utf8_to_wide("Vellum - " + src_ + "\\" + kGreek));
}

// Enter, Backspace, F5, Ctrl+A and Delete through the accelerator table.
TEST_F(UnicodeTest, KeysOfTheMainWindow) {
    const int greek = FindRow(kGreek);
    State().grid.SelectRow(greek, 1);
    EXPECT_TRUE(Key(Main(), Grid(), VK_RETURN));
    EXPECT_EQ(std::string(State().current_folder), src_ + "\\" + kGreek);
    EXPECT_NE(FindRow("alpha.txt"), -1);
    EXPECT_TRUE(Key(Main(), Grid(), VK_BACK));
    EXPECT_EQ(std::string(State().current_folder), src_);

    WriteFile(src_ + "\\new.txt", "new");
    EXPECT_EQ(FindRow("new.txt"), -1);
    EXPECT_TRUE(Key(Main(), Grid(), VK_F5));
    EXPECT_NE(FindRow("new.txt"), -1);

    HoldControl(true);
    EXPECT_TRUE(Key(Main(), Grid(), 'A'));
    HoldControl(false);
    EXPECT_EQ(State().selected_count, static_cast<uint32_t>(RowCount() - 1));
    Script().files.push_back(src_ + "\\keys.vlm");
    Press(ToolbarButton::compress);
    EXPECT_TRUE(Key(Main(), Grid(), VK_F5));

    // Enter on an archive's row opens it; Delete there is the Delete button.
    State().grid.SelectRow(FindRow("keys.vlm"), 1);
    EXPECT_TRUE(Key(Main(), Grid(), VK_RETURN));
    ASSERT_EQ(State().archive_view, 1);
    MarkRow(FindRow("plain.txt"));
    Script().boxes.clear();
    EXPECT_TRUE(Key(Main(), Grid(), VK_DELETE));
    ASSERT_EQ(Script().boxes.size(), 1u);
    EXPECT_EQ(LastBox().text, "DELETED");
    EXPECT_EQ(FindRow("plain.txt"), -1);
    EXPECT_TRUE(FileExists(src_ + "\\plain.txt"));
}

// A click on a title sorts by it, a second one reverses; the marks and the
// offsets go with their rows, so what is extracted is what was marked.
TEST_F(UnicodeTest, ClickingAColumnTitleSorts) {
    ClickHeader(2);  // "Size": the parent row first, then the folder, then by value
    EXPECT_EQ(Names(), (std::vector<std::string>{" ..", kGreek, "plain.txt", kCafe, kJapanese}));
    ClickHeader(2);
    EXPECT_EQ(Names(), (std::vector<std::string>{" ..", kJapanese, kCafe, "plain.txt", kGreek}));
    Menu(IDM_SELECT_ALL);
    Script().files.push_back(Scratch() + "\\sorted.vlm");
    Press(ToolbarButton::compress);
    Script().files.push_back(Scratch() + "\\sorted.vlm");
    Menu(IDM_OPEN_ARCHIVE);
    ClickHeader(1);  // names without regard to case
    const std::vector<std::string> names = Names();
    EXPECT_EQ(names, (std::vector<std::string>{kCafe, "plain.txt", kGreek, kJapanese}));
    MarkRow(FindRow(kJapanese));
    EXPECT_EQ(FindGridRecord(Grid())->rows[FindRow(kJapanese)].color, 0xF55649u);
    const std::string out = MakeFolder(Scratch() + "\\one");
    Script().folders.push_back(out);
    Press(ToolbarButton::extract);
    EXPECT_EQ(NamesIn(out), std::vector<std::string>{kJapanese});
    EXPECT_EQ(ReadFile(out + "\\" + kJapanese), SampleBytes(5000, 2));
}

// An archive dropped on the window opens; files dropped on a normal archive's
// view are added with the progress window and the summary; a file dropped on
// the folder view gets a box saying what can be done.
TEST_F(UnicodeTest, DroppingOnTheWindow) {
    Script().boxes.clear();
    SendMessageW(Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(BuildDrop({src_ + "\\plain.txt"})), 0);
    Pump();
    ASSERT_EQ(Script().boxes.size(), 1u);
    EXPECT_EQ(LastBox().caption, "Vellum");
    EXPECT_EQ(State().archive_view, 0);

    MarkRow(FindRow("plain.txt"));
    Script().files.push_back(Scratch() + "\\drop.vlm");
    Press(ToolbarButton::compress);
    SendMessageW(Main(), WM_DROPFILES, reinterpret_cast<WPARAM>(BuildDrop({Scratch() + "\\drop.vlm"})), 0);
    Pump();
    ASSERT_EQ(State().archive_view, 1);
    EXPECT_EQ(Names(), std::vector<std::string>{"plain.txt"});

    Script().boxes.clear();
    SendMessageW(Main(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(BuildDrop({src_ + "\\" + kGreek, src_ + "\\" + kJapanese})), 0);
    Pump();
    ASSERT_EQ(Script().boxes.size(), 1u);
    EXPECT_EQ(LastBox().caption, "NOTICE");
    EXPECT_EQ(LastBox().text.rfind("Added 2 files  5700 bytes to ", 0), 0u) << LastBox().text;
    EXPECT_EQ(Names(), (std::vector<std::string>{"plain.txt", kGreek, kJapanese}));
    EXPECT_EQ(State().progress_window, nullptr);
}

// A folder tree deeper than 260 characters goes in through the Compress button
// and comes back through "Extract here", beside the archive.
TEST_F(UnicodeTest, PathsLongerThanTheOldLimit) {
    std::string deep = MakeFolder(src_ + "\\deep");
    for (int level = 0; deep.size() < 320; ++level)
        deep = MakeFolder(deep + "\\" + std::string(30, static_cast<char>('a' + level)) + kGreek);
    WriteFile(deep + "\\" + kJapanese, "at the bottom");
    ASSERT_TRUE(FileExists(deep + "\\" + kJapanese));
    Key(Main(), Grid(), VK_F5);
    MarkRow(FindRow("deep"));
    const std::string arcs = MakeFolder(Scratch() + "\\arcs");
    Script().files.push_back(arcs + "\\deep.vlm");
    Press(ToolbarButton::compress);
    EXPECT_EQ(LastBox().text.rfind("Added 1 files  13 bytes to ", 0), 0u) << LastBox().text;
    Script().files.push_back(arcs + "\\deep.vlm");
    Menu(IDM_OPEN_ARCHIVE);
    Menu(IDM_SELECT_ALL);
    SetCurrentDirectoryW(L"C:\\");  // "Extract here" does not depend on it
    Menu(IDM_EXTRACT_HERE);
    const std::string back = arcs + deep.substr(src_.size()) + "\\" + kJapanese;
    EXPECT_GT(back.size(), 300u);
    EXPECT_EQ(ReadFile(back), "at the bottom");
    EXPECT_EQ(LastBox().caption, "DECOMPRESSION COMPLETED");
    EXPECT_NE(LastBox().text.find("\nDestination folder: " + arcs + "\\"), std::string::npos) << LastBox().text;
}

// A box naming a long path stays within the screen.
TEST_F(UnicodeTest, BoxesNamingLongPathsFitTheScreen) {
    Script().real_message_boxes = true;
    std::string path = "C:";
    while (path.size() < 1100) path += "\\" + std::string(40, 'p') + kGreek;
    ASSERT_LT(vellum::utf8_to_wide(path).size(), 1024u);  // fits the dialog, not the program's texts
    Script().files.push_back(path);
    RECT box{};
    const bool shown = AnswerModal("Path too long (at most 1023 characters)",
                                   [&](HWND dialog) { GetWindowRect(dialog, &box); }, IDOK,
                                   [&] { Menu(IDM_OPEN_ARCHIVE); });
    ASSERT_TRUE(shown);
    EXPECT_GT(box.right - box.left, 0);
    EXPECT_LE(box.right - box.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_GE(box.left, 0);
}
