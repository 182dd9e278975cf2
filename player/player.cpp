#include "player/player.h"

#include "playback/play_state.h"
#include "settings/ini.h"
#include "text/text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <utility>

namespace player {
namespace {

using playback::PlayState;
using settings::Flag;

constexpr Flag kFlags[] = {Flag::Repeat, Flag::AutoStart, Flag::Random, Flag::AutoPrint};

class SystemClock final : public Clock {
public:
    announce::Moment now() const override {
        const auto steady = std::chrono::steady_clock::now().time_since_epoch();
        return {std::chrono::duration_cast<std::chrono::milliseconds>(steady).count(),
                announce::wallTimeNow()};
    }
};

std::string section() {
    return std::string(settings::optionsSection());
}

} // namespace

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

Player::Player(Engine& engine, View& view, announce::IrcLink& link, const Clock& clock)
    : m_engine(engine), m_view(view), m_link(link), m_clock(clock),
      m_announcer(m_options, [&link](const std::string& value) { return link.escapeValue(value); }),
      m_overlay(engine, m_announcer.cover()) {
    m_engine.setListener(this);
    m_announcer.setEmbeddedCover(
        [&engine](const std::string& file, std::function<void(bool)> done) {
            engine.saveCover(file, std::move(done));
        });
}

Player::~Player() {
    m_engine.setListener(nullptr);
}

// Start and end

void Player::Form_Load(const Places& places) {
    m_places = places;
    fnINI = places.filesFolder + "mirc.ini";
    const std::string beside =
        places.optionsBeside.empty() ? std::string() : places.optionsBeside + "mirc.ini";
    // The first start away from where the user keeps the options: said once, and what could be
    // read there is carried over, so the next start finds it where changes go.
    std::error_code error;
    const bool firstAway = !places.whyNotBeside.empty() &&
                           !std::filesystem::exists(text::pathOf(fnINI), error) && !error;
    m_options = settings::readOptions(
        [this, &beside](const std::string& key, const std::string& defaultValue) {
            const std::string underneath =
                beside.empty() ? defaultValue
                               : mOpenSave::ReadINI(beside, section(), key, defaultValue);
            return mOpenSave::ReadINI(fnINI, section(), key, underneath);
        },
        announce::defaultFormat());
    for (const Flag flag : kFlags)
        applyFlag(flag);
    if (firstAway) {
        store(settings::Stored::AtExit);
        store(settings::Stored::WhenEdited);
        m_view.messageBox("Настройки нельзя сохранять в " + places.programFolder +
                          "mirc.ini: " + places.whyNotBeside + ". " +
                          (beside.empty() ? "Они сохраняются в "
                                          : "Они прочитаны оттуда, а изменения теперь "
                                            "сохраняются в ") +
                          fnINI + ".");
    }
    FN = places.filesFolder + "SongName.txt";
    fnJSON = places.filesFolder + "SongName.json";
    m_announcer.setFiles(FN, fnJSON);
    m_announcer.setDelay(m_options.announceDelayMs);
    // A port already taken is told, and the rest of the program goes on without the page.
    if (m_options.overlayPort) {
        const std::string why = m_overlay.start(m_options.overlayPort, places.filesFolder);
        if (!why.empty())
            m_view.messageBox(why);
    }
}

void Player::Form_Unload() {
    if (std::exchange(m_unloaded, true))
        return;
    store(settings::Stored::AtExit);
    m_announcer.nothingPlays();
    m_overlay.stop();
}

void Player::store(settings::Stored when) {
    settings::storeOptions(m_options, when, [this](const std::string& key, std::string& value) {
        mOpenSave::WriteINI(fnINI, section(), key, value);
    });
}

// Bringing media in

void Player::fOpenFile(const std::string& FileName) {
    m_engine.clear();
    fillList1();
    m_engine.setURL(FileName);
    fillList1();
}

void Player::fillList1() {
    const ListRows::Change change = m_rows.sync(m_engine.entries());
    if (change.kind == ListRows::Change::Replaced)
        m_view.listReplaced(m_rows);
    else if (change.kind == ListRows::Change::Added)
        m_view.listAdded(m_rows, change.first);
}

void Player::showPlaying() {
    m_rows.setHighlight(m_engine.currentIndex());
    m_view.setListIndex(m_rows.highlight());
}

void Player::mnOpen_Click() {
    // Cancel keeps what is loaded.
    const std::string file = m_view.showOpen("Все файлы|*.*", "Открыть", m_places.programFolder);
    if (!file.empty() && !m_unloaded) // the window may have closed while the dialog was up
        fOpenFile(file);
}

void Player::Form_OLEDragDrop(const std::string& firstFile) {
    if (!firstFile.empty())
        fOpenFile(firstFile);
}

// The row's own entry, wherever the engine now keeps it; a row it dropped plays nothing.
void Player::List1_DblClick(int selectedIndex) {
    const int64_t id = m_rows.idAt(selectedIndex);
    if (id < 0)
        return;
    const std::vector<Entry>& entries = m_engine.entries();
    const auto at = std::size_t(selectedIndex);
    if (at < entries.size() && entries[at].id == id)
        return m_engine.playItem(entries[at]);
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [id](const Entry& entry) { return entry.id == id; });
    if (it != entries.end())
        m_engine.playItem(*it);
}

void Player::mnClearList_Click() {
    m_engine.clear();
    fillList1();
}

// Transport and options

void Player::mnPlay_Click() {
    m_engine.play();
}

void Player::mnPause_Click() {
    m_engine.pause();
}

void Player::mnStop_Click() {
    m_engine.stop();
}

void Player::mnRepeat_Click() {
    setFlag(Flag::Repeat, !m_options.repeat);
}

void Player::mnRandom_Click() {
    setFlag(Flag::Random, !m_options.random);
}

void Player::mnAutoStart_Click() {
    setFlag(Flag::AutoStart, !m_options.autoStart);
}

// The mark is the option; nothing else happens now.
void Player::mnAutoPrint_Click() {
    setFlag(Flag::AutoPrint, !m_options.autoPrint);
}

// Written at once too: a program killed or logged out of never reaches its close.
void Player::setFlag(Flag flag, bool on) {
    m_options[flag] = on;
    applyFlag(flag);
    store(settings::Stored::AtExit);
    changed();
}

// The check mark shows the option, and the engine follows it.
void Player::applyFlag(Flag flag) {
    const bool on = m_options[flag];
    m_view.setChecked(flag, on);
    switch (flag) {
    case Flag::Repeat:
        m_engine.setLoop(on);
        break;
    case Flag::AutoStart:
        m_engine.setAutoStart(on);
        break;
    case Flag::Random:
        m_engine.setShuffle(on);
        break;
    case Flag::AutoPrint:
        break;
    }
}

void Player::run(Command command) {
    using enum Command;
    switch (command) {
    case Open:
        return mnOpen_Click();
    case Exit:
        return;
    case Play:
        return mnPlay_Click();
    case Pause:
        return mnPause_Click();
    case Stop:
        return mnStop_Click();
    case AutoStart:
        return mnAutoStart_Click();
    case Random:
        return mnRandom_Click();
    case Repeat:
        return mnRepeat_Click();
    case PrintSongName:
        return mnPrintSongName_Click();
    case Format:
        return mnFormat_Click();
    case AutoPrint:
        return mnAutoPrint_Click();
    case ClearList:
        return mnClearList_Click();
    case Previous:
        return m_engine.previous();
    case Next:
        return m_engine.next();
    case VolumeDown:
        return stepVolume(-4);
    case VolumeUp:
        return stepVolume(+4);
    }
}

void Player::stepVolume(int by) {
    m_engine.setVolume(m_engine.volume() + by);
}

void Player::nextOrStop() {
    const int last = int(m_engine.entries().size()) - 1;
    if (!m_options.repeat && !m_options.random && m_engine.currentIndex() == last)
        m_engine.stop();
    else
        m_engine.next();
}

// Announcing

void Player::mnPrintSongName_Click() {
    PrintSongName();
}

void Player::PrintSongName() {
    perform(m_announcer.tellNow(m_current, m_clock.now()));
}

const playback::Track* Player::playingNow() const {
    const bool playing = m_state == PlayState::Playing || m_state == PlayState::Paused;
    return playing && !m_current.empty() ? &m_current : nullptr;
}

// Built on each call from the state at hand: a format edited meanwhile counts at once.
std::string Player::currentLine() const {
    const playback::Track* track = playingNow();
    return track ? announce::buildLine(m_options.format, *track, m_link) : std::string();
}

void Player::mnFormat_Click() {
    const std::optional<std::string> answer =
        m_view.inputBox("Введите новый формат:", "Tunelark - Запрос", m_options.format);
    if (!answer || answer->empty())
        return;
    // The settings file gives back no more than that: a longer one would be cut at the next
    // start, mid-token.
    const auto characters = std::count_if(answer->begin(), answer->end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    if (characters > kMaxFormatCharacters) {
        m_view.messageBox("Формат длиннее " + std::to_string(kMaxFormatCharacters) +
                          " знаков не сохранится. Оставлен прежний формат.");
        return;
    }
    m_options.format = *answer;
    store(settings::Stored::WhenEdited);
}

void Player::tmAnnounce_Timer() {
    perform(m_announcer.elapsed(m_clock.now()));
}

// Does what the announcer says. A line that cannot be delivered shows its box, whose event loop
// brings further reports of the engine here again; the announcer holds them until the box is
// gone.
void Player::perform(announce::Announcer::Step step) {
    for (;;) {
        m_view.setTimer(step.wakeInMs);
        if (step.show) {
            const playback::Track& track = *m_announcer.shownTrack();
            m_view.setNowPlaying(
                {track.sourceURL, track.author, track.name, track.durationString, track.bitrate});
            publishOverlay(); // before a line that may wait on the user
        }
        // Once the program is ending, a line held until now is dropped: no client is waited on.
        if (!step.line || m_unloaded)
            return;
        SL = *step.line;
        SendToMirc(SL);
        step = m_announcer.lineDone(m_clock.now());
    }
}

void Player::SendToMirc(const std::string& text) {
    if (!m_link.send(text))
        m_view.messageBox(m_link.missingText());
}

// The engine's reports

void Player::playStateChanged(PlayState newState, const playback::Track& item) {
    WindowsMediaPlayer1_PlayStateChange(newState, item);
}

void Player::WindowsMediaPlayer1_PlayStateChange(PlayState NewState,
                                                 const playback::Track& tagged) {
    // Whoever reads the track (the song files, the desktop) gets what the line would.
    const playback::Track item = playback::withoutControls(tagged);
    const PlayState before = std::exchange(m_state, NewState);
    if ((NewState == PlayState::Playing || NewState == PlayState::Ready) && !item.empty())
        m_current = item;
    else if (NewState == PlayState::Stopped)
        m_current = {};
    changed();
    if (NewState != PlayState::Playing)
        publishOverlay(); // a start is published once the fields show it
    if (NewState == PlayState::Paused) {
        perform(m_announcer.paused(m_current.sourceURL, m_clock.now()));
    } else if (NewState == PlayState::Playing) {
        // The view shows which entry plays; a resume leaves the user's own choice alone.
        if (before != PlayState::Paused)
            showPlaying();
        perform(m_announcer.started(item, before == PlayState::Paused, m_clock.now()));
    } else {
        if (NewState == PlayState::Stopped)
            m_announcer.nothingPlays(); // stopped, or at the end of the list
        perform(m_announcer.stopped(m_clock.now()));
    }
}

// A web radio's title moved on: for the announcer, a new track starts.
void Player::titleChanged(const playback::Track& item) {
    m_current = playback::withoutControls(item);
    changed();
    perform(m_announcer.started(m_current, false, m_clock.now()));
}

// The engine expanded a folder or a list it reached: show what it will play.
void Player::playlistChanged() {
    fillList1();
    showPlaying();
    changed();
}

void Player::volumeChanged(int) {
    changed();
}

void Player::seeked(double position) {
    m_overlay.seeked(position);
    if (m_listener)
        m_listener->seeked(position);
}

void Player::publishOverlay() {
    if (m_overlay.on())
        m_overlay.update(m_state, m_announcer.shownTrack(),
                         m_announcer.shownJson(m_state == PlayState::Paused));
}

void Player::changed() {
    if (m_listener)
        m_listener->changed();
}

} // namespace player
