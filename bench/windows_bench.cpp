// The Windows program under Wine beside a bare host of the same media-player control (Wine's
// own, as the program's tests have it), rounds taking turns on the same file, from outside:
//   start-up: CreateProcess to its top-level window visible (window_probe, inside Wine);
//   memory:   RSS of its Wine process 2 s after the window shows: idle, and playing tone.mp3
//             (named on the command line; the program plays it as AutoStart says);
//   idle:     voluntary context switches of its threads over the next 5 s;
//   stall:    the program alone: the longest wait of its window's thread (WM_NULL and the list
//             view's count, asked in a loop) while a 100,000-entry list, handed over by a second
//             start, fills its list view; beside it, the host's own longest wait (WM_NULL) while
//             its control opens tone.mp3, which is what the control alone holds a window for.
// Usage: windows_bench <wine> <Windows bin folder> <tunelark.exe> <media folder> <rounds>
// bench/windows/run runs it, in Wine's prefix as the tests set it up.
#include "rounds.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace bench;

namespace {

constexpr auto kSettle = std::chrono::seconds(2);
constexpr auto kIdle = std::chrono::seconds(5);
constexpr int kEntries = 100000;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "windows_bench: %s\n", why.c_str());
    std::exit(1);
}

// Runs a command to its end; its standard output.
std::string output(const std::vector<std::string>& argv) {
    // Wine's own complaints (no MIDI sequencer here) are dropped, and would bury the figures.
    const Process p = spawn(argv, fs::current_path());
    // The program it starts inherits the pipe and outlives it: what it said is read once it
    // has ended, never to the pipe's end.
    int status = 0;
    ::waitpid(p.pid, &status, 0);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(p.out, buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    ::close(p.out);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(argv[1] + " " + argv[2] + " failed: " + text);
    return text;
}

std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

bool alive(pid_t pid) {
    const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
    const auto state = stat.rfind(')');
    return state != std::string::npos && state + 2 < stat.size() && stat[state + 2] != 'Z';
}

// The Unix process Wine runs a program in, found by the program's Windows path (other copies of
// the program may run on the machine); `alone`: started with no file named.
pid_t processOf(const std::string& exe, bool alone) {
    for (int tries = 0; tries < 500; ++tries) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::string cmdline = fileText(entry.path() / "cmdline");
            const pid_t pid = std::atoi(name.c_str());
            const bool named =
                cmdline.find_first_not_of(std::string(" \0", 2), exe.size()) != std::string::npos;
            if (cmdline.rfind(exe, 0) == 0 && !(alone && named) && alive(pid))
                return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fail("no process for " + exe);
}

void end(pid_t pid) {
    ::kill(pid, SIGKILL);
    for (int tries = 0; tries < 1000 && alive(pid); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

struct Setup {
    std::string wine, probe, ours, host, tone, list;
    fs::path oursFolder;
};

struct Idle {
    double shown, rss, switches;
};

Idle idleRound(const Setup& s, const std::string& exe) {
    const std::string said = output({s.wine, s.probe, "shown", windowsPath(exe)});
    const pid_t pid = processOf(windowsPath(exe), true);
    std::this_thread::sleep_for(kSettle);
    const double rss = rssMiB(pid);
    const long before = voluntarySwitches(pid);
    std::this_thread::sleep_for(kIdle);
    const long switches = voluntarySwitches(pid) - before;
    end(pid);
    double shown = -1;
    if (std::sscanf(said.c_str(), "shown %lf", &shown) != 1)
        fail("window_probe said: " + said);
    return {shown, rss, double(switches)};
}

double playingRss(const Setup& s, const std::string& exe, bool ours) {
    fs::remove(s.oursFolder / "SongName.txt");
    output({s.wine, s.probe, "shown", windowsPath(exe), s.tone});
    const pid_t pid = processOf(windowsPath(exe), false);
    std::this_thread::sleep_for(kSettle);
    const double rss = rssMiB(pid);
    end(pid);
    if (ours && !fs::exists(s.oursFolder / "SongName.txt"))
        fail("the program never played " + s.tone);
    return rss;
}

struct Stall {
    double longestMs, wholeSeconds;
};

Stall stallRound(const Setup& s) {
    const std::string said =
        output({s.wine, s.probe, "stall", windowsPath(s.ours), s.list, std::to_string(kEntries)});
    end(processOf(windowsPath(s.ours), true));
    Stall stall{};
    if (std::sscanf(said.c_str(), "stall %lf whole %lf", &stall.longestMs, &stall.wholeSeconds) !=
        2)
        fail("window_probe said: " + said);
    return stall;
}

double hostOpening(const Setup& s) {
    const std::string said = output({s.wine, s.probe, "opening", windowsPath(s.host), s.tone});
    end(processOf(windowsPath(s.host), false));
    double longest = -1;
    if (std::sscanf(said.c_str(), "opening %lf", &longest) != 1)
        fail("window_probe said: " + said);
    return longest;
}

void writeList(const fs::path& path, const fs::path& media) {
    std::vector<std::string> songs;
    for (const auto& entry : fs::directory_iterator(media))
        if (entry.path().filename().string().rfind("short", 0) == 0)
            songs.push_back(entry.path().filename());
    if (songs.empty())
        fail("no short*.mp3 in " + media.string());
    std::ofstream list(path, std::ios::binary);
    list << "#EXTM3U\r\n";
    for (int i = 0; i < kEntries; ++i)
        list << "#EXTINF:3,Artist " << i << " - Song\r\n"
             << songs[std::size_t(i) % songs.size()] << "\r\n";
}

// Everything measured, one entry a round, ours and the host of a round at the same index.
struct Rounds {
    std::vector<double> shown[2], rss[2], switches[2], playing[2], stall, whole, hostOpening;
};

void report(const Rounds& r) {
    baselineName = "host";
    std::printf("windows_bench: medians (min..max) of %zu rounds each, taking turns with a bare "
                "host of the same control (Wine)\n",
                r.stall.size());
    ratioResult("Windows start-up", r.shown[0], r.shown[1], {"s", 3}, 1.2);
    differenceResult("Windows memory idle", r.rss[0], r.rss[1], {"MiB", 1, 0, 3.0}, 8,
                     "memory (RSS, idle)");
    differenceResult("Windows memory playing", r.playing[0], r.playing[1], {"MiB", 1, 0, 3.0}, 8,
                     "memory playing");
    figure("idle switches (5 s)", r.switches[0], r.switches[1], {"", 0});
    std::printf("result: Windows idle switches %.2fx beside the host (no target)\n",
                median(ratios(r.switches[0], r.switches[1], 1.0)));
    const Format ms{"ms", 0};
    std::printf("  %-22s %s, whole list shown %s\n", "100,000-entry list",
                spread(r.stall, ms).c_str(), spread(r.whole, {"s", 2}).c_str());
    std::printf("  %-22s %s (the control's own open of one file)\n", "host opening tone.mp3",
                spread(r.hostOpening, ms).c_str());
    const EveryRound stall = everyRound(r.stall, 100);
    std::printf("result: Windows longest stall, %d entries %.0f ms (target <= 100 ms in every "
                "round: %d/%d, "
                "worst %.0f ms)%s\n",
                kEntries, stall.median, stall.met, stall.rounds, stall.worst,
                stall.met == stall.rounds ? "" : " MISSED");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6)
        fail("usage: windows_bench <wine> <Windows bin folder> <tunelark.exe> <media folder> "
             "<rounds>");
    const fs::path bin = argv[2], media = fs::absolute(argv[4]);
    const int rounds = std::max(5, std::atoi(argv[5]));

    // The program keeps its settings beside itself: a copy of it in a folder of its own,
    // playing as soon as something opens.
    char folderTemplate[] = "/tmp/tunelark-wine-bench-XXXXXX";
    if (!::mkdtemp(folderTemplate))
        fail("mkdtemp");
    Setup s{argv[1],
            windowsPath(bin / "window_probe.exe"),
            folderTemplate + std::string("/tunelark.exe"),
            (bin / "wmp_host.exe").string(),
            windowsPath(media / "tone.mp3"),
            "",
            folderTemplate};
    fs::copy_file(argv[3], s.ours);
    std::ofstream(s.oursFolder / "mirc.ini") << "[Tunelark]\r\nAutoStart=True\r\n";
    writeList(media / "wine100000.m3u", media);
    s.list = windowsPath(media / "wine100000.m3u");

    Rounds r;
    for (int round = 0; round < rounds; ++round) {
        // Taking turns, each first every other round, so drift in the machine hits both.
        for (int turn = 0; turn < 2; ++turn) {
            const int who = (turn + round) % 2; // 0: ours, 1: the host
            const Idle idle = idleRound(s, who == 0 ? s.ours : s.host);
            r.shown[who].push_back(idle.shown);
            r.rss[who].push_back(idle.rss);
            r.switches[who].push_back(idle.switches);
            r.playing[who].push_back(playingRss(s, who == 0 ? s.ours : s.host, who == 0));
        }
        const Stall stall = stallRound(s);
        r.stall.push_back(stall.longestMs);
        r.whole.push_back(stall.wholeSeconds);
        r.hostOpening.push_back(hostOpening(s));
    }
    fs::remove_all(s.oursFolder);
    report(r);
    return 0;
}
