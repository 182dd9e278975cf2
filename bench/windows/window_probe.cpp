// Starts a Windows program and watches its window from outside, for windows_bench, under Wine.
//   window_probe.exe shown <program.exe> [file]
//     starts it and prints "shown <s>": from CreateProcess to its top-level window visible;
//   window_probe.exe stall <program.exe> <list> <entries>
//     starts it alone, then hands it the list as a second start does, and asks its window
//     thread again and again (WM_NULL, then the list view's count) until the list view holds
//     every entry; prints "stall <ms> whole <s>": the longest wait for an answer, and the time from
//     the second start to the whole list shown.
//   window_probe.exe opening <program.exe> <file>
//     starts it with the file, which it opens once it has been shown a while, and asks its window
//     thread (WM_NULL) again and again for 3 s; prints "opening <ms>": the longest wait.
// The program is left running in every case.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool start(const std::wstring& program, const std::wstring& argument, DWORD* id) {
    std::wstring line = L"\"" + program + L"\"";
    if (!argument.empty())
        line += L" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (id)
        *id = process.dwProcessId;
    return true;
}

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK visibleOf(HWND window, LPARAM l) {
    auto* search = reinterpret_cast<Search*>(l);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

// The process's visible top-level window, once there is one (at most 30 s).
HWND waitShown(DWORD process) {
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    Search search{process, nullptr};
    while (Clock::now() < deadline) {
        EnumWindows(visibleOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(1);
    }
    return nullptr;
}

int shown(const std::wstring& program, const std::wstring& file) {
    const auto begin = Clock::now();
    DWORD id = 0;
    if (!start(program, file, &id) || !waitShown(id))
        return 1;
    std::printf("shown %.4f\n", secondsSince(begin));
    return 0;
}

// How long the window's thread takes to answer one message; -1 if not within 60 s.
double answerMs(HWND window, UINT message, DWORD_PTR* result) {
    const auto sent = Clock::now();
    if (!SendMessageTimeoutW(window, message, 0, 0, SMTO_NORMAL, 60000, result))
        return -1;
    return secondsSince(sent) * 1000;
}

int stall(const std::wstring& program, const std::wstring& list, long entries) {
    DWORD id = 0;
    HWND window = start(program, L"", &id) ? waitShown(id) : nullptr;
    HWND rows = window ? FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    if (!rows)
        return 1;
    Sleep(500); // settled, as the program is when a user opens a list
    const auto begin = Clock::now();
    if (!start(program, list, nullptr))
        return 1;
    double longest = 0;
    DWORD_PTR count = 0;
    while (long(count) != entries && secondsSince(begin) < 120) {
        DWORD_PTR ignored = 0;
        const double quiet = answerMs(window, WM_NULL, &ignored);
        const double counted = answerMs(rows, LVM_GETITEMCOUNT, &count);
        if (quiet < 0 || counted < 0)
            return 1;
        longest = std::max({longest, quiet, counted});
        Sleep(1);
    }
    if (long(count) != entries)
        return 1;
    std::printf("stall %.1f whole %.3f\n", longest, secondsSince(begin));
    return 0;
}

int opening(const std::wstring& program, const std::wstring& file) {
    DWORD id = 0;
    HWND window = start(program, file, &id) ? waitShown(id) : nullptr;
    if (!window)
        return 1;
    const auto begin = Clock::now();
    double longest = 0;
    while (secondsSince(begin) < 3) {
        DWORD_PTR ignored = 0;
        const double quiet = answerMs(window, WM_NULL, &ignored);
        if (quiet < 0)
            return 1;
        longest = std::max(longest, quiet);
        Sleep(1);
    }
    std::printf("opening %.1f\n", longest);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 2 ? argv[1] : L"";
    if (mode == L"shown" && argc <= 4)
        return shown(argv[2], argc == 4 ? argv[3] : L"");
    if (mode == L"stall" && argc == 5)
        return stall(argv[2], argv[3], std::wcstol(argv[4], nullptr, 10));
    if (mode == L"opening" && argc == 4)
        return opening(argv[2], argv[3]);
    std::fprintf(stderr, "usage: window_probe.exe shown <program.exe> [file] | "
                         "stall <program.exe> <list> <entries> | opening <program.exe> <file>\n");
    return 2;
}
