#include "app_test_host.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/wide_text.h"

namespace apptest {
namespace {

std::string g_start_folder;

std::string FilterBytes(LPCWSTR filter) {
    if (!filter) return std::string();
    // Up to and including the list's closing double zero.
    size_t length = 0;
    for (;; ++length)
        if (filter[length] == L'\0' && length > 0 && filter[length - 1] == L'\0') break;
    return vellum::wide_to_utf8(filter, static_cast<int>(length + 1));
}

BOOL AnswerFileDialog(LPOPENFILENAMEW dialog, bool save) {
    DialogScript& s = Script();
    s.file_dialogs.push_back({save, dialog->lStructSize, dialog->hwndOwner,
                              FilterBytes(dialog->lpstrFilter), dialog->nMaxFile,
                              dialog->lpstrDefExt ? vellum::wide_to_utf8(dialog->lpstrDefExt) : "",
                              dialog->lpstrDefExt != nullptr, dialog->Flags,
                              dialog->lpstrFile && dialog->lpstrFile[0] == L'\0'});
    if (s.files.empty()) return FALSE;
    const std::wstring answer = vellum::utf8_to_wide(s.files.front());
    s.files.pop_front();
    if (answer.empty()) return FALSE;
    if (answer.size() + 1 > dialog->nMaxFile) return FALSE;
    std::memcpy(dialog->lpstrFile, answer.c_str(), (answer.size() + 1) * sizeof(wchar_t));
    const size_t slash = answer.find_last_of(L'\\');
    if (slash != std::wstring::npos && !(dialog->Flags & OFN_NOCHANGEDIR))
        SetCurrentDirectoryW(answer.substr(0, slash).c_str());
    return TRUE;
}

BOOL WINAPI ScriptedOpen(LPOPENFILENAMEW dialog) { return AnswerFileDialog(dialog, false); }
BOOL WINAPI ScriptedSave(LPOPENFILENAMEW dialog) { return AnswerFileDialog(dialog, true); }

PIDLIST_ABSOLUTE WINAPI ScriptedChooser(LPBROWSEINFOW info) {
    DialogScript& s = Script();
    s.choosers.push_back({info->hwndOwner, info->pidlRoot != nullptr,
                          info->lpszTitle ? vellum::wide_to_utf8(info->lpszTitle) : "", info->ulFlags,
                          info->lpfn != nullptr, info->pszDisplayName != nullptr});
    if (s.folders.empty()) return nullptr;
    std::string answer = s.folders.front();
    s.folders.pop_front();
    if (answer.empty()) return nullptr;
    return ILCreateFromPathW(vellum::utf8_to_wide(answer).c_str());
}

int WINAPI RecordedMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    Script().boxes.push_back({owner, text ? vellum::wide_to_utf8(text) : "",
                              caption ? vellum::wide_to_utf8(caption) : "", flags});
    if (Script().real_message_boxes) return MessageBoxW(owner, text, caption, flags);
    return IDOK;
}

// The modal answer's state: one at a time.
struct ModalAnswer {
    const char* title = nullptr;
    const std::function<void(HWND)>* inspect = nullptr;
    int answer = IDOK;
    bool seen = false;
    int ticks = 0;
} g_modal;

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found) {
    char window_class[32] = "";
    char title[256] = "";
    GetClassNameA(hwnd, window_class, sizeof window_class);
    GetWindowTextA(hwnd, title, sizeof title);
    if (std::strcmp(window_class, "#32770") == 0 && IsWindowVisible(hwnd) &&
        std::strcmp(title, g_modal.title) == 0) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK ModalTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) {
        // Give up after about 10 s, so a test fails instead of hanging.
        if (++g_modal.ticks > 500) {
            KillTimer(nullptr, id);
            PostQuitMessage(0);
        }
        return;
    }
    KillTimer(nullptr, id);
    g_modal.seen = true;
    if (g_modal.inspect && *g_modal.inspect) (*g_modal.inspect)(dialog);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_modal.answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, g_modal.answer)));
}

}  // namespace

DialogScript& Script() {
    static DialogScript script;
    return script;
}

void InstallScriptedDialogs() {
    vellum::app::DialogFunctions& d = vellum::app::Dialogs();
    d.message_box = RecordedMessageBox;
    d.get_open_file_name = ScriptedOpen;
    d.get_save_file_name = ScriptedSave;
    d.browse_for_folder = ScriptedChooser;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool AnswerModal(const char* title, const std::function<void(HWND)>& inspect, int answer,
                 const std::function<void()>& action) {
    g_modal = ModalAnswer{};
    g_modal.title = title;
    g_modal.inspect = &inspect;
    g_modal.answer = answer;
    SetTimer(nullptr, 0, 20, ModalTimer);
    action();
    Pump();
    g_modal.inspect = nullptr;
    return g_modal.seen;
}

std::string ScratchRoot() {
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%s\\app-gui-scratch-%lu", g_start_folder.c_str(),
                  GetCurrentProcessId());
    return folder;
}

// Paths are UTF-8, as the program's; the system is asked in UTF-16, paths of
// any length in the \\?\ form.
std::wstring Wide(const std::string& path) {
    std::wstring w = vellum::utf8_to_wide(path);
    if (w.size() >= 248 && w.compare(0, 4, L"\\\\?\\") != 0 && w.size() > 2 && w[1] == L':') w = L"\\\\?\\" + w;
    return w;
}

std::string MakeFolder(const std::string& path) {
    CreateDirectoryW(Wide(path).c_str(), nullptr);
    return path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = _wfopen(Wide(path).c_str(), L"wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    FILE* f = _wfopen(Wide(path).c_str(), L"rb");
    if (!f) return "<missing " + path + ">";
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((Wide(path) + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = vellum::wide_to_utf8(found.cFileName);
            if (name == "." || name == "..") continue;
            const std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileW(Wide(child).c_str());
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(Wide(path).c_str());
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((Wide(folder) + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = vellum::wide_to_utf8(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string SampleBytes(size_t size, unsigned seed) {
    static const char* words[] = {"vellum ", "archive ", "block ", "model ", "entry ", "\n",
                                  "solid ", "folder "};
    std::string bytes;
    unsigned x = seed * 2654435761u + 1;
    while (bytes.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 28) < 12) bytes += words[(x >> 16) % 8];
        else bytes += static_cast<char>(x >> 8);
    }
    bytes.resize(size);
    return bytes;
}

std::string CorpusFolder() {
#ifdef VELLUM_CORPUS_DIR
    char full[MAX_PATH] = "";
    // Resolved against the folder the tests started in (on Wine, a Unix path
    // lands on the drive that maps the Unix root).
    std::string start = g_start_folder;
    SetCurrentDirectoryA(start.c_str());
    if (!GetFullPathNameA(VELLUM_CORPUS_DIR, sizeof full, full, nullptr)) return "";
    for (char* c = full; *c; ++c)
        if (*c == '/') *c = '\\';
    if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) return "";
    return full;
#else
    return "";
#endif
}

// --- the fixture ---------------------------------------------------------------------

void MainWindowTest::SetUp() {
    SetCurrentDirectoryA(g_start_folder.c_str());
    Script() = DialogScript{};
    InstallScriptedDialogs();
    scratch_ = MakeFolder(ScratchRoot());
    Script().folders.push_back(StartFolder());
    state_ = std::make_unique<vellum::app::AppState>();
    main_ = vellum::app::CreateMainWindow(*state_, GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    ASSERT_NE(main_, nullptr);
    ShowWindow(main_, SW_SHOWNORMAL);
    UpdateWindow(main_);
    Pump();
}

void MainWindowTest::TearDown() {
    if (main_ && IsWindow(main_)) DestroyWindow(main_);
    Pump();
    SetCurrentDirectoryA(g_start_folder.c_str());
    RemoveTree(scratch_);
}

std::string MainWindowTest::Cell(int row, int column) const {
    char text[1024] = "";
    state_->grid.GetCellText(row, column, text, sizeof text);
    return text;
}

int MainWindowTest::FindRow(const std::string& name) const {
    for (int r = 0; r < RowCount(); ++r)
        if (Cell(r, 1) == name) return r;
    return -1;
}

void MainWindowTest::MarkRow(int row) {
    state_->grid.SelectRow(row, 1);
    Press(vellum::app::ToolbarButton::select);
}

RECT MainWindowTest::ClientRect(HWND child) const {
    RECT rc{};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace apptest

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    apptest::g_start_folder = folder;
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
