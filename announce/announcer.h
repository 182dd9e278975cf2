#pragma once

// What each start of play brings: the track shown in the fields and written to the song files,
// and when its line goes to the IRC client (automatic announcement, the delay, pause and skip,
// the line told by hand). It takes the time from its caller and never shows a box itself: the
// player hands a line to the client after the call returns and tells it when that is over, so
// nothing re-enters. While a line is out (the client is slow, or its "not found" box is up), the
// fields and the song files still follow every start; only the next line waits, and then it is
// told only for the latest start, and only while that still plays.

#include "announce/announce_delay.h"
#include "announce/field_files.h"
#include "announce/format.h"
#include "announce/wall_time.h"
#include "playback/track.h"
#include "settings/play_options.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace announce {

// When an event happened: by a steady clock for the delay, by the wall clock for the song file.
struct Moment {
    int64_t steadyMs = 0;
    WallTime wall;
};

// Puts bytes in place of a song file; true when it holds them.
using FileWriter = std::function<bool(const std::string& path, std::string_view bytes)>;

// The song files replaced as wholes, rewritten even when marked read-only: they are ours alone.
bool writeSongFile(const std::string& path, std::string_view bytes);

class Announcer {
public:
    // What the player does after each call, in this order.
    struct Step {
        bool show = false;               // the fields now show shownTrack()
        std::optional<std::string> line; // hand this line to the client, then call lineDone()
        std::optional<int64_t> wakeInMs; // call elapsed() after this long; none: no timer
    };

    // Reads the format, AutoPrint, JsonFile, FieldFiles and ClearOnStop from options as they are
    // at each call.
    Announcer(const settings::PlayOptions& options, ValueEscaper escape,
              FileWriter write = writeSongFile);

    // Where SongName.txt and SongName.json go (the field files in NowPlaying beside them), and
    // how long a track plays before it is told.
    void setFiles(std::string songFile, std::string jsonFile);
    void setDelay(int64_t delayMs);
    // Where the cover comes from when the track holds one.
    void setEmbeddedCover(EmbeddedCover save) { m_fields.setEmbeddedCover(std::move(save)); }
    // The cover each start takes for the field files, for whoever else shows the track.
    StartCover& cover() { return m_fields.cover(); }

    // The engine entered Playing with this track (empty: over before it could be looked at);
    // afterPause when it came straight from a pause.
    Step started(const playback::Track& track, bool afterPause, const Moment& now);
    // Paused, while the engine's current item is currentSource.
    Step paused(const std::string& currentSource, const Moment& now);
    // Stopped, over, or on its way to another entry.
    Step stopped(const Moment& now);
    // Nothing plays any more: stopped, the end of the list, or the program's end. The field files
    // are emptied when ClearOnStop is on; the song files keep the last track.
    void nothingPlays();
    // The timer a step asked for came back.
    Step elapsed(const Moment& now);
    // The user tells the channel of the current track now.
    Step tellNow(const playback::Track& current, const Moment& now);
    // The line handed out has been delivered, or its failure has been shown.
    Step lineDone(const Moment& now);

    const playback::Track* shownTrack() const { return m_shown ? &m_shown->track : nullptr; }
    // SongName.json's bytes for the track shown; empty for none.
    std::string shownJson(bool paused) const;

private:
    struct Start {
        playback::Track track;
        bool afterPause = false;
        WallTime at; // when the track began
    };

    Step capture(const Moment& now);
    void show(Start start, Step& step);
    void handOut(const playback::Track& track, Step& step);
    Step finish(Step step, const Moment& now) const;

    const settings::PlayOptions& m_options;
    ValueEscaper m_escape;
    FileWriter m_write;
    std::string m_songFile;
    std::string m_jsonFile;
    AnnounceDelay m_delay;
    FieldFiles m_fields;

    std::optional<Start> m_shown;            // the start the fields show
    std::optional<playback::Track> m_byHand; // told by hand; its line is out
    playback::Track m_toAnnounce;            // the track the delay waits for
    bool m_due = false;                      // its line is to go out once none is out
    bool m_lineOut = false;
};

} // namespace announce
