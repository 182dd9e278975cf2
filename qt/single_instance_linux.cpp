#include "qt/single_instance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QObject>
#include <QTextStream>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kService = u"org.tunelark.Player"_s;
const QString kPath = u"/org/tunelark/Player"_s;
const QString kInterface = u"org.tunelark.Player"_s;
// A copy that is running answers at once, even while it opens a long list; one that is stopped
// or hung never does, and the user is not kept waiting for it.
constexpr int kHandTimeoutMs = 1200;

class BusCopy final : public QObject, public FirstCopy {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tunelark.Player")
    // Read on the window's thread from the player's state at hand: answering never waits.
    Q_PROPERTY(QString Line READ line)
public:
    explicit BusCopy(QDBusConnection bus) : m_bus(bus) {}
    ~BusCopy() override {
        if (m_held) {
            m_bus.unregisterService(kService);
            m_bus.unregisterObject(kPath);
        }
    }

    // The object first, then the name: a start that finds the name finds the object too.
    bool hold() {
        if (!m_bus.registerObject(kPath, this,
                                  QDBusConnection::ExportScriptableSlots |
                                      QDBusConnection::ExportScriptableProperties))
            return false;
        if (!m_bus.registerService(kService)) {
            m_bus.unregisterObject(kPath);
            return false;
        }
        m_held = true;
        return true;
    }

    void onOpen(std::function<void(const QStringList&)> open) override {
        m_open = std::move(open);
        for (const QStringList& files : std::exchange(m_waiting, {}))
            m_open(files);
    }

    void onLine(std::function<QString()> line) override { m_line = std::move(line); }
    QString line() const { return m_line ? m_line() : QString(); }

public slots:
    // Answers at once; the files open once the answer is out, so a long list holds up no one.
    Q_SCRIPTABLE void Open(const QStringList& files) {
        QMetaObject::invokeMethod(
            this,
            [this, files] {
                if (m_open)
                    m_open(files);
                else
                    m_waiting << files;
            },
            Qt::QueuedConnection);
    }

private:
    QDBusConnection m_bus;
    bool m_held = false;
    std::function<void(const QStringList&)> m_open;
    QList<QStringList> m_waiting; // handed over before the window was there
    std::function<QString()> m_line;
};

struct Handed {
    bool taken = false;
    bool silent = false; // the running copy gave no answer in time
    QString why = {};
};

Handed handOver(QDBusConnection& bus, const QStringList& files) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, u"Open"_s);
    call << files;
    const QDBusMessage answer = bus.call(call, QDBus::Block, kHandTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return {true};
    const QString name = answer.errorName();
    return {false,
            name == u"org.freedesktop.DBus.Error.NoReply"_s ||
                name == u"org.freedesktop.DBus.Error.Timeout"_s,
            answer.errorMessage().isEmpty() ? u"no answer"_s : answer.errorMessage()};
}

} // namespace

Claim claimFirstCopy(const QStringList& files) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names)
        return {std::make_unique<BusCopy>(bus)}; // no bus: no other copy to find
    // Twice: the copy that held the name may have ended in between.
    QString refused;
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto copy = std::make_unique<BusCopy>(bus);
        if (copy->hold())
            return {std::move(copy)};
        const QDBusReply<bool> taken = names->isServiceRegistered(kService);
        if (taken.isValid() && taken.value()) {
            const Handed handed = handOver(bus, files);
            if (handed.taken)
                return {nullptr, true};
            refused = handed.why;
            if (handed.silent) {
                // Asking again would only wait as long again: the files open here instead.
                QTextStream(stderr) << "Tunelark: the running copy does not answer (" << refused
                                    << "): this one plays instead\n";
                return {
                    std::make_unique<BusCopy>(bus), false,
                    u"Tunelark уже запущен, но не отвечает, поэтому файлы открыты в этом окне."_s};
            }
        }
    }
    const QDBusReply<bool> taken = names->isServiceRegistered(kService);
    if (!taken.isValid() || !taken.value())
        return {std::make_unique<BusCopy>(bus)}; // a bus that lends no name: run alone
    QTextStream(stderr) << "Tunelark: the running copy did not take the files: " << refused << '\n';
    return {nullptr, false};
}

#include "single_instance_linux.moc"
