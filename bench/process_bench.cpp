// The program beside the plain engine player (mpv), measured from outside on the same display,
// the same video output and the same window size, rounds taking turns:
//   start-up: exec to the main window mapped, with the engine started (mpv: its window mapped);
//   memory:   RSS with the window shown, idle, 2 s after start-up (ours keeps no video output
//             while it has no picture to show, mpv keeps its window); and at the end of playing
//             the video, where both draw the same picture;
//   idle:     voluntary context switches of all threads over the next 10 s;
//   overlay:  memory and idle switches of ours again with the overlay page's server on (a port
//             set, no page open), beside ours with it off;
//   CPU:      CPU time over 8 s of playing a file with ao=null, from 1 s after it starts, beside
//             plain mpv with its on-screen controls hidden (ours has its own control bar).
// Usage: process_bench <tunelark> <play_file> <media folder> <rounds>
// The media folder holds tone.mp3 (60 s) and video.mkv (320x240, 60 s). Prints each figure's
// median and spread over the rounds, flags rounds that fall into two groups, and holds each target
// to every round, ours against mpv of the same round, ending in a "result:" line for bench/run.
#include "rounds.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 439, kHeight = 369; // our player area
constexpr auto kSettle = std::chrono::seconds(2);
constexpr auto kIdle = std::chrono::seconds(10);
constexpr auto kPlayWarmUp = std::chrono::seconds(1);
constexpr auto kPlay = std::chrono::seconds(8);
constexpr int kOverlayPort = 8760;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "process_bench: %s\n", why.c_str());
    std::exit(1);
}

// What is up on the display for one process: its main window, and the engine's video window
// (of class "mpv", inside our main window or mpv's own top-level one).
struct Seen {
    bool mainWindow = false;
    bool video = false;
};

class Display {
public:
    Display() : c_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(c_))
            fail("no X display");
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        auto* atom = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, 11, "_NET_WM_PID"), nullptr);
        pidAtom_ = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(atom);
        watch(root_);
        xcb_flush(c_);
    }
    ~Display() { xcb_disconnect(c_); }

    // Waits, bounded, until `done` holds for what is up, noting when the main window came up.
    bool waitFor(pid_t pid, const std::function<bool(const Seen&)>& done,
                 std::chrono::seconds limit, Clock::time_point start = {},
                 double* mainAt = nullptr) {
        const auto deadline = Clock::now() + limit;
        while (true) {
            Seen seen;
            scan(root_, pid, seen);
            const double now = std::chrono::duration<double>(Clock::now() - start).count();
            if (mainAt && seen.mainWindow && *mainAt < 0)
                *mainAt = now;
            if (done(seen))
                return true;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            // Every window is watched, so a change wakes this at once; the cap only guards.
            pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
            ::poll(&fd, 1, int(std::min<long>(left.count(), 100)));
            while (xcb_generic_event_t* event = xcb_poll_for_event(c_))
                std::free(event);
        }
    }

private:
    void watch(xcb_window_t w) {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, w, XCB_CW_EVENT_MASK, &mask);
    }

    // Watches every window, then looks at it, one level of the tree at a time with every request
    // of a level sent at once, so a look costs the X server (which the program being measured
    // needs) a few round trips. What changes after the look sends an event.
    void scan(xcb_window_t root, pid_t pid, Seen& seen) {
        std::vector<xcb_window_t> level{root};
        bool topLevel = true; // the root's children are the top-level windows
        while (!level.empty()) {
            std::vector<xcb_query_tree_cookie_t> trees;
            for (const xcb_window_t w : level)
                trees.push_back(xcb_query_tree(c_, w));
            std::vector<xcb_window_t> next;
            for (const auto cookie : trees) {
                if (auto* tree = xcb_query_tree_reply(c_, cookie, nullptr)) {
                    const xcb_window_t* children = xcb_query_tree_children(tree);
                    next.insert(next.end(), children,
                                children + xcb_query_tree_children_length(tree));
                    std::free(tree);
                }
            }
            std::vector<xcb_get_window_attributes_cookie_t> attributes;
            std::vector<xcb_get_property_cookie_t> classes, pids;
            for (const xcb_window_t w : next) {
                watch(w);
                attributes.push_back(xcb_get_window_attributes(c_, w));
                classes.push_back(
                    xcb_get_property(c_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64));
                pids.push_back(xcb_get_property(c_, 0, w, pidAtom_, XCB_ATOM_CARDINAL, 0, 1));
            }
            xcb_flush(c_);
            for (std::size_t i = 0; i < next.size(); ++i) {
                auto* a = xcb_get_window_attributes_reply(c_, attributes[i], nullptr);
                const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
                std::free(a);
                const std::string cls = value(classes[i]);
                const std::string owner = value(pids[i]);
                if (viewable && topLevel &&
                    owner == std::string(reinterpret_cast<const char*>(&pid), sizeof pid))
                    seen.mainWindow = true;
                if (viewable && cls.find(std::string("\0mpv", 4)) != std::string::npos)
                    seen.video = true;
            }
            level = std::move(next);
            topLevel = false;
        }
    }

    std::string value(xcb_get_property_cookie_t cookie) {
        std::string text;
        if (auto* reply = xcb_get_property_reply(c_, cookie, nullptr)) {
            text.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                        std::size_t(xcb_get_property_value_length(reply)));
            std::free(reply);
        }
        return text;
    }

    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_atom_t pidAtom_;
};

void stop(Process& p) {
    ::kill(p.pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(p.pid, nullptr, WNOHANG) == p.pid) {
            ::close(p.out);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(p.pid, SIGKILL);
    ::waitpid(p.pid, nullptr, 0);
    ::close(p.out);
}

// User and system CPU of the whole process, its ended threads included, in seconds.
double cpuSeconds(pid_t pid) {
    const std::string stat = fileText("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::atof(field.c_str());
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

bool waitForText(const Process& p, const std::string& text, std::chrono::seconds limit) {
    std::string seen;
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        char buffer[4096];
        const ssize_t n = ::read(p.out, buffer, sizeof buffer);
        if (n > 0)
            seen.append(buffer, std::size_t(n));
        if (seen.find(text) != std::string::npos)
            return true;
        pollfd fd{p.out, POLLIN, 0};
        ::poll(&fd, 1, 20);
    }
    return false;
}

bool waitForFile(const fs::path& file, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!fs::exists(file)) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct IdleRound {
    double mainWindowSeconds, rss;
    long switches;
};

const auto kNothingUp = [](const Seen& seen) { return !seen.mainWindow && !seen.video; };

IdleRound idleRound(Display& display, const std::vector<std::string>& argv,
                    const fs::path& folder) {
    const auto start = Clock::now();
    Process p = spawn(argv, folder);
    double mainAt = -1;
    if (!display.waitFor(
            p.pid, [](const Seen& seen) { return seen.mainWindow; }, std::chrono::seconds(30),
            start, &mainAt))
        fail("no window from " + argv[0]);
    std::this_thread::sleep_for(kSettle);
    const double rss = rssMiB(p.pid);
    const long before = voluntarySwitches(p.pid);
    std::this_thread::sleep_for(kIdle);
    const long switches = voluntarySwitches(p.pid) - before;
    stop(p);
    display.waitFor(p.pid, kNothingUp, std::chrono::seconds(10));
    return {mainAt, rss, switches};
}

struct PlayRound {
    double cpu, rss;
};

PlayRound playRound(Display& display, const std::vector<std::string>& argv, const fs::path& folder,
                    bool ours) {
    fs::remove(folder / "SongName.txt");
    Process p = spawn(argv, folder);
    const bool playing = ours ? waitForFile(folder / "SongName.txt", std::chrono::seconds(30))
                              : waitForText(p, "playing", std::chrono::seconds(30));
    if (!playing)
        fail("never played: " + argv[0]);
    std::this_thread::sleep_for(kPlayWarmUp);
    const double before = cpuSeconds(p.pid);
    std::this_thread::sleep_for(kPlay);
    const double cpu = cpuSeconds(p.pid) - before;
    const double rss = rssMiB(p.pid);
    stop(p);
    display.waitFor(p.pid, kNothingUp, std::chrono::seconds(10));
    return {cpu, rss};
}

// Everything measured, one entry a round, ours and mpv of a round at the same index.
struct Rounds {
    std::vector<double> startOurs, startBase, rssOurs, rssBase, idleOurs, idleBase;
    std::vector<double> rssOverlay, idleOverlay; // ours with the overlay on
    std::vector<double> cpu[2][2];               // [audio, video][ours, mpv]
    std::vector<double> rssPlaying[2];           // at the end of playing the video: [ours, mpv]
};

void report(const Rounds& r) {
    std::printf("process_bench: medians (min..max) of %zu rounds each, taking turns with mpv "
                "(vo=gpu, gpu-sw, ao=null, %dx%d)\n",
                r.startOurs.size(), kWidth, kHeight);
    const Format seconds{"s", 3};
    ratioResult("start-up", r.startOurs, r.startBase, seconds, 1.0);

    // Idle, ours keeps no video output; playing video, both draw the same picture, and the
    // difference is mostly the window's own libraries.
    differenceResult("memory", r.rssOurs, r.rssBase, {"MiB", 1, 0, 3.0}, 10, "memory (RSS, idle)");
    figure("memory playing video", r.rssPlaying[0], r.rssPlaying[1], {"MiB", 1, 0, 3.0});
    std::printf("result: memory playing video %+.1f MiB beside mpv (no target)\n",
                median(differences(r.rssPlaying[0], r.rssPlaying[1])));

    // mpv may barely wake at all; one switch keeps its ratio finite.
    ratioResult("idle switches (10 s)", r.idleOurs, r.idleBase, {"", 0}, 1.0, 1.0);
    const Format mib{"MiB", 1, 0, 3.0};
    std::printf("  %-22s on %-24s off %s\n", "overlay memory", spread(r.rssOverlay, mib).c_str(),
                spread(r.rssOurs, mib).c_str());
    std::printf("  %-22s on %-24s off %s\n", "overlay idle switches",
                spread(r.idleOverlay, {"", 0}).c_str(), spread(r.idleOurs, {"", 0}).c_str());
    std::printf("result: overlay on %+.1f MiB, %+.0f idle switches (10 s) beside off (no target)\n",
                median(differences(r.rssOverlay, r.rssOurs)),
                median(differences(r.idleOverlay, r.idleOurs)));
    const char* names[] = {"CPU playing audio", "CPU playing video"};
    const double targets[] = {1.30, 1.10};
    for (int f = 0; f < 2; ++f)
        ratioResult(names[f], r.cpu[f][0], r.cpu[f][1], seconds, targets[f]);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5)
        fail("usage: process_bench <tunelark> <play_file> <media folder> <rounds>");
    const fs::path tunelark = fs::absolute(argv[1]);
    const fs::path playFile = fs::absolute(argv[2]);
    const fs::path mediaFolder = fs::absolute(argv[3]);
    const int rounds = std::max(5, std::atoi(argv[4]));

    // The program keeps its settings beside itself: a copy of it in a folder of its own.
    char folderTemplate[] = "/tmp/tunelark-bench-XXXXXX";
    if (!::mkdtemp(folderTemplate))
        fail("mkdtemp");
    const fs::path folder = folderTemplate;
    fs::copy_file(tunelark, folder / "tunelark");
    // Playing from the start, and round again should a round outlast the track.
    const std::string settings = "[Tunelark]\r\nAutoStart=True\r\nRepeat=True\r\n";
    std::ofstream(folder / "mirc.ini") << settings;

    const std::string geometry =
        "--geometry=" + std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const std::vector<std::string> mpv{
        "mpv",       "--no-config", "--vo=gpu",          "--gpu-sw=yes",
        "--ao=null", geometry,      "--force-window=yes"};

    Display display;
    Rounds r;
    for (int round = 0; round < rounds; ++round) {
        // Taking turns, each first every other round, so drift in the machine hits both.
        for (int turn = 0; turn < 2; ++turn) {
            const bool ours = (turn + round) % 2 == 0;
            std::vector<std::string> command{(folder / "tunelark").string()};
            if (!ours) {
                command = mpv;
                command.push_back("--idle");
            }
            const IdleRound idle = idleRound(display, command, folder);
            (ours ? r.startOurs : r.startBase).push_back(idle.mainWindowSeconds);
            (ours ? r.rssOurs : r.rssBase).push_back(idle.rss);
            (ours ? r.idleOurs : r.idleBase).push_back(double(idle.switches));
        }
        std::ofstream(folder / "mirc.ini") << settings << "OverlayPort=" << kOverlayPort << "\r\n";
        const IdleRound overlay = idleRound(display, {(folder / "tunelark").string()}, folder);
        std::ofstream(folder / "mirc.ini") << settings;
        r.rssOverlay.push_back(overlay.rss);
        r.idleOverlay.push_back(double(overlay.switches));
    }

    // Ours draws its own control bar, not mpv's, so the baseline is plain mpv, whose controls
    // stay hidden while nothing moves the mouse.
    const char* files[] = {"tone.mp3", "video.mkv"};
    for (int f = 0; f < 2; ++f) {
        const std::string media = (mediaFolder / files[f]).string();
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool ours = (turn + round) % 2 == 0;
                std::vector<std::string> command{playFile.string(), media, folder.string()};
                if (!ours) {
                    command = mpv;
                    command.insert(command.end(),
                                   {"--term-playing-msg=playing", "--loop-file=inf", media});
                }
                const PlayRound played = playRound(display, command, folder, ours);
                r.cpu[f][ours ? 0 : 1].push_back(played.cpu);
                if (f == 1)
                    r.rssPlaying[ours ? 0 : 1].push_back(played.rss);
            }
        }
    }
    fs::remove_all(folder);

    report(r);
    return 0;
}
