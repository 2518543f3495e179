// A small helper for driving the desktop program from outside, run under the
// same Wine server as the program:
//   wintool list         every top-level window and its children, one per line:
//                        handle, process, visible, class, text (UTF-8), rectangle
//                        (children: their control id and style too)
//   wintool run          starts the command line in the environment variable
//                        WINTOOL_COMMAND_LINE exactly as written (the quotes a
//                        shell puts around a document path included) and
//                        prints the new process's id
//   wintool responsive TITLE [MS]
//                        whether the visible top-level window titled TITLE
//                        (a TITLE ending in * matches the titles it starts)
//                        answers a message within MS milliseconds (default
//                        5000: a window that takes longer is what the system
//                        shows as "not responding"); prints the time it took.
//                        Exit status 0 answered, 1 no answer, 2 no such window
//   wintool command-line prints its own command line
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wide_text.h"

namespace {

// Texts as UTF-8, whatever the window's own code page.
std::string TextOf(HWND hwnd) {
    wchar_t text[2048] = L"";
    GetWindowTextW(hwnd, text, 2048);
    return vellum::wide_to_utf8(text);
}

void PrintWindow(HWND hwnd, const char* kind) {
    char window_class[256] = "";
    GetClassNameA(hwnd, window_class, sizeof window_class);
    std::string text = TextOf(hwnd);
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    std::printf("%s\t%p\t%lu\t%d\t%s\t%s\t%ld,%ld,%ld,%ld\t%ld\t0x%08lx\n", kind,
                static_cast<void*>(hwnd), process, IsWindowVisible(hwnd) ? 1 : 0, window_class,
                text.c_str(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                static_cast<long>(GetDlgCtrlID(hwnd)),
                static_cast<unsigned long>(GetWindowLongA(hwnd, GWL_STYLE)));
}

BOOL CALLBACK OnChild(HWND hwnd, LPARAM) {
    PrintWindow(hwnd, "child");
    return TRUE;
}

BOOL CALLBACK OnTopLevel(HWND hwnd, LPARAM) {
    PrintWindow(hwnd, "top");
    EnumChildWindows(hwnd, OnChild, 0);
    return TRUE;
}

int Run() {
    const char* command = std::getenv("WINTOOL_COMMAND_LINE");
    if (!command || !*command) {
        std::fprintf(stderr, "wintool run: WINTOOL_COMMAND_LINE is empty\n");
        return 2;
    }
    char line[4096];
    std::snprintf(line, sizeof line, "%s", command);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "wintool run: CreateProcess failed (%lu)\n", GetLastError());
        return 1;
    }
    std::printf("%lu\n", process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

struct Search {
    const char* title;
    HWND found;
};

// A title ending in '*' asks for any title that starts with the rest.
bool TitleMatches(const std::string& text, const std::string& title) {
    if (!title.empty() && title.back() == '*') return text.compare(0, title.size() - 1, title, 0, title.size() - 1) == 0;
    return text == title;
}

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
    Search* search = reinterpret_cast<Search*>(lParam);
    if (IsWindowVisible(hwnd) && TitleMatches(TextOf(hwnd), search->title)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

int Responsive(const char* title, unsigned timeout_ms) {
    Search search{title, nullptr};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::fprintf(stderr, "wintool responsive: no window titled %s\n", title);
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DWORD_PTR answer = 0;
    const LRESULT ok = SendMessageTimeoutA(search.found, WM_NULL, 0, 0,
                                           SMTO_ABORTIFHUNG | SMTO_BLOCK, timeout_ms, &answer);
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::printf("%s %.1f ms\n", ok ? "answered" : "no answer", ms);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        EnumWindows(OnTopLevel, 0);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "run") == 0) return Run();
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "responsive") == 0)
        return Responsive(argv[2], argc == 4 ? static_cast<unsigned>(std::atoi(argv[3])) : 5000);
    if (argc >= 2 && std::strcmp(argv[1], "command-line") == 0) {
        std::printf("%s\n", GetCommandLineA());
        return 0;
    }
    std::fprintf(stderr, "usage: wintool list | run | responsive TITLE [MS] | command-line\n");
    return 2;
}
