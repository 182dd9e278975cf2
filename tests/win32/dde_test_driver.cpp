// Drives DdeClient and the link to mIRC against dde_test_server, both run under Wine in the same
// folder.
// Usage: dde_test_driver.exe <case>. The exit code is the test result; a failure prints what was
// expected and what was seen.
#include "announce/format.h"
#include "win32/dde_client.h"
#include "win32/mirc_link.h"
#include "win32/program_driver.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

using announce::DdeClient;
using announce::DdePokeResult;

namespace {

using Clock = std::chrono::steady_clock;
using namespace driver;

std::string resultName(DdePokeResult result) {
    switch (result) {
    case DdePokeResult::Delivered:
        return "Delivered";
    case DdePokeResult::NoServer:
        return "NoServer";
    case DdePokeResult::TimedOut:
        return "TimedOut";
    case DdePokeResult::Rejected:
        return "Rejected";
    case DdePokeResult::Ended:
        return "Ended";
    case DdePokeResult::Failed:
        return "Failed";
    }
    return "unknown";
}

void expectResult(const DdeClient& client, DdePokeResult seen, DdePokeResult expected,
                  const std::string& what) {
    char error[32];
    std::snprintf(error, sizeof error, " (DDEML error 0x%x)", client.lastError());
    std::printf("%s: %s%s\n", what.c_str(), resultName(seen).c_str(), error);
    expect(seen == expected, what, resultName(expected), resultName(seen) + error);
}

// Shows bytes outside printable ASCII as \xNN, so a message shows exactly what travelled.
std::string shown(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out + "\"";
}

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool fileExists(const std::string& name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the Windows link does to a line: UTF-16 to the ANSI code page.
std::string toAnsiCodePage(const std::string& utf8) {
    const int wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(wideSize, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), wideSize);
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string ansi(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

void deliversExactAnsiBytesWithNul() {
    expect(GetACP() == 1251, "the ANSI code page under the test locale", "1251",
           std::to_string(GetACP()));
    const std::string cyrillic = "/me \xF1\xEB\xF3\xF8\xE0\xE5\xF2 \xCA\xE8\xED\xEE - "
                                 "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8 [04:46] \xA6";
    const std::string converted = toAnsiCodePage("/me слушает Кино - Группа крови [04:46] \u00A6");
    expect(converted == cyrillic, "Cyrillic in the ANSI code page", shown(cyrillic),
           shown(converted));

    std::string everyByte;
    for (int c = 1; c < 256; ++c)
        everyByte += static_cast<char>(c);
    const struct {
        const char* name;
        std::string text;
    } lines[] = {
        {"an ASCII action line", "/me listens to Artist - Title [03:45]"},
        {"an empty line", ""},
        {"a Cyrillic line", converted},
        {"every byte but NUL", everyByte},
    };

    DdeClient client;
    std::string sent;
    for (const auto& line : lines) {
        expectResult(client, client.poke(line.text), DdePokeResult::Delivered, line.name);
        sent += line.text;
        sent += '\0';
        const std::string received = readFile("pokes.bin");
        expect(received == sent, std::string("bytes received after ") + line.name, shown(sent),
               shown(received));
    }
}

void reopensConversationForEachLine() {
    {
        DdeClient client;
        expectResult(client, client.poke("first"), DdePokeResult::Delivered, "first line");
        expect(readFile("events.log") == "connect\npoke\n",
               "conversation after the first line stays open", "connect poke",
               shown(readFile("events.log")));
        expectResult(client, client.poke("second"), DdePokeResult::Delivered, "second line");
        const std::string reopened = "connect\npoke\ndisconnect\nconnect\npoke\n";
        expect(readFile("events.log") == reopened, "second line closes and reopens",
               shown(reopened), shown(readFile("events.log")));
    }
    const std::string closed = "connect\npoke\ndisconnect\nconnect\npoke\ndisconnect\n";
    waitFor([&] { return readFile("events.log") == closed; }, 10000);
    expect(readFile("events.log") == closed, "destruction closes the conversation", shown(closed),
           shown(readFile("events.log")));
    expect(readFile("pokes.bin") == std::string("first\0second\0", 13), "both lines arrive",
           shown(std::string("first\0second\0", 13)), shown(readFile("pokes.bin")));
}

void failsFastWithoutServer() {
    DdeClient client;
    const auto start = Clock::now();
    const DdePokeResult result = client.poke("/me nobody listens");
    const long long elapsed = msSince(start);
    expectResult(client, result, DdePokeResult::NoServer, "poke without a server");
    std::printf("  after %lld ms\n", elapsed);
    // Well under the time-out: nobody answers the connect, so there is nothing to wait for.
    expect(elapsed < DdeClient::defaultTimeoutMs / 2, "no waiting for the time-out",
           "under 2500 ms", std::to_string(elapsed) + " ms");
}

// The server holds the first poke for longer than the window below allows.
void timesOutOnHungServer() {
    DdeClient client;
    auto start = Clock::now();
    DdePokeResult result = client.poke("held");
    long long elapsed = msSince(start);
    expectResult(client, result, DdePokeResult::TimedOut, "poke to a hung server");
    std::printf("  after %lld ms\n", elapsed);
    expect(elapsed >= 4000 && elapsed <= 8000, "the poke gives up at the 5 s time-out",
           "4000..8000 ms", std::to_string(elapsed) + " ms");

    // Closing the hung conversation would wait for the server; the next line must not.
    start = Clock::now();
    result = client.poke("while hung");
    elapsed = msSince(start);
    std::printf("the next line while the server still hangs: %s after %lld ms\n",
                resultName(result).c_str(), elapsed);
    expect(result != DdePokeResult::Delivered, "the next line while the server still hangs",
           "not Delivered", resultName(result));
    expect(elapsed <= 5000, "the next line returns without waiting for the hung server",
           "at most 5000 ms", std::to_string(elapsed) + " ms");

    const bool answered =
        waitFor([] { return readFile("events.log").find("poke\n") != std::string::npos; }, 30000);
    expect(answered, "the server finishes the held poke", "poke in events.log",
           shown(readFile("events.log")));
    expectResult(client, client.poke("after"), DdePokeResult::Delivered,
                 "the next line once the server answers again");
    const std::string received = readFile("pokes.bin");
    const std::string tail("after\0", 6);
    expect(received.size() >= tail.size() &&
               received.compare(received.size() - tail.size(), tail.size(), tail) == 0,
           "the next line arrives", "... " + shown(tail), shown(received));
}

// The link pokes on a thread of its own: while the server hangs, this thread's messages go on,
// and the line gives up at the time-out.
void linkKeepsTheThreadAnswering() {
    announce::MircLink link;
    static int ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    const auto start = Clock::now();
    const bool sent = link.send("held");
    const long long elapsed = msSince(start);
    KillTimer(nullptr, timer);
    std::printf("a line to a hung server: %s after %lld ms, %d ticks of the thread's timer\n",
                resultName(link.lastResult()).c_str(), elapsed, ticks);
    expect(!sent && link.lastResult() == DdePokeResult::TimedOut, "the line to a hung server",
           "TimedOut", resultName(link.lastResult()));
    expect(elapsed >= 4000 && elapsed <= 8000, "it gives up at the time-out", "4000..8000 ms",
           std::to_string(elapsed) + " ms");
    expect(ticks >= 20, "the thread's messages go on while it waits", "20 ticks or more",
           std::to_string(ticks));

    // A WM_QUIT gives the line up at once, and stays for the thread's own loop.
    PostQuitMessage(7);
    const auto quitting = Clock::now();
    const bool quitSent = link.send("at the end");
    expect(!quitSent && link.lastResult() == DdePokeResult::Ended && msSince(quitting) < 1000,
           "a quit gives the line up", "Ended within 1 s", resultName(link.lastResult()));
    MSG quit{};
    expect(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7,
           "the quit is still there", "WM_QUIT 7", "none");
}

void failsOnRejectedPoke() {
    DdeClient client;
    expectResult(client, client.poke("/me refused"), DdePokeResult::Rejected, "rejected poke");
    expect(readFile("events.log") == "connect\npoke-rejected\n", "the server saw the poke",
           "connect poke-rejected", shown(readFile("events.log")));
    expect(!fileExists("pokes.bin"), "nothing recorded", "no pokes.bin", "pokes.bin exists");
}

// Lines built from a format and a track as the program builds them, each beside the bytes mIRC
// must get for it.
void announcesLinesAsMircMustGetThem() {
    expect(GetACP() == 1251, "the ANSI code page under the test locale", "1251",
           std::to_string(GetACP()));
    const auto track = [](std::string author, std::string name) {
        return playback::Track{
            .name = std::move(name), .author = std::move(author), .durationString = "04:46"};
    };
    const struct {
        const char* behaviour;
        std::string format;
        playback::Track track;
        std::string expected; // without the final NUL
    } cases[] = {
        {"Cyrillic in CP1251", announce::defaultFormat(), track("Кино", "Группа крови"),
         "/me \xF1\xEB\xF3\xF8\xE0\xE5\xF2 \xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 "
         "\xEA\xF0\xEE\xE2\xE8 [04:46]"},
        {"a | from a tag as a broken bar, one typed in the format kept", "!артист | !название",
         track("A|B", "x | /quit"),
         "A\xA6"
         "B | x \xA6 /quit"},
        {"CR and LF from a tag as blanks", "/me !название", track({}, "a\r\nb\nc\rd"),
         "/me a  b c d"},
        {"a character CP1251 lacks as the replacement, the rest kept", "/me !артист - !название",
         track("Хикару", "初恋 First Love"), "/me \xD5\xE8\xEA\xE0\xF0\xF3 - ?? First Love"},
        {"a look-alike of | never becomes one", "!название", track({}, "a\uFF5Cb"), "a?b"},
    };
    announce::MircLink link;
    std::string sent;
    for (const auto& c : cases) {
        expect(link.send(announce::buildLine(c.format, c.track, link)),
               std::string(c.behaviour) + ": delivered", "true", "false");
        sent += c.expected;
        sent += '\0';
        const std::string received = readFile("pokes.bin");
        expect(received == sent, std::string("bytes received after ") + c.behaviour, shown(sent),
               shown(received));
    }
}

} // namespace

int main(int argc, char** argv) {
    const struct {
        const char* name;
        void (*run)();
    } cases[] = {
        {"delivers_exact_ansi_bytes_with_nul", deliversExactAnsiBytesWithNul},
        {"reopens_conversation_for_each_line", reopensConversationForEachLine},
        {"fails_fast_without_server", failsFastWithoutServer},
        {"times_out_on_hung_server", timesOutOnHungServer},
        {"fails_on_rejected_poke", failsOnRejectedPoke},
        {"link_keeps_the_thread_answering", linkKeepsTheThreadAnswering},
        {"announces_lines_as_mirc_must_get_them", announcesLinesAsMircMustGetThem},
    };
    for (const auto& c : cases) {
        if (argc == 2 && std::string(argv[1]) == c.name) {
            c.run();
            std::printf("%s: %s\n", c.name, failures ? "FAILED" : "passed");
            return failures ? 1 : 0;
        }
    }
    std::printf("usage: dde_test_driver <case>\n");
    return 2;
}
