#include "qt/mpv_reports.h"

#include "qt/mpv_handle.h"
#include "qt/mpv_list.h"

#include <mpv/client.h>

#include <algorithm>
#include <cmath>
#include <utility>

using playback::PlayState;

namespace {

// The core properties watched, and what a change of each means. The core tells of each change
// itself, whoever made it: the window, its control bar, or the desktop.
enum class Watch { Pause, Idle, Volume, Tags, Position, Duration, Seekable, Mute, Network };
struct Watched {
    const char* name;
    mpv_format format;
    Watch what;
};
constexpr Watched kWatched[] = {
    {"pause", MPV_FORMAT_FLAG, Watch::Pause},
    {"idle-active", MPV_FORMAT_FLAG, Watch::Idle},
    {"volume", MPV_FORMAT_DOUBLE, Watch::Volume},
    {"metadata", MPV_FORMAT_NONE, Watch::Tags}, // also a stream's title, as it plays
    // For the control bar. Read as whole seconds, the core tells of these once a second of play
    // at most.
    {"time-pos", MPV_FORMAT_INT64, Watch::Position},
    {"duration", MPV_FORMAT_INT64, Watch::Duration},
    {"seekable", MPV_FORMAT_FLAG, Watch::Seekable},
    {"mute", MPV_FORMAT_FLAG, Watch::Mute},
    {"demuxer-via-network", MPV_FORMAT_FLAG, Watch::Network},
};

bool flagOf(const mpv_event_property& prop) {
    return prop.format == MPV_FORMAT_FLAG && *static_cast<const int*>(prop.data);
}

std::optional<int64_t> intOf(const mpv_event_property& prop) {
    if (prop.format != MPV_FORMAT_INT64)
        return std::nullopt;
    return *static_cast<const int64_t*>(prop.data);
}

} // namespace

void MpvReports::watch(MpvHandle& mpv) {
    for (uint64_t i = 0; i < std::size(kWatched); ++i)
        mpv.observe(i + 1, kWatched[i].name, kWatched[i].format);
}

// Events

void MpvReports::startFile() {
    m_transportChanged = true;
    report(m_state.startFile());
}

void MpvReports::fileLoaded() {
    m_transportChanged = true;
    report(m_state.fileLoaded(m_mpv.flagProperty("pause")));
}

bool MpvReports::playbackRestart() {
    const auto state = m_state.playbackRestart(m_mpv.flagProperty("pause"));
    report(state);
    return std::exchange(m_seeking, false) && !state;
}

void MpvReports::endFile(playback::EndReason reason) {
    m_transportChanged = true;
    report(m_state.endFile(reason));
}

void MpvReports::shutdown() {
    m_transportChanged = true;
    report(m_state.shutdown());
}

void MpvReports::propertyChanged(const mpv_event& event, player::EngineListener* listener) {
    const auto* prop = static_cast<const mpv_event_property*>(event.data);
    if (event.reply_userdata < 1 || event.reply_userdata > std::size(kWatched))
        return;
    // The bar's state is kept from the events alone: a read here would wait for the core, which
    // may be busy bringing up its video output.
    const Watch what = kWatched[event.reply_userdata - 1].what;
    m_transportChanged = m_transportChanged || what != Watch::Tags;
    Transport& t = m_transport;
    switch (what) {
    case Watch::Pause:
        t.paused = flagOf(*prop);
        // Changes are coalesced: trust the value as it is now, not the event's.
        report(m_state.pauseChanged(m_mpv.flagProperty("pause")));
        break;
    case Watch::Idle:
        t.loaded = prop->format == MPV_FORMAT_FLAG && !flagOf(*prop);
        if (flagOf(*prop))
            report(m_state.idle());
        break;
    case Watch::Volume:
        if (prop->format == MPV_FORMAT_DOUBLE) {
            t.volume = int(std::lround(*static_cast<const double*>(prop->data)));
            if (listener)
                listener->volumeChanged(t.volume);
        }
        break;
    case Watch::Tags:
        tagsChanged();
        break;
    case Watch::Position:
        t.position = double(std::max<int64_t>(0, intOf(*prop).value_or(0)));
        break;
    case Watch::Duration:
        if (const auto seconds = intOf(*prop); seconds && *seconds > 0)
            t.duration = double(*seconds);
        else
            t.duration.reset();
        break;
    case Watch::Seekable:
        t.seekable = flagOf(*prop);
        break;
    case Watch::Mute:
        t.muted = flagOf(*prop);
        break;
    case Watch::Network:
        m_viaNetwork = flagOf(*prop);
        break;
    }
}

void MpvReports::report(std::optional<PlayState> state) {
    if (!state)
        return;
    Pending pending{Pending::Kind::State, *state, {}};
    // Read now, while the core may still be on it. If it has already gone on to another entry
    // (or to none), the details would be someone else's: leave them empty.
    if ((state == PlayState::Playing || state == PlayState::Ready) && m_mpv.hasMedia() &&
        m_list.playingId() == m_list.openingId()) {
        pending.item = currentTrack();
        m_streamTitle = m_mpv.stringProperty("metadata/by-key/icy-title"); // told with this start
    }
    m_pending.push_back(std::move(pending));
}

// The core puts a stream's new title in place when play reaches it, so a change seen while
// playing is the new track's start. One seen while paused or starting comes with that start.
void MpvReports::tagsChanged() {
    std::string title = m_mpv.stringProperty("metadata/by-key/icy-title");
    if (title == m_streamTitle)
        return; // the same title comes again with every block of the stream
    m_streamTitle = std::move(title);
    if (playback::splitStreamTitle(m_streamTitle).title.empty() || !m_state.isPlaying() ||
        m_list.playingId() != m_list.openingId())
        return;
    m_pending.push_back({Pending::Kind::Title, PlayState::Undefined, currentTrack()});
}

std::optional<MpvReports::Pending> MpvReports::takePending() {
    if (m_pending.empty())
        return std::nullopt;
    Pending next = std::move(m_pending.front());
    m_pending.pop_front();
    return next;
}

bool MpvReports::takeTransportChanged() {
    return std::exchange(m_transportChanged, false);
}

Transport MpvReports::transport() const {
    Transport t = m_transport;
    if (!t.loaded || (m_viaNetwork && !t.seekable))
        t.duration.reset();
    return t;
}

// The item

// A web radio: from the network and without seeking. The core's length for it only counts what
// it has received so far.
bool MpvReports::isLiveStream() const {
    return m_mpv.flagProperty("demuxer-via-network") && !m_mpv.flagProperty("seekable");
}

std::string MpvReports::itemName() const {
    if (std::string title = m_mpv.stringProperty("metadata/by-key/title"); !title.empty())
        return title;
    std::string listTitle;
    if (const auto pos = m_mpv.intProperty("playlist-playing-pos"); pos && *pos >= 0)
        listTitle = m_list.titleOf(m_mpv.intProperty(entryKey(*pos, "id")).value_or(-1),
                                   m_mpv.stringProperty(entryKey(*pos, "title")));
    return playback::entryName(m_mpv.stringProperty("path"), listTitle);
}

std::string MpvReports::bitrate() const {
    auto rate = m_mpv.intProperty("current-tracks/audio/demux-bitrate");
    if (!rate || *rate <= 0)
        rate = m_mpv.intProperty("audio-bitrate");
    return rate && *rate > 0 ? std::to_string(*rate) : std::string();
}

playback::Track MpvReports::currentTrack() const {
    playback::Track track;
    if (!m_mpv.hasMedia())
        return track;
    track.entryId = m_list.playingId();
    track.sourceURL = m_mpv.stringProperty("path");
    if (const auto seconds = m_mpv.doubleProperty("duration");
        !isLiveStream() && seconds && std::isfinite(*seconds) && *seconds >= 0)
        track.seconds = seconds;
    track.durationString = playback::durationText(track.seconds);
    // A web radio's own title, when it sends one, gives the author and the name.
    const auto stream =
        playback::splitStreamTitle(m_mpv.stringProperty("metadata/by-key/icy-title"));
    track.name = stream.title.empty() ? itemName() : stream.title;
    track.author =
        stream.title.empty() ? m_mpv.stringProperty("metadata/by-key/artist") : stream.artist;
    track.bitrate = bitrate();
    if (const auto size = m_mpv.intProperty("file-size"))
        track.fileSize = std::to_string(*size);
    track.fileType = playback::fileTypeOf(track.sourceURL);
    if (track.fileType.empty()) {
        const std::string format = m_mpv.stringProperty("file-format");
        track.fileType = format.substr(0, format.find(','));
    }
    track.album = m_mpv.stringProperty("metadata/by-key/album");
    const std::string date = m_mpv.stringProperty("metadata/by-key/date");
    track.year =
        playback::yearOf(date.empty() ? m_mpv.stringProperty("metadata/by-key/year") : date);
    track.genre = m_mpv.stringProperty("metadata/by-key/genre");
    track.trackNumber = playback::trackNumberOf(m_mpv.stringProperty("metadata/by-key/track"));
    track.station = m_mpv.stringProperty("metadata/by-key/icy-name");
    return track;
}
