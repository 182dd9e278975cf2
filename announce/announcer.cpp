#include "announce/announcer.h"

#include "announce/song_file.h"
#include "settings/replace_file.h"
#include "text/text.h"

#include <utility>

namespace announce {

bool writeSongFile(const std::string& path, std::string_view bytes) {
    return settings::replaceFile(text::pathOf(path), bytes, settings::ReadOnlyFile::Rewrite);
}

Announcer::Announcer(const settings::PlayOptions& options, ValueEscaper escape, FileWriter write)
    : m_options(options), m_escape(std::move(escape)), m_write(std::move(write)) {}

void Announcer::setFiles(std::string songFile, std::string jsonFile) {
    m_songFile = std::move(songFile);
    m_jsonFile = std::move(jsonFile);
    m_fields.setFolder(text::utf8Of(text::pathOf(m_songFile).parent_path() / "NowPlaying"));
}

void Announcer::setDelay(int64_t delayMs) {
    m_delay = AnnounceDelay(delayMs);
}

// The fields and the song files follow every start at once; only a line waits while another is
// out, and then only for the latest start, while it still plays.
Announcer::Step Announcer::started(const playback::Track& track, bool afterPause,
                                   const Moment& now) {
    Step step;
    m_due = false;
    if (track.empty())
        return finish(step, now); // over before it could be looked at: the fields keep theirs
    Start start{track, afterPause, now.wall};
    const bool resumed = afterPause && m_shown && playback::sameTrack(m_shown->track, track);
    if (resumed)
        start.at = m_shown->at;
    if (!m_options.autoPrint) {
        m_delay.ended();
    } else {
        m_toAnnounce = track;
        if (m_delay.started(now.steadyMs, resumed).announce) {
            if (m_lineOut)
                m_due = true;
            else
                handOut(track, step);
        }
    }
    show(std::move(start), step);
    return finish(step, now);
}

Announcer::Step Announcer::paused(const std::string& currentSource, const Moment& now) {
    m_due = false; // a line waiting is for a track that plays
    m_delay.paused(now.steadyMs);
    // The pause of the track shown: JSON readers see it paused.
    if (m_options.jsonFile && m_shown && currentSource == m_shown->track.sourceURL &&
        !m_jsonFile.empty())
        m_write(m_jsonFile, songJsonBytes(m_shown->track, true, m_shown->at));
    return finish({}, now);
}

Announcer::Step Announcer::stopped(const Moment& now) {
    // A waiting announcement is never made.
    m_due = false;
    m_delay.ended();
    return finish({}, now);
}

void Announcer::nothingPlays() {
    if (m_options.fieldFiles && m_options.clearOnStop)
        m_fields.clear();
}

Announcer::Step Announcer::elapsed(const Moment& now) {
    if (m_delay.elapsed(now.steadyMs).announce)
        m_due = true;
    return capture(now);
}

Announcer::Step Announcer::tellNow(const playback::Track& current, const Moment& now) {
    Step step;
    if (current.empty() || m_lineOut)
        return finish(step, now); // nothing loaded, nothing to tell
    m_byHand = current;
    handOut(current, step);
    return finish(step, now);
}

Announcer::Step Announcer::lineDone(const Moment& now) {
    m_lineOut = false;
    if (m_byHand && playback::sameTrack(*m_byHand, m_toAnnounce)) {
        // Told by hand: its automatic announcement would only say it again.
        m_delay.told();
        m_due = false;
    }
    m_byHand.reset();
    return capture(now);
}

// Hands out the line that came due while another was out, or whose delay is over.
Announcer::Step Announcer::capture(const Moment& now) {
    Step step;
    if (!m_lineOut && std::exchange(m_due, false) && m_options.autoPrint)
        handOut(m_toAnnounce, step);
    return finish(step, now);
}

void Announcer::show(Start start, Step& step) {
    m_shown = std::move(start);
    step.show = true;
    if (!m_songFile.empty())
        m_write(m_songFile, songFileBytes(m_shown->track));
    if (m_options.jsonFile && !m_jsonFile.empty())
        m_write(m_jsonFile, songJsonBytes(m_shown->track, false, m_shown->at));
    // The line as people read it, without what a client needs escaped.
    if (m_options.fieldFiles && !m_songFile.empty())
        m_fields.show(m_shown->track, buildLine(m_options.format, m_shown->track, nullptr));
}

std::string Announcer::shownJson(bool paused) const {
    return m_shown ? songJsonBytes(m_shown->track, paused, m_shown->at) : std::string();
}

void Announcer::handOut(const playback::Track& track, Step& step) {
    step.line = buildLine(m_options.format, track, m_escape);
    m_lineOut = true;
}

Announcer::Step Announcer::finish(Step step, const Moment& now) const {
    step.wakeInMs = m_delay.wakeIn(now.steadyMs);
    return step;
}

} // namespace announce
