#pragma once

// The program's behaviour, whatever window shows it and whatever engine plays: start and end,
// opening, dropping and double-clicking, the options and the hotkeys, taking each start of play,
// announcing, and the song files. It drives an Engine and a View, and hands lines to an IrcLink;
// the handlers keep the names of the window's events they answer.

#include "announce/announcer.h"
#include "announce/irc_link.h"
#include "player/commands.h"
#include "player/engine.h"
#include "player/list_rows.h"
#include "player/view.h"
#include "settings/play_options.h"

#include <string>

namespace player {

// Where the program is, and where it keeps its files: its own folder, or another where that
// cannot be written. Each ends in a separator.
struct Places {
    std::string programFolder;
    std::string filesFolder;
    // Why the options are not kept in the mirc.ini beside the program, where the user put one,
    // in the user's words ("папку нельзя изменить"); empty when they are, or when none is there.
    std::string whyNotBeside = {};
    // The folder of a mirc.ini whose options are read though they cannot be kept there (the
    // program's own): the files folder's mirc.ini wins key by key. Empty for none.
    std::string optionsBeside = {};
};

// The time as the player reads it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual announce::Moment now() const = 0;
};
const Clock& systemClock();

// What the desktop's media controls follow: changed() after anything they show may have changed
// (the state, the track, the options, the playlist, the volume).
class PlayerListener {
public:
    virtual ~PlayerListener() = default;
    virtual void changed() = 0;
    virtual void seeked(double position) = 0;
};

class Player final : private EngineListener {
public:
    // The longest format the settings file keeps whole.
    static constexpr long kMaxFormatCharacters = 254;

    Player(Engine& engine, View& view, announce::IrcLink& link, const Clock& clock = systemClock());
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Start and end: the options come from the settings file and go back to it.
    void Form_Load(const Places& places);
    void Form_Unload();

    // Bringing media in.
    void fOpenFile(const std::string& FileName);
    void mnOpen_Click();
    void Form_OLEDragDrop(const std::string& firstFile);
    void List1_DblClick(int selectedIndex); // -1: nothing selected
    void mnClearList_Click();

    // Transport and options. A menu item's click turns its option over.
    void mnPlay_Click();
    void mnPause_Click();
    void mnStop_Click();
    void mnRepeat_Click();
    void mnRandom_Click();
    void mnAutoStart_Click();
    void mnAutoPrint_Click();
    void setFlag(settings::Flag flag, bool on);
    // What a menu item, a hotkey or a button of the window asks for. Exit is the window's own.
    void run(Command command);
    // The desktop's Next: past the last entry only when the list repeats; otherwise the end of
    // the list stops. In random order the engine's pass decides.
    void nextOrStop();

    // Announcing.
    void mnPrintSongName_Click();
    void mnFormat_Click();
    void tmAnnounce_Timer();

    // What the desktop's media controls read and drive.
    void setListener(PlayerListener* listener) { m_listener = listener; }
    Engine& engine() { return m_engine; }
    const settings::PlayOptions& options() const { return m_options; }
    playback::PlayState playState() const { return m_state; }
    // The item the engine last started or loaded; empty when stopped.
    const playback::Track& currentTrack() const { return m_current; }

    const std::string& songFile() const { return FN; }
    const std::string& jsonFile() const { return fnJSON; }
    const std::string& settingsFile() const { return fnINI; }
    const std::string& lastLine() const { return SL; }

private:
    void playStateChanged(playback::PlayState newState, const playback::Track& item) override;
    void titleChanged(const playback::Track& item) override;
    void playlistChanged() override;
    void volumeChanged(int volume) override;
    void seeked(double position) override;

    void WindowsMediaPlayer1_PlayStateChange(playback::PlayState NewState,
                                             const playback::Track& item);
    void applyFlag(settings::Flag flag);
    void store(settings::Stored when); // the options' keys stored then, in the settings file
    void fillList1();                  // List1 in line with the engine's entries
    void showPlaying();                // List1 lights the entry playing
    void PrintSongName();
    void perform(announce::Announcer::Step step);
    void SendToMirc(const std::string& text);
    void changed();
    void stepVolume(int by);

    std::string FN;     // the song file
    std::string fnJSON; // the same track as JSON, when the JsonFile option is on
    std::string fnINI;  // the settings file
    std::string SL;     // the last announcement line built

    Engine& m_engine;
    View& m_view;
    announce::IrcLink& m_link;
    const Clock& m_clock;
    PlayerListener* m_listener = nullptr;

    Places m_places;
    ListRows m_rows; // what List1 shows
    settings::PlayOptions m_options;
    announce::Announcer m_announcer;
    playback::Track m_current;
    playback::PlayState m_state = playback::PlayState::Undefined; // the engine's last
    bool m_unloaded = false;
};

} // namespace player
