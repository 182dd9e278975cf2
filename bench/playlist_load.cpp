// Long m3u lists of real short files, opened by the program and by the engine alone (libmpv's
// loadlist of the same file, no sound or picture, as the program has here), rounds taking turns.
// The program is measured from outside, over the session bus, each round in a fresh process:
//   first sound: from the Open call to MPRIS PlaybackStatus becoming "Playing". The window sends
//     it the moment the engine reports playing, and a signal needs no polling; the engine's own
//     figure runs from loadlist to its first playback-restart;
//   whole list: from the Open call until the list's Rows property holds every entry;
//   longest stall: the longest wait for that property, read again as soon as it answers while
//     the list loads. It is answered on the window's thread (a Ping would be answered on the
//     bus's own thread, and show nothing).
// Usage: playlist_load <list_player> <media folder> <rounds>
// The media folder holds short files named short*.mp3; the lists repeat them.
#include <mpv/client.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPlayer = u"org.tunelark.Player"_s;
const QString kPlayerPath = u"/org/tunelark/Player"_s;
const QString kMpris = u"org.mpris.MediaPlayer2.tunelark"_s;
const QString kMprisPath = u"/org/mpris/MediaPlayer2"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;
constexpr int kLimitMs = 60000;
// Both start each round settled: up, idle, with nothing of their start still running.
constexpr int kSettleMs = 500;

[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "playlist_load: %s\n", why);
    std::exit(1);
}

QString writeList(const QString& folder, const QStringList& files, int entries) {
    const QString path = folder + u"/list"_s + QString::number(entries) + u".m3u"_s;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        fail("cannot write a list");
    QByteArray text = "#EXTM3U\n";
    for (int i = 0; i < entries; ++i) {
        text += "#EXTINF:3,Исполнитель " + QByteArray::number(i) + " - Песня\n";
        text += files[i % files.size()].toUtf8() + '\n';
    }
    f.write(text);
    return path;
}

// The engine alone: from loadlist to its first playback-restart, in ms; empty if it never came.
std::optional<double> engineMs(const QByteArray& list) {
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle* h = mpv_create();
    for (auto [k, v] : {std::pair{"vo", "null"}, {"ao", "null"}, {"idle", "yes"}})
        mpv_set_option_string(h, k, v);
    mpv_initialize(h);
    QThread::msleep(kSettleMs);
    QElapsedTimer t;
    t.start();
    const char* cmd[] = {"loadlist", list.constData(), "replace", nullptr};
    mpv_command(h, cmd);
    std::optional<double> ms;
    while (!ms && t.elapsed() < kLimitMs) {
        if (mpv_wait_event(h, 1)->event_id == MPV_EVENT_PLAYBACK_RESTART)
            ms = t.nsecsElapsed() / 1e6;
    }
    mpv_terminate_destroy(h);
    return ms;
}

// One round of the program, in ms from the Open call.
struct Ours {
    double firstSound = -1, wholeList = -1, stall = 0;
};

class Round final : public QObject {
    Q_OBJECT
public:
    Round(QDBusConnection bus, int entries) : m_bus(bus), m_entries(entries) {}

    Ours open(const QString& list) {
        m_bus.connect(kMpris, kMprisPath, kProperties, u"PropertiesChanged"_s, this,
                      SLOT(changed(QString, QVariantMap, QStringList)));
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPlayer, kPlayerPath, kPlayer, u"Open"_s);
        call << QStringList{list};
        m_clock.start();
        m_bus.asyncCall(call, kLimitMs);
        probe();
        QTimer::singleShot(kLimitMs, &m_loop, &QEventLoop::quit);
        m_loop.exec();
        m_bus.disconnect(kMpris, kMprisPath, kProperties, u"PropertiesChanged"_s, this,
                         SLOT(changed(QString, QVariantMap, QStringList)));
        return m_seen;
    }

private slots:
    void changed(const QString&, const QVariantMap& values, const QStringList&) {
        if (m_seen.firstSound < 0 && values.value(u"PlaybackStatus"_s).toString() == u"Playing")
            m_seen.firstSound = ms();
        finishIfDone();
    }

private:
    double ms() const { return m_clock.nsecsElapsed() / 1e6; }

    // One read of Rows; the next goes out when it answers.
    void probe() {
        QDBusMessage get =
            QDBusMessage::createMethodCall(kPlayer, kPlayerPath, kProperties, u"Get"_s);
        get << kPlayer << u"Rows"_s;
        const double sent = ms();
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kLimitMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, sent, watcher] {
            watcher->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *watcher;
            const double now = ms();
            m_seen.stall = std::max(m_seen.stall, now - sent);
            if (m_seen.wholeList < 0 && reply.isValid() &&
                reply.value().variant().toInt() == m_entries)
                m_seen.wholeList = now;
            if (!finishIfDone() && m_clock.elapsed() < kLimitMs)
                probe();
        });
    }

    bool finishIfDone() {
        const bool done = m_seen.firstSound >= 0 && m_seen.wholeList >= 0;
        if (done)
            m_loop.quit();
        return done;
    }

    QDBusConnection m_bus;
    int m_entries;
    QElapsedTimer m_clock;
    QEventLoop m_loop;
    Ours m_seen;
};

bool waitForNames(QDBusConnection& bus, const QProcess& program) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000 && program.state() == QProcess::Running) {
        if (bus.interface()->isServiceRegistered(kPlayer) &&
            bus.interface()->isServiceRegistered(kMpris))
            return true;
        QThread::msleep(20);
    }
    return false;
}

Ours programRound(const QString& listPlayer, const QString& folder, const QString& list,
                  int entries) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.start(listPlayer, {folder});
    if (!program.waitForStarted() || !waitForNames(bus, program))
        fail("the program never came up on the session bus");
    QThread::msleep(kSettleMs);
    Round round(bus, entries);
    const Ours seen = round.open(list);
    program.terminate();
    if (!program.waitForFinished(10000)) {
        program.kill();
        program.waitForFinished();
    }
    return seen;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string spread(const std::vector<double>& v, const char* unit, int decimals) {
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    char text[96];
    std::snprintf(text, sizeof text, "%.*f%s (%.*f..%.*f)", decimals, median(v), unit, decimals,
                  *low, decimals, *high);
    return text;
}

// A target held to every round.
void result(const char* name, int entries, const std::vector<double>& v, const char* unit,
            int decimals, double target) {
    const auto met = std::count_if(v.begin(), v.end(), [&](double x) { return x <= target; });
    std::printf("result: %s, %d entries %.*f%s (target <= %.*f%s in every round: %d/%zu, worst "
                "%.*f%s)%s\n",
                name, entries, decimals, median(v), unit, decimals, target, unit, int(met),
                v.size(), decimals, *std::max_element(v.begin(), v.end()), unit,
                std::size_t(met) == v.size() ? "" : " MISSED");
}

struct Size {
    int entries;
    double firstSoundRatio;
    bool listTargets; // the whole list and the stall are held to their targets
};

void measure(const Size& size, const QString& listPlayer, const QString& folder,
             const QString& list, int rounds) {
    std::vector<double> engine, first, whole, stall, ratio;
    for (int r = 0; r < rounds; ++r) {
        std::optional<double> base;
        Ours ours;
        // Taking turns, each first every other round, so drift in the machine hits both.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + r) % 2 == 0)
                ours = programRound(listPlayer, folder, list, size.entries);
            else
                base = engineMs(list.toUtf8());
        }
        if (!base || ours.firstSound < 0 || ours.wholeList < 0)
            fail("a round never played, or never showed the whole list");
        engine.push_back(*base);
        first.push_back(ours.firstSound);
        whole.push_back(ours.wholeList / 1000);
        stall.push_back(ours.stall);
        ratio.push_back(ours.firstSound / *base);
    }
    std::printf("playlist_load: %d entries, median (min..max) of %d rounds\n", size.entries,
                rounds);
    std::printf("  first sound:      ours %s, mpv loadlist %s, ratio %s\n",
                spread(first, " ms", 0).c_str(), spread(engine, " ms", 0).c_str(),
                spread(ratio, "x", 2).c_str());
    std::printf("  whole list shown: %s\n", spread(whole, " s", 2).c_str());
    std::printf("  longest stall:    %s\n", spread(stall, " ms", 0).c_str());
    result("first sound beside mpv", size.entries, ratio, "x", 2, size.firstSoundRatio);
    if (size.listTargets) {
        result("whole list shown", size.entries, whole, " s", 2, 2.0);
        result("longest stall", size.entries, stall, " ms", 0, 100);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4)
        fail("usage: playlist_load <list_player> <media folder> <rounds>");
    const QString listPlayer = QString::fromLocal8Bit(argv[1]);
    const QDir media(QString::fromLocal8Bit(argv[2]));
    const int rounds = std::max(5, std::atoi(argv[3]));
    const QStringList files = media.entryList({u"short*.mp3"_s}, QDir::Files, QDir::Name);
    if (files.isEmpty() || !QDBusConnection::sessionBus().isConnected())
        fail("no short files, or no session bus");

    // The program's folder, playing as soon as something opens.
    QTemporaryDir folder;
    QFile ini(folder.filePath(u"mirc.ini"_s));
    if (!ini.open(QIODevice::WriteOnly))
        fail("cannot write mirc.ini");
    ini.write("[Tunelark]\r\nAutoStart=True\r\n");
    ini.close();

    for (const Size size : {Size{10000, 1.2, false}, Size{100000, 1.0, true}}) {
        const QString list = writeList(media.absolutePath(), files, size.entries);
        measure(size, listPlayer, folder.path(), list, rounds);
    }
    std::fflush(stdout);
    return 0;
}

#include "playlist_load.moc"
