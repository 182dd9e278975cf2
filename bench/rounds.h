#pragma once

// What the process benchmarks share: a process's figures read from /proc, and rounds printed with
// their median and spread, flagged when they fall into two groups, and held to a target in every
// round, ours against the baseline of the same round.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace bench {

struct Process {
    pid_t pid = -1;
    int out = -1; // its standard output, read without waiting
};

// Starts argv in folder, its standard output on a pipe and its complaints dropped.
inline Process spawn(const std::vector<std::string>& argv, const std::filesystem::path& folder) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    return {pid, pipeFds[0]};
}

// What the baseline is called in the printed lines.
inline const char* baselineName = "mpv";

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline double rssMiB(pid_t pid) {
    std::istringstream status(fileText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// Voluntary context switches of every thread now alive.
inline long voluntarySwitches(pid_t pid) {
    long sum = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::istringstream status(fileText(task.path() / "status"));
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                sum += std::atol(line.c_str() + 24);
    }
    return sum;
}

// Rounds that split into a low and a high group, each given by its lowest and highest round.
struct Groups {
    double lowMin, lowMax, highMin, highMax;
};

// Two groups: the widest gap between neighbouring sorted rounds is over twice the wider side's
// own range and over `material`.
inline std::optional<Groups> twoGroups(std::vector<double> rounds, double material) {
    if (rounds.size() < 2)
        return std::nullopt;
    std::sort(rounds.begin(), rounds.end());
    std::size_t cut = 1; // the first round of the high side
    for (std::size_t i = 2; i < rounds.size(); ++i)
        if (rounds[i] - rounds[i - 1] > rounds[cut] - rounds[cut - 1])
            cut = i;
    const double gap = rounds[cut] - rounds[cut - 1];
    const double within = std::max(rounds[cut - 1] - rounds.front(), rounds.back() - rounds[cut]);
    if (gap > 2 * within && gap > material)
        return Groups{rounds.front(), rounds[cut - 1], rounds[cut], rounds.back()};
    return std::nullopt;
}

// A target held to every round: how many rounds met it, and the median and worst of them.
struct EveryRound {
    double median, worst;
    int met, rounds;
};

inline EveryRound everyRound(const std::vector<double>& perRound, double target) {
    EveryRound r{median(perRound), *std::max_element(perRound.begin(), perRound.end()), 0,
                 int(perRound.size())};
    for (const double v : perRound)
        r.met += v <= target;
    return r;
}

// Ours over the baseline of the same round, the two having run in turns; the baseline's figure
// is at least `floor`.
inline std::vector<double> ratios(const std::vector<double>& ours, const std::vector<double>& base,
                                  double floor = 0) {
    std::vector<double> r;
    for (std::size_t i = 0; i < ours.size() && i < base.size(); ++i)
        r.push_back(ours[i] / std::max(floor, base[i]));
    return r;
}

inline std::vector<double> differences(const std::vector<double>& ours,
                                       const std::vector<double>& base) {
    std::vector<double> r;
    for (std::size_t i = 0; i < ours.size() && i < base.size(); ++i)
        r.push_back(ours[i] - base[i]);
    return r;
}

// How a figure is printed, and the least gap between two groups of its rounds that matters.
struct Format {
    const char* unit;
    int decimals;
    double materialShare = 0.05; // of the median, unless an amount is given
    double materialAmount = 0;   // in the figure's unit
};

inline std::string number(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

inline std::string spread(const std::vector<double>& rounds, const Format& format) {
    const auto [low, high] = std::minmax_element(rounds.begin(), rounds.end());
    const std::string unit = *format.unit ? std::string(" ") + format.unit : "";
    return number(median(rounds), format.decimals) + unit + " (" + number(*low, format.decimals) +
           ".." + number(*high, format.decimals) + ")";
}

inline std::string groupsNote(const char* who, const std::vector<double>& rounds,
                              const Format& format) {
    const double material =
        format.materialAmount > 0 ? format.materialAmount : format.materialShare * median(rounds);
    const auto groups = twoGroups(rounds, material);
    if (!groups)
        return "";
    const int d = format.decimals;
    return std::string("  ") + who + " TWO GROUPS: " + number(groups->lowMin, d) + ".." +
           number(groups->lowMax, d) + " | " + number(groups->highMin, d) + ".." +
           number(groups->highMax, d);
}

inline void figure(const char* name, const std::vector<double>& ours,
                   const std::vector<double>& base, const Format& format,
                   const std::string& note = "") {
    char line[512];
    std::snprintf(line, sizeof line, "  %-22s ours %-24s %s %-24s%s%s%s", name,
                  spread(ours, format).c_str(), baselineName, spread(base, format).c_str(),
                  note.c_str(), groupsNote("ours", ours, format).c_str(),
                  groupsNote(baselineName, base, format).c_str());
    std::string text = line;
    text.erase(text.find_last_not_of(' ') + 1);
    std::printf("%s\n", text.c_str());
}

inline void ratioResult(const char* name, const std::vector<double>& ours,
                        const std::vector<double>& base, const Format& format, double target,
                        double floor = 0) {
    figure(name, ours, base, format);
    const EveryRound r = everyRound(ratios(ours, base, floor), target);
    std::printf("result: %s %.2fx (target <= %.2fx in every round: %d/%d, worst %.2fx)%s\n", name,
                r.median, target, r.met, r.rounds, r.worst, r.met == r.rounds ? "" : " MISSED");
}

// Ours less the baseline of the same round, in MiB, held to `target` in every round.
inline void differenceResult(const char* name, const std::vector<double>& ours,
                             const std::vector<double>& base, const Format& format, double target,
                             const char* figureName) {
    figure(figureName, ours, base, format);
    const EveryRound r = everyRound(differences(ours, base), target);
    std::printf("result: %s %+.1f MiB beside %s (target <= %+.1f MiB in every round: %d/%d, "
                "worst %+.1f MiB)%s\n",
                name, r.median, baselineName, target, r.met, r.rounds, r.worst,
                r.met == r.rounds ? "" : " MISSED");
}

} // namespace bench
