// MPRIS2 on the session bus: org.mpris.MediaPlayer2.tunelark at /org/mpris/MediaPlayer2. Calls
// arrive on the GUI thread like any other event; every change the player makes, whoever made
// it, goes out as PropertiesChanged.
#include "app/desktop_control.h"

#include "app/mpris.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QMetaObject>
#include <QMetaProperty>
#include <QWidget>

#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kService = u"org.mpris.MediaPlayer2.tunelark"_s;
const QString kRootInterface = u"org.mpris.MediaPlayer2"_s;
const QString kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;

class Mpris;

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    RootAdaptor(QObject* parent, const DesktopHooks& hooks)
        : QDBusAbstractAdaptor(parent), m_hooks(hooks) {}
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool canSetFullscreen() const { return false; }
    bool hasTrackList() const { return false; }
    QString identity() const { return u"Tunelark"_s; }
    QString desktopEntry() const { return u"tunelark"_s; }
    QStringList supportedUriSchemes() const { return {u"file"_s}; }
    QStringList supportedMimeTypes() const { return mpris::supportedMimeTypes(); }

public slots:
    void Raise() {
        m_hooks.window->showNormal();
        m_hooks.window->raise();
        m_hooks.window->activateWindow();
    }
    // The way "&Выход" goes, once the answer is out.
    void Quit() {
        QMetaObject::invokeMethod(m_hooks.exit, &QAction::trigger, Qt::QueuedConnection);
    }

private:
    DesktopHooks m_hooks;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(bool CanGoNext READ hasEntries)
    Q_PROPERTY(bool CanGoPrevious READ hasEntries)
    Q_PROPERTY(bool CanPlay READ hasEntries)
    Q_PROPERTY(bool CanPause READ hasEntries)
    Q_PROPERTY(bool CanSeek READ hasEntries)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    PlayerAdaptor(QObject* parent, playback::MediaPlayer& player, const DesktopHooks& hooks,
                  QDBusConnection bus)
        : QDBusAbstractAdaptor(parent), m_player(player), m_hooks(hooks), m_bus(std::move(bus)) {}

    QString playbackStatus() const { return m_status; }
    QString loopStatus() const { return mpris::loopStatus(m_hooks.repeat->isChecked()); }
    void setLoopStatus(const QString& status) {
        if (const auto on = mpris::repeatOf(status); on && *on != m_hooks.repeat->isChecked())
            m_hooks.repeat->trigger();
    }
    double rate() const { return 1.0; }
    void setRate(double) {} // one rate only
    bool shuffle() const { return m_hooks.random->isChecked(); }
    void setShuffle(bool on) {
        if (on != m_hooks.random->isChecked())
            m_hooks.random->trigger();
    }
    QVariantMap metadata() const {
        QVariantMap map = mpris::metadata(track());
        const QString id = u"mpris:trackid"_s;
        map.insert(id, QVariant::fromValue(QDBusObjectPath(map.value(id).toString())));
        return map;
    }
    double volume() const { return mpris::volumeOf(m_player.settings.volume()); }
    void setVolume(double volume) {
        if (const auto v = mpris::controlVolume(volume))
            m_player.settings.setVolume(*v);
    }
    qlonglong position() const { return std::llround(m_player.controls.currentPosition() * 1e6); }
    bool hasEntries() const { return m_player.currentPlaylist.count() > 0; }
    bool canControl() const { return true; }

    // Says what changed since the last time.
    void update(bool quiet = false) {
        QVariantMap now;
        for (int i = metaObject()->propertyOffset(); i < metaObject()->propertyCount(); ++i) {
            const QMetaProperty p = metaObject()->property(i);
            if (qstrcmp(p.name(), "Position") != 0) // clients read it when they need it
                now.insert(QLatin1String(p.name()), p.read(this));
        }
        const QVariantMap diff = mpris::changed(m_last, now);
        m_last = now;
        if (quiet || diff.isEmpty())
            return;
        QDBusMessage signal = QDBusMessage::createSignal(
            kPath, u"org.freedesktop.DBus.Properties"_s, u"PropertiesChanged"_s);
        signal << kPlayerInterface << diff << QStringList();
        m_bus.send(signal);
    }
    void stateChanged(int NewState) {
        m_status = mpris::playbackStatus(m_status, NewState);
        update();
    }

public slots:
    void Next() { m_player.controls.next(); }
    void Previous() { m_player.controls.previous(); }
    void Pause() { m_player.controls.pause(); }
    void PlayPause() {
        if (m_status == u"Playing")
            m_player.controls.pause();
        else
            m_player.controls.play();
    }
    void Stop() { m_player.controls.stop(); }
    void Play() { m_player.controls.play(); }
    void Seek(qlonglong Offset) {
        if (m_player.currentMedia.entryId() < 0)
            return;
        const auto to = mpris::seekTarget(m_player.controls.currentPosition(), Offset,
                                          m_player.currentMedia.duration());
        if (to)
            m_player.controls.setCurrentPosition(*to);
        else
            m_player.controls.next();
    }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        const auto to =
            mpris::positionTarget(mpris::trackId(m_player.currentMedia.entryId()), TrackId.path(),
                                  Position, m_player.currentMedia.duration());
        if (to)
            m_player.controls.setCurrentPosition(*to);
    }
    // Opens as the open command does, and plays: the interface asks for it, whatever the
    // automatic start option says.
    void OpenUri(const QString& Uri, const QDBusMessage& message) {
        const QString file = mpris::openableFile(Uri);
        if (file.isEmpty()) {
            message.setDelayedReply(true);
            m_bus.send(message.createErrorReply(
                QDBusError::InvalidArgs,
                u"Only an existing local file can be opened (file://...): "_s + Uri.left(256)));
            return;
        }
        m_hooks.open(file);
        m_player.controls.play();
    }

signals:
    void Seeked(qlonglong Position);

private:
    mpris::Track track() const {
        const auto& media = m_player.currentMedia;
        return {media.entryId(),
                media.sourceURL(),
                media.name(),
                media.getItemInfo(u"Author"_s),
                media.getItemInfo(u"WM/AlbumTitle"_s),
                media.duration()};
    }

    playback::MediaPlayer& m_player;
    DesktopHooks m_hooks;
    QDBusConnection m_bus;
    QString m_status = u"Stopped"_s;
    QVariantMap m_last;
};

class Mpris final : public QObject, public DesktopControl {
public:
    Mpris(playback::MediaPlayer& player, const DesktopHooks& hooks, QDBusConnection bus)
        : m_bus(bus) {
        new RootAdaptor(this, hooks);
        m_player = new PlayerAdaptor(this, player, hooks, bus);
        m_player->update(true);
        using MP = playback::MediaPlayer;
        connect(&player, &MP::PlayStateChange, m_player, &PlayerAdaptor::stateChanged);
        for (auto change : {&MP::CurrentPlaylistChange, &MP::MediaChange})
            connect(&player, change, m_player, [this] { m_player->update(); });
        connect(&player, &MP::VolumeChange, m_player, [this] { m_player->update(); });
        connect(&player, &MP::PositionChange, m_player,
                [this](double seconds) { emit m_player->Seeked(std::llround(seconds * 1e6)); });
        for (QAction* option : {hooks.repeat, hooks.random})
            connect(option, &QAction::toggled, m_player, [this] { m_player->update(); });

        if (!m_bus.registerObject(kPath, this, QDBusConnection::ExportAdaptors))
            return;
        m_registered = true;
        // A second copy takes a name of its own, as the interface's convention says.
        m_name = kService;
        if (!m_bus.registerService(m_name)) {
            m_name =
                kService + u".instance"_s + QString::number(QCoreApplication::applicationPid());
            if (!m_bus.registerService(m_name))
                m_name.clear();
        }
    }
    ~Mpris() override {
        if (!m_name.isEmpty())
            m_bus.unregisterService(m_name);
        if (m_registered)
            m_bus.unregisterObject(kPath);
    }

private:
    QDBusConnection m_bus;
    PlayerAdaptor* m_player = nullptr;
    bool m_registered = false;
    QString m_name;
};

// A session bus that is there: never one started on the spot just for us.
bool sessionBusExists() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + u"/bus"_s);
}

} // namespace

std::unique_ptr<DesktopControl> startDesktopControl(playback::MediaPlayer& player,
                                                    const DesktopHooks& hooks) {
    if (!sessionBusExists())
        return std::make_unique<DesktopControl>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::make_unique<DesktopControl>();
    return std::make_unique<Mpris>(player, hooks, bus);
}

#include "desktop_control_linux.moc"
