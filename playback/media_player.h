#pragma once

#include "playback/play_order.h"
#include "playback/play_state.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <deque>
#include <optional>
#include <random>
#include <unordered_map>
#include <vector>

struct mpv_handle;
struct mpv_event;

namespace playback {

// How the engine shows itself: into a native window, or headless (no wid).
struct EngineOptions {
    std::optional<qint64> wid;
    QString vo; // empty: the engine's own choice
    QString ao;
};

// One entry of the current playlist. The id stays with the entry when others come or go.
struct MediaItem {
    qint64 id = -1;
    QString sourceURL;
    QString name;
};

// What the window shows and announces of the item playing, read at one moment.
struct MediaSnapshot {
    QString sourceURL; // empty: nothing was playing
    QString name;
    QString durationString;
    QString author;      // getItemInfo("Author")
    QString bitrate;     // getItemInfo("Bitrate")
    QString fileSize;    // getItemInfo("FileSize")
    QString fileType;    // getItemInfo("FileType")
    QString album;       // getItemInfo("WM/AlbumTitle")
    QString year;        // getItemInfo("WM/Year")
    QString genre;       // getItemInfo("WM/Genre")
    QString trackNumber; // getItemInfo("WM/TrackNumber")
    QString station;     // getItemInfo("WM/RadioStationName"): a web radio's own name
    std::optional<double> seconds = {}; // duration(); none for a live stream
};

// The embedded media engine, offering the operations the window drives it with.
// Every operation is safe to call when the engine could not start or has shut down:
// reads then give empty values and commands do nothing.
class MediaPlayer : public QObject {
    Q_OBJECT
public:
    explicit MediaPlayer(const EngineOptions& options, QObject* parent = nullptr);
    ~MediaPlayer() override;

    // Loads a media file, a playlist file (.m3u, .m3u8, .pls), a folder or an address as the
    // current playlist; playback starts when autoStart is on, with a random entry when shuffle is
    // on. Empty text unloads.
    void setURL(const QString& url);
    QString URL() const { return m_url; }

    // The entries in the order of the list; shuffle changes the order of play, not this.
    class Playlist {
    public:
        void clear();
        int count() const;
        std::optional<MediaItem> Item(int index) const; // none outside 0..count-1
        int currentIndex() const; // the entry playing, or about to; -1 for none

    private:
        friend class MediaPlayer;
        explicit Playlist(MediaPlayer& p) : m_p(p) {}
        MediaPlayer& m_p;
    };

    class Controls {
    public:
        void play();
        void pause();
        void stop();
        void next();
        void previous();
        void playItem(const MediaItem& item);
        double currentPosition() const;          // seconds into the item; 0 for none
        void setCurrentPosition(double seconds); // a seek; nothing without an item

    private:
        friend class MediaPlayer;
        explicit Controls(MediaPlayer& p) : m_p(p) {}
        MediaPlayer& m_p;
    };

    class Settings {
    public:
        bool autoStart() const { return m_autoStart; }
        void setAutoStart(bool on) { m_autoStart = on; }
        bool getMode(const QString& mode) const;
        void setMode(const QString& mode, bool on); // "loop" or "shuffle"
        int volume() const;
        void setVolume(int volume); // clamped to 0..100

    private:
        friend class MediaPlayer;
        explicit Settings(MediaPlayer& p) : m_p(p) {}
        MediaPlayer& m_p;
        bool m_autoStart = true;
        bool m_loop = false;
        bool m_shuffle = false;
    };

    // The item now loaded; every read is empty text when there is none.
    class Media {
    public:
        QString sourceURL() const;
        QString name() const;
        QString durationString() const;
        // "Author", "Bitrate", "FileSize", "FileType", "WM/AlbumTitle", "WM/Year", "WM/Genre",
        // "WM/TrackNumber", "WM/RadioStationName". A web radio's own title, when it sends one,
        // gives the author and the name (see splitStreamTitle).
        QString getItemInfo(const QString& attribute) const;
        // Seconds, when the engine knows them; a live stream has none.
        std::optional<double> duration() const;
        qint64 entryId() const; // its playlist entry's id; -1 for none
        MediaSnapshot snapshot() const;

    private:
        friend class MediaPlayer;
        explicit Media(MediaPlayer& p) : m_p(p) {}
        MediaPlayer& m_p;
    };

    Playlist currentPlaylist{*this};
    Controls controls{*this};
    Settings settings{*this};
    Media currentMedia{*this};

    bool isRunning() const { return m_mpv != nullptr; }

    // Ends the engine with its threads and its video output; every operation is then as if it had
    // never started. The window calls this while the native window the video is drawn into still
    // exists.
    void close();

    // The item as it was when the start now reported as PlayStateChange(3) happened; read it as
    // the handler begins. Its sourceURL is empty when the engine had already moved on by the time
    // the start could be looked at: that start is over, and a later one follows.
    const MediaSnapshot& startedMedia() const { return m_started; }

signals:
    // The control's state codes: 1 stopped, 2 paused, 3 playing, 8 media ended, 9 transitioning,
    // 10 ready.
    void PlayStateChange(int NewState);
    // The engine changed the playlist by itself: it expanded a folder or a list it reached.
    void CurrentPlaylistChange();
    // The volume changed, by any hand: 0 to 100.
    void VolumeChange(int volume);
    // The item's details changed: its tags or its length became known, or a stream's title moved.
    void MediaChange();
    // A seek finished at this position, in seconds.
    void PositionChange(double newPosition);
    // A web radio's own title changed while it plays: a new track for whoever shows or announces
    // it. startedMedia() holds its details, read as the change came.
    void StreamTitleChange();

private:
    static void onWakeup(void* self);
    void drainEvents();
    void release();
    void handleEvent(const mpv_event& event);
    void emitPending();
    void tagsChanged();

    // The engine waits on these hooks.
    void openingEntry();  // an entry is about to be opened
    void afterEntryEnd(); // an entry ended, and the engine has not yet chosen the next

    bool command(std::initializer_list<const char*> args);
    bool setProperty(const char* name, const QString& value);
    QString stringProperty(const char* name) const;
    std::optional<qint64> intProperty(const char* name) const;
    std::optional<double> doubleProperty(const char* name) const;
    bool flagProperty(const char* name) const;
    std::vector<MediaItem> readPlaylist() const;
    void readItems();
    int itemIndexOf(qint64 id) const;   // in m_items
    int engineIndexOf(qint64 id) const; // in the engine's list, checked against it
    void playEntry(qint64 id);
    void playAtRandom(qint64 ended, bool stopWhenDone);
    bool hasCurrentMedia() const;
    bool isLiveStream() const;
    qint64 playingId() const;

    mpv_handle* m_mpv = nullptr;
    QString m_url;
    PlayStateMachine m_state;
    struct PendingState {
        int code = 0;          // 0: a stream's new title, not a state
        MediaSnapshot started; // for Playing and a new title
    };
    std::deque<PendingState> m_pendingStates;
    MediaSnapshot m_started;
    bool m_listChanged = false;
    std::atomic<bool> m_wakeupPending{false};

    // The engine's list, in its order, which is the order of the file.
    std::vector<MediaItem> m_items;
    mutable std::unordered_map<qint64, int> m_indexById; // built when first needed
    RandomPass m_pass;
    Nesting m_nesting;
    std::mt19937_64 m_rng{std::random_device{}()};

    qint64 m_resumeId = -1;    // the entry that Play restarts after Stop
    qint64 m_requestedId = -1; // the entry asked for, until it starts
    bool m_unasked = false;    // the entry starting is not the one asked for
    qint64 m_openingId = -1;   // the entry last started
    qint64 m_endedId = -1;     // the entry last ended, and why
    EndReason m_endReason = EndReason::Stop;
    bool m_awaitingAfterEnd = false;
    bool m_seeking = false; // a seek is under way; its restart is no start
    QString m_streamTitle;  // the stream's own title as last seen or reported
};

// Display text of a length in seconds: "MM:SS", or "HH:MM:SS" from one hour on; seconds truncated.
QString durationText(std::optional<double> seconds);
// Display name of an entry: its playlist title, else its file name without the extension.
QString entryName(const QString& filename, const QString& title);

// A web radio's title: "Artist - Title" split at the first " - " when both sides hold text;
// otherwise all of it is the title and the artist is empty. Blanks around each part go. Control
// characters become blanks: anyone may run a station, and in a line to IRC a line break starts
// a command and \x01 a request that every client in the channel answers.
struct StreamTitle {
    QString artist;
    QString title;
};
StreamTitle splitStreamTitle(const QString& streamTitle);

// The year of a year or date tag ("2003", "2003-05-01", "2003/05"); other text as it is.
QString yearOf(const QString& tag);
// The number of a track tag ("3", "3/12" -> "3").
QString trackNumberOf(const QString& tag);

} // namespace playback
