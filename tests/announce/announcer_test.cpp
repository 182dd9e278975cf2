// What each start of play brings, event by event: the line to the client, the fields, the song
// files, the delay, and the "client missing" box holding the next line until it is closed.
#include "announce/announcer.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using announce::Announcer;
using playback::Track;

namespace {

struct Event {
    int64_t at;
    // 's' a start, 'r' play going on after its pause, 'x' a start over before it was looked at,
    // 'p' a pause, 'e' stopped, skipped or over, 'h' told by hand, 'k' OK on the box,
    // 'm' the client goes missing, 'c' it comes back, 'a' AutoPrint turned over.
    char kind;
    char track = 0;
};

struct Case {
    const char* what;
    settings::PlayOptions options;
    std::vector<Event> events;
    // "<ms> line X": handed to the client; "<ms> show X": in the fields; "<ms> txt X" and
    // "<ms> json X <state> <started ms>": the song files.
    std::vector<std::string> expected;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.what;
}

Track track(char letter) {
    return {.sourceURL = std::string("/m/") + letter + ".mp3", .name = std::string(1, letter)};
}

int64_t startedMs(const std::string& json) { // "1970-01-01T00:00:05.250Z" is 5250
    const std::size_t at = json.find("T00:");
    return std::stoll(json.substr(at + 4, 2)) * 60000 + std::stoll(json.substr(at + 7, 2)) * 1000 +
           std::stoll(json.substr(at + 10, 3));
}

std::string field(const std::string& json, const std::string& key) {
    const std::size_t at = json.find("\"" + key + "\": \"") + key.size() + 5;
    return json.substr(at, json.find('"', at) - at);
}

// Plays the events in time order against an announcer, with a timer that fires when it is due
// and a client that takes each line at once, unless it is missing: then the box is up until 'k'.
std::vector<std::string> run(const Case& c) {
    settings::PlayOptions options = c.options;
    options.format = "!название";
    std::vector<std::string> log;
    int64_t now = 0;
    auto note = [&](const std::string& what) { log.push_back(std::to_string(now) + " " + what); };
    Announcer announcer(options, nullptr, [&](const std::string& path, std::string_view bytes) {
        const std::string b(bytes);
        if (path == "txt")
            note("txt " + b.substr(b.find("\r\n") + 2,
                                   b.find("\r\n", b.find("\r\n") + 2) - b.find("\r\n") - 2));
        else
            note("json " + field(b, "title") + " " + field(b, "state") + " " +
                 std::to_string(startedMs(b)));
        return true;
    });
    announcer.setFiles("txt", "json");
    announcer.setDelay(options.announceDelayMs);

    std::optional<int64_t> alarm;
    bool missing = false;
    const auto moment = [&] { return announce::Moment{now, {now, 0}}; };
    auto perform = [&](Announcer::Step step) {
        for (;;) {
            alarm = step.wakeInMs ? std::optional(now + *step.wakeInMs) : std::nullopt;
            if (step.show)
                note("show " + announcer.shownTrack()->name);
            if (!step.line)
                return;
            note("line " + *step.line);
            if (missing)
                return; // the box is up
            step = announcer.lineDone(moment());
        }
    };
    auto fireUpTo = [&](int64_t time) {
        while (alarm && *alarm <= time) {
            now = *alarm;
            perform(announcer.elapsed(moment()));
        }
    };
    Track current;
    for (const Event& e : c.events) {
        fireUpTo(e.at);
        now = e.at;
        switch (e.kind) {
        case 's':
        case 'r':
        case 'x':
            current = e.kind == 'x' ? Track{} : track(e.track);
            perform(announcer.started(current, e.kind == 'r', moment()));
            break;
        case 'p':
            perform(announcer.paused(current.sourceURL, moment()));
            break;
        case 'e':
            perform(announcer.stopped(moment()));
            break;
        case 'h':
            perform(announcer.tellNow(current, moment()));
            break;
        case 'k':
            perform(announcer.lineDone(moment()));
            break;
        case 'm':
        case 'c':
            missing = e.kind == 'm';
            break;
        case 'a':
            options.autoPrint = !options.autoPrint;
            break;
        }
    }
    fireUpTo(1000000);
    return log;
}

const settings::PlayOptions kAuto{.autoPrint = true};
const settings::PlayOptions kAutoDelay{.autoPrint = true, .announceDelayMs = 2000};
const settings::PlayOptions kJson{.jsonFile = true};

const Case kCases[] = {
    {"a start is shown and written, and then told",
     kAuto,
     {{0, 's', 'A'}},
     {"0 txt A", "0 show A", "0 line A"}},
    {"without automatic announcement only the fields and the file change",
     {},
     {{0, 's', 'A'}},
     {"0 txt A", "0 show A"}},
    {"play going on after a pause is a start too, told again",
     kAuto,
     {{0, 's', 'A'}, {100, 'p'}, {200, 'r', 'A'}},
     {"0 txt A", "0 show A", "0 line A", "200 txt A", "200 show A", "200 line A"}},
    {"other states change nothing", kAuto, {{0, 'p'}, {100, 'e'}, {200, 'x'}}, {}},
    {"each start and pause is written as JSON with the time the track began",
     kJson,
     {{0, 's', 'A'}, {1000, 'p'}, {2000, 'r', 'A'}, {3000, 's', 'B'}},
     {"0 txt A", "0 json A playing 0", "0 show A", "1000 json A paused 0", "2000 txt A",
      "2000 json A playing 0", "2000 show A", "3000 txt B", "3000 json B playing 3000",
      "3000 show B"}},
    {"the same track started again, not from its pause, begins anew",
     kJson,
     {{0, 's', 'A'}, {1000, 'e'}, {2000, 's', 'A'}},
     {"0 txt A", "0 json A playing 0", "0 show A", "2000 txt A", "2000 json A playing 2000",
      "2000 show A"}},
    {"nothing loaded, nothing told by hand", kAuto, {{0, 'h'}}, {}},
    {"told by hand at once, and not again when the delay is over",
     kAutoDelay,
     {{0, 's', 'A'}, {500, 'h'}},
     {"0 txt A", "0 show A", "500 line A"}},
    {"with a delay only what plays long enough is told",
     kAutoDelay,
     {{0, 's', 'A'}, {1000, 's', 'B'}},
     {"0 txt A", "0 show A", "1000 txt B", "1000 show B", "3000 line B"}},
    {"stopped before the delay is never told",
     kAutoDelay,
     {{0, 's', 'A'}, {1000, 'e'}},
     {"0 txt A", "0 show A"}},
    {"a short pause after the line is not told again",
     kAutoDelay,
     {{0, 's', 'A'}, {3000, 'p'}, {3500, 'r', 'A'}},
     {"0 txt A", "0 show A", "2000 line A", "3500 txt A", "3500 show A"}},
    {"automatic announcement turned off before the delay is over tells nothing",
     kAutoDelay,
     {{0, 's', 'A'}, {1000, 'a'}},
     {"0 txt A", "0 show A"}},
    {"under the box every start is shown at once, and only the latest told when it closes",
     kAuto,
     {{0, 'm'}, {0, 's', 'A'}, {100, 's', 'B'}, {200, 's', 'C'}, {300, 'c'}, {300, 'k'}},
     {"0 txt A", "0 show A", "0 line A", "100 txt B", "100 show B", "200 txt C", "200 show C",
      "300 line C"}},
    {"with the client still missing the latest start has a box of its own",
     kAuto,
     {{0, 'm'}, {0, 's', 'A'}, {100, 's', 'B'}, {300, 'k'}, {400, 'k'}},
     {"0 txt A", "0 show A", "0 line A", "100 txt B", "100 show B", "300 line B"}},
    {"stopped under the box: nothing is told when it closes",
     kAuto,
     {{0, 'm'}, {0, 's', 'A'}, {100, 's', 'B'}, {200, 'e'}, {300, 'k'}},
     {"0 txt A", "0 show A", "0 line A", "100 txt B", "100 show B"}},
    {"paused under the box: nothing is told when it closes",
     kAuto,
     {{0, 'm'}, {0, 's', 'A'}, {100, 's', 'B'}, {200, 'p'}, {300, 'k'}},
     {"0 txt A", "0 show A", "0 line A", "100 txt B", "100 show B"}},
    {"moved on under the box, before the next start was looked at: nothing is told",
     kAuto,
     {{0, 'm'}, {0, 's', 'A'}, {100, 's', 'B'}, {200, 'x'}, {300, 'k'}},
     {"0 txt A", "0 show A", "0 line A", "100 txt B", "100 show B"}},
    {"told by hand while the delay runs out under the box: the delay's line never follows",
     kAutoDelay,
     {{0, 's', 'A'}, {500, 'm'}, {500, 'h'}, {2500, 'c'}, {2500, 'k'}},
     {"0 txt A", "0 show A", "500 line A"}},
    {"under the delay's box a later start is shown at once and told after its own delay",
     kAutoDelay,
     {{0, 'm'}, {0, 's', 'A'}, {2500, 's', 'B'}, {2600, 'c'}, {3000, 'k'}},
     {"0 txt A", "0 show A", "2000 line A", "2500 txt B", "2500 show B", "4500 line B"}},
};

class AnnouncerTable : public testing::TestWithParam<Case> {};

TEST_P(AnnouncerTable, DoesWhatEachStartBrings) {
    EXPECT_EQ(run(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, AnnouncerTable, testing::ValuesIn(kCases),
                         testsupport::NameByWhat());

TEST(AnnouncerLine, IsBuiltFromTheFormatWithTheLinksEscaping) {
    const settings::PlayOptions options{.format = "/me !артист | !название"};
    Announcer announcer(
        options, [](const std::string& v) { return "<" + v + ">"; },
        [](const std::string&, std::string_view) { return true; });
    const auto step =
        announcer.tellNow({.sourceURL = "/m/x.mp3", .name = "B\n", .author = "A"}, {});
    EXPECT_EQ(step.line, "/me <A> | <B >");
}

} // namespace
