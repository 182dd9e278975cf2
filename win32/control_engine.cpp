#include "win32/control_engine.h"

#include "playback/play_state.h"
#include "playback/playlist_file.h"
#include "text/text.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

namespace win32 {
namespace {

using playback::PlayState;

// The control's play-state codes, as its PlayStateChange gives them; the rest of the program
// knows only PlayState. Codes of passing states (buffering, waiting, scanning) are Other.
PlayState stateOf(int code) {
    switch (code) {
    case 0: // after media it could not open
        return PlayState::Undefined;
    case 1:
        return PlayState::Stopped;
    case 2:
        return PlayState::Paused;
    case 3:
        return PlayState::Playing;
    case 8:
        return PlayState::MediaEnded;
    case 9:
        return PlayState::Transitioning;
    case 10:
        return PlayState::Ready;
    default:
        return PlayState::Other;
    }
}

bool isAddress(const std::string& url) {
    return !playback::schemeOf(url).empty();
}

// The size of a file on this machine, when the control keeps it to itself.
std::string fileSizeOf(const std::string& url) {
    if (url.empty() || isAddress(url))
        return {};
    std::error_code error;
    const auto size = std::filesystem::file_size(text::pathOf(url), error);
    return error ? std::string() : std::to_string(size);
}

} // namespace

ControlEngine::ControlEngine(MediaControl& control, std::function<void()> wake,
                             std::function<void()> later)
    : m_control(&control), m_wake(std::move(wake)), m_later(std::move(later)) {
    // The order of play is chosen here, whatever the control would choose.
    m_control->setMode("shuffle", false);
}

// Events

void ControlEngine::queue(ControlEvent event) {
    if (event.kind == ControlEvent::PlayState && stateOf(event.state) == PlayState::Undefined)
        m_openFailed = true;
    m_events.push_back({event, m_opens});
    if (!std::exchange(m_wakeAsked, true) && m_wake)
        m_wake();
}

void ControlEngine::drain() {
    m_wakeAsked = false;
    if (m_reader) {
        // In list order the first entry plays before the rest is read.
        if (auto first = m_reader->takeFirst(); first && !m_cursor.shuffle())
            begin(std::move(*first));
        if (auto read = m_reader ? m_reader->take() : std::nullopt) {
            m_reader.reset();
            arrived(std::move(*read), true, true);
        }
    }
    while (!m_events.empty()) {
        const Queued next = m_events.front();
        m_events.pop_front();
        handle(next.event, next.opens == m_opens);
    }
    feed();
}

// current: raised since the latest open; an older end or failure is of media already left.
void ControlEngine::handle(const ControlEvent& event, bool current) {
    if (!m_control)
        return;
    const PlayState state = stateOf(event.state);
    if (m_heldTransition &&
        !(event.kind == ControlEvent::PlayState && state == PlayState::Playing)) {
        m_heldTransition = false;
        report(PlayState::Transitioning);
    }
    if (event.kind == ControlEvent::MediaChange) {
        mediaChanged();
        return;
    }
    switch (state) {
    case PlayState::Playing:
        playing();
        return;
    case PlayState::Ready:
        report(state, currentTrack());
        return;
    case PlayState::Transitioning:
        if (m_state == PlayState::Playing && current) {
            // Held: a control may pass through it while starting what already plays.
            m_heldTransition = true;
            return;
        }
        report(state);
        return;
    case PlayState::MediaEnded:
        report(state);
        if (!current)
            return;
        m_ended = true;
        m_failedInRow = 0;
        if (m_controlList && m_cursor.shuffle())
            playNext(true); // before the control goes on to its own next entry
        return;
    case PlayState::Undefined:
        if (current && m_current >= 0 && !m_controlList && m_requested < 0) {
            // The entry could not be opened: go on with the next, as at its end.
            m_ended = true;
            ++m_failedInRow;
        }
        report(state);
        [[fallthrough]];
    case PlayState::Stopped:
        if (std::exchange(m_ended, false) && !m_controlList) {
            ended();
            return;
        }
        if (state == PlayState::Stopped)
            report(state);
        return;
    default:
        report(state);
        return;
    }
}

// A station names its next track by changing the media's title while it plays. A file's media
// changes too, as the control reads its tags: those are not new tracks.
void ControlEngine::mediaChanged() {
    if (m_state != PlayState::Playing || !m_listener)
        return;
    // Only the station told as playing names a new track: a change of the media as the control
    // opens another entry is not one.
    const playback::Track track = currentTrack();
    if (isAddress(track.sourceURL) && track.sourceURL == m_told.sourceURL && !track.seconds &&
        !track.name.empty() && !playback::sameTrack(track, m_told))
        m_listener->titleChanged(m_told = track);
}

void ControlEngine::playing() {
    int index = m_current;
    if (m_controlList) {
        if (const auto at = m_control->currentItemIndex();
            at && *at >= 0 && *at < int(m_entries.size()))
            index = *at;
    }
    if (m_requested >= 0 && index != m_requested)
        return; // the control went its own way first; the entry asked for comes next
    if (m_controlList && m_cursor.shuffle() && m_requested < 0 && m_current >= 0 &&
        index != m_current) {
        // The control's own next or previous button went through its list in order: the random
        // pass goes on instead, and the entry the control chose is never told.
        m_heldTransition = false;
        stepTheRandomPass(index);
        return;
    }
    if (std::exchange(m_heldTransition, false)) {
        if (index == m_current)
            return; // the same start again
        report(PlayState::Transitioning);
    }
    m_requested = -1;
    m_ended = false;
    m_failedInRow = 0;
    m_current = index;
    if (index >= 0) {
        m_cursor.started(m_entries[std::size_t(index)].id);
        m_cursor.loaded(m_entries[std::size_t(index)].id);
    }
    report(PlayState::Playing, currentTrack());
}

// The control stepped no further by itself: choose what plays next.
void ControlEngine::ended() {
    if (m_failedInRow >= int(total())) {
        m_failedInRow = 0;
        report(PlayState::Stopped);
        return;
    }
    playNext(true);
}

void ControlEngine::report(PlayState state, const playback::Track& track) {
    m_state = state;
    if (state == PlayState::Playing)
        m_told = track;
    if (m_listener)
        m_listener->playStateChanged(state, track);
}

// The list: see control_engine_list.cpp for opening one.

// Loads the entry as the control's one medium. Not every control starts by itself after a new
// address, even with automatic start on, so it is told to.
void ControlEngine::open(int index, bool start) {
    ++m_opens;
    m_current = index;
    m_ended = false;
    m_cursor.started(m_entries[std::size_t(index)].id);
    m_openFailed = false;
    // Told to play what it could not open, a control may fall over.
    if (m_control->setURL(m_entries[std::size_t(index)].sourceURL) && start && !m_openFailed)
        m_control->play();
}

void ControlEngine::playEntry(int index) {
    if (!m_control || index < 0 || index >= int(total()))
        return;
    // An entry of a long list not shown yet: the list is shown as far as it first.
    if (index >= int(m_entries.size())) {
        show(std::size_t(index) + 1 - m_entries.size());
        if (m_listener)
            m_listener->playlistChanged();
    }
    if (m_controlList) {
        ++m_opens;
        m_requested = index;
        m_cursor.started(m_entries[std::size_t(index)].id);
        if (m_control->playItem(index))
            return;
        m_requested = -1;
        m_controlList = false; // the control cannot go to an entry: step through the list here
    }
    open(index, true);
}

int64_t ControlEngine::currentId() const {
    return m_current >= 0 && m_current < int(m_entries.size())
               ? m_entries[std::size_t(m_current)].id
               : -1;
}

// On to the entry after the current one. fromEnd: the current one ended by itself, so nothing
// after it is the end of play.
void ControlEngine::playNext(bool fromEnd) {
    if (const auto next = m_cursor.next(currentId()))
        playEntry(indexOf(*next));
    else if (fromEnd)
        stopAtTheEnd();
}

void ControlEngine::stopAtTheEnd() {
    if (m_controlList)
        m_control->stop();
    else
        report(PlayState::Stopped);
}

// The control stepped to index by its own button: back when that was the entry before the
// current one in the list, else on.
void ControlEngine::stepTheRandomPass(int index) {
    const int count = int(m_entries.size());
    const bool back = count > 2 && index == (m_current + count - 1) % count;
    if (const auto chosen = back ? m_cursor.previous(currentId()) : m_cursor.next(currentId()))
        playEntry(indexOf(*chosen));
    else
        m_control->stop(); // the pass is over: nothing the user has not heard plays
}

void ControlEngine::playItem(const player::Entry& entry) {
    playEntry(indexOf(entry.id));
}

// Transport

void ControlEngine::play() {
    if (!m_control)
        return;
    if (m_current < 0 && !m_entries.empty()) {
        playEntry(indexOf(m_cursor.first().value_or(-1)));
        return;
    }
    m_control->play();
}

void ControlEngine::pause() {
    if (m_control)
        m_control->pause();
}

void ControlEngine::stop() {
    if (!m_control)
        return;
    m_ended = false;
    m_requested = -1;
    m_control->stop();
}

void ControlEngine::next() {
    if (!m_control || m_entries.empty())
        return;
    // In list order the control's own list goes on by itself, when it keeps one.
    if (m_cursor.shuffle() || !m_controlList || !m_control->next())
        playNext(false);
}

void ControlEngine::previous() {
    if (!m_control || m_entries.empty())
        return;
    if (!m_cursor.shuffle() && m_controlList && m_control->previous())
        return;
    if (const auto back = m_cursor.previous(currentId()))
        playEntry(indexOf(*back));
}

int ControlEngine::volume() const {
    return m_control ? m_control->volume() : 0;
}

void ControlEngine::setVolume(int volume) {
    if (!m_control)
        return;
    m_control->setVolume(std::clamp(volume, 0, 100));
    if (m_listener)
        m_listener->volumeChanged(m_control->volume());
}

double ControlEngine::position() const {
    return m_control ? std::max(0.0, m_control->position()) : 0;
}

void ControlEngine::setPosition(double seconds) {
    if (!m_control || !std::isfinite(seconds) || m_control->sourceURL().empty())
        return;
    m_control->setPosition(std::max(0.0, seconds));
    if (m_listener)
        m_listener->seeked(position());
}

void ControlEngine::setAutoStart(bool on) {
    m_autoStart = on;
    if (m_control)
        m_control->setAutoStart(on);
}

void ControlEngine::setLoop(bool on) {
    m_cursor.setLoop(on);
    controlLoops();
}

void ControlEngine::setShuffle(bool on) {
    m_cursor.setShuffle(on);
    controlLoops();
}

// In random order the control's own next and previous must always move, even from either end of
// its list, so that the pass goes on from there; the ends of the pass are the engine's own.
void ControlEngine::controlLoops() {
    if (m_control)
        m_control->setMode("loop", m_cursor.loop() || m_cursor.shuffle());
}

void ControlEngine::close() {
    m_control = nullptr;
    m_reader.reset();
    m_events.clear();
    m_entries.clear();
    m_rest = {};
    m_restAt = 0;
    m_current = -1;
}

// The media now current

playback::Track ControlEngine::currentTrack() const {
    playback::Track track;
    if (!m_control)
        return track;
    track.sourceURL = m_control->sourceURL();
    if (track.sourceURL.empty())
        return track;
    if (m_current >= 0 && m_current < int(m_entries.size()))
        track.entryId = m_entries[std::size_t(m_current)].id;
    // Without a title tag the control names the file; the list's own title is better.
    const std::string listed = m_current >= 0 && m_current < int(m_entries.size())
                                   ? m_entries[std::size_t(m_current)].name
                                   : std::string();
    track.name = m_control->name();
    if ((track.name.empty() || track.name == playback::entryName(track.sourceURL, {})) &&
        !listed.empty())
        track.name = listed;
    if (track.name.empty())
        track.name = playback::entryName(track.sourceURL, {});
    track.author = m_control->itemInfo("Author");
    // A live stream has no length: the control gives 0.
    if (const auto seconds = m_control->duration();
        seconds && std::isfinite(*seconds) && *seconds > 0)
        track.seconds = seconds;
    // A station's title is its "Artist - Title"; the list names the station.
    if (isAddress(track.sourceURL) && !track.seconds && track.author.empty()) {
        const playback::StreamTitle title = playback::splitStreamTitle(m_control->name());
        if (!title.title.empty()) {
            track.author = title.artist;
            track.name = title.title;
            track.station = listed;
        }
    }
    track.durationString = m_control->durationString();
    if (track.durationString.empty())
        track.durationString = playback::durationText(track.seconds);
    track.bitrate = m_control->itemInfo("Bitrate");
    track.fileSize = m_control->itemInfo("FileSize");
    if (track.fileSize.empty())
        track.fileSize = fileSizeOf(track.sourceURL);
    track.fileType = text::lowerAscii(m_control->itemInfo("FileType"));
    if (track.fileType.empty())
        track.fileType = playback::fileTypeOf(track.sourceURL);
    track.album = m_control->itemInfo("WM/AlbumTitle");
    track.year = playback::yearOf(m_control->itemInfo("WM/Year"));
    track.genre = m_control->itemInfo("WM/Genre");
    track.trackNumber = playback::trackNumberOf(m_control->itemInfo("WM/TrackNumber"));
    return track;
}

} // namespace win32
