#pragma once

// What the drivers of the Windows program share: expectations, bounded waits, files, and the
// program started in a folder of its own and read from outside, as a user and mIRC meet it.

#include "settings/code_page.h"
#include "win32/main_window.h"
#include "win32/wide.h"

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace driver {

inline int failures = 0;

inline void expect(bool ok, const std::string& what, const std::string& expected,
                   const std::string& seen) {
    if (ok)
        return;
    ++failures;
    std::printf("FAILED: %s\n  expected: %s\n  seen:     %s\n", what.c_str(), expected.c_str(),
                seen.c_str());
}

// Polls until done, for at most ms.
inline bool waitFor(const std::function<bool()>& done, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Sleep(20);
    }
    return true;
}

inline long long msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

inline std::string bytesOf(const std::wstring& file) {
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void put(const std::wstring& file, const std::string& bytes) {
    std::ofstream(std::filesystem::path(file), std::ios::binary) << bytes;
}

// Two seconds of a tone, as 8 kHz 16-bit mono PCM.
inline std::string wave() {
    const uint32_t samples = 16000, data = samples * 2;
    std::string bytes = "RIFF";
    const auto u32 = [&bytes](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&bytes](uint16_t v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    u32(36 + data);
    bytes += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    bytes += "data";
    u32(data);
    for (uint32_t i = 0; i < samples; ++i)
        u16(uint16_t((i / 9) % 2 ? 6000 : -6000));
    return bytes;
}

inline std::string windowText(HWND window) {
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return win32::utf8(text);
}

// Whether the window answers a message within ms.
inline bool answers(HWND window, UINT ms) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &answer) != 0;
}

// A message box of the program, once it shows; none within ms.
inline HWND boxShown(int ms, const wchar_t* caption = L"Tunelark") {
    HWND box = nullptr;
    waitFor(
        [&] {
            box = FindWindowW(L"#32770", caption);
            return box && IsWindowVisible(box);
        },
        ms);
    return box && IsWindowVisible(box) ? box : nullptr;
}

inline std::string boxText(HWND box) {
    return box ? windowText(GetDlgItem(box, 0xFFFF)) : std::string();
}

inline void answerBox(HWND box) {
    if (box)
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

struct Program {
    PROCESS_INFORMATION process{};

    bool start(const std::wstring& exe, const std::wstring& folder, const std::wstring& file) {
        std::wstring line = L"\"" + exe + L"\"";
        if (!file.empty())
            line += L" \"" + file + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        return CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &startup, &process);
    }
    // Its exit status, or -1 when it did not end in time.
    int ended(DWORD ms) {
        DWORD status = 0;
        if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process.hProcess, &status))
            return -1;
        return int(status);
    }
    ~Program() {
        if (process.hProcess) {
            if (ended(0) < 0)
                TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
};

// The program copied into a folder of its own beside a mirc.ini, started there with a file named
// (or none), and its window once it shows.
struct Player {
    Program program;
    std::wstring folder; // full path, without the final separator
    HWND main = nullptr;

    void place(const std::wstring& exe, const std::wstring& name, const std::string& ini) {
        CreateDirectoryW(name.c_str(), nullptr);
        wchar_t full[MAX_PATH];
        GetFullPathNameW(name.c_str(), MAX_PATH, full, nullptr);
        folder = full;
        CopyFileW(exe.c_str(), (folder + L"\\tunelark.exe").c_str(), FALSE);
        if (!ini.empty())
            put(folder + L"\\mirc.ini", ini);
    }
    bool launch(const std::wstring& file = {}) {
        if (!program.start(folder + L"\\tunelark.exe", folder, file)) {
            expect(false, "the program starts", "started", "CreateProcess failed");
            return false;
        }
        waitFor([&] { return (main = FindWindowW(win32::Main::kClassName, nullptr)) != nullptr; },
                30000);
        expect(main != nullptr, "its window opens", "a window", "none");
        return main != nullptr;
    }
    bool start(const std::wstring& exe, const std::wstring& name, const std::string& ini,
               const std::wstring& file = {}) {
        place(exe, name, ini);
        return launch(file);
    }
    std::string file(const wchar_t* name) const { return bytesOf(folder + L"\\" + name); }
    std::string field(int index) const {
        return windowText(GetDlgItem(main, win32::kText0 + index));
    }
    HWND list() const { return GetDlgItem(main, win32::kList1); }
    // The list's messages carry pointers into the program, so what they point at is put there.
    template <class T> T askList(UINT message, WPARAM w, T in) const {
        HANDLE process = program.process.hProcess;
        void* there = VirtualAllocEx(process, nullptr, sizeof in, MEM_COMMIT, PAGE_READWRITE);
        if (!there)
            return in;
        if constexpr (requires(T & t) { t.item.pszText; }) // the text lands beside the item
            in.item.pszText = static_cast<T*>(there)->text;
        WriteProcessMemory(process, there, &in, sizeof in, nullptr);
        SendMessageW(list(), message, w, reinterpret_cast<LPARAM>(there));
        ReadProcessMemory(process, there, &in, sizeof in, nullptr);
        VirtualFreeEx(process, there, 0, MEM_RELEASE);
        return in;
    }
    std::vector<std::string> entries() const {
        struct Row {
            LVITEMW item;
            wchar_t text[512];
        };
        std::vector<std::string> names;
        const int count = int(SendMessageW(list(), LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            Row row{};
            row.item.cchTextMax = int(std::size(row.text));
            names.push_back(win32::utf8(askList(LVM_GETITEMTEXTW, WPARAM(i), row).text));
        }
        return names;
    }
    int highlight() const {
        return int(SendMessageW(list(), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
    }
    // A double-click on the row, as the mouse gives it: down, up, the double-click, up.
    void doubleClick(int row) const {
        RECT bounds{};
        bounds.left = LVIR_BOUNDS;
        bounds = askList(LVM_GETITEMRECT, WPARAM(row), bounds);
        const LPARAM at =
            MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            SendMessageW(list(), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
    }
    // Closed as its close box does; its exit status, -1 when it did not end within ms.
    int close(DWORD ms = 20000) {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return program.ended(ms);
    }
};

struct Case {
    const wchar_t* name;
    void (*run)(const std::wstring& exe);
};

// driver.exe <tunelark.exe> <case>: the case's result as the exit code.
template <std::size_t N> int runCase(int argc, wchar_t** argv, const Case (&cases)[N]) {
    for (const Case& c : cases) {
        if (argc == 3 && std::wstring(argv[2]) == c.name) {
            c.run(argv[1]);
            std::printf("%ls: %s\n", c.name, failures ? "FAILED" : "passed");
            return failures ? 1 : 0;
        }
    }
    std::printf("usage: <driver> <tunelark.exe> <case>\n");
    return 2;
}

} // namespace driver
