// MPRIS2 on the session bus: org.mpris.MediaPlayer2.tunelark at /org/mpris/MediaPlayer2. Calls
// arrive on the GUI thread like any other event; every change the player makes, whoever made
// it, goes out as PropertiesChanged.
#include "qt/desktop_control.h"

#include "qt/mpris.h"
#include "qt/qt_text.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>
#include <QMetaObject>
#include <QMetaProperty>
#include <QWidget>

#include <cmath>
#include <optional>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPath = u"/org/mpris/MediaPlayer2"_s;
const QString kService = u"org.mpris.MediaPlayer2.tunelark"_s;
const QString kRootInterface = u"org.mpris.MediaPlayer2"_s;
const QString kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;

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

class PlayerAdaptor : public QDBusAbstractAdaptor, public player::PlayerListener {
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
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    PlayerAdaptor(QObject* parent, player::Player& player, QDBusConnection bus)
        : QDBusAbstractAdaptor(parent), m_player(player), m_engine(player.engine()),
          m_bus(std::move(bus)), m_status(mpris::playbackStatus(u"Stopped"_s, player.playState())) {
    }

    QString playbackStatus() const { return m_status; }
    QString loopStatus() const { return mpris::loopStatus(m_player.options().repeat); }
    // The options change as from their menu items: the check mark and the engine with them.
    // Values the player does not apply are refused before they come here.
    void setLoopStatus(const QString& status) {
        if (const auto on = mpris::repeatOf(status))
            m_player.setFlag(settings::Flag::Repeat, *on);
    }
    double rate() const { return 1.0; }
    void setRate(double) {} // one rate only: 1.0, which it already plays at
    bool shuffle() const { return m_player.options().random; }
    void setShuffle(bool on) { m_player.setFlag(settings::Flag::Random, on); }
    QVariantMap metadata() const {
        QVariantMap map = mpris::metadata(m_player.currentTrack());
        const QString id = u"mpris:trackid"_s;
        map.insert(id, QVariant::fromValue(QDBusObjectPath(map.value(id).toString())));
        return map;
    }
    double volume() const { return mpris::volumeOf(m_engine.volume()); }
    void setVolume(double volume) {
        if (const auto v = mpris::controlVolume(volume))
            m_engine.setVolume(*v);
    }
    qlonglong position() const { return std::llround(m_engine.position() * 1e6); }
    bool hasEntries() const { return !m_engine.entries().empty(); }
    // A web radio has no length to move within.
    bool canSeek() const {
        const playback::Track& track = m_player.currentTrack();
        return track.entryId >= 0 && track.seconds.has_value();
    }
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

    void changed() override {
        m_status = mpris::playbackStatus(m_status, m_player.playState());
        update();
    }
    void seeked(double position) override { emit Seeked(std::llround(position * 1e6)); }

public slots:
    // The end of the list stops, as the interface asks.
    void Next() { m_player.nextOrStop(); }
    void Previous() { m_engine.previous(); }
    void Pause() { m_engine.pause(); }
    void PlayPause() {
        if (m_status == u"Playing")
            m_engine.pause();
        else
            m_engine.play();
    }
    void Stop() { m_engine.stop(); }
    void Play() { m_engine.play(); }
    void Seek(qlonglong Offset) {
        const playback::Track& track = m_player.currentTrack();
        if (track.entryId < 0)
            return;
        if (const auto to = mpris::seekTarget(m_engine.position(), Offset, track.seconds))
            m_engine.setPosition(*to);
        else
            Next();
    }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        const playback::Track& track = m_player.currentTrack();
        const auto to = mpris::positionTarget(mpris::trackId(track.entryId), TrackId.path(),
                                              Position, track.seconds);
        if (to)
            m_engine.setPosition(*to);
    }
    // Opens as the open command does, and plays: the interface asks for it, whatever the
    // automatic start option says.
    void OpenUri(const QString& Uri, const QDBusMessage& message) {
        const QString file = mpris::openableFile(Uri);
        if (file.isEmpty()) {
            message.setDelayedReply(true);
            m_bus.send(message.createErrorReply(
                QDBusError::InvalidArgs,
                u"Only a media file, a playlist or a folder on this computer can be opened "
                u"(file://...): "_s +
                    Uri.left(256)));
            return;
        }
        m_player.fOpenFile(coreText(file));
        m_engine.play();
    }

signals:
    void Seeked(qlonglong Position);

private:
    player::Player& m_player;
    player::Engine& m_engine;
    QDBusConnection m_bus;
    QString m_status;
    QVariantMap m_last;
};

// org.freedesktop.DBus.Properties for the interfaces above, answered here before the bus library's
// own: that one converts a value of the wrong type ("no" and 7 to true, "0.9" to 0.9), where the
// interface says the caller is wrong and nothing changes.
class PropertiesAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    Q_CLASSINFO("D-Bus Introspection", "") // the bus library describes the interface already
public:
    PropertiesAdaptor(QObject* parent, QDBusConnection bus,
                      QList<QPair<QString, QDBusAbstractAdaptor*>> interfaces)
        : QDBusAbstractAdaptor(parent), m_bus(std::move(bus)), m_interfaces(std::move(interfaces)) {
    }

public slots:
    QDBusVariant Get(const QString& interface, const QString& name, const QDBusMessage& message) {
        const auto found = find(interface, name, message);
        if (!found)
            return {};
        return QDBusVariant(found->second.read(found->first));
    }

    QVariantMap GetAll(const QString& interface, const QDBusMessage& message) {
        QVariantMap all;
        for (const auto& [name, adaptor] : m_interfaces) {
            if (name != interface && !interface.isEmpty())
                continue;
            const QMetaObject* meta = adaptor->metaObject();
            for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
                all.insert(QLatin1String(meta->property(i).name()),
                           meta->property(i).read(adaptor));
            if (!interface.isEmpty())
                return all;
        }
        if (!interface.isEmpty())
            refuse(message, QDBusError::UnknownInterface, u"No interface "_s + interface);
        return all;
    }

    void Set(const QString& interface, const QString& name, const QDBusVariant& value,
             const QDBusMessage& message) {
        const auto found = find(interface, name, message);
        if (!found)
            return;
        const QMetaProperty property = found->second;
        if (!property.isWritable()) {
            refuse(message, QDBusError::PropertyReadOnly, name + u" is read-only"_s);
            return;
        }
        const QVariant v = value.variant();
        if (v.metaType() != property.metaType() || !mpris::applies(name, v)) {
            refuse(message, QDBusError::InvalidArgs,
                   u"%1 takes %2, not this value"_s.arg(
                       name, QLatin1String(QDBusMetaType::typeToSignature(property.metaType()))));
            return;
        }
        property.write(found->first, v);
    }

private:
    // The adaptor and its property, or nullopt with the error sent.
    std::optional<std::pair<QObject*, QMetaProperty>>
    find(const QString& interface, const QString& name, const QDBusMessage& message) {
        bool known = interface.isEmpty();
        for (const auto& [id, adaptor] : m_interfaces) {
            if (id != interface && !interface.isEmpty())
                continue;
            known = true;
            const QMetaObject* meta = adaptor->metaObject();
            const int i = meta->indexOfProperty(name.toUtf8().constData());
            if (i >= meta->propertyOffset())
                return std::pair<QObject*, QMetaProperty>(adaptor, meta->property(i));
        }
        if (!known)
            refuse(message, QDBusError::UnknownInterface, u"No interface "_s + interface);
        else
            refuse(message, QDBusError::UnknownProperty, u"No property "_s + name);
        return std::nullopt;
    }

    void refuse(const QDBusMessage& message, QDBusError::ErrorType type, const QString& text) {
        message.setDelayedReply(true);
        m_bus.send(message.createErrorReply(type, text));
    }

    QDBusConnection m_bus;
    QList<QPair<QString, QDBusAbstractAdaptor*>> m_interfaces;
};

class Mpris final : public QObject, public DesktopControl {
public:
    Mpris(player::Player& player, const DesktopHooks& hooks, QDBusConnection bus)
        : m_player(player), m_bus(bus) {
        auto* root = new RootAdaptor(this, hooks);
        m_adaptor = new PlayerAdaptor(this, player, bus);
        new PropertiesAdaptor(this, bus, {{kRootInterface, root}, {kPlayerInterface, m_adaptor}});
        m_adaptor->update(true);
        player.setListener(m_adaptor);

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
        m_player.setListener(nullptr);
        if (!m_name.isEmpty())
            m_bus.unregisterService(m_name);
        if (m_registered)
            m_bus.unregisterObject(kPath);
    }

private:
    player::Player& m_player;
    QDBusConnection m_bus;
    PlayerAdaptor* m_adaptor = nullptr;
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

std::unique_ptr<DesktopControl> startDesktopControl(player::Player& player,
                                                    const DesktopHooks& hooks) {
    if (!sessionBusExists())
        return std::make_unique<DesktopControl>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::make_unique<DesktopControl>();
    return std::make_unique<Mpris>(player, hooks, bus);
}

#include "desktop_control_linux.moc"
