// A scripted window system for the desktop program's commands: dialog answers
// come from queues, message boxes, button pictures and progress lines are
// recorded, the clock moves only as the test says, and the grid runs on the
// grid's own fake. AppFixture gives each test a fresh AppState in a scratch
// folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "../grid/fake_grid_platform.h"
#include "app/app.h"
#include "app/app_state.h"
#include "app/ui.h"

namespace vellum::apptest {

namespace fs = std::filesystem;
using namespace vellum::app;

struct Box {
    std::string text, caption;
    unsigned flags = 0;
    bool operator==(const Box& o) const {
        return text == o.text && caption == o.caption && flags == o.flags;
    }
};
inline void PrintTo(const Box& b, std::ostream* out) {
    *out << '"' << b.text << "\" / \"" << b.caption << "\" / " << b.flags;
}

struct Line {
    int x = 0, y = 0;
    std::string text;
};

class FakeUi : public Ui {
public:
    std::deque<std::string> folder_answers, file_answers;  // "" is a cancel
    std::vector<FileDialogKind> file_dialogs;
    int folder_dialogs = 0;
    std::vector<Box> boxes;
    std::function<void(const Box&)> on_box;
    std::function<void()> on_dialog;  // runs while a dialog is "open"
    int images[kToolbarButtonCount] = {};
    std::vector<ToolbarImage> buffer_images, solid_images;
    int progress_opened = 0, progress_closed = 0;
    bool progress_open = false;
    std::vector<Line> lines;
    uint64_t bar_done = 0, bar_total = 0;
    std::function<bool()> stop;  // asked by PumpAndCheckStop
    uint64_t now = 0, step = 0;  // each ClockMs returns now, then adds step
    std::string cwd;
    int abouts = 0, main_closed = 0, main_repaints = 0;
    std::vector<std::string> titles;

    std::string ChooseFolder(const FolderChooserRequest& request) override {
        EXPECT_STREQ(request.title, "Vellum choose Directory for compression");
        ++folder_dialogs;
        if (on_dialog) on_dialog();
        return Pop(folder_answers);
    }
    std::string ChooseFile(const FileDialogRequest& request) override {
        EXPECT_EQ(request.struct_size, 76u);
        EXPECT_EQ(request.flags, 0x80000u | 0x800u | 0x4u);
        file_dialogs.push_back(request.kind);
        if (on_dialog) on_dialog();
        std::string path = Pop(file_answers);
        // Without OFN_NOCHANGEDIR the chosen file's folder becomes current.
        if (!path.empty()) cwd = fs::path(path).parent_path().string();
        return path;
    }
    int ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override {
        boxes.push_back(Box{text, caption, flags});
        if (on_box) on_box(boxes.back());
        return kAnswerOk;
    }
    void ShowAbout() override { ++abouts; }
    void CloseMainWindow() override { ++main_closed; }
    void SetButtonImage(ToolbarButton button, ToolbarImage image) override {
        images[static_cast<int>(button)] = static_cast<int>(image);
        if (button == ToolbarButton::buffer) buffer_images.push_back(image);
        if (button == ToolbarButton::solid) solid_images.push_back(image);
    }
    void OpenProgress(const ProgressWindowSpec& window) override {
        EXPECT_FALSE(progress_open);
        EXPECT_STREQ(window.title, "Vellum Dialog");
        ++progress_opened;
        progress_open = true;
    }
    void DrawProgressLine(int x, int y, const std::string& text) override {
        EXPECT_TRUE(progress_open);
        lines.push_back(Line{x, y, text});
    }
    void SetProgressBar(uint64_t done, uint64_t total) override {
        bar_done = done;
        bar_total = total;
    }
    void CloseProgress() override {
        ++progress_closed;
        progress_open = false;
    }
    bool PumpAndCheckStop() override { return stop && stop(); }
    void RepaintMain() override { ++main_repaints; }
    void SetTitle(const std::string& title) override { titles.push_back(title); }
    uint64_t ClockMs() override {
        const uint64_t t = now;
        now += step;
        return t;
    }
    std::string CurrentFolder() override { return cwd; }
    bool SetCurrentFolder(const std::string& folder) override {
        if (!fs::is_directory(folder)) return false;
        cwd = folder;
        return true;
    }

private:
    static std::string Pop(std::deque<std::string>& answers) {
        EXPECT_FALSE(answers.empty()) << "a dialog the test did not expect";
        if (answers.empty()) return "";
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
};

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

// Text that codes to something: lines with numbers, different per seed.
inline std::string TextData(size_t size, unsigned seed) {
    std::string s;
    unsigned x = seed * 2654435761u + 1;
    while (s.size() < size) {
        x = x * 1103515245u + 12345u;
        s += "line " + std::to_string((x >> 16) % 1000) + " of the notes, seed " +
             std::to_string(seed) + "\n";
    }
    s.resize(size);
    return s;
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = FakeGridWorld();
        SetGridPlatform(&kFakeGridPlatform);
        state = std::make_unique<AppState>();
        ASSERT_EQ(state->grid.AttachRecord(FakeWindow(1), FakeWindow(0), 5), 1);
        std::snprintf(state->title, sizeof state->title, "Vellum");  // string 103
        SetUpGrid(state->grid);
        context = std::make_unique<AppContext>(*state, ui);
        // A short folder name: the boxes break runs of more than 80 characters.
        static int made = 0;
        dir = fs::temp_directory_path() / ("va" + std::to_string(::getpid()) + "-" + std::to_string(++made));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ui.cwd = dir.string();
    }
    void TearDown() override {
        context.reset();
        ReleaseGrid(state->grid.GetHWnd());
        state.reset();
        SetGridPlatform(nullptr);
        fs::remove_all(dir);
    }

    std::string Cell(int row, int column) {
        char buffer[1024];
        state->grid.GetCellText(row, column, buffer, sizeof buffer);
        return buffer;
    }
    int Rows() { return state->grid.GetRowCount(); }
    GridColor Colour(int row) { return FindGridRecord(state->grid.GetHWnd())->rows[row].color; }
    // The row whose name cell is name; -1 when none.
    int RowNamed(const std::string& name) {
        for (int r = 0; r < Rows(); ++r)
            if (Cell(r, 1) == name) return r;
        return -1;
    }
    void Focus(int row) { state->grid.SelectRow(row, 1); }
    void MarkNamed(const std::string& name) {
        const int r = RowNamed(name);
        ASSERT_GE(r, 0) << name;
        Focus(r);
        PressButton(*context, ToolbarButton::select);
    }
    // Shows folder in the folder view through the Drive button.
    void ShowFolder(const fs::path& folder) {
        ui.folder_answers.push_back(folder.string());
        PressButton(*context, ToolbarButton::drive);
    }
    void OpenArchive(const fs::path& archive) {
        ui.file_answers.push_back(archive.string());
        ASSERT_TRUE(RunMenuCommand(*context, kCmdOpenArchive));
    }
    std::string Path(const std::string& relative) { return (dir / relative).string(); }
    Box LastBox() { return ui.boxes.empty() ? Box{} : ui.boxes.back(); }

    FakeUi ui;
    std::unique_ptr<AppState> state;
    std::unique_ptr<AppContext> context;
    fs::path dir;
};

}  // namespace vellum::apptest
