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
constexpr int kHandTimeoutMs = 10000;

class BusCopy final : public QObject, public FirstCopy {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tunelark.Player")
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
        if (!m_bus.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots))
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
};

// Empty when the running copy took the files; else why not.
QString handOver(QDBusConnection& bus, const QStringList& files) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, u"Open"_s);
    call << files;
    const QDBusMessage answer = bus.call(call, QDBus::Block, kHandTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return {};
    return answer.errorMessage().isEmpty() ? u"no answer"_s : answer.errorMessage();
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
            refused = handOver(bus, files);
            if (refused.isEmpty())
                return {nullptr, true};
        }
    }
    const QDBusReply<bool> taken = names->isServiceRegistered(kService);
    if (!taken.isValid() || !taken.value())
        return {std::make_unique<BusCopy>(bus)}; // a bus that lends no name: run alone
    QTextStream(stderr) << "Tunelark: the running copy did not take the files: " << refused << '\n';
    return {nullptr, false};
}

#include "single_instance_linux.moc"
