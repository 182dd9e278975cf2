#pragma once

// Small rules the start-up and shutdown code applies to stored options.

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace settings {

// The options the program keeps between runs.
struct Options {
    bool repeat = false;
    bool autoStart = false;
    bool random = false;
    bool autoPrint = false;
    QString format;
    qint64 announceDelayMs = 0; // how long a track plays before it is told automatically
    bool jsonFile = false;      // SongName.json beside SongName.txt
};

// The section of the shared settings file that holds them, and the format's key.
QString optionsSection();
QString formatKey();

// One stored value: the text under key, or defaultValue when the key or the file is missing.
using ReadValue = std::function<QString(const QString& key, const QString& defaultValue)>;

// The options as startup restores them, read in this order: Repeat, AutoStart, Random and
// AutoPrint (each "False" when missing; text that is no Boolean leaves the option off), then
// Format (defaultFormat when missing; an empty value stays empty), then AnnounceDelay (seconds,
// see delayMs; "0" when missing) and JsonFile (a Boolean, "False" when missing). The last two
// have no command of their own: they are set in the file, and never stored.
Options readOptions(const ReadValue& read, const QString& defaultFormat);

// Seconds as stored ("2", "2.5", "2,5") in milliseconds, at most a day. Anything else (text,
// a negative number) is no delay.
qint64 delayMs(const QString& seconds);

// What shutdown stores, in order: the four flags as "True" or "False". The format is stored
// only when the user edits it.
QList<std::pair<QString, QString>> optionsToStore(const Options& options);

// "True" or "False" in any letter case, or a decimal number where zero is false and any
// other number true ("1.5", "-0", "1e3", "0,0"). Surrounding spaces and tabs are ignored.
// Anything else, including empty text and "yes", gives nullopt.
std::optional<bool> parseBoolean(const QString& text);

// How a Boolean option is stored: "True" or "False".
QString booleanText(bool value);

// `folder` ending in a separator: the platform's own is appended unless it already ends in
// "\" or "/", so a root folder is not doubled. Empty text stays empty.
QString folderWithSeparator(const QString& folder);

// The folder that holds mirc.ini and SongName.txt, ending in a separator. The program's own when
// it can be written, so the player shares the IRC client's folder; else the user's configuration
// folder for the program: xdgConfigHome/tunelark, or home/.config/tunelark when xdgConfigHome is
// empty or not absolute. With neither, the program's own folder after all.
QString filesFolder(const QString& programFolder, bool programFolderWritable,
                    const QString& xdgConfigHome, const QString& home);

} // namespace settings
