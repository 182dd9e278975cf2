#pragma once

// The options the program keeps between runs, typed, and the one table of their keys in the
// settings file: reading at start, writing at exit and writing an edited format all go by it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The options with a check mark of their own in the menus.
enum class Flag { Repeat, AutoStart, Random, AutoPrint };

struct PlayOptions {
    bool repeat = false;
    bool autoStart = false;
    bool random = false;
    bool autoPrint = false;
    std::string format = {};     // the announcement line's format
    int64_t announceDelayMs = 0; // how long a track plays before it is told automatically
    bool jsonFile = false;       // SongName.json beside SongName.txt
    bool fieldFiles = false;     // NowPlaying/ beside SongName.txt: one file a detail, the cover
    bool clearOnStop = false;    // the field files emptied when nothing plays
    int overlayPort = 0;         // the overlay page's port on 127.0.0.1; 0 for none

    bool& operator[](Flag flag);
    bool operator[](Flag flag) const;
};

// When a key goes into the settings file.
enum class Stored {
    AtExit,     // the four flags, as the program ends
    WhenEdited, // the format, as soon as the user changes it
    Never,      // set by hand in the file while the program is closed
};

// The section of the shared settings file that holds them.
std::string_view optionsSection();

// One stored value: the text under key, or defaultValue when the key or the file is missing.
using ReadValue =
    std::function<std::string(const std::string& key, const std::string& defaultValue)>;

// Every key of the table, in this order: Repeat, AutoStart, Random and AutoPrint ("False" when
// missing; text that is no Boolean leaves the flag off), Format (defaultFormat when missing; an
// empty value stays empty), AnnounceDelay (seconds, see delayMs; "0" when missing), JsonFile,
// FieldFiles and ClearOnStop (Booleans, "False" when missing), and OverlayPort (see portNumber;
// "0" when missing).
PlayOptions readOptions(const ReadValue& read, std::string_view defaultFormat);

// Writes one value under key; the writer may change the text in place to what it stored.
using WriteValue = std::function<void(const std::string& key, std::string& value)>;

// Writes the keys stored `when`, in the table's order, and takes back into the options the text
// each was stored as, so the options hold what the file holds (a format on one line).
void storeOptions(PlayOptions& options, Stored when, const WriteValue& write);

// "True" or "False" in any letter case, or a decimal number where zero is false and any other
// number true ("1.5", "-0", "1e3", "0,0"). Surrounding spaces and tabs are ignored. Anything
// else, including empty text and "yes", gives nullopt.
std::optional<bool> parseBoolean(std::string_view text);

// How a Boolean option is stored: "True" or "False".
std::string booleanText(bool value);

// Seconds as stored ("2", "2.5", "2,5") in milliseconds, at most a day. Anything else (text, a
// negative number) is no delay.
int64_t delayMs(std::string_view seconds);

// A TCP port as stored: a whole number from 1 to 65535, surrounding blanks ignored. Anything
// else is no port, 0.
int portNumber(std::string_view text);

} // namespace settings
