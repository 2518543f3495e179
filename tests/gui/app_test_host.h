// In-process tests of vellum.exe's real main window under Wine. Only the modal
// dialogs are scripted: the file dialogs and the folder chooser answer from a
// queue and record what the window side handed them; message boxes are recorded
// (or, for a few tests, shown for real and answered by a thread timer).
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/app_state.h"
#include "app/win32/main_window.h"
#include "app/win32/win32_ui.h"
#include "resources/resource.h"

namespace apptest {

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT flags;
};

struct RecordedFileDialog {
    bool save;
    DWORD struct_size;
    HWND owner;
    std::string filter;  // every byte up to the list's closing double zero
    DWORD max_file;
    std::string default_extension;
    bool default_extension_set;
    DWORD flags;
    bool initial_file_empty;
};

struct RecordedChooser {
    HWND owner;
    bool root_set;
    std::string title;
    UINT flags;
    bool callback_set;
    bool display_name_set;
};

// Answers in order; an empty answer (or none left) is a cancel. A file answer
// makes its folder the current one, as the real dialogs do without
// OFN_NOCHANGEDIR.
struct DialogScript {
    std::deque<std::string> files;
    std::deque<std::string> folders;
    std::vector<RecordedBox> boxes;
    std::vector<RecordedFileDialog> file_dialogs;
    std::vector<RecordedChooser> choosers;
    bool real_message_boxes = false;
};
DialogScript& Script();
void InstallScriptedDialogs();

// Gives every waiting message its turn; a WM_QUIT is swallowed.
void Pump();

// Runs action; while it blocks in a modal loop, a thread timer waits for a
// visible dialog-class window of this thread titled title, hands it to inspect
// and then presses the button with the id answer. False if none appeared.
bool AnswerModal(const char* title, const std::function<void(HWND)>& inspect, int answer,
                 const std::function<void()>& action);

// Scratch folders below the folder the tests started in; removed afterwards.
// Paths are UTF-8 and may be of any length.
std::string ScratchRoot();
std::string MakeFolder(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);
// The names in a folder, sorted, as the system has them (UTF-16 made UTF-8).
std::vector<std::string> NamesIn(const std::string& folder);
// A deterministic mix of text and binary-ish bytes.
std::string SampleBytes(size_t size, unsigned seed);
// The shared corpus, as an absolute Windows path; "" when it is missing.
std::string CorpusFolder();

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The start-up folder chooser's answer; SetUp lists it.
    virtual std::string StartFolder() { return scratch_; }

public:
    HWND Main() const { return main_; }
    vellum::app::AppState& State() { return *state_; }
    vellum::app::AppContext& Context() { return *vellum::app::MainContext(); }
    vellum::app::Win32Ui& Ui() { return *vellum::app::MainUi(); }
    HWND Button(vellum::app::ToolbarButton b) const {
        return static_cast<HWND>(state_->toolbar_buttons[static_cast<int>(b)]);
    }
    HBITMAP Image(vellum::app::ToolbarImage i) const {
        return static_cast<HBITMAP>(state_->toolbar_images[static_cast<int>(i)]);
    }
    HBITMAP ButtonImage(vellum::app::ToolbarButton b) const {
        return reinterpret_cast<HBITMAP>(SendMessageA(Button(b), BM_GETIMAGE, IMAGE_BITMAP, 0));
    }
    HWND Grid() const { return static_cast<HWND>(state_->grid.GetHWnd()); }
    void Press(vellum::app::ToolbarButton b) { SendMessageA(Button(b), BM_CLICK, 0, 0); Pump(); }
    void Menu(int id) { SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0); Pump(); }
    std::string Cell(int row, int column) const;
    int RowCount() const { return state_->grid.GetRowCount(); }
    int FindRow(const std::string& name) const;
    void MarkRow(int row);
    // Rectangle of a child in the main window's client coordinates.
    RECT ClientRect(HWND child) const;
    std::string Scratch() const { return scratch_; }

    std::unique_ptr<vellum::app::AppState> state_;
    HWND main_ = nullptr;
    std::string scratch_;
};

}  // namespace apptest
