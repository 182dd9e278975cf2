// The options' one table of keys: what startup reads, what is stored and when, and the rules for
// Boolean text, the delay and where the files live.
#include "settings/places.h"
#include "settings/play_options.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>
#include <vector>

using settings::PlayOptions;
using settings::Stored;

namespace {

TEST(Options, BooleanRule) {
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {
        {"True", true},
        {"FALSE", false},
        {"tRuE", true},
        {" true\t", true},
        {"0", false},
        {"1", true},
        {"-1", true},
        {"-0", false},
        {"+7", true},
        {"1.5", true},
        {"0.0", false},
        {"0,5", true},
        {".5", true},
        {"1e3", true},
        {"0E-2", false},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"yes", std::nullopt},
        {"on", std::nullopt},
        {"tru", std::nullopt},
        {"true1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"+", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"1 0", std::nullopt},
        {"0x1", std::nullopt},
        {"&H1", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(settings::parseBoolean(c.text), c.expected) << c.text;
    for (const bool value : {true, false})
        EXPECT_EQ(settings::parseBoolean(settings::booleanText(value)), value);
    EXPECT_EQ(settings::booleanText(true), "True");
    EXPECT_EQ(settings::booleanText(false), "False");
}

using Stored_ = std::map<std::string, std::string>; // a missing key reads as its default

settings::ReadValue reader(const Stored_& stored, std::vector<std::string>* asked = nullptr) {
    return [&stored, asked](const std::string& key, const std::string& defaultValue) {
        if (asked)
            asked->push_back(key);
        const auto it = stored.find(key);
        return it == stored.end() ? defaultValue : it->second;
    };
}

// What a store writes, as the settings file would hold it.
Stored_ stored(PlayOptions& options, Stored when) {
    Stored_ file;
    settings::storeOptions(options, when,
                           [&](const std::string& key, std::string& value) { file[key] = value; });
    return file;
}

TEST(Options, StartupReadsAndShutdownStoresTheFlags) {
    const std::string fallback = "/me !название";
    const struct {
        const char* name;
        Stored_ stored;
        PlayOptions expected;
    } cases[] = {
        {"first start", {}, {.format = fallback}},
        {"any letter case and numbers",
         {{"Repeat", "true"}, {"AutoStart", "1"}, {"Random", "-2"}, {"AutoPrint", "FALSE"}},
         {.repeat = true, .autoStart = true, .random = true, .format = fallback}},
        {"text that is no Boolean leaves the flag off",
         {{"Repeat", "yes"}, {"AutoStart", ""}, {"Random", "0"}, {"AutoPrint", "True"}},
         {.autoPrint = true, .format = fallback}},
        {"stored format", {{"Format", "np: !название"}}, {.format = "np: !название"}},
        {"empty format stays empty", {{"Format", ""}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> asked;
        PlayOptions read = settings::readOptions(reader(c.stored, &asked), fallback);
        const auto& e = c.expected;
        EXPECT_EQ(std::tie(read.repeat, read.autoStart, read.random, read.autoPrint, read.format),
                  std::tie(e.repeat, e.autoStart, e.random, e.autoPrint, e.format));
        EXPECT_EQ(asked, (std::vector<std::string>{"Repeat", "AutoStart", "Random", "AutoPrint",
                                                   "Format", "AnnounceDelay", "JsonFile",
                                                   "FieldFiles", "ClearOnStop", "OverlayPort"}));
        // What shutdown stores reads back as the same flags.
        const Stored_ file = stored(read, Stored::AtExit);
        const PlayOptions again = settings::readOptions(reader(file), fallback);
        EXPECT_EQ(std::tie(again.repeat, again.autoStart, again.random, again.autoPrint),
                  std::tie(e.repeat, e.autoStart, e.random, e.autoPrint));
    }
    PlayOptions options{.repeat = true, .autoPrint = true, .format = "not stored at exit"};
    EXPECT_EQ(stored(options, Stored::AtExit), (Stored_{{"Repeat", "True"},
                                                        {"AutoStart", "False"},
                                                        {"Random", "False"},
                                                        {"AutoPrint", "True"}}));
}

TEST(Options, AnEditedFormatIsStoredAloneAndKeptAsStored) {
    PlayOptions options{.repeat = true, .format = "a\r\nb"};
    const Stored_ file = stored(options, Stored::WhenEdited);
    EXPECT_EQ(file, (Stored_{{"Format", "a\r\nb"}}));
    // A writer that keeps the value on one line, as the settings file does: the options hold what
    // the file holds.
    settings::storeOptions(options, Stored::WhenEdited,
                           [](const std::string&, std::string& value) { value = "a  b"; });
    EXPECT_EQ(options.format, "a  b");
}

TEST(Options, DelayAndJsonFileAreReadButNeverStored) {
    const Stored_ file{{"AnnounceDelay", "2,5"}, {"JsonFile", "true"}, {"OverlayPort", "8765"}};
    PlayOptions read = settings::readOptions(reader(file), {});
    EXPECT_EQ(read.announceDelayMs, 2500);
    EXPECT_TRUE(read.jsonFile);
    EXPECT_EQ(read.overlayPort, 8765);
    const PlayOptions none = settings::readOptions(reader({}), {});
    EXPECT_EQ(none.announceDelayMs, 0);
    EXPECT_FALSE(none.jsonFile);
    EXPECT_EQ(none.overlayPort, 0);
    for (const Stored when : {Stored::AtExit, Stored::WhenEdited}) {
        for (const auto& [key, value] : stored(read, when))
            EXPECT_FALSE(key == "AnnounceDelay" || key == "JsonFile" || key == "OverlayPort")
                << key;
    }
}

TEST(Options, DelayIsSecondsUpToADayAndAnythingElseIsNone) {
    const std::pair<const char*, int64_t> cases[] = {
        {"0", 0},         {"5", 5000},         {" 2.5 ", 2500},   {"2,5", 2500},
        {"0.0004", 0},    {"86400", 86400000}, {"1e9", 86400000}, {"-3", 0},
        {"nan", 0},       {"inf", 0},          {"пять", 0},       {"", 0},
        {"5 seconds", 0},
    };
    for (auto [text, ms] : cases)
        EXPECT_EQ(settings::delayMs(text), ms) << text;
}

TEST(Options, PortIsAWholeNumberInRangeAndAnythingElseIsNone) {
    const std::pair<const char*, int> cases[] = {
        {"8765", 8765}, {" 1 ", 1},  {"65535", 65535}, {"65536", 0}, {"0", 0},
        {"-80", 0},     {"80.5", 0}, {"порт", 0},      {"", 0},
    };
    for (auto [text, port] : cases)
        EXPECT_EQ(settings::portNumber(text), port) << text;
}

TEST(Places, FolderGetsOneNativeSeparator) {
    const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
    const struct {
        std::string folder;
        std::string expected;
    } cases[] = {
        {"/opt/tunelark", "/opt/tunelark" + sep},
        {"/", "/"},
        {"/opt/tunelark/", "/opt/tunelark/"},
        {"C:\\Apps", "C:\\Apps" + sep},
        {"C:\\", "C:\\"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(settings::folderWithSeparator(c.folder), c.expected) << c.folder;
}

TEST(Places, FilesLiveBesideTheProgramOrInTheUsersConfiguration) {
    // An absolute folder as this system writes one: "/x" names none on Windows.
    const std::string root = std::filesystem::path("/x").is_absolute() ? "" : "C:";
    const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
    const struct {
        std::string program;
        bool writable;
        std::string xdgConfigHome;
        std::string home;
        std::string expected;
    } cases[] = {
        {root + "/home/u/irc", true, root + "/home/u/cfg", root + "/home/u",
         root + "/home/u/irc" + sep},
        {root + "/bin", false, root + "/home/u/cfg", root + "/home/u",
         root + "/home/u/cfg" + sep + "tunelark/"},
        {root + "/bin", false, root + "/home/u/cfg/", root + "/home/u",
         root + "/home/u/cfg/tunelark/"},
        {root + "/bin", false, "", root + "/home/u", root + "/home/u" + sep + ".config/tunelark/"},
        {root + "/bin", false, "cfg", root + "/home/u",
         root + "/home/u" + sep + ".config/tunelark/"}, // not absolute
        {root + "/bin", false, "", root + "/", root + "/.config/tunelark/"},
        {root + "/bin", false, "", "", root + "/bin" + sep}, // nowhere else to go
    };
    for (const auto& c : cases)
        EXPECT_EQ(settings::filesFolder(c.program, c.writable, c.xdgConfigHome, c.home), c.expected)
            << c.program << " " << c.xdgConfigHome;
}

// What a settings file beside the program allows: the encodings the rules read and write, or why
// not.
TEST(Places, ASettingsFileSaysWhyItsOptionsCannotBeKeptThere) {
    testsupport::TempDir dir;
    const struct {
        const char* what;
        std::optional<std::string> bytes; // none: missing; empty: a folder by that name
        settings::SettingsFile expected;
    } cases[] = {
        {"missing", std::nullopt, {}},
        {"ANSI or UTF-8", "[mIRC]\r\nnick=n\r\n", {true, std::nullopt, true}},
        {"UTF-16LE", std::string("\xFF\xFE[\0", 4), {true, std::nullopt, true}},
        {"UTF-16BE",
         std::string("\xFE\xFF\0[", 4),
         {true, "он в кодировке UTF-16BE, а её Tunelark не читает и не пишет", false}},
        {"a folder", "", {true, "это папка, а не файл", false}},
    };
    for (const auto& c : cases) {
        const std::filesystem::path file = dir.path() / c.what / "mirc.ini";
        std::filesystem::create_directories(c.bytes && c.bytes->empty() ? file
                                                                        : file.parent_path());
        if (c.bytes && !c.bytes->empty())
            testsupport::put(file, *c.bytes);
        const settings::SettingsFile seen = settings::checkSettingsFile(text::utf8Of(file));
        EXPECT_EQ(seen.present, c.expected.present) << c.what;
        EXPECT_EQ(seen.whyNotKept, c.expected.whyNotKept) << c.what;
        EXPECT_EQ(seen.readable, c.expected.readable) << c.what;
    }
}

} // namespace
